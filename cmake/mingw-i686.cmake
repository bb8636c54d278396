# Cross build of the 32-bit Windows DLL with MinGW-w64.
set(KAVREL_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
