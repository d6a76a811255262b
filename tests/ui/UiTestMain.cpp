// GoogleTest main for the window tests: starts wxWidgets on the display that scripts/test
// provides, sends log messages to stderr (a log box would block a headless run) and runs the
// tests on the user-interface thread.
//
// No test may start the machine's own desktop handler (a browser, a mail program): a fake
// xdg-open stands first on PATH for the whole run, and a test during which it was called
// without a handler of the test's own fails. Nor may a run's report file land in the user's
// own data folder: XDG_DATA_HOME is a folder of the test run's, removed at its end.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include "tests/ui/UiTestSupport.h"

namespace {

// Fails the test during which the process-wide fake desktop handler was called.
class StrayDesktopCalls : public testing::EmptyTestEventListener {
 public:
  explicit StrayDesktopCalls(const morvane::test::FakeDesktopHandler& guard) : m_guard(guard) {}

  void OnTestStart(const testing::TestInfo&) override { Check("before a test"); }
  void OnTestEnd(const testing::TestInfo& test) override {
    Check(std::string(test.test_suite_name()) + "." + test.name());
  }
  // Calls recorded since the last check, named after `during`.
  void Check(const std::string& during) {
    const std::vector<std::string> calls = m_guard.Calls();
    for (std::size_t i = m_seen; i < calls.size(); ++i) {
      std::fprintf(stderr, "%s: \"%s\" was handed to the desktop without a fake handler\n",
                   during.c_str(), calls[i].c_str());
      m_stray = true;
    }
    m_seen = calls.size();
  }
  bool Stray() const { return m_stray; }

 private:
  const morvane::test::FakeDesktopHandler& m_guard;
  std::size_t m_seen = 0;
  bool m_stray = false;
};

}  // namespace

int main(int argc, char** argv) {
  // Listing the tests needs no display (InitGoogleTest takes the flag out of argv).
  bool listing = false;
  for (int i = 1; i < argc; ++i) listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
  testing::InitGoogleTest(&argc, argv);
  if (listing) return RUN_ALL_TESTS();
  wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv)) {
    std::fprintf(stderr, "The window tests need an X display (DISPLAY).\n");
    return 1;
  }
  wxTheApp->CallOnInit();
  delete wxLog::SetActiveTarget(new wxLogStderr);
  wxInitAllImageHandlers();
  int result = 0;
  char dataHome[] = "/tmp/morvane-data-XXXXXX";
  if (mkdtemp(dataHome) == nullptr || setenv("XDG_DATA_HOME", dataHome, 1) != 0) {
    std::fprintf(stderr, "No data folder for the window tests.\n");
    return 1;
  }
  {
    const morvane::test::FakeDesktopHandler guard;
    auto* stray = new StrayDesktopCalls(guard);
    testing::UnitTest::GetInstance()->listeners().Append(stray);  // the listeners own it
    result = RUN_ALL_TESTS();
    // Best effort for a handler that the last test started just before it ended.
    morvane::test::Pump(200);
    stray->Check("after the last test");
    if (stray->Stray()) result = 1;
    delete testing::UnitTest::GetInstance()->listeners().Release(stray);
  }
  wxEntryCleanup();
  std::error_code ignored;
  std::filesystem::remove_all(dataHome, ignored);
  return result;
}
