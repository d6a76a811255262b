# Reaching the right server, in time, and the forms the server boxes take.
morvane_test(integration_connection
  SOURCES SourceConnectionTest.cpp TargetConnectionTest.cpp
  LIBS morvane_source morvane_engine morvane_target morvane_test_mariadb
       morvane_test_private_servers
  FIXTURES MariaDB SqlServer)

# Stop in the middle of a large table over a slow link and of a statement the server holds.
morvane_test(integration_stop
  SOURCES StopTest.cpp StopRelay.cpp
  LIBS morvane_engine morvane_source morvane_target morvane_test_mariadb Threads::Threads
  FIXTURES MariaDB SqlServer)
