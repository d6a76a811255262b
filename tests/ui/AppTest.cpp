// The program itself: it opens the main window and ends with status 0 when the window closes.

#include <gtest/gtest.h>

#include <wx/gdicmn.h>
#include <wx/process.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "tests/ui/UiTestSupport.h"
#include "ui/Templates.h"

namespace morvane {
namespace {

TEST(Program, EscClosesTheWindowAndTheProgramEndsWithStatusZero) {
  // The close path opens the web page: the program finds the fake handler on its PATH.
  test::FakeDesktopHandler desktop;
  // Keys go to the window under the pointer; the window opens centred on the screen.
  test::FocusFollowsPointer();

  bool ended = false;
  int status = -1;
  wxProcess process;
  process.Bind(wxEVT_END_PROCESS, [&](wxProcessEvent& event) {
    ended = true;
    status = event.GetExitCode();
  });
  const long pid = wxExecute(MORVANE_PROGRAM, wxEXEC_ASYNC, &process);
  ASSERT_GT(pid, 0);
  auto kill = [&] {
    wxProcess::Kill(static_cast<int>(pid), wxSIGKILL);
    test::PumpUntil([&] { return ended; }, 10000);
  };
  const bool shown = test::PumpUntil(
      [&] { return ended || test::TopLevelWindowShown(ui::kProductTitle, pid); }, 60000);
  if (!shown || ended) {
    if (!ended) kill();
    FAIL() << (ended ? "the program ended by itself with status " + std::to_string(status)
                     : std::string("the main window did not appear"));
  }
  const wxSize screen = wxGetDisplaySize();
  wxUIActionSimulator simulator;
  simulator.MouseMove(screen.x / 2, screen.y / 2);
  test::Pump(200);
  simulator.Char(WXK_ESCAPE);
  test::PumpUntil([&] { return ended; }, 30000);
  if (!ended) {
    kill();
    FAIL() << "the window did not close on Esc";
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(desktop.WaitForCalls(1), std::vector<std::string>{ui::kProductWebPage});
}

}  // namespace
}  // namespace morvane
