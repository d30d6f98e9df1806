# Install rules and the Debian package (scripts/package): the three commands, the menu entry
# started through pkexec, the icon, AppStream metainfo, the polkit action and the man pages.
include(GNUInstallDirs)

set(TOLVANE_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TOLVANE_APP_ID org.tolvane.Tolvane)
# Debian's layout, whatever the project is called in CMake.
set(TOLVANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tolvane)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS tolvane tolvane-reg tolvane-modem-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TOLVANE_PACKAGING_DIR}/${TOLVANE_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TOLVANE_PACKAGING_DIR}/${TOLVANE_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${TOLVANE_PACKAGING_DIR}/tolvane.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${TOLVANE_PACKAGING_DIR}/org.tolvane.pkexec.tolvane.policy
  DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
install(FILES ${TOLVANE_PACKAGING_DIR}/copyright DESTINATION ${TOLVANE_DOC_DIR})
install(FILES ${TOLVANE_PACKAGING_DIR}/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tolvane)

# Debian wants man pages and changelogs compressed, without a time stamp in the gzip header.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(TOLVANE_GZIPPED)
foreach(source man/tolvane.1 man/tolvane-reg.1 man/tolvane-modem-sim.1 changelog)
  get_filename_component(name ${source} NAME)
  set(gzipped ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${gzipped}
    COMMAND ${GZIP_EXECUTABLE} -9nc ${TOLVANE_PACKAGING_DIR}/${source} > ${gzipped}
    DEPENDS ${TOLVANE_PACKAGING_DIR}/${source} VERBATIM)
  list(APPEND TOLVANE_GZIPPED ${gzipped})
endforeach()
add_custom_target(tolvane_packaging_files ALL DEPENDS ${TOLVANE_GZIPPED})
list(POP_BACK TOLVANE_GZIPPED changelog_gz)
install(FILES ${TOLVANE_GZIPPED} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${changelog_gz} DESTINATION ${TOLVANE_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tolvane maintainers <maintainers@users.noreply.c-seed-09308f05.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware upgrade utility for the Velmora KVX4120/07 modem")
# Debian shows the description as written: lines under 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tolvane upgrades the firmware of the Velmora KVX4120/07 annex A DSL wireless"
  "modem from a PC connected to it. It refreshes the PC's DHCP leases, finds the"
  "modem among the default gateways, logs into the modem's web pages, uploads"
  "the right image and repeats until the modem reports version 0.42."
  "Installers can run it silently and read the outcome with tolvane-reg."
  "The package also holds tolvane-modem-sim, a stand-in modem for rehearsals.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The menu entry starts the program through pkexec; dhclient is the DHCP client it can refresh.
set(CPACK_DEBIAN_PACKAGE_DEPENDS pkexec)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS isc-dhcp-client)
include(CPack)
