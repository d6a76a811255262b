# The MySQL source against the MariaDB test server.
morvane_test(integration_source
  SOURCES SourceListingTest.cpp SourceColumnTypeTest.cpp TableDefinitionSourceTest.cpp
  LIBS morvane_source morvane_engine morvane_test_mariadb
  FIXTURES MariaDB)

# The session the source sets up against servers whose settings differ from the defaults.
morvane_test(integration_source_session
  SOURCES SourceSessionTest.cpp
  LIBS morvane_source morvane_engine morvane_test_mariadb morvane_test_private_servers
  FIXTURES MariaDB)
