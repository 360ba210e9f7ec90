# xmd_add_test(NAME <exe> SOURCES <files...> LIBS <targets...> [TIMEOUT <seconds>])
# One GoogleTest executable per layer; ctest lists every test case of it.
# TIMEOUT: ctest's limit for each test case (300 s unless given); tests that
# run the tool many times get a larger one, with ample room for a machine
# busy with other work.
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
#   xmd_lang      lang/       strings, encodings, formats, exceptions, objects (+ util/Vector.h, util/Allocator.h)
#   xmd_io        io/         stream family, data streams, chunk streams
#   xmd_fs        io/fs/      paths, file systems
#   xmd_util      util/       directory traversals
#   xmd_sg        sg/ (with math/, pix/, anim/, sgu/, mem/)  scene graph, archive forms, blending
#   xmd_tool      tool/       model processing; the xmdopt executable
# Test executables: lang_test, io_test, fs_test, util_test, sg_test, tool_test.
