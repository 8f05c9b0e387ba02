# Runs at install time, when the prefix is known (the Debian package installs under /usr,
# a source install usually under /usr/local): the unit names the installed binary and
# configuration; under a /usr prefix the configuration goes to /etc and the unit to
# /lib/systemd/system, where a package's go and where the packaging enables it.
# QRVLD_BINDIR and QRVLD_STAGING (a folder of the build) are set by the install step
# before this script. Installed into the running system (no DESTDIR), the sysusers.d entry
# is applied at once, so the group it names exists before the next boot; a package applies
# it in its postinst.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(sysconfdir "/etc")
  set(unitdir "/lib/systemd/system")
else()
  set(sysconfdir "${CMAKE_INSTALL_PREFIX}/etc")
  set(unitdir "${CMAKE_INSTALL_PREFIX}/lib/systemd/system")
endif()
set(QRVLD_BINARY "${CMAKE_INSTALL_PREFIX}/${QRVLD_BINDIR}/qrvld")
set(QRVLD_CONFIG "${sysconfdir}/qrvld/qrvld.conf")
set(unit "${QRVLD_STAGING}/qrvld.service")
configure_file("${CMAKE_CURRENT_LIST_DIR}/qrvld.service.in" "${unit}" @ONLY)
file(INSTALL "${unit}" DESTINATION "${unitdir}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(INSTALL "${CMAKE_CURRENT_LIST_DIR}/qrvld.conf" DESTINATION "${sysconfdir}/qrvld" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

find_program(SYSUSERS systemd-sysusers)
if("$ENV{DESTDIR}" STREQUAL "" AND SYSUSERS)
  execute_process(COMMAND "${SYSUSERS}" "${CMAKE_INSTALL_PREFIX}/lib/sysusers.d/qrvld.conf" RESULT_VARIABLE sysusers)
  if(NOT sysusers EQUAL 0)
    message(WARNING "systemd-sysusers could not create the group qrvld-tls; it is made at the next boot")
  endif()
endif()
