# xmd_add_test(NAME <exe> SOURCES <files...> LIBS <targets...> [TIMEOUT <seconds>])
# A GoogleTest executable (linked with gtest_main); ctest lists each of its
# test cases, found when the tests run. TIMEOUT: ctest's limit for each test
# case (300 s unless given); tests that run the tool many times get a larger
# one, with ample room for a machine busy with other work.
function(xmd_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT XMDOPT_BUILD_TESTS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  # GoogleTest's headers are most of the parsing of a test file: parsed once
  # per executable.
  target_precompile_headers(${T_NAME} PRIVATE <gtest/gtest.h> <string> <vector> <memory>)
  if(XMDOPT_SANITIZE)
    # The tests' own code is unoptimised there: it builds in less than half
    # the time, and the code under test keeps the libraries' -O1.
    target_compile_options(${T_NAME} PRIVATE -O0)
  endif()
  gtest_discover_tests(${T_NAME}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# xmd_add_bench(NAME <exe> SOURCES <files...> LIBS <targets...>)
# Benchmarks are built with the rest, never run by ctest.
function(xmd_add_bench)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT XMDOPT_BUILD_BENCH)
    return()
  endif()
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()

# Target names, lowest layer first (each defined in its folder's CMakeLists.txt):
#   xmd_platform  platform/   stand-ins for the operating-system calls
#   xmd_lang      lang/       strings, encodings, formats, exceptions (the io
#                             exception classes too), objects; util/Vector.h
#                             and util/Allocator.h are headers that come with it
#   xmd_io        io/         stream family, data streams, chunk streams
#   xmd_fs        io/fs/      paths, file systems
#   xmd_util      util/       directory traversals
#   xmd_sg        sg/ (with math/, pix/, anim/, sgu/, mem/)  scene graph, archive forms, blending
#   xmd_tool      tool/       model processing and the batch driver; the xmdopt executable
#   xmd_testing   testing/    shared test helpers (namespace xmdtest)
# Test executables: platform_test, lang_test (with util's containers), io_test,
# fs_test, util_test, sg_test, sg_registration_test, tool_test; fuzz/ adds the
# replay of its corpora and the root the layer check (scripts/check_layers.sh).
# Installed (cmake/XmdInstall.cmake), the libraries are xmdopt::platform,
# xmdopt::lang, xmdopt::io, xmdopt::fs, xmdopt::util and xmdopt::sg (xmd_sg with
# its registrations linked whole); xmd_tool is not installed.
