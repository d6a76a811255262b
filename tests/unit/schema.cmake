# Keys, indexes, foreign keys, defaults and names: what MySQL defines beside the columns.
morvane_test(unit_schema
  SOURCES SchemaPiecesTest.cpp ConversionRunSchemaTest.cpp
  LIBS morvane_engine morvane_source_core)

# The translation of MySQL's expressions and the cascading actions SQL Server takes.
morvane_test(unit_expressions
  SOURCES CascadeActionsTest.cpp ExpressionTranslatorTest.cpp
  LIBS morvane_engine)
