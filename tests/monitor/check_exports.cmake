# Checks that the program exports the copy-assignment operators of the sensor library's
# three classes. usage: cmake -DOBJDUMP=... -DPROGRAM=... -P check_exports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot read ${PROGRAM}")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" exports "${dump}")
foreach(name _ZN8UDPCSockaSERKS_ _ZN7SOCKLIBaSERKS_ _ZN8QRVLPLUGaSERKS_)
  if(NOT exports MATCHES "\\] ${name}\n")
    message(FATAL_ERROR "${PROGRAM} does not export ${name}; its exports:\n${exports}")
  endif()
endforeach()
message(STATUS "exports: ${exports}")
