# The example scripts of examples/ are run by the golden scripts beside this
# file: each golden script is only directives, and its AFTER lines run the
# example through $ZARNITH from $ZN_EXAMPLES. The tour and the menu use the
# bass class, so the audio engine's leak suppressions apply too.
foreach(script ${ZARNITH_GOLDEN_SCRIPTS})
  file(RELATIVE_PATH name ${CMAKE_CURRENT_SOURCE_DIR}/scripts ${script})
  string(REGEX REPLACE "\\.zn$" "" name ${name})
  if(name MATCHES "^examples/")
    set_tests_properties(golden/${name} PROPERTIES
      ENVIRONMENT "ZARNITH=$<TARGET_FILE:zarnith>;ZN_EXAMPLES=${PROJECT_SOURCE_DIR}/examples;LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/audio/lsan.supp"
      LABELS examples)
  endif()
endforeach()
