# Names as the target database compares them (checked against the SQL Server test server's own
# collation keys), and the report file of a run.
morvane_test(unit_schema_names
  SOURCES SchemaNamesTest.cpp
  LIBS morvane_engine morvane_tds_core)
morvane_test(unit_report_file
  SOURCES ReportFileTest.cpp
  LIBS morvane_engine)
