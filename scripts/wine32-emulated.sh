#!/usr/bin/env bash
# Tries the 32-bit DLL's Windows tests under 32-bit Wine on a machine whose kernel runs no 32-bit
# programs: binfmt_misc hands every i386 program (Wine's loader and its helper processes, the
# test programs) to qemu-i386-static. The registration is made in a user and mount namespace of
# this script's own (Linux 6.7 and later give each one its own binfmt_misc), so that nothing else
# on the machine sees it. Not part of the test run: see "The 32-bit build" in the README for what
# stops it. Run as root after `cmake --build --preset win32`.
#
#   scripts/wine32-emulated.sh [RUNS] [COMMAND...]   # default: 1 run of ctest --preset win32
#
# Each run gets a fresh prefix and X server (scripts/with-wine.sh) and at most
# KAVREL_WINE32_MINUTES minutes (default 15); the script prints each run's time and outcome and
# exits 0 only when every run passed.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${KAVREL_WINE32_INSIDE:-}" != 1 ]; then
    KAVREL_WINE32_INSIDE=1 exec unshare --user --map-root-user --mount bash "$0" "$@"
fi

runs=${1:-1}
shift || true
[ $# -gt 0 ] || set -- ctest --preset win32 --timeout 900
minutes=${KAVREL_WINE32_MINUTES:-15}

mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
# 32-bit x86 ELF executables and shared objects (e_machine 3); the interpreter is opened now (F),
# so that it is found in any mount namespace.
echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    >/proc/sys/fs/binfmt_misc/register

passed=0
for run in $(seq "$runs"); do
    start=$(date +%s)
    status=0
    timeout --kill-after=30 "$((minutes * 60))" scripts/with-wine.sh "$@" || status=$?
    seconds=$(($(date +%s) - start))
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
        echo "== run $run: passed in $seconds s"
    elif [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        echo "== run $run: stopped after $minutes minutes"
    else
        echo "== run $run: failed (status $status) after $seconds s"
    fi
done
echo "$passed of $runs runs passed"
[ "$passed" -eq "$runs" ]
