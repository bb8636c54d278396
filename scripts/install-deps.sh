#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root).
#
#   bash scripts/install-deps.sh --main   what the main job needs: the native library, the host,
#                                         the shared host library and the Python package
#                                         (compilers, CMake, GoogleTest and Google Benchmark,
#                                         which the native build compiles against, the X11
#                                         libraries of the native display (Xlib, RandR, MIT-SHM,
#                                         Present), libvips and lcms2, which read, convert and
#                                         scale the host's photo files, Python's venv, pip and
#                                         numpy)
#   bash scripts/install-deps.sh          all of that, and what the whole test run needs: the
#                                         MinGW-w64 32-bit and 64-bit cross compilers, 32-bit and
#                                         64-bit Wine and Xvfb; clang with its sanitizer and
#                                         libFuzzer runtimes, and valgrind; pytest; for the 32-bit
#                                         x86 Linux build the multilib compiler, the i386 X11
#                                         libraries and the user-mode emulator that runs its tests
#                                         on kernels without 32-bit support
#
# Nothing is installed when every package is there already, so that a user who is not root can
# run the commands once the packages are in place; otherwise the missing ones are named.
set -euo pipefail

main=(build-essential cmake libgtest-dev libgmock-dev libbenchmark-dev
      libx11-dev libxrandr-dev libxext-dev libxpresent-dev libvips-dev liblcms2-dev
      python3-pip python3-venv python3-numpy)
tests=(git binutils python3-pytest
       g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb
       clang libclang-rt-14-dev valgrind
       g++-multilib libx11-dev:i386 libxrandr-dev:i386 libxext-dev:i386 libxpresent-dev:i386
       qemu-user-static)

case "${1:-}" in
    --main) packages=("${main[@]}") ;;
    "") packages=("${main[@]}" "${tests[@]}") ;;
    *) echo "usage: $0 [--main]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages (run as root to install): ${missing[*]}" >&2
    exit 1
fi
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
fi
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
