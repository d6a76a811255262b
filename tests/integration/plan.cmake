# One database holding every shape the plan decides, converted by a whole run from the MariaDB
# test server to the SQL Server test server and read back with typed values.
morvane_test(integration_plan
  SOURCES PlanEndToEndTest.cpp
  LIBS morvane_engine morvane_source morvane_target morvane_test_mariadb
  FIXTURES MariaDB SqlServer)
