# The MySQL source against the MariaDB test server.
morvane_test(integration_source
  SOURCES SourceListingTest.cpp SourceColumnTypeTest.cpp TableDefinitionSourceTest.cpp
  LIBS morvane_source morvane_engine morvane_test_mariadb
  FIXTURES MariaDB)
