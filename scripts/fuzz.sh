#!/usr/bin/env bash
# Fuzzes the library's readers with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   scripts/fuzz.sh TARGET|all [SECONDS] [--save]
#
# TARGET is one of the fuzz targets (bitmap, offset-file, lut-file, settings, ...); all runs them
# all. Each runs SECONDS (default 60), or until KAVREL_FUZZ_RUNS inputs when that is set and comes
# first; they run niced, as many at once as there are processors (KAVREL_JOBS). Their working
# corpus grows in build/fuzz/corpus/TARGET from the saved corpus fuzz/corpus/TARGET, the
# inputs of mended defects fuzz/regressions/TARGET and generated seeds. --save merges the working
# corpus, minimised, back into fuzz/corpus/TARGET. An input that crashes, leaks or breaks an
# expectation lands in build/fuzz/artifacts/TARGET/ and the script fails; replay it with
# build/native/kavrel-replay-TARGET FILE, and once mended keep it in fuzz/regressions/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(bitmap offset-file lut-file settings display-name calc-lut calc-offset host-files)

which=${1:-}
seconds=${2:-60}
save=${3:-}
if [ -z "$which" ] || { [ "$which" != all ] && [[ ! " ${targets[*]} " =~ " $which " ]]; }; then
    echo "usage: $0 {all|${targets[*]// /|}} [SECONDS] [--save]" >&2
    exit 2
fi
[ "$which" = all ] && selected=("${targets[@]}") || selected=("$which")

# Inputs larger than this are of no more use to a target and only slow it down.
max_len() {
    case $1 in
        bitmap|offset-file|host-files) echo 4096 ;;
        calc-offset) echo 16384 ;;
        calc-lut) echo 2048 ;;
        display-name) echo 256 ;;
        *) echo 1024 ;;
    esac
}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
build=build/fuzz
rm -rf "$build/seeds"
"$build/kavrel-make-test-files" seeds "$build/seeds"

# The inputs go to a file per run: in memory where the machine has a tmpfs for it.
scratch=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm

# Fuzzes one target for its time; prints what it reached, and on a failure where to look.
fuzz_target() {
    local target=$1
    local work=$build/corpus/$target
    local artifacts=$build/artifacts/$target
    local log=$build/logs/$target.log
    mkdir -p "$work" "$artifacts" "$(dirname "$log")" "fuzz/corpus/$target"
    local inputs=("$work" "fuzz/corpus/$target" "$build/seeds/$target")
    [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
    echo "== fuzz $target for ${seconds}s (log: $log)"
    local status=0 last runs rate merged
    TMPDIR=$scratch ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        nice -n 10 "$build/fuzz-$target" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        ${KAVREL_FUZZ_RUNS:+-runs="$KAVREL_FUZZ_RUNS"} \
        "${inputs[@]}" >"$log" 2>&1 || status=$?
    # The last status line holds the coverage figures; the final statistics the executions.
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "   executions ${runs:-?} (${rate:-?}/s); $(echo "$last" | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9a-zA-Z]+')"
    if [ "$status" -ne 0 ]; then
        grep -E 'ERROR|SUMMARY|expectation failed|Test unit written' "$log" | head -n 20 >&2 || true
        echo "fuzz $target FAILED (exit $status); see $log and $artifacts/" >&2
        return 1
    fi
    if [ "$save" = --save ]; then
        merged=$(mktemp -d "$build/merge.XXXXXX")
        TMPDIR=$scratch nice -n 10 "$build/fuzz-$target" -merge=1 -max_len="$(max_len "$target")" \
            "$merged" "fuzz/corpus/$target" "$work" >>"$log" 2>&1
        rm -rf "fuzz/corpus/$target"
        mv "$merged" "fuzz/corpus/$target"
        echo "   saved corpus: $(ls "fuzz/corpus/$target" | wc -l) files, $(du -sb "fuzz/corpus/$target" | cut -f1) bytes"
    fi
}

source scripts/job-pool.sh
for target in "${selected[@]}"; do
    pool_run "fuzz $target" fuzz_target "$target"
done
pool_wait
