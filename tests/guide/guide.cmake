# Every example of the language guide runs and must print what the guide shows.
add_test(NAME guide/examples
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/guide/guide_examples.py
                 $<TARGET_FILE:zarnith> ${PROJECT_SOURCE_DIR}/docs/language.md)
set_tests_properties(guide/examples PROPERTIES
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/audio/lsan.supp" TIMEOUT 300)
