# Reaching the right server, in time, and the forms the server boxes take.
morvane_test(integration_connection
  SOURCES SourceConnectionTest.cpp TargetConnectionTest.cpp
  LIBS morvane_source morvane_engine morvane_target morvane_test_mariadb
       morvane_test_private_servers
  FIXTURES MariaDB SqlServer)
