# Runs at install time, when the prefix is known (cpack installs under /usr, a source
# install usually under /usr/local): the unit names the installed binary and
# configuration, and the configuration goes to /etc under a /usr prefix, as a package's
# does. QRVLD_BINDIR is set by the install step before this script.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(sysconfdir "/etc")
else()
  set(sysconfdir "${CMAKE_INSTALL_PREFIX}/etc")
endif()
set(QRVLD_BINARY "${CMAKE_INSTALL_PREFIX}/${QRVLD_BINDIR}/qrvld")
set(QRVLD_CONFIG "${sysconfdir}/qrvld/qrvld.conf")
set(unit "${CMAKE_CURRENT_BINARY_DIR}/qrvld-install/qrvld.service")
configure_file("${CMAKE_CURRENT_LIST_DIR}/qrvld.service.in" "${unit}" @ONLY)
file(INSTALL "${unit}" DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/system" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(INSTALL "${CMAKE_CURRENT_LIST_DIR}/qrvld.conf" DESTINATION "${sysconfdir}/qrvld" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
