# Helpers of the tool sessions (cmake -P scripts): run a program and check its exit status,
# then match patterns against what it printed. RUN_DIRECTORY is the programs' working folder.
if(NOT DEFINED RUN_DIRECTORY)
  set(RUN_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endif()

function(run expected_status)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${RUN_DIRECTORY} RESULT_VARIABLE status
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status STREQUAL expected_status)
    message(FATAL_ERROR "${ARGN}\nexit ${status}, expected ${expected_status}\n${out}\n${err}")
  endif()
  set(out "${out}${err}" PARENT_SCOPE)
endfunction()

function(expect pattern)
  if(NOT out MATCHES "${pattern}")
    message(FATAL_ERROR "output lacks '${pattern}':\n${out}")
  endif()
endfunction()
