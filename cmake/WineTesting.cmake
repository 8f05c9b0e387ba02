# Running the Windows tests: each build under its own wine loader (x86_64 under wine64,
# i686 under the 32-bit loader) in an Xvfb display, with a private WINEPREFIX under the
# build folder. A ctest fixture starts the display and the wineserver once per run and
# stops them at the end; every Windows test requires it and runs alone. Where the loader
# cannot run here, the tests say why and are reported as skipped.
set(QRVL_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(QRVL_WINE_ARCH ${CMAKE_SYSTEM_PROCESSOR})
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-env.sh ${QRVL_WINE_DIR}/wine-env.sh @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-session.sh ${QRVL_WINE_DIR}/wine-session.sh
               COPYONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${QRVL_WINE_DIR}/wine-run.sh
               COPYONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# What wine-run.sh prints, and what a test that runs it reports as skipped.
set(QRVL_WINE_SKIP "qrvl-skip: ")
if(BUILD_TESTING)
  set(QRVL_RUN_WINE_TESTS ON)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QRVL_WINE_DIR}/wine-run.sh)
  add_test(NAME wine.start COMMAND ${QRVL_WINE_DIR}/wine-session.sh start)
  add_test(NAME wine.stop COMMAND ${QRVL_WINE_DIR}/wine-session.sh stop)
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 180 SKIP_REGULAR_EXPRESSION ${QRVL_WINE_SKIP})
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)
  # Tests run programs of the native build: building this one brings them up to date first.
  if(QRVL_NATIVE_BUILD_DIR)
    add_custom_target(native_programs ALL
                      COMMAND ${CMAKE_COMMAND} -DNATIVE_BUILD_DIR=${QRVL_NATIVE_BUILD_DIR}
                              -P ${CMAKE_CURRENT_LIST_DIR}/build_native.cmake
                      COMMENT "The native programs the tests run, in ${QRVL_NATIVE_BUILD_DIR}"
                      USES_TERMINAL)
  endif()
else()
  set(QRVL_RUN_WINE_TESTS OFF)
endif()

# The properties of every test that runs a program under wine.
function(qrvl_wine_test_properties name timeout)
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL ON TIMEOUT ${timeout}
                       SKIP_REGULAR_EXPRESSION ${QRVL_WINE_SKIP})
endfunction()

# qrvl_add_wine_test(NAME <name> COMMAND <target> [args...] [TIMEOUT s])
function(qrvl_add_wine_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "COMMAND" ${ARGN})
  if(NOT QRVL_RUN_WINE_TESTS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  qrvl_wine_test_properties(${T_NAME} ${T_TIMEOUT})
endfunction()
