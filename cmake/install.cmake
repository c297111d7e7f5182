# What `cmake --install` puts where a Linux desktop looks for it, and the
# Debian package made of the same files (`cpack -G DEB` in the build folder).
include(GNUInstallDirs)

set(desktop_source ${CMAKE_SOURCE_DIR}/app/desktop)
set(desktop_build ${CMAKE_BINARY_DIR}/desktop)
configure_file(${desktop_source}/reelwright.desktop.in ${desktop_build}/${REELWRIGHT_APP_ID}.desktop @ONLY)
configure_file(${desktop_source}/reelwright.metainfo.xml.in ${desktop_build}/${REELWRIGHT_APP_ID}.metainfo.xml @ONLY)
configure_file(${desktop_source}/reelwright-mime.xml.in ${desktop_build}/${REELWRIGHT_APP_ID}.xml @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/cli/reelwright-cli.1.in ${desktop_build}/reelwright-cli.1 @ONLY)
configure_file(${desktop_source}/reelwright.1.in ${desktop_build}/reelwright.1 @ONLY)

# Debian keeps manual pages compressed; -n leaves out the time stamp so that
# the package is the same from one build to the next.
set(man_pages reelwright-cli.1)
if(REELWRIGHT_GUI)
  list(APPEND man_pages reelwright.1)
endif()
set(compressed_man_pages)
foreach(page IN LISTS man_pages)
  add_custom_command(OUTPUT ${desktop_build}/${page}.gz
    COMMAND gzip -9nkf ${desktop_build}/${page}
    DEPENDS ${desktop_build}/${page} VERBATIM)
  list(APPEND compressed_man_pages ${desktop_build}/${page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${compressed_man_pages})
install(FILES ${compressed_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(TARGETS reelwright-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(REELWRIGHT_GUI)
  install(TARGETS reelwright RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${desktop_build}/${REELWRIGHT_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${desktop_build}/${REELWRIGHT_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${desktop_source}/reelwright.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${REELWRIGHT_APP_ID}.svg)
  install(FILES ${desktop_build}/${REELWRIGHT_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
endif()

# The Debian package. Its dependencies come from the libraries the programs
# link (dpkg-shlibdeps); the desktop's caches (MIME types, menu, icons) are
# refreshed by the triggers of the packages that own them, so the package
# needs no scripts of its own.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reelwright)
set(CPACK_PACKAGE_VENDOR "The Reelwright developers")
set(CPACK_PACKAGE_CONTACT "The Reelwright developers <reelwright@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS vice)
# The summary goes first; CPack indents the rest as Debian wants it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Reelwright reads Commodore 64, VIC-20 and C16/Plus-4 tape images (.tap) the
way the machines' tape routines do and lists every program on them. It splits
an image into one image per chosen group of programs, renames programs inside
the tape headers, joins images into compilations with pauses, writes index
files for SD-card tape-emulator hardware and builds launcher disks with VICE's
c1541 and petcat. reelwright-cli does the same from the command line.")
include(CPack)
