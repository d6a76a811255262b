# morvane_test(name SOURCES ... [LIBS ...] [FIXTURES MariaDB SqlServer ...] [DISPLAY] [NO_MAIN])
# Builds one GoogleTest executable and registers each of its tests with CTest. A test that
# names a fixture gets that server started before it; tests/support finds the server's
# settings (test-servers/<name>/server.env in the build tree). DISPLAY tests need the X
# display that scripts/test starts, and take it one at a time.
function(morvane_test name)
  cmake_parse_arguments(ARG "DISPLAY;NO_MAIN" "" "SOURCES;LIBS;FIXTURES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} morvane_test_support GTest::gmock)
  if(NOT ARG_NO_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  morvane_warnings(${name})
  set(props LABELS ${name})
  if(ARG_DISPLAY)
    list(APPEND props RESOURCE_LOCK display)
  endif()
  list(LENGTH ARG_FIXTURES fixture_count)
  if(fixture_count GREATER 1)
    # gtest_discover_tests cannot hand a list to one property: such an executable runs as one
    # CTest test.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ${props} FIXTURES_REQUIRED "${ARG_FIXTURES}")
    return()
  endif()
  if(ARG_FIXTURES)
    list(APPEND props FIXTURES_REQUIRED ${ARG_FIXTURES})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ${props})
endfunction()
