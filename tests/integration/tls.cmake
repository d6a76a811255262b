# The MySQL connection over TLS when the server offers it, in clear when it does not, and
# plain over the local socket.
morvane_test(integration_source_tls
  SOURCES SourceTlsTest.cpp
  LIBS morvane_source morvane_test_mariadb
  FIXTURES MariaDBTls MariaDB)
