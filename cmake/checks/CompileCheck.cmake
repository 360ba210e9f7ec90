# Compiles one source several times, one syntax check per case, and fails
# unless each case behaves as expected (cmake -P; ctest runs it). Variables:
#   CXX       the compiler
#   SOURCE    the source file
#   INCLUDE   the include directory (the repository root)
#   FAILING   cases that must not compile: each is compiled with -D<case>,
#             and its errors must mention EXPECT
#   EXPECT    text every failing case's errors hold (what the failure is about)
# The source compiled without any case is the control and must compile, so a
# failing case fails for its own line and not for a fault of the file.
include(${CMAKE_CURRENT_LIST_DIR}/CheckSupport.cmake)

set(flags -std=c++17 -fsyntax-only -I${INCLUDE})

xmd_run(ignored ${CXX} ${flags} ${SOURCE})
message(STATUS "control: compiles")

foreach(case ${FAILING})
  execute_process(COMMAND ${CXX} ${flags} -D${case} ${SOURCE}
    RESULT_VARIABLE status OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
  if(status EQUAL 0)
    message(FATAL_ERROR "${case}: compiles, but must not")
  endif()
  xmd_expect_contains("${stderr}" "${EXPECT}" "${case}: the errors")
  message(STATUS "${case}: refused")
endforeach()
