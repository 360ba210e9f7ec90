# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (scripts/windows.sh
# passes this file as CMAKE_TOOLCHAIN_FILE). Test programs run under Wine:
# ctest and the test discovery start them through CMAKE_CROSSCOMPILING_EMULATOR.
set(XMDOPT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# Debian's wine64 package puts its loader in /usr/lib/wine; the wine package
# adds a wrapper on the PATH.
find_program(XMDOPT_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(XMDOPT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${XMDOPT_WINE})
endif()
