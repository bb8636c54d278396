#!/usr/bin/env bash
# Builds the library: natively (build/native/libkavrel.so) and as the 32-bit Windows DLL
# (build/win32/kavrel.dll with its import library kavrel.lib). Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset native >/dev/null && cmake --build --preset native -j "$(nproc)"
cmake --preset win32 >/dev/null && cmake --build --preset win32 -j "$(nproc)"
echo "built: build/native/libkavrel.so build/win32/kavrel.dll build/win32/kavrel.lib"
