# The full pace of the row copy, from the MariaDB test server to the SQL Server test server.
morvane_test(integration_full_speed
  SOURCES FullSpeedEndToEndTest.cpp StopRelay.cpp
  LIBS morvane_engine morvane_source morvane_target morvane_test_mariadb Threads::Threads
  FIXTURES MariaDB SqlServer)
