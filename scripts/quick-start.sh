#!/usr/bin/env bash
# The main job from a fresh clone: installs what is missing for it, builds the library, the host
# and the shared host library (which the Python package's checks and calibrations use) natively,
# makes a sample image and shows its twelve frames on a file display, which writes every display
# picture as a bitmap into quick-start/frames/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --main
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target kavrel kavrel-host kavrelhost
mkdir -p quick-start
build/native/kavrel-host sample-image quick-start/sample.bmp
build/native/kavrel-host expose quick-start/sample.bmp --out quick-start/frames
echo "the twelve display pictures: $(pwd)/quick-start/frames/frame-00.bmp .. frame-11.bmp"
echo "the library for the Python package: KAVREL_LIBRARY=$(pwd)/build/native/libkavrel.so" \
     "(the shared host library libkavrelhost.so beside it)"
