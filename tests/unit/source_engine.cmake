# Source and engine tests that need no server.
morvane_test(unit_column_type
  SOURCES ColumnTypeTest.cpp
  LIBS morvane_engine)
morvane_test(unit_server_address
  SOURCES ServerAddressTest.cpp
  LIBS morvane_source)
morvane_test(unit_table_definition
  SOURCES TableDefinitionTest.cpp
  LIBS morvane_engine)
morvane_test(unit_row_copy
  SOURCES RowCopyTest.cpp ValueLiteralTest.cpp
  LIBS morvane_engine)
morvane_test(unit_conversion_run
  SOURCES ConversionRunTest.cpp
  LIBS morvane_engine)
morvane_test(unit_ui_thread
  SOURCES UiThreadTest.cpp)
morvane_test(unit_source_text
  SOURCES SourceTextTest.cpp
  LIBS morvane_source)
