# Checks the manual page (cmake -P; ctest runs it, see cmake/XmdInstall.cmake):
# groff renders it with every warning enabled and says nothing; it has the
# usual sections; and every option and exit status that `xmdopt --help`
# lists appears in it. Variables: MAN_PAGE, XMDOPT_EXE, and XMDOPT_EMULATOR
# (what runs a cross-built xmdopt; empty for a native one).
include(${CMAKE_CURRENT_LIST_DIR}/CheckSupport.cmake)

execute_process(COMMAND groff -man -Tutf8 -ww -z ${MAN_PAGE}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "groff -man -ww on ${MAN_PAGE} (${status}):\n${warnings}")
endif()

# man(1) opens it as a reader would, where man-db is installed. (man passes
# its own warnings setting to groff but shows no warnings here: the groff
# run above is the warnings check.)
find_program(MAN_COMMAND man)
if(MAN_COMMAND)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env MANPAGER=cat MANWIDTH=80
      ${MAN_COMMAND} -l ${MAN_PAGE}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE errors)
  if(NOT status EQUAL 0 OR NOT out MATCHES "XMDOPT\\(1\\)")
    message(FATAL_ERROR "man -l ${MAN_PAGE} (${status}):\n${errors}\n${out}")
  endif()
endif()

# Plain text: no overstriking, no hyphenation, lines long enough that no
# option is split, runs of blanks as one.
xmd_run(text groff -man -Tascii -P-cbou -rHY=0 -rLL=250n ${MAN_PAGE})
string(REGEX REPLACE "[ \t]+" " " text "${text}")
foreach(section NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES "SEE ALSO")
  xmd_expect_match("${text}" "\n${section}\n" "section ${section}")
endforeach()
# section(<out-var> <title>): the text of one section, up to the next title.
function(section out title)
  string(FIND "${text}" "\n${title}\n" at)
  string(SUBSTRING "${text}" ${at} -1 rest)
  string(LENGTH "\n${title}\n" skip)
  string(SUBSTRING "${rest}" ${skip} -1 rest)
  if(rest MATCHES "\n[A-Z][A-Z ]+\n")
    string(FIND "${rest}" "${CMAKE_MATCH_0}" end)
    string(SUBSTRING "${rest}" 0 ${end} rest)
  endif()
  set(${out} "\n${rest}" PARENT_SCOPE)
endfunction()
section(options_section OPTIONS)
section(exit_section "EXIT STATUS")

xmd_run(help ${XMDOPT_EMULATOR} ${XMDOPT_EXE} --help)
string(REPLACE "\r" "" help "${help}")  # Windows ends its console lines with CR LF
# Option lines of the help: "  -x, --long ..." or "  --long ...".
string(REGEX MATCHALL "\n  (-[A-Za-z0-9], )?--[a-z][a-z-]*" option_lines "${help}")
set(options)
foreach(line ${option_lines})
  string(REGEX MATCHALL "--?[A-Za-z0-9][a-z-]*" names "${line}")
  list(APPEND options ${names})
endforeach()
foreach(required --help --version)
  if(NOT required IN_LIST options)
    message(FATAL_ERROR "${required} not found among the options of --help:\n${help}")
  endif()
endforeach()
foreach(option ${options})
  string(REPLACE "-" "\\-" pattern "${option}")
  xmd_expect_match("${options_section}" "[^a-z-]${pattern}([^a-z-]|$)"
    "option ${option} of --help in OPTIONS")
endforeach()

# Exit statuses: the lines "  N  ..." or "  N, M  ..." after "Exit status:".
string(FIND "${help}" "Exit status:" help_exit_at)
set(statuses)
if(NOT help_exit_at EQUAL -1)
  string(SUBSTRING "${help}" ${help_exit_at} -1 help_exit)
  string(REGEX MATCHALL "\n  [0-9]+(, [0-9]+)*  " status_lines "${help_exit}")
  foreach(line ${status_lines})
    string(REGEX MATCHALL "[0-9]+" numbers "${line}")
    list(APPEND statuses ${numbers})
  endforeach()
endif()
foreach(status ${statuses})
  xmd_expect_match("${exit_section}" "\n ([0-9]+, )*${status}[ ,]" "exit status ${status} of --help")
endforeach()
list(LENGTH options option_count)
list(LENGTH statuses status_count)
message(STATUS "${option_count} option names and ${status_count} exit statuses of --help found in the page")
