# The Debian package: built with CPack, unpacked with dpkg -x, and run.
add_test(NAME package/deb
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/package/package_test.py
                 ${CMAKE_CPACK_COMMAND} ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(package/deb PROPERTIES
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/audio/lsan.supp" SKIP_RETURN_CODE 77 TIMEOUT 300)
# scripts/install-deps.sh against stand-ins for apt: what each group and each
# make target installs.
add_test(NAME package/install_deps
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/package/install_deps_test.py ${PROJECT_SOURCE_DIR})
# The interpreter built without the audio engine and without GStreamer's
# development files: a build of its own, made once as part of this build (not
# inside the parallel tests, where it starved under load) and only brought up
# to date afterwards. pkg-config finds no .pc files at all there, so a build
# that still asked for GStreamer fails. Not repeated under the sanitizers.
if(NOT ZARNITH_SANITIZE)
  include(ExternalProject)
  set(no_audio_dir ${PROJECT_BINARY_DIR}/no-audio)
  set(no_audio_env ${CMAKE_COMMAND} -E env PKG_CONFIG_LIBDIR=${no_audio_dir}/no-pc PKG_CONFIG_PATH=)
  ExternalProject_Add(no_audio_build
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${no_audio_dir}
    STAMP_DIR ${no_audio_dir}/stamp
    CMAKE_GENERATOR Ninja
    CMAKE_COMMAND ${no_audio_env} ${CMAKE_COMMAND}
    # Build type None: no optimisation and no debug information, the quickest build.
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
               -DZARNITH_AUDIO=OFF -DZARNITH_TESTS=OFF
    BUILD_COMMAND ${no_audio_env} ${CMAKE_COMMAND} --build ${no_audio_dir} --target zarnith
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
  add_test(NAME package/no_audio
           COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/package/no_audio_test.py ${no_audio_dir})
endif()
# The man pages, the guide and the README against the one version of the build.
add_test(NAME package/versions
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/package/versions_test.py ${PROJECT_SOURCE_DIR}
                 ${PROJECT_VERSION} ${ZARNITH_RELEASE_DATE})
