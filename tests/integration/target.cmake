# SQL Server target access over ODBC, with the FreeTDS driver.
morvane_test(integration_target_odbc
  SOURCES target_odbc_test.cpp
  LIBS morvane_target)
