# Installs the build into a fresh prefix and uses it as another project would
# (cmake -P; ctest runs it, see cmake/XmdInstall.cmake). Variables:
#   BUILD_DIR, SOURCE_DIR  the build tree and the repository
#   WORK_DIR               a directory of this check's own (emptied first,
#                          removed when the check passes)
#   GENERATOR, CXX_COMPILER  those of the build, for the consumer projects
#   MODE  example: builds examples/library_use with find_package(xmdopt),
#                  runs it on a sample, and runs the installed xmdopt on the
#                  file it wrote;
#         consumer: builds cmake/checks/consumer (every installed header,
#                  the archive registrations carried by xmdopt::sg) and
#                  checks that a request for another major version fails.
include(${CMAKE_CURRENT_LIST_DIR}/CheckSupport.cmake)

set(prefix ${WORK_DIR}/prefix)
xmd_fresh_dir(${WORK_DIR})
xmd_run(ignored ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The layout, whatever the library folder is called on this system.
file(GLOB_RECURSE config_file ${prefix}/*/cmake/xmdopt/xmdoptConfig.cmake)
if(NOT config_file)
  message(FATAL_ERROR "no cmake/xmdopt/xmdoptConfig.cmake under ${prefix}")
endif()
get_filename_component(config_dir ${config_file} DIRECTORY)
foreach(file
    bin/xmdopt
    share/man/man1/xmdopt.1.gz
    include/xmdopt/io/ChunkInputStream.h
    include/xmdopt/io/fs/FilesFileSystem.h
    include/xmdopt/sg/Node.h)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
foreach(file xmdoptConfigVersion.cmake xmdoptTargets.cmake)
  if(NOT EXISTS ${config_dir}/${file})
    message(FATAL_ERROR "not installed: ${config_dir}/${file}")
  endif()
endforeach()
file(GLOB_RECURSE test_headers ${prefix}/include/*_test.h ${prefix}/include/*/testing/*)
if(test_headers)
  message(FATAL_ERROR "test helpers installed: ${test_headers}")
endif()

# The consumer must have found this prefix, not another xmdopt.
function(expect_found_here binary)
  file(STRINGS ${binary}/CMakeCache.txt found REGEX "^xmdopt_DIR:")
  if(NOT found STREQUAL "xmdopt_DIR:PATH=${config_dir}")
    message(FATAL_ERROR "the consumer found ${found}, not ${config_dir}")
  endif()
endfunction()

if(MODE STREQUAL "example")
  set(binary ${WORK_DIR}/example)
  xmd_configure_and_build(${SOURCE_DIR}/examples/library_use ${binary}
    -DCMAKE_PREFIX_PATH=${prefix})
  expect_found_here(${binary})
  set(run ${WORK_DIR}/run)
  file(MAKE_DIRECTORY ${run})
  xmd_run(out ${binary}/library_use ${run} ${SOURCE_DIR}/samples/scene.xmd)
  set(expected "${run}/tiny.xmd: \"scene\", header 7
  \"model\" 106 bytes
    \"info\" 4 bytes
    \"material\" 1 byte
    \"points\" 48 bytes
    \"faces\" 6 bytes
  \"note\" 21 bytes
")
  string(FIND "${out}" "${expected}" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "chunk tree of tiny.xmd: expected\n${expected}\ngot\n${out}")
  endif()
  xmd_expect_match("${out}"
    "\n[^\n]*/samples/scene.xmd: \"[^\"\n]*\", header -?[0-9]+\n(  [^\n]*\n)*  \"model\" [0-9]+ bytes\n"
    "chunk tree of samples/scene.xmd")
  xmd_expect_contains("${out}" "\n${run}/nodes.xml: 4 nodes written, 4 read back, equal\n"
    "node graph archive")

  # The installed tool on the file the example wrote: the repeated vertex
  # goes, and the example reads the result.
  xmd_run(out ${prefix}/bin/xmdopt ${run}/tiny.xmd)
  xmd_expect_match("${out}" "INFO - optimization 4 -> 3\n" "installed xmdopt")
  xmd_run(out ${binary}/library_use ${WORK_DIR} ${run}/tiny.xmd)
  xmd_expect_contains("${out}" "\n${run}/tiny.xmd: \"scene\", header 7\n  \"model\" 96 bytes\n"
    "the processed file")
elseif(MODE STREQUAL "consumer")
  set(binary ${WORK_DIR}/consumer)
  xmd_configure_and_build(${SOURCE_DIR}/cmake/checks/consumer ${binary}
    -DCMAKE_PREFIX_PATH=${prefix} -DXMDOPT_REQUIRED_VERSION=${VERSION})
  expect_found_here(${binary})
  xmd_run(out ${binary}/registrations_sg)
  execute_process(COMMAND ${binary}/registrations_core RESULT_VARIABLE status OUTPUT_VARIABLE out)
  if(NOT status EQUAL 1 OR NOT out MATCHES "missing")
    message(FATAL_ERROR "without the registrations archive the check should fail: ${status} ${out}")
  endif()

  # SameMajorVersion: the next major version is refused.
  string(REGEX MATCH "^[0-9]+" major "${VERSION}")
  math(EXPR next "${major} + 1")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/cmake/checks/consumer
      -B ${WORK_DIR}/next -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
      -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
      -DXMDOPT_REQUIRED_VERSION=${next}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(status EQUAL 0)
    message(FATAL_ERROR "find_package(xmdopt ${next}) accepted version ${VERSION}")
  endif()
  xmd_expect_match("${err}" "xmdopt" "refusal of version ${next}")
else()
  message(FATAL_ERROR "MODE must be example or consumer, not '${MODE}'")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
