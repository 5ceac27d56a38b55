# What `cmake --install` puts in place, and the Debian package that CPack
# makes of it (scripts/package.sh).
include(GNUInstallDirs)

install(TARGETS zanthrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES docs/zanthrel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES data/zanthrel.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME zanthrel)
if(TARGET zanthrel-window)
  # zanthrel finds it in ../libexec/zanthrel beside its own folder.
  install(TARGETS zanthrel-window RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/zanthrel)
endif()
if(ZANTHREL_GUI)
  install(FILES data/zanthrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/zanthrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zanthrel)
set(CPACK_PACKAGE_VENDOR "The Zanthrel developers")
set(CPACK_PACKAGE_CONTACT "The Zanthrel developers <zanthrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Decompile and compile 3DO Opera disc images")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads 3DO Opera disc images (plain, gzip, raw 2352-byte sectors) or discs in a drive into folders, with a detailed log, and builds images from folders. A window and a command line.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The shared libraries the programs link (libc, libstdc++, zlib; Qt for the
# window program) become the package's dependencies, with the versions this build needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
include(CPack)
