# What `make install` puts under the prefix besides the executable and the
# audio module (the man page, the guide, the examples and the editor files),
# and the two Debian packages that `make package` builds from the same rules:
# zarnith (component zarnith: the interpreter and all but sound) and
# zarnith-audio (component audio: the GStreamer engine module).

set(ZARNITH_MAINTAINER "Zarnith developers <zarnith@example.org>")
set(ZARNITH_DEBIAN_DIR ${PROJECT_BINARY_DIR}/debian)

# Debian keeps manual pages and changelogs compressed (-n: no name or time
# stamp, so a rebuild gives the same bytes).
function(zarnith_gzip source output)
  add_custom_command(OUTPUT ${output}
                     COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${source} ${output}
                     DEPENDS ${source} VERBATIM)
endfunction()

# The copyright file in Debian's machine-readable format, made from LICENSE:
# its copyright line and its terms, indented, blank lines written as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE ZARNITH_LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${ZARNITH_LICENSE}")
set(ZARNITH_COPYRIGHT ${CMAKE_MATCH_1})
string(FIND "${ZARNITH_LICENSE}" "Permission is hereby granted" ZARNITH_TERMS_START)
string(SUBSTRING "${ZARNITH_LICENSE}" ${ZARNITH_TERMS_START} -1 ZARNITH_LICENSE_TERMS)
string(STRIP "${ZARNITH_LICENSE_TERMS}" ZARNITH_LICENSE_TERMS)
string(REPLACE "\n\n" "\n.\n" ZARNITH_LICENSE_TERMS "${ZARNITH_LICENSE_TERMS}")
string(REPLACE "\n" "\n " ZARNITH_LICENSE_TERMS "${ZARNITH_LICENSE_TERMS}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in ${ZARNITH_DEBIAN_DIR}/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${ZARNITH_DEBIAN_DIR}/changelog @ONLY)

foreach(page zarnith zarnith-check zarnith-trace zarnith-lsp zarnith-dap)
  zarnith_gzip(${PROJECT_SOURCE_DIR}/docs/${page}.1 ${ZARNITH_DEBIAN_DIR}/${page}.1.gz)
endforeach()
zarnith_gzip(${ZARNITH_DEBIAN_DIR}/changelog ${ZARNITH_DEBIAN_DIR}/changelog.gz)
add_custom_target(zarnith_compressed_docs ALL
                  DEPENDS ${ZARNITH_DEBIAN_DIR}/zarnith.1.gz ${ZARNITH_DEBIAN_DIR}/zarnith-check.1.gz
                          ${ZARNITH_DEBIAN_DIR}/zarnith-trace.1.gz ${ZARNITH_DEBIAN_DIR}/zarnith-lsp.1.gz
                          ${ZARNITH_DEBIAN_DIR}/zarnith-dap.1.gz ${ZARNITH_DEBIAN_DIR}/changelog.gz)

install(FILES ${ZARNITH_DEBIAN_DIR}/zarnith.1.gz ${ZARNITH_DEBIAN_DIR}/zarnith-check.1.gz
              ${ZARNITH_DEBIAN_DIR}/zarnith-trace.1.gz ${ZARNITH_DEBIAN_DIR}/zarnith-lsp.1.gz
              ${ZARNITH_DEBIAN_DIR}/zarnith-dap.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT zarnith)
install(FILES ${PROJECT_SOURCE_DIR}/docs/language.md ${PROJECT_SOURCE_DIR}/README.md
              ${ZARNITH_DEBIAN_DIR}/copyright ${ZARNITH_DEBIAN_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT zarnith)
file(GLOB ZARNITH_EXAMPLE_SCRIPTS ${PROJECT_SOURCE_DIR}/examples/*.zn)
install(PROGRAMS ${ZARNITH_EXAMPLE_SCRIPTS} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        COMPONENT zarnith)
install(FILES ${PROJECT_SOURCE_DIR}/examples/chime.wav
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT zarnith)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/editors/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zarnith/editors
        COMPONENT zarnith PATTERN node_modules EXCLUDE)
# Vim reads share/vim/vimfiles of its own prefix: *.zn files are highlighted
# without any setup when the package is installed under /usr.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/editors/vim/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vim/vimfiles
        COMPONENT zarnith)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarnith)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zarnith developers")
set(CPACK_PACKAGE_CONTACT ${ZARNITH_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION interpreters)

# The summary is the first line; CPack indents the paragraph below it.
set(CPACK_DEBIAN_ZARNITH_PACKAGE_NAME zarnith)
set(CPACK_DEBIAN_ZARNITH_DESCRIPTION "interpreter of the Zarnith scripting language
Zarnith is a small line-oriented scripting language with typed variables and
arrays, integer arithmetic, conditional blocks, jumps, and classes for files,
strings, processes, digests and sound. The package holds the interpreter, its
checker, tracer, language server and debugger with their man pages, the
language guide, examples and editor support for Vim and VS Code.
Sound needs the package zarnith-audio.")
set(CPACK_DEBIAN_ZARNITH_PACKAGE_SHLIBDEPS ON)
# The crypto class opens libcrypto on first use, so shlibdeps cannot see it.
set(CPACK_DEBIAN_ZARNITH_PACKAGE_DEPENDS "libssl3")
# Opened only when needed: line editing in the terminal shell, and the audio
# engine of the bass class.
set(CPACK_DEBIAN_ZARNITH_PACKAGE_RECOMMENDS "libedit2, zarnith-audio")
set(CPACK_COMPONENTS_ALL zarnith)

# The fuzz build has no audio module (it replaces the bass class).
if(ZARNITH_AUDIO AND NOT ZARNITH_FUZZ)
  install(FILES ${ZARNITH_DEBIAN_DIR}/copyright ${ZARNITH_DEBIAN_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/zarnith-audio COMPONENT audio)
  list(APPEND CPACK_COMPONENTS_ALL audio)
  set(CPACK_DEBIAN_AUDIO_PACKAGE_NAME zarnith-audio)
  set(CPACK_DEBIAN_AUDIO_DESCRIPTION "audio engine of the Zarnith interpreter
The bass class of the Zarnith scripting language plays sound through this
module, built on GStreamer, when the system has no libbass.so of its own. It
plays WAV, Ogg Vorbis, FLAC and MP3 files and streams.")
  # The library dependencies come first, from dpkg-shlibdeps (shlibs.cmake.in);
  # the decoders and the sound output are opened by GStreamer at run time.
  set(CPACK_DEBIAN_AUDIO_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_AUDIO_PACKAGE_DEPENDS
      "zarnith (= ${PROJECT_VERSION}), gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-alsa")
  file(GENERATE OUTPUT ${ZARNITH_DEBIAN_DIR}/shlibs.cmake
       INPUT ${PROJECT_SOURCE_DIR}/cmake/debian/shlibs.cmake.in)
  set(CPACK_PROJECT_CONFIG_FILE ${ZARNITH_DEBIAN_DIR}/shlibs.cmake)
endif()
include(CPack)
