# The library built for 32-bit x86 Linux (i386) with the multilib compiler, its tests run under
# user-mode emulation: a kernel without 32-bit support still runs them, and the code is compiled
# as for the 32-bit DLL (32-bit pointers and size_t, eight vector registers, SSE2 as the baseline,
# floating point in the SSE registers).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
# The i386 libraries of the multiarch layout (X11 and its extensions), never the 64-bit ones.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386-static -L /)
