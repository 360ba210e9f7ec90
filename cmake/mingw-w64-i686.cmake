# Cross-compiling for 32-bit Windows with Debian's MinGW-w64 (scripts/windows.sh
# --32-bit passes this file as CMAKE_TOOLCHAIN_FILE). Its programs need a
# 32-bit Wine, which Debian's wine64 is not: the tests are not built for it.
set(XMDOPT_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
