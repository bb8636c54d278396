#!/usr/bin/env bash
# Instructions per nominal frame (1280 x 1024 samples) of the frame computation and of the packing
# at each byte-shuffle width, in the 32-bit x86 build (preset linux-i386) and in a 64-bit build
# of the same sources and optimisation (Release, build/count-x86_64). QEMU's user-mode emulators
# run kavrel-kernel-run one instruction at a time (-singlestep) and log every instruction executed
# inside the step's functions (-dfilter with their address ranges); the lines are counted. The
# counts do not depend on the machine's load, and the emulated processor offers SSSE3 and AVX2,
# so every packing path is counted.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${KAVREL_JOBS:-2}

cmake --preset linux-i386 >/dev/null
cmake --build --preset linux-i386 --target kavrel-kernel-run -j "$jobs" >/dev/null
cmake -S . -B build/count-x86_64 -DCMAKE_BUILD_TYPE=Release -DKAVREL_TESTS=OFF >/dev/null
cmake --build build/count-x86_64 --target kavrel-kernel-run -j "$jobs" >/dev/null

# The steps' functions (those the compiler did not inline), by name.
frame_functions='ExtractSubPixel|ComputeRow|GatherMappedRow|AddClampedRow|BuildByteMap|CheckImage|BlockOffsets|GatherEightMapped|AddClampedEight'
pack_functions='PackFrame|PackColumnPairs[A-Za-z]*|PackStraightColumns|PackEight|SplitEight|ShuffleEight|LoadColumnPairs|ShuffleWidth|PackSample'

# The -dfilter ranges of the program's functions whose names match the pattern.
ranges() {
    nm -C -S --defined-only "$1" | grep -E '^[0-9a-f]+ [0-9a-f]+ [tTwW] ' | grep -E "(^|[ :])($2)[<(]" |
        awk '{ printf "%s0x%s+0x%s", sep, $1, $2; sep = "," }'
}

# Instructions executed inside the matching functions by one run of the program.
count() {
    local emulator=$1 program=$2 pattern=$3
    shift 3
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    grep -c '^Trace' <"$fifo" &
    local counter=$!
    # The emulator with its options, as words.
    # shellcheck disable=SC2086
    $emulator -singlestep -d exec,nochain -dfilter "$(ranges "$program" "$pattern")" -D "$fifo" \
        "$program" "$@" >/dev/null
    wait "$counter"
    rm -f "$fifo"
}

i386=build/linux-i386/kavrel-kernel-run
x86_64=build/count-x86_64/kavrel-kernel-run
printf '%-34s %14s %14s\n' "instructions per frame" "i386" "x86-64"
printf '%-34s %14s %14s\n' "frame (extraction, LUT, offsets)" \
    "$(count "qemu-i386-static -L /" "$i386" "$frame_functions" frame)" \
    "$(count qemu-x86_64-static "$x86_64" "$frame_functions" frame)"
for widest in 2 1 0; do
    case $widest in 2) name="packing, 32-byte shuffles" ;; 1) name="packing, 16-byte shuffles" ;;
        0) name="packing, plain SSE2" ;; esac
    printf '%-34s %14s %14s\n' "$name" \
        "$(count "qemu-i386-static -L /" "$i386" "$pack_functions" pack "$widest")" \
        "$(count qemu-x86_64-static "$x86_64" "$pack_functions" pack "$widest")"
done
