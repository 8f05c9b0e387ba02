# Brings the native programs that the Windows tests run (qrvld, qrvlget and the web server
# stand-in) up to date, or says how to get them when the native build is not configured.
# usage: cmake -DNATIVE_BUILD_DIR=DIR -P build_native.cmake
if(NOT EXISTS "${NATIVE_BUILD_DIR}/CMakeCache.txt")
  message(FATAL_ERROR "The Windows tests run qrvld, qrvlget and the web server stand-in of the native build, "
                      "which is not configured in ${NATIVE_BUILD_DIR}: run `cmake --preset native` first "
                      "(this build then builds them), or configure this build with QRVL_NATIVE_BUILD_DIR empty "
                      "to leave out the tests that need them.")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${NATIVE_BUILD_DIR}" --target qrvld qrvlget fake_web_server
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Building the native programs in ${NATIVE_BUILD_DIR} failed")
endif()
