# The full pace of the row copy: statement building and the copy against fakes.
morvane_test(unit_full_speed
  SOURCES FullSpeedTest.cpp
  LIBS morvane_engine)
