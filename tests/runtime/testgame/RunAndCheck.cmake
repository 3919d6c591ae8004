# Runs the program given after "--" and passes only when it ends with status 0
# and its standard output matches EXPECT. A test's pass pattern alone would
# pass a run that printed the right line and then failed, as a sanitizer
# report after a clean main does.
#   cmake -DEXPECT=<regex> -P RunAndCheck.cmake -- <program> <arguments...>
# (no argument may hold a ";": CMake would split it)
set(command)
set(in_command FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(in_command)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(in_command TRUE)
  endif()
endforeach()
if(NOT command)
  message(FATAL_ERROR "no program to run after --")
endif()

execute_process(COMMAND ${command}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ECHO_OUTPUT_VARIABLE)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "the program ended with status ${status}")
endif()
if(NOT output MATCHES "${EXPECT}")
  message(FATAL_ERROR "the output does not match: ${EXPECT}")
endif()
