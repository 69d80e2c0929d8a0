# Cross build for 32-bit Windows with Debian's MinGW-w64 compiler
# (g++-mingw-w64-i686), its POSIX-threads variant.
#
#   cmake -S . -B build-win32 --toolchain cmake/toolchains/i686-w64-mingw32.cmake
#
# Libraries are looked up under the MinGW root only, so nothing built for
# the build machine (GoogleTest, Assimp, CLI11, ...) is picked up: the parts
# that need them switch themselves off. Test programs run under Wine when it
# is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(KIN_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KIN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KIN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KIN_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${KIN_MINGW_TRIPLET}-objdump CACHE FILEPATH "objdump for the target")

set(CMAKE_FIND_ROOT_PATH /usr/${KIN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the target's programs through Wine (32-bit; wine32:i386).
find_program(KIN_WINE NAMES wine)
if(KIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KIN_WINE})
endif()
