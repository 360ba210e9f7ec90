# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (scripts/windows.sh
# passes this file as CMAKE_TOOLCHAIN_FILE).
#
# The compilers are the POSIX thread model variants, whose C++ library has the
# standard threads and mutexes. Every executable is linked statically, so it
# needs no MinGW DLL beside it. Test programs run under Wine: ctest and the
# test discovery start them through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(XMDOPT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${XMDOPT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${XMDOPT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${XMDOPT_MINGW_PREFIX}-windres)

# Libraries and headers come from the MinGW tree and from the folders the build
# names explicitly (Boost and GoogleTest built for MinGW), never from the
# host's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${XMDOPT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian's wine64 package puts its loader in /usr/lib/wine; the wine package
# adds a wrapper on the PATH.
find_program(XMDOPT_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(XMDOPT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${XMDOPT_WINE})
endif()
