# Install rules and the CMake package of xmdopt. Included by the top-level
# CMakeLists.txt after every layer is defined.
#
# Two install components:
#   tool  bin/xmdopt and its manual page (share/man/man1/xmdopt.1.gz)
#   dev   the layer libraries, their headers under include/xmdopt/, and the
#         package config: find_package(xmdopt CONFIG) gives xmdopt::platform,
#         xmdopt::lang, xmdopt::io, xmdopt::fs, xmdopt::util and xmdopt::sg.
#
# Headers are found by globbing each layer's folder, so a header added to a
# layer is installed without touching this file; test helpers (*_test.h,
# *TestSupport.h, *Fixtures.h and the testing/ folders) are left out. The
# consumer check (cmake/checks/consumer/) compiles every installed header
# against the installed tree, so a header that includes one not installed
# fails the suite.
#
# Both include forms work through the targets' include directories:
# <xmdopt/io/ChunkInputStream.h> (include/) and the project's own
# "io/ChunkInputStream.h" (include/xmdopt/), which the headers themselves use.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(XMDOPT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/xmdopt)

# --- tool -------------------------------------------------------------------
if(TARGET xmdopt)
  install(TARGETS xmdopt RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
endif()

# Debian installs manual pages compressed (gzip -9n: no name or time stamp in
# the header, so the bytes depend on the page alone).
set(xmd_man_gz ${PROJECT_BINARY_DIR}/doc/xmdopt.1.gz)
add_custom_command(OUTPUT ${xmd_man_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/doc/xmdopt.1 > ${xmd_man_gz}
  DEPENDS ${PROJECT_SOURCE_DIR}/doc/xmdopt.1
  COMMENT "Compressing the manual page"
  VERBATIM)
add_custom_target(xmdopt_man ALL DEPENDS ${xmd_man_gz})
install(FILES ${xmd_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)

# --- dev: headers -------------------------------------------------------------
# Layer folders whose headers make up the library's interface. A folder that
# does not exist is skipped.
set(xmd_header_folders platform lang util io io/fs sg sgu math pix anim mem)
foreach(folder ${xmd_header_folders})
  file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  list(FILTER headers EXCLUDE REGEX "(_test|TestSupport|Fixtures)\\.h$")
  # The system's own declarations, for the Windows build of platform/ only.
  if(NOT WIN32)
    list(FILTER headers EXCLUDE REGEX "/Win32\\.h$")
  endif()
  if(headers)
    install(FILES ${headers}
      DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/xmdopt/${folder}
      COMPONENT dev)
  endif()
endforeach()

# --- dev: libraries and their exported targets --------------------------------
# (build target, exported name). xmd_sg is exported as sg_core: the scene-graph
# code without its archive registrations. Consumers link xmdopt::sg, which
# adds the registrations (below).
set(xmd_exported
  xmd_platform platform
  xmd_lang lang
  xmd_io io
  xmd_fs fs
  xmd_util util
  xmd_sg sg_core)
set(xmd_export_targets)
while(xmd_exported)
  list(POP_FRONT xmd_exported target name)
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  # Inside the build tree the whole repository is on the include path
  # (top-level include_directories); installed, the two include forms.
  target_include_directories(${target} INTERFACE
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/xmdopt>)
  list(APPEND xmd_export_targets ${target})
endwhile()

# The archive registrations (serializers, type records, base relations of the
# scene-graph classes) are static objects that nothing references: an archive
# library would drop them at link time. Inside the build tree they come as
# objects (sg/CMakeLists.txt); installed they are an archive of the same
# objects that xmdopt::sg links whole, ahead of xmdopt::sg_core.
add_library(xmd_sg_registrations_archive STATIC $<TARGET_OBJECTS:xmd_sg_registrations>)
set_target_properties(xmd_sg_registrations_archive PROPERTIES
  EXPORT_NAME sg_registrations
  OUTPUT_NAME xmd_sg_registrations)
target_link_libraries(xmd_sg_registrations_archive INTERFACE xmd_sg)

add_library(xmd_sg_package INTERFACE)
set_target_properties(xmd_sg_package PROPERTIES EXPORT_NAME sg)
# The name inside $<INSTALL_INTERFACE:...> is written to the export as it
# stands, hence the namespaced form. Linking an archive whole needs CMake
# 3.24 on the consumer's side (xmdoptConfig.cmake says so).
target_link_libraries(xmd_sg_package INTERFACE
  "$<INSTALL_INTERFACE:$<LINK_LIBRARY:WHOLE_ARCHIVE,xmdopt::sg_registrations>>"
  xmd_sg)

install(TARGETS ${xmd_export_targets} xmd_sg_registrations_archive xmd_sg_package
  EXPORT xmdoptTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
# Everything the install rules take, for a build of the packages alone
# (scripts/package.sh).
add_custom_target(xmdopt_install_parts)
add_dependencies(xmdopt_install_parts
  ${xmd_export_targets} xmd_sg_registrations_archive xmdopt_man)
if(TARGET xmdopt)
  add_dependencies(xmdopt_install_parts xmdopt)
endif()

install(EXPORT xmdoptTargets
  NAMESPACE xmdopt::
  DESTINATION ${XMDOPT_INSTALL_CMAKEDIR}
  COMPONENT dev)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/xmdoptConfig.cmake.in
  ${PROJECT_BINARY_DIR}/xmdoptConfig.cmake
  INSTALL_DESTINATION ${XMDOPT_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/xmdoptConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/xmdoptConfig.cmake
  ${PROJECT_BINARY_DIR}/xmdoptConfigVersion.cmake
  DESTINATION ${XMDOPT_INSTALL_CMAKEDIR}
  COMPONENT dev)

# --- checks -----------------------------------------------------------------
# The manual page renders without warnings and lists what --help lists. The
# install, consumer and package checks (cmake/checks/) each work in a folder
# of their own under the build tree, need no network, and take what time the
# machine gives them; they run in the normal build only (the sanitizer and
# fuzz builds check the code, not how it is packaged). A cross-built xmdopt
# runs through the build's emulator (Wine for Windows); the install and
# package checks build a consumer and a package for the host, so a cross
# build has none.
if(XMDOPT_BUILD_TESTS AND TARGET xmdopt)
  add_test(NAME package.ManPage
    COMMAND ${CMAKE_COMMAND} -DMAN_PAGE=${PROJECT_SOURCE_DIR}/doc/xmdopt.1
      -DXMDOPT_EXE=$<TARGET_FILE:xmdopt> "-DXMDOPT_EMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
      -P ${PROJECT_SOURCE_DIR}/cmake/checks/ManPageCheck.cmake)
  set_tests_properties(package.ManPage PROPERTIES TIMEOUT 300)
endif()
if(XMDOPT_BUILD_TESTS)
  # The README's library example is the one the suite builds.
  add_test(NAME package.ReadmeExample
    COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/checks/ReadmeExample.sh ${PROJECT_SOURCE_DIR})
  set_tests_properties(package.ReadmeExample PROPERTIES TIMEOUT 300)
endif()
if(XMDOPT_BUILD_TESTS AND TARGET xmdopt AND NOT XMDOPT_SANITIZE AND NOT XMDOPT_FUZZ
   AND NOT CMAKE_CROSSCOMPILING)
  set(xmd_check_args
    -DBUILD_DIR=${PROJECT_BINARY_DIR}
    -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
    -DGENERATOR=${CMAKE_GENERATOR}
    -DCXX_COMPILER=${CMAKE_CXX_COMPILER}
    -DVERSION=${PROJECT_VERSION})
  foreach(mode example consumer)
    add_test(NAME package.Install.${mode}
      COMMAND ${CMAKE_COMMAND} ${xmd_check_args} -DMODE=${mode}
        -DWORK_DIR=${PROJECT_BINARY_DIR}/package_checks/install_${mode}
        -P ${PROJECT_SOURCE_DIR}/cmake/checks/InstallCheck.cmake)
  endforeach()
  add_test(NAME package.Debian
    COMMAND ${CMAKE_COMMAND} ${xmd_check_args} -DCPACK_COMMAND=${CMAKE_CPACK_COMMAND}
      -DWORK_DIR=${PROJECT_BINARY_DIR}/package_checks/debian
      -P ${PROJECT_SOURCE_DIR}/cmake/checks/PackageCheck.cmake)
  set_tests_properties(package.Install.example package.Install.consumer package.Debian
    PROPERTIES TIMEOUT 1800)
endif()
