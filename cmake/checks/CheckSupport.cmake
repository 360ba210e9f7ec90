cmake_minimum_required(VERSION 3.18)

# Helpers of the install, package and manual-page checks (cmake -P scripts
# run by ctest; see cmake/XmdInstall.cmake).

# xmd_run(<out-var> <command>...): runs the command; fails the check with the
# command, its status and its output unless it exits 0. <out-var> receives
# standard output.
function(xmd_run out)
  execute_process(COMMAND ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " line "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${line}\n--- stdout:\n${stdout}\n--- stderr:\n${stderr}")
  endif()
  set(${out} "${stdout}" PARENT_SCOPE)
endfunction()

# xmd_expect_match(<text> <regex> <what>): fails unless text matches regex.
function(xmd_expect_match text regex what)
  if(NOT text MATCHES "${regex}")
    message(FATAL_ERROR "${what}: no match for /${regex}/ in:\n${text}")
  endif()
endfunction()

# xmd_expect_contains(<text> <part> <what>): fails unless text holds part as
# it stands (no pattern: paths may hold any character).
function(xmd_expect_contains text part what)
  string(FIND "${text}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what}: \"${part}\" not found in:\n${text}")
  endif()
endfunction()

# xmd_expect_no_match(<text> <regex> <what>): fails when text matches regex.
function(xmd_expect_no_match text regex what)
  if(text MATCHES "${regex}")
    message(FATAL_ERROR "${what}: unexpected /${regex}/ (\"${CMAKE_MATCH_0}\") in:\n${text}")
  endif()
endfunction()

# xmd_fresh_dir(<dir>): an empty directory of this check's own.
function(xmd_fresh_dir dir)
  file(REMOVE_RECURSE "${dir}")
  file(MAKE_DIRECTORY "${dir}")
endfunction()

# xmd_configure_and_build(<source> <binary> <cmake-args>...): configures a
# separate CMake project with the build's compiler and generator, then builds
# it. Fails the check on any error.
function(xmd_configure_and_build source binary)
  xmd_run(ignored ${CMAKE_COMMAND} -S "${source}" -B "${binary}" -G "${GENERATOR}"
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    ${ARGN})
  xmd_run(ignored ${CMAKE_COMMAND} --build "${binary}")
endfunction()
