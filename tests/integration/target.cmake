# SQL Server target access over ODBC, with the FreeTDS driver.
morvane_test(integration_target_odbc
  SOURCES target_odbc_test.cpp
  LIBS morvane_target)

# Against the SQL Server test server.
find_package(Threads REQUIRED)
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/fixtures/sqlserver.cmake)
  morvane_test(integration_target_sqlserver
    SOURCES target_sqlserver_test.cpp target_tds_relay.cpp
    LIBS morvane_target Threads::Threads
    FIXTURES SqlServer)
endif()
