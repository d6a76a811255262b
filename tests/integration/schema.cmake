# Keys, indexes, foreign keys, defaults and collations carried from the MariaDB test server to
# the SQL Server test server, read back through the catalogue views.
morvane_test(integration_schema
  SOURCES SchemaEndToEndTest.cpp
  LIBS morvane_engine morvane_source morvane_target morvane_test_mariadb
  FIXTURES MariaDB SqlServer)

# The cascading actions kept for a run's foreign keys, sent to the SQL Server test server.
morvane_test(integration_cascade_actions
  SOURCES CascadeActionsServerTest.cpp
  LIBS morvane_engine
  FIXTURES SqlServer)

# MySQL's expressions computed by MariaDB and their translations by the SQL Server test server.
morvane_test(integration_expressions
  SOURCES ExpressionDifferentialTest.cpp
  LIBS morvane_engine morvane_test_mariadb
  FIXTURES MariaDB SqlServer)

# Expression defaults and cascading foreign keys carried by whole runs, checked by later rows.
morvane_test(integration_expressions_end_to_end
  SOURCES ExpressionsEndToEndTest.cpp
  LIBS morvane_engine morvane_source morvane_target morvane_test_mariadb
  FIXTURES MariaDB SqlServer)
