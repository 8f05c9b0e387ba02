# qrvl_add_gtest_suites(<target> TIMEOUT <seconds> <name> <filter> [<name> <filter>...])
# Registers one ctest test per group of GoogleTest suites of <target>, named area.case
# (daemon.conformance, hwmon.source), each running its --gtest_filter. A filter that
# matches no test fails, so a renamed suite cannot drop out of the run unnoticed.
function(qrvl_add_gtest_suites target)
  cmake_parse_arguments(S "" "TIMEOUT" "" ${ARGN})
  set(pairs ${S_UNPARSED_ARGUMENTS})
  while(pairs)
    list(POP_FRONT pairs name filter)
    add_test(NAME ${name} COMMAND ${target} --gtest_filter=${filter})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${S_TIMEOUT} FAIL_REGULAR_EXPRESSION "Running 0 tests")
  endwhile()
endfunction()
