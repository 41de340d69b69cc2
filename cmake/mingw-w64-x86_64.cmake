# Cross-builds the Windows programs with Debian's mingw-w64 (POSIX threads,
# for std::thread and std::mutex): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVYPC_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ORVYPC_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVYPC_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVYPC_MINGW_TRIPLET}-windres)

# Libraries and headers come from the mingw-w64 tree only, never from the
# build machine's own /usr/include or /usr/lib.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVYPC_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run on a bare Windows machine: the C++ runtime, libgcc and
# winpthread are linked in, not shipped as DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine (Debian's wine64), each in the WINEPREFIX the test
# script gives.
find_program(ORVYPC_WINE wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ORVYPC_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVYPC_WINE})
endif()
