#!/usr/bin/env bash
# Runs the native test programs under valgrind's memcheck: the unit tests, the export tests through
# the shared library, the failure tests and the fuzz replays over the saved corpus. Fails on any
# invalid read or write, use of uninitialised memory, or definite or indirect leak.
#
#   scripts/valgrind.sh [GTEST_FILTER]
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)"
build=build/native
filter=${1:-*}
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
"$build/kavrel-make-test-files" seeds "$seeds"

# The failure tests replace operator new themselves: valgrind must not replace it in their stead.
memcheck=(valgrind --tool=memcheck --soname-synonyms=somalloc=nouserintercepts
          --error-exitcode=99 --leak-check=full
          --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect
          --track-fds=no --quiet)

for program in kavrel-tests kavrel-export-tests kavrel-failure-tests; do
    echo "== valgrind $program"
    "${memcheck[@]}" "$build/$program" --gtest_filter="$filter" --gtest_brief=1
done
for replay in "$build"/kavrel-replay-*; do
    target=${replay##*/kavrel-replay-}
    echo "== valgrind replay $target"
    "${memcheck[@]}" "$replay" "fuzz/corpus/$target" "fuzz/regressions/$target" "$seeds/$target" >/dev/null
done
echo "valgrind: no errors"
