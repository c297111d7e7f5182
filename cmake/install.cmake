# SPDX-License-Identifier: GPL-2.0-or-later
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

# Generated files that the install rules take: compressed manual pages and
# changelog, the icon's PNG sizes. Debian keeps them compressed; -n leaves out
# the time stamp so that the package is the same from one build to the next.
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
set(debian_source ${CMAKE_SOURCE_DIR}/cmake/debian)
add_custom_command(OUTPUT ${desktop_build}/changelog.gz
  COMMAND gzip -9nc ${debian_source}/changelog > ${desktop_build}/changelog.gz
  DEPENDS ${debian_source}/changelog VERBATIM)
configure_file(${debian_source}/copyright ${desktop_build}/copyright @ONLY)

# Desktops that show no SVG take the icon at these sizes.
set(icon_sizes 16 22 24 32 48 64 128 256)
set(icon_pngs)
if(REELWRIGHT_GUI)
  find_program(RSVG_CONVERT rsvg-convert)
  if(RSVG_CONVERT)
    foreach(size IN LISTS icon_sizes)
      set(png ${desktop_build}/icons/${size}/${REELWRIGHT_APP_ID}.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${desktop_build}/icons/${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${desktop_source}/reelwright.svg
        DEPENDS ${desktop_source}/reelwright.svg VERBATIM)
      list(APPEND icon_pngs ${png})
    endforeach()
  else()
    message(WARNING "rsvg-convert (librsvg2-bin) is missing: the icon is installed as SVG only")
  endif()
endif()

# Built with the programs, so that installing or packaging right after
# building only them finds every file.
add_custom_target(install_data ALL DEPENDS ${compressed_man_pages} ${desktop_build}/changelog.gz ${icon_pngs})
add_dependencies(reelwright-cli install_data)

install(FILES ${compressed_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Under the package's name, where Debian's tools look (CMAKE_INSTALL_DOCDIR
# would take the project's capitalised one).
install(FILES ${desktop_build}/copyright ${desktop_build}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/reelwright)

install(TARGETS reelwright-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(REELWRIGHT_GUI)
  add_dependencies(reelwright install_data)
  install(TARGETS reelwright RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${desktop_build}/${REELWRIGHT_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${desktop_build}/${REELWRIGHT_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${desktop_source}/reelwright.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${REELWRIGHT_APP_ID}.svg)
  foreach(png IN LISTS icon_pngs)
    get_filename_component(size_dir ${png} DIRECTORY)
    get_filename_component(size ${size_dir} NAME)
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES ${desktop_source}/tape-image.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes
          RENAME ${REELWRIGHT_APP_ID}-tape.svg)
  install(FILES ${desktop_build}/${REELWRIGHT_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
endif()

# The Debian package. Its dependencies come from the libraries the programs
# link (dpkg-shlibdeps); the desktop's caches (MIME types, menu, icons) are
# refreshed by the triggers of the packages that own them, so the package
# needs no scripts of its own.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reelwright)
set(CPACK_PACKAGE_VENDOR "The Reelwright developers")
set(CPACK_PACKAGE_CONTACT "${REELWRIGHT_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The programs go stripped; their debug information goes into a separate
# reelwright-dbgsym package (.ddeb), found by build id as Debian's are. CPack
# strips them itself after taking the debug information out, so it must be
# given them whole (CPACK_STRIP_FILES would leave it nothing to take).
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/dbgsym_fix.cmake)
# Time stamps in the package come from SOURCE_DATE_EPOCH, by default the last
# commit's date (see reproducible.cmake.in).
execute_process(COMMAND date -u -d "${REELWRIGHT_RELEASE_DATE}" +%s
                OUTPUT_VARIABLE REELWRIGHT_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${CMAKE_SOURCE_DIR}/cmake/reproducible.cmake.in ${CMAKE_BINARY_DIR}/CPackReproducible.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackReproducible.cmake)
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
