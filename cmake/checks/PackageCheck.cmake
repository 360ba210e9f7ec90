# Builds the Debian packages of the build with CPack and checks them (cmake
# -P; ctest runs it, see cmake/XmdInstall.cmake): their names, dependencies
# and contents (dpkg-deb), then both unpacked into scratch roots (dpkg -x,
# no installation): the tool runs from its root, and examples/library_use
# builds against the -dev root. Variables as for InstallCheck.cmake, and
# CPACK_COMMAND.
include(${CMAKE_CURRENT_LIST_DIR}/CheckSupport.cmake)

xmd_fresh_dir(${WORK_DIR})
xmd_run(ignored ${CPACK_COMMAND} --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/out)
file(GLOB tool_deb ${WORK_DIR}/out/xmdopt_*.deb)
file(GLOB dev_deb ${WORK_DIR}/out/libxmdopt-dev_*.deb)
file(GLOB all_debs ${WORK_DIR}/out/*.deb)
list(LENGTH all_debs deb_count)
if(NOT tool_deb OR NOT dev_deb OR NOT deb_count EQUAL 2)
  message(FATAL_ERROR "expected xmdopt_*.deb and libxmdopt-dev_*.deb, got: ${all_debs}")
endif()

# --- control fields --------------------------------------------------------
xmd_run(depends dpkg-deb --field ${tool_deb} Depends)
xmd_expect_match("${depends}" "(^|, )libboost-serialization1\\.[0-9]+\\.[0-9]+( |,|\n)" "xmdopt Depends")
xmd_expect_match("${depends}" "(^|, )libstdc\\+\\+6( |,|\n)" "xmdopt Depends")
xmd_expect_match("${depends}" "(^|, )libc6( |,|\n)" "xmdopt Depends")
xmd_expect_no_match("${depends}" "-dev" "xmdopt Depends")
xmd_run(depends dpkg-deb --field ${dev_deb} Depends)
xmd_expect_match("${depends}" "(^|, )libboost-dev( |,|\n)" "libxmdopt-dev Depends")
xmd_expect_match("${depends}" "(^|, )libboost-serialization-dev( |,|\n)" "libxmdopt-dev Depends")
xmd_run(name dpkg-deb --field ${tool_deb} Package)
xmd_expect_match("${name}" "^xmdopt\n$" "tool package name")
xmd_run(name dpkg-deb --field ${dev_deb} Package)
xmd_expect_match("${name}" "^libxmdopt-dev\n$" "library package name")

# --- contents (lines of dpkg-deb --contents end with the path) -------------
xmd_run(contents dpkg-deb --contents ${tool_deb})
foreach(path usr/bin/xmdopt usr/share/man/man1/xmdopt.1.gz)
  xmd_expect_match("${contents}" " \\./${path}\n" "xmdopt contents")
endforeach()
xmd_expect_no_match("${contents}" " \\./usr/(include|lib)/[^\n]" "xmdopt contents")
xmd_run(contents dpkg-deb --contents ${dev_deb})
foreach(path
    usr/include/xmdopt/io/ChunkInputStream.h
    usr/include/xmdopt/io/fs/Path.h
    usr/include/xmdopt/lang/Ptr.h
    usr/include/xmdopt/sg/Node.h
    "usr/lib/([^/\n]+/)?libxmd_sg_registrations\\.a"
    "usr/lib/([^/\n]+/)?libxmd_lang\\.a"
    "usr/lib/([^/\n]+/)?cmake/xmdopt/xmdoptConfig\\.cmake"
    "usr/lib/([^/\n]+/)?cmake/xmdopt/xmdoptConfigVersion\\.cmake"
    "usr/lib/([^/\n]+/)?cmake/xmdopt/xmdoptTargets\\.cmake")
  xmd_expect_match("${contents}" " \\./${path}\n" "libxmdopt-dev contents")
endforeach()
xmd_expect_no_match("${contents}" " \\./usr/bin/" "libxmdopt-dev contents")
xmd_expect_no_match("${contents}" "(_test\\.h|/testing/|TestSupport\\.h|Fixtures\\.h)\n"
  "libxmdopt-dev contents")
xmd_expect_no_match("${contents}" " \\./usr/include/xmdopt/tool/" "libxmdopt-dev contents")

# --- the tool, unpacked -----------------------------------------------------
set(root ${WORK_DIR}/root)
xmd_run(ignored dpkg -x ${tool_deb} ${root})
xmd_run(out ${root}/usr/bin/xmdopt --version)
xmd_expect_match("${out}" "^xmdopt [0-9]+\\.[0-9]+" "xmdopt --version")
set(models ${WORK_DIR}/models)
file(MAKE_DIRECTORY ${models})
file(COPY ${SOURCE_DIR}/samples/scene.xmd DESTINATION ${models})
file(SHA256 ${models}/scene.xmd before)
xmd_run(out ${root}/usr/bin/xmdopt ${models}/scene.xmd)
xmd_expect_contains("${out}" "INFO : processing${models}/scene.xmd\n" "xmdopt on a sample")
xmd_expect_match("${out}" "INFO - optimization ([0-9]+) -> ([0-9]+)\n" "xmdopt on a sample")
set(welded FALSE)
string(REGEX MATCHALL "optimization [0-9]+ -> [0-9]+" counts "${out}")
foreach(line ${counts})
  string(REGEX MATCH "([0-9]+) -> ([0-9]+)" ignored "${line}")
  if(NOT CMAKE_MATCH_1 EQUAL CMAKE_MATCH_2)
    set(welded TRUE)
  endif()
endforeach()
file(SHA256 ${models}/scene.xmd after)
if(welded AND before STREQUAL after)
  message(FATAL_ERROR "xmdopt merged vertices of samples/scene.xmd but left the file unchanged")
endif()
xmd_run(page gzip -dc ${root}/usr/share/man/man1/xmdopt.1.gz)
file(READ ${SOURCE_DIR}/doc/xmdopt.1 source_page)
if(NOT page STREQUAL source_page)
  message(FATAL_ERROR "the packaged manual page differs from doc/xmdopt.1")
endif()

# --- the library, unpacked: the example builds against it ----------------------
set(devroot ${WORK_DIR}/devroot)
xmd_run(ignored dpkg -x ${dev_deb} ${devroot})
xmd_configure_and_build(${SOURCE_DIR}/examples/library_use ${WORK_DIR}/example
  -DCMAKE_PREFIX_PATH=${devroot}/usr)
file(MAKE_DIRECTORY ${WORK_DIR}/run)
xmd_run(out ${WORK_DIR}/example/library_use ${WORK_DIR}/run)
xmd_expect_contains("${out}" "nodes.xml: 4 nodes written, 4 read back, equal\n" "example over the package")

file(REMOVE_RECURSE ${WORK_DIR})
