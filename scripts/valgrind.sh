#!/usr/bin/env bash
# Runs the native test programs under valgrind's memcheck: the unit tests, the export tests through
# the shared library, the failure tests and the fuzz replays over the saved corpus, as many at once
# as there are processors (KAVREL_JOBS). Fails on any invalid read or write, use of uninitialised
# memory, or definite or indirect leak.
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

# memcheck runs a program on one processor: each test program runs in as many shards as there are
# processors, side by side with the replays.
source scripts/job-pool.sh
memcheck_shard() {
    local program=$1 shard=$2
    echo "== valgrind $program, shard $((shard + 1)) of $pool_limit"
    GTEST_TOTAL_SHARDS=$pool_limit GTEST_SHARD_INDEX=$shard \
        "${memcheck[@]}" "$build/$program" --gtest_filter="$filter" --gtest_brief=1
}
memcheck_replay() {
    local target=$1
    echo "== valgrind replay $target"
    "${memcheck[@]}" "$build/kavrel-replay-$target" \
        "fuzz/corpus/$target" "fuzz/regressions/$target" "$seeds/$target" >/dev/null
}
for program in kavrel-failure-tests kavrel-tests kavrel-export-tests; do
    for ((shard = 0; shard < pool_limit; shard++)); do
        pool_run "$program shard $shard" memcheck_shard "$program" "$shard"
    done
done
for replay in "$build"/kavrel-replay-*; do
    target=${replay##*/kavrel-replay-}
    pool_run "replay $target" memcheck_replay "$target"
done
pool_wait
echo "valgrind: no errors"
