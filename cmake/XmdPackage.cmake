# Debian packages made by CPack from the install components of
# cmake/XmdInstall.cmake (scripts/package.sh builds them):
#   xmdopt         the tool component: /usr/bin/xmdopt and its manual page;
#                  its run-time libraries (Boost.Serialization, the C++
#                  runtime) come from dpkg-shlibdeps
#   libxmdopt-dev  the dev component: static libraries, headers, CMake
#                  package; needs Boost's headers and Boost.Serialization to
#                  build against
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME xmdopt)
set(CPACK_PACKAGE_VENDOR xmdopt)
set(CPACK_PACKAGE_CONTACT "xmdopt maintainers <xmdopt@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_COMPONENTS_ALL tool dev)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME xmdopt)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_TOOL_PACKAGE_SHLIBDEPS ON)
# The first line of each description is the package's synopsis.
set(CPACK_COMPONENT_TOOL_DESCRIPTION
  "batch optimiser for xmd model files
xmdopt walks a tree of xmd model files (nested-chunk binary containers),
checks every model against fixed limits, merges duplicate vertices and
rewrites each file in place. A file is either left exactly as it was or
replaced whole by its complete result.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libxmdopt-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
  "libboost-dev (>= 1.74), libboost-serialization-dev (>= 1.74)")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "foundation library of xmdopt: static libraries and headers
UTF-16 strings and text encodings, reference-counted objects, byte and chunk
streams, a file-system interface with directory traversal, and scene-graph
types with their XML archive forms and node animation blending. Comes with a
CMake package: find_package(xmdopt CONFIG) gives xmdopt::io, xmdopt::sg and
the other layers as imported targets.")

include(CPack)
