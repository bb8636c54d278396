#!/usr/bin/env bash
# Builds the library and its host: natively (build/native/libkavrel.so, kavrel-host) and as the
# 32-bit Windows DLL (build/win32/kavrel.dll with its import library kavrel.lib, kavrel-host.exe)
# and the 64-bit one (the same in build/win64/).
# Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset native >/dev/null && cmake --build --preset native -j "$(nproc)"
cmake --preset win32 >/dev/null && cmake --build --preset win32 -j "$(nproc)"
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j "$(nproc)"
echo "built: build/native/libkavrel.so build/native/kavrel-host build/win32/kavrel.dll build/win32/kavrel.lib build/win32/kavrel-host.exe build/win64/kavrel.dll build/win64/kavrel.lib build/win64/kavrel-host.exe"
