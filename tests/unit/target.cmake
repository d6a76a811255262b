# SQL Server target access: tests that need no server.
morvane_test(unit_target
  SOURCES
    target_batch_limit_test.cpp
    target_connection_string_test.cpp
    target_encryption_test.cpp
    target_diagnostics_test.cpp
    target_error_test.cpp
    target_login_test.cpp
    target_utf16_test.cpp
  LIBS morvane_target morvane_engine)
