#!/usr/bin/env bash
# Builds the 32-bit Windows DLL and its benchmark program and runs the benchmark under Wine, beside
# the DLL as a host would load it: every case interleaved in one process, ROUNDS rounds (default 15).
# With --native it runs the same program against the native library as well, for comparison.
#     scripts/bench-win32.sh [ROUNDS] [--native]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-15}
cmake --preset win32 >/dev/null
nice cmake --build --preset win32 --target kavrel kavrel-dll-bench -j 2 >/dev/null
echo "== 32-bit DLL under Wine"
scripts/with-wine.sh wine build/win32/kavrel-dll-bench.exe "$rounds"
if [ "${2:-}" = "--native" ]; then
    cmake --preset native >/dev/null
    nice cmake --build --preset native --target kavrel kavrel-dll-bench -j 2 >/dev/null
    echo "== native library"
    build/native/kavrel-dll-bench "$rounds"
fi
