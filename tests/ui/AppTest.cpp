// The program itself: it opens the main window and ends with status 0 when the window closes.

#include <gtest/gtest.h>

#include <wx/gdicmn.h>
#include <wx/process.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "tests/ui/UiTestSupport.h"

namespace morvane {
namespace {

TEST(Program, EscClosesTheWindowAndTheProgramEndsWithStatusZero) {
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
  test::Pump(2500);
  ASSERT_FALSE(ended) << "the program ended by itself with status " << status;

  const wxSize screen = wxGetDisplaySize();
  wxUIActionSimulator simulator;
  simulator.MouseMove(screen.x / 2, screen.y / 2);
  test::Pump(200);
  simulator.Char(WXK_ESCAPE);
  test::PumpUntil([&] { return ended; }, 10000);
  if (!ended) {
    wxProcess::Kill(static_cast<int>(pid), wxSIGKILL);
    test::PumpUntil([&] { return ended; }, 2000);
    FAIL() << "the window did not close on Esc";
  }
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace morvane
