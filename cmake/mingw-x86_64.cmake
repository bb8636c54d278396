# Cross build of the 64-bit Windows DLL with MinGW-w64.
set(KAVREL_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
# Debian's 64-bit Wine loader; the wine command itself starts the 32-bit one.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
