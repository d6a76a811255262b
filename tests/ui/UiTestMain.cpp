// GoogleTest main for the window tests: starts wxWidgets on the display that scripts/test
// provides, sends log messages to stderr (a log box would block a headless run) and runs the
// tests on the user-interface thread.

#include <cstring>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) return RUN_ALL_TESTS();
  }
  wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv)) {
    std::fprintf(stderr, "The window tests need an X display (DISPLAY).\n");
    return 1;
  }
  wxTheApp->CallOnInit();
  delete wxLog::SetActiveTarget(new wxLogStderr);
  wxInitAllImageHandlers();
  const int result = RUN_ALL_TESTS();
  wxEntryCleanup();
  return result;
}
