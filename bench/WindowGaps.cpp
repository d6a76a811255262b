// The window during a run: the longest time the user-interface thread goes without handling
// events while the real main window converts a table through its worker (the product's 50 ms
// pause per row). A 5 ms timer of the user-interface thread records the gaps between its ticks.
#include <wx/app.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "bench/BenchSupport.h"
#include "tests/support/MariaDbTestClient.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WizardDriving.h"
#include "ui/MorvaneDlg.h"
#include "ui/WindowLook.h"

namespace {

using Clock = std::chrono::steady_clock;
using morvane::ui::CMorvaneDlg;

int Measure(int rows) {
  namespace test = morvane::test;
  test::MariaDbTestClient mariadb;
  const std::string db = mariadb.CreateDatabase("gaps");
  std::string insert = "INSERT INTO t VALUES ";
  for (int i = 1; i <= rows; ++i) insert += (i > 1 ? ",(" : "(") + std::to_string(i) + ", 'row')";
  mariadb.Execute({"USE " + test::Backticked(db), "CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))",
                   insert});

  auto* dialog = new CMorvaneDlg;
  test::ShowAndSettle(*dialog);
  test::MessageBoxes boxes;
  test::TypePageOne(*dialog, test::GoodLogins());
  test::Press(*dialog, morvane::ui::kNextButton);
  if (!test::ChooseDatabase(*dialog, db)) {
    std::cerr << "bench-window-gaps: page two did not list " << db << "\n";
    return 1;
  }
  dialog->ControlAs<wxListBox>(1015)->SetSelection(0);
  dialog->ControlAs<wxTextCtrl>(1007)->ChangeValue(wxString::FromUTF8(test::UniqueName("gapscopy")));

  Clock::duration longest{};
  Clock::time_point last = Clock::now();
  long ticks = 0;
  wxTimer timer;
  timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    const auto now = Clock::now();
    if (dialog->ConversionRunning()) {
      longest = std::max(longest, now - last);
      ++ticks;
    }
    last = now;
  });
  timer.Start(5);
  const auto start = Clock::now();
  test::Press(*dialog, morvane::ui::kConvertButton);
  test::PumpUntil([&] { return !dialog->ConversionRunning(); }, 120000);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  timer.Stop();
  dialog->Destroy();
  test::Pump(50);

  const auto messages = boxes.Messages();
  const bool completed =
      !messages.empty() && messages.back() == "MySQL to MS SQL Database Conversion successfully completed.";
  const double ms = std::chrono::duration<double, std::milli>(longest).count();
  std::cout << rows << " rows in " << morvane::bench::Fixed(seconds, 1) << " s, " << ticks
            << " timer ticks during the run; " << (completed ? "completed" : "NOT completed") << "\n";
  morvane::bench::ResultRow("5. the window during a run: longest gap of the user-interface thread (" +
                                std::to_string(rows) + " rows, 50 ms per row)",
                            morvane::bench::Fixed(ms, 1) + " ms", "< 50 ms",
                            completed && ms < 50 ? "yes" : "no");
  return completed ? 0 : 1;
}

int status = 1;

class GapsApp : public wxApp {
 public:
  bool OnInit() override {
    delete wxLog::SetActiveTarget(new wxLogStderr);
    int rows = 200;
    for (int i = 1; i + 1 < argc; ++i) {
      if (argv[i] == "--rows") rows = wxAtoi(argv[i + 1]);
    }
    status = Measure(rows);
    return false;  // measured: nothing more to run
  }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(GapsApp);

int main(int argc, char** argv) {
  wxEntry(argc, argv);
  return status;
}
