# Tests of the bass class (included from tests/CMakeLists.txt, after the golden
# scripts are registered).
#
# golden/bass/fake/*: run against a stand-in libbass.so that logs every call;
#   the loader finds it through LD_LIBRARY_PATH, as it would the real library.
# golden/bass/engine/*: run on the built-in engine, device 0 ("No sound"),
#   with audio files written by make_audio ($ZN_MAKE_AUDIO in SETUP lines).

set(ZARNITH_FAKE_BASS_DIR ${CMAKE_CURRENT_BINARY_DIR}/fakebass)
add_library(fake_bass SHARED audio/fake_bass.cpp)
set_target_properties(fake_bass PROPERTIES
  OUTPUT_NAME bass
  CXX_VISIBILITY_PRESET hidden
  LIBRARY_OUTPUT_DIRECTORY ${ZARNITH_FAKE_BASS_DIR})
target_include_directories(fake_bass PRIVATE ${PROJECT_SOURCE_DIR}/src)

find_package(PkgConfig REQUIRED)
pkg_check_modules(ZARNITH_TEST_GST REQUIRED IMPORTED_TARGET gstreamer-1.0)
add_executable(make_audio audio/make_audio.cpp)
target_link_libraries(make_audio PRIVATE PkgConfig::ZARNITH_TEST_GST)

# GStreamer keeps a few process-lifetime allocations that LeakSanitizer would
# report; the suppressions name only those.
set(ZARNITH_AUDIO_TEST_ENV
  ZN_MAKE_AUDIO=$<TARGET_FILE:make_audio>
  LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/audio/lsan.supp:print_suppressions=0)

foreach(script ${ZARNITH_GOLDEN_SCRIPTS})
  file(RELATIVE_PATH name ${CMAKE_CURRENT_SOURCE_DIR}/scripts ${script})
  string(REGEX REPLACE "\\.zn$" "" name ${name})
  if(name MATCHES "^bass/fake/")
    set_tests_properties(golden/${name} PROPERTIES
      ENVIRONMENT "LD_LIBRARY_PATH=${ZARNITH_FAKE_BASS_DIR}"
      LABELS audio)
  elseif(name MATCHES "^bass/")
    set_tests_properties(golden/${name} PROPERTIES
      ENVIRONMENT "${ZARNITH_AUDIO_TEST_ENV}"
      LABELS audio)
  endif()
endforeach()

# These tests need the test builds and the engine module.
add_custom_target(zarnith_audio_tests ALL DEPENDS fake_bass make_audio)

add_executable(bass_unit_tests audio/bass_test.cpp)
target_link_libraries(bass_unit_tests PRIVATE zarnith_core GTest::gtest GTest::gtest_main)
target_include_directories(bass_unit_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
gtest_discover_tests(bass_unit_tests DISCOVERY_MODE PRE_TEST)

add_test(NAME audio/url
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/audio/engine_test.py url
                 $<TARGET_FILE:zarnith> $<TARGET_FILE:make_audio>)
add_test(NAME audio/traces
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/audio/engine_test.py traces
                 $<TARGET_FILE:zarnith> $<TARGET_FILE:make_audio>)
add_test(NAME audio/no_engine
         COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/audio/engine_test.py no-engine
                 $<TARGET_FILE:zarnith>)
set_tests_properties(audio/url audio/traces audio/no_engine PROPERTIES
  ENVIRONMENT "${ZARNITH_AUDIO_TEST_ENV}"
  LABELS audio)

# Real output through a private PulseAudio server with a null sink, recorded
# back with parec. Opt-in: CI machines have neither.
option(ZARNITH_AUDIO_OUTPUT_TESTS "Also test audible output (needs pulseaudio and parec)" OFF)
if(ZARNITH_AUDIO_OUTPUT_TESTS)
  add_test(NAME audio/pulse
           COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/audio/engine_test.py pulse
                   $<TARGET_FILE:zarnith> $<TARGET_FILE:make_audio>)
  set_tests_properties(audio/pulse PROPERTIES LABELS audio RUN_SERIAL ON)
endif()
