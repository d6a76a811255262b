# TIMESTAMP values from a private MariaDB whose time zone has daylight saving, converted by a
# whole run to the SQL Server test server.
morvane_test(integration_daylight_saving
  SOURCES DaylightSavingTest.cpp
  LIBS morvane_engine morvane_source morvane_target morvane_test_mariadb morvane_test_private_servers
  FIXTURES MariaDB SqlServer)
