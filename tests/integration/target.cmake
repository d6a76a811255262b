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

# Against a test server of the test's own, for logins the shared one does not have.
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/sqlserver/CMakeLists.txt)
  morvane_test(integration_target_credentials
    SOURCES target_credentials_test.cpp
    LIBS morvane_target)
  target_compile_definitions(integration_target_credentials PRIVATE
    MORVANE_TDS_SERVER="$<TARGET_FILE:morvane-tds-server>")
  add_dependencies(integration_target_credentials morvane-tds-server)
endif()

# Rows over the batch limit of a server that grants small packets, through the whole run.
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/sqlserver/CMakeLists.txt)
  morvane_test(integration_target_batch_limit
    SOURCES BatchLimitTest.cpp
    LIBS morvane_engine morvane_source morvane_target morvane_test_mariadb
    FIXTURES MariaDB)
  target_compile_definitions(integration_target_batch_limit PRIVATE
    MORVANE_TDS_SERVER="$<TARGET_FILE:morvane-tds-server>")
  add_dependencies(integration_target_batch_limit morvane-tds-server)
endif()
