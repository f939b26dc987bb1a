# What `cmake --install` puts beside the executables: the desktop entry, the icon, the AppStream
# metadata, the manual page and the bash completion; and `make package`'s Debian package.

# The manual page is written from the program's own --help texts, so the two never disagree.
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/tolvex.1
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/make-manpage.sh $<TARGET_FILE:tolvex>
          ${PROJECT_SOURCE_DIR}/data/tolvex.1.in ${CMAKE_CURRENT_BINARY_DIR}/tolvex.1
  DEPENDS tolvex ${PROJECT_SOURCE_DIR}/scripts/make-manpage.sh ${PROJECT_SOURCE_DIR}/data/tolvex.1.in
  COMMENT "Writing the manual page tolvex.1")
add_custom_target(manpage ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/tolvex.1)

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tolvex.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/completions/tolvex DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
if(TOLVEX_WINDOW)
  install(FILES data/tolvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/tolvex.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES data/org.tolvex.Tolvex.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

set(CPACK_PACKAGE_NAME tolvex)
set(CPACK_PACKAGE_VENDOR "Tolvex")
set(CPACK_PACKAGE_CONTACT "Tolvex developers <tolvex@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "virtual GPS receiver feeding NMEA-0183 to serial and virtual ports")
set(CPACK_PACKAGE_DESCRIPTION
    "Tolvex keeps one simulated GPS fix, moves it by free driving or by replaying a track\n(GPX, KML, .plt, .gpssim, .trk) and feeds NMEA-0183 sentences to real serial ports and to\nvirtual serial ports that any program on the machine opens.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tolvex)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The run-time libraries come from what the executables link (Qt 6 runtime, not its -dev packages).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n, libavahi-client3")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gpsd, gpsd-clients")
include(CPack)
