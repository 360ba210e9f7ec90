# What the MinGW-w64 toolchain files share (cmake/mingw-w64-x86_64.cmake and
# cmake/mingw-w64-i686.cmake set XMDOPT_MINGW_PREFIX and the processor, then
# include this one).
#
# The compilers are the POSIX thread model variants, whose C++ library has the
# standard threads and mutexes. Every executable is linked statically, so it
# needs no MinGW DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)

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
