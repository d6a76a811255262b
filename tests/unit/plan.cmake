# The plan of a run: every decision from catalogue values, without a server.
morvane_test(unit_conversion_plan
  SOURCES ConversionPlanTest.cpp
  LIBS morvane_engine)
