# The Debian package: built with CPack, unpacked with dpkg -x, and run.
add_test(NAME package/deb
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/package/package_test.py
                 ${CMAKE_CPACK_COMMAND} ${PROJECT_BINARY_DIR})
set_tests_properties(package/deb PROPERTIES
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/audio/lsan.supp" SKIP_RETURN_CODE 77 TIMEOUT 300)
# scripts/install-deps.sh against stand-ins for apt: what each group and each
# make target installs.
add_test(NAME package/install_deps
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/package/install_deps_test.py ${PROJECT_SOURCE_DIR})
# The interpreter built without the audio engine and without GStreamer's
# development files (a build of its own; not repeated under the sanitizers).
if(NOT ZARNITH_SANITIZE)
  add_test(NAME package/no_audio
           COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/package/no_audio_test.py
                   ${PROJECT_SOURCE_DIR} ${CMAKE_CXX_COMPILER})
  set_tests_properties(package/no_audio PROPERTIES TIMEOUT 900)
endif()
