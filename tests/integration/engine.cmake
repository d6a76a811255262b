# The engine end to end: MariaDB test server to SQL Server test server.
morvane_test(integration_engine
  SOURCES RowCopyRoundTripTest.cpp ConversionEndToEndTest.cpp
  LIBS morvane_engine morvane_source morvane_target morvane_test_mariadb
  FIXTURES MariaDB SqlServer)
