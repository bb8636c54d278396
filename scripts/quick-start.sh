#!/usr/bin/env bash
# The main job from a fresh clone: installs what is missing, builds the library and the host
# natively, makes a sample image and shows its twelve frames on a file display, which writes
# every display picture as a bitmap into quick-start/frames/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target kavrel-host
mkdir -p quick-start
build/native/kavrel-host sample-image quick-start/sample.bmp
build/native/kavrel-host expose quick-start/sample.bmp --out quick-start/frames
echo "the twelve display pictures: $(pwd)/quick-start/frames/frame-00.bmp .. frame-11.bmp"
