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
