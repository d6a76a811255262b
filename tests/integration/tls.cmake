# The MySQL connection over TLS when the server offers it, in clear when it does not, and
# plain over the local socket.
morvane_test(integration_source_tls
  SOURCES SourceTlsTest.cpp TlsConversionTest.cpp
  LIBS morvane_source morvane_engine morvane_target morvane_test_mariadb
  FIXTURES MariaDBTls MariaDB)
target_compile_definitions(integration_source_tls PRIVATE
  MORVANE_TDS_SERVER="$<TARGET_FILE:morvane-tds-server>")
add_dependencies(integration_source_tls morvane-tds-server)

# The SQL Server connection through FreeTDS against TDS test servers of the test's own, with
# TLS offered, forced, or absent.
morvane_test(integration_target_tls
  SOURCES TargetTlsTest.cpp
  LIBS morvane_target
  FIXTURES)
target_compile_definitions(integration_target_tls PRIVATE
  MORVANE_TDS_SERVER="$<TARGET_FILE:morvane-tds-server>")
add_dependencies(integration_target_tls morvane-tds-server)

# Certificate checks asked for in the [client] group of the MySQL option files.
morvane_test(integration_source_tls_verify NO_MAIN
  SOURCES SourceTlsVerifyTest.cpp
  LIBS morvane_source morvane_test_support
  FIXTURES MariaDBTls MariaDB)

# What a false MySQL server without TLS can get out of the login: not the password.
morvane_test(integration_source_auth
  SOURCES SourceAuthTest.cpp
  LIBS morvane_source)

# A connection opened again after Cancel: TLS and the first certificate, or no connection.
morvane_test(integration_source_tls_reconnect
  SOURCES SourceTlsReconnectTest.cpp
  LIBS morvane_source morvane_test_mariadb morvane_test_private_servers
  FIXTURES MariaDBTls MariaDB)
