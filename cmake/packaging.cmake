# What `make install` puts under the prefix besides the executable and the
# audio module (the man page, the guide, the examples and the editor files),
# and the Debian package that `make package` builds from the same rules.

install(FILES ${PROJECT_SOURCE_DIR}/docs/zarnith.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/docs/language.md ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
file(GLOB ZARNITH_EXAMPLE_SCRIPTS ${PROJECT_SOURCE_DIR}/examples/*.zn)
install(PROGRAMS ${ZARNITH_EXAMPLE_SCRIPTS} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/examples/chime.wav DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/editors/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zarnith/editors)
# Vim reads share/vim/vimfiles of its own prefix: *.zn files are highlighted
# without any setup when the package is installed under /usr.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/editors/vim/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vim/vimfiles)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarnith)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zarnith developers")
set(CPACK_PACKAGE_CONTACT "Zarnith developers <zarnith@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interpreter of the Zarnith scripting language")
set(CPACK_PACKAGE_DESCRIPTION
    "Zarnith is a small line-oriented scripting language with typed variables and\n arrays, integer arithmetic, conditional blocks, jumps, and classes for files,\n strings, processes, digests and sound. The package holds the interpreter, its\n man page, the language guide, examples and editor support for Vim and VS Code.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION interpreters)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The crypto class opens libcrypto on first use, so shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libssl3")
# Opened only when needed: line editing in the terminal shell, and the
# decoders and sound output of the audio engine.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "libedit2, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-alsa")
include(CPack)
