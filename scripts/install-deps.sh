#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root): compilers, CMake,
# GoogleTest, Google Benchmark, the MinGW-w64 32-bit and 64-bit cross compilers, 32-bit and 64-bit
# Wine and Xvfb; clang with its sanitizer and libFuzzer runtimes, and valgrind; Python's pip, venv,
# pytest and numpy for the Python package; the X11 libraries of the native display (Xlib, RandR,
# MIT-SHM, Present); libvips and lcms2, which read, convert and scale the host's photo files; for
# the 32-bit x86 Linux build, the multilib compiler, the i386 X11 libraries and the
# user-mode emulator that runs its tests on kernels without 32-bit support.
set -euo pipefail

packages=(build-essential cmake git libgtest-dev libgmock-dev libbenchmark-dev
          g++-mingw-w64-i686 wine wine32:i386 xvfb binutils
          clang libclang-rt-14-dev valgrind
          g++-mingw-w64-x86-64 wine64 python3-pip python3-venv python3-pytest python3-numpy
          libx11-dev libxrandr-dev libxext-dev libxpresent-dev libvips-dev liblcms2-dev
          g++-multilib libx11-dev:i386 libxrandr-dev:i386 libxext-dev:i386 libxpresent-dev:i386
          qemu-user-static)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages (run as root to install): ${missing[*]}" >&2
    exit 1
fi
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
