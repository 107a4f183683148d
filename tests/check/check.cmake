# zarnith-check: one script per check with its expected diagnostics, the
# command line, and no error on the examples and the guide's working examples.
file(GLOB ZARNITH_CHECK_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/check/*.zn)
foreach(script ${ZARNITH_CHECK_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME check/${name}
           COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/check/check_golden.py
                   $<TARGET_FILE:zarnith-check> ${script})
endforeach()
add_test(NAME check/command_line
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/check/cli_test.py $<TARGET_FILE:zarnith-check>)
add_test(NAME check/clean
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/check/clean_check.py $<TARGET_FILE:zarnith-check>
                 ${PROJECT_SOURCE_DIR}/examples ${PROJECT_SOURCE_DIR}/docs/language.md)

# zarnith-trace runs every golden script with the same standard output and
# exit status as zarnith (the trace itself goes to the null device here).
# Shell sessions (MODE: shell) have no script to trace.
foreach(script ${ZARNITH_GOLDEN_SCRIPTS})
  file(STRINGS ${script} mode LIMIT_COUNT 1)
  if(mode MATCHES "^# MODE: shell")
    continue()
  endif()
  file(RELATIVE_PATH name ${CMAKE_CURRENT_SOURCE_DIR}/scripts ${script})
  string(REGEX REPLACE "\\.zn$" "" name ${name})
  add_test(NAME trace/${name}
           COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/golden.py $<TARGET_FILE:zarnith-trace> ${script})
  get_test_property(golden/${name} ENVIRONMENT environment)
  set_tests_properties(trace/${name} PROPERTIES ENVIRONMENT "ZARNITH_TRACE_FILE=/dev/null;${environment}")
endforeach()
add_test(NAME trace/format
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/trace/trace_test.py $<TARGET_FILE:zarnith-trace>)
add_test(NAME check/vim_compiler
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/check/vim_compiler_test.py
                 $<TARGET_FILE:zarnith-check> ${PROJECT_SOURCE_DIR})
set_tests_properties(check/vim_compiler PROPERTIES SKIP_RETURN_CODE 77)
