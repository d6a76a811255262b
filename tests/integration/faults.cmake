# Servers that fail in the middle of a conversion, and input meant to break the statements.
add_library(morvane_test_private_servers STATIC PrivateServers.cpp)
target_link_libraries(morvane_test_private_servers PUBLIC morvane_test_support)
target_compile_definitions(morvane_test_private_servers PRIVATE
  MORVANE_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
  MORVANE_TDS_SERVER="$<TARGET_FILE:morvane-tds-server>")
add_dependencies(morvane_test_private_servers morvane-tds-server)
morvane_warnings(morvane_test_private_servers)

morvane_test(integration_faults
  SOURCES FaultTest.cpp BadInputTest.cpp SourceReconnectTest.cpp
  LIBS morvane_engine morvane_source morvane_target morvane_test_mariadb
       morvane_test_private_servers
  FIXTURES MariaDB SqlServer)
