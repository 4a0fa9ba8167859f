# Run after the test binary is linked: writes one CTest test per GoogleTest
# suite. A sanitized process takes a noticeable moment to start, so a suite
# pays it once instead of once per test; a failing suite's output names the
# failing tests.
#   -D TEST_BINARY=... -D OUTPUT=... -D ENVIRONMENT=...
execute_process(COMMAND ${TEST_BINARY} --gtest_list_tests
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TEST_BINARY} --gtest_list_tests failed: ${status}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(tests "")
foreach(line IN LISTS lines)
  # Suite lines start in the first column and end their name with a dot.
  if(line MATCHES "^([^ ][^ ]*)\\.")
    set(suite "${CMAKE_MATCH_1}")
    string(APPEND tests
      "add_test([=[${suite}]=] [=[${TEST_BINARY}]=] [=[--gtest_filter=${suite}.*]=])\n"
      "set_tests_properties([=[${suite}]=] PROPERTIES ENVIRONMENT [=[${ENVIRONMENT}]=])\n")
  endif()
endforeach()
file(WRITE ${OUTPUT} "${tests}")
