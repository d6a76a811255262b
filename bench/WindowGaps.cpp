// The window during a run: the longest time the user-interface thread goes without handling
// events while the real main window converts a table through its worker (the product's 50 ms
// pause per row). A 5 ms timer of the user-interface thread records the gaps between its ticks.
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "tests/support/MariaDbTestClient.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WizardDriving.h"
#include "ui/MorvaneDlg.h"
#include "ui/Templates.h"
#include "ui/WindowLook.h"

namespace {

using Clock = std::chrono::steady_clock;
using morvane::ui::CMorvaneDlg;

// `rows` rows spread over `tables` tables; at the full pace when `fullSpeed`.
int Measure(int rows, int tables, bool fullSpeed) {
  namespace test = morvane::test;
  test::MariaDbTestClient mariadb;
  const std::string db = mariadb.CreateDatabase("gaps");
  std::vector<std::string> statements = {"USE " + test::Backticked(db)};
  for (int t = 0; t < tables; ++t) {
    const std::string table = "t" + std::string(t < 10 ? "0" : "") + std::to_string(t);
    statements.push_back("CREATE TABLE " + table + " (id INT PRIMARY KEY, v VARCHAR(10))");
    statements.push_back("INSERT INTO " + table + " SELECT seq, CONCAT('row ', seq) FROM seq_1_to_" +
                         std::to_string(rows / tables + (t < rows % tables ? 1 : 0)));
  }
  mariadb.Execute(statements);

  auto* dialog = new CMorvaneDlg;
  test::ShowAndSettle(*dialog);
  test::MessageBoxes boxes;
  test::TypePageOne(*dialog, test::GoodLogins());
  test::Press(*dialog, morvane::ui::kNextButton);
  if (!test::ChooseDatabase(*dialog, db)) {
    std::cerr << "bench-window-gaps: page two did not list " << db << "\n";
    return 1;
  }
  for (int t = 0; t < tables; ++t) dialog->ControlAs<wxListBox>(1015)->SetSelection(t);
  dialog->ControlAs<wxTextCtrl>(1007)->ChangeValue(wxString::FromUTF8(test::UniqueName("gapscopy")));
  dialog->ControlAs<wxCheckBox>(morvane::ui::kFullSpeedCheck)->SetValue(fullSpeed);

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
  test::PumpUntil([&] { return !dialog->ConversionRunning(); }, fullSpeed ? 600000 : 120000);
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
  const std::string what = std::to_string(rows) + " rows in " + std::to_string(tables) + " table(s), " +
                          (fullSpeed ? "full speed" : "50 ms per row");
  morvane::bench::ResultRow((fullSpeed ? "9. " : "5. ") +
                                std::string("the window during a run: longest gap of the user-interface thread (") +
                                what + ")",
                            morvane::bench::Fixed(ms, 1) + " ms", "< 50 ms",
                            completed && ms < 50 ? "yes" : "no");
  if (fullSpeed) {
    // The gentle pace: 50 ms after every row and twice per table, beside the statements' own time.
    const double gentle = rows * 0.05 + tables * 0.1;
    morvane::bench::ResultRow("9. conversion through the real window at full speed (" + what + ")",
                              morvane::bench::Fixed(seconds, 1) + " s (the gentle pace's pauses alone: " +
                                  morvane::bench::Fixed(gentle, 0) + " s, " +
                                  morvane::bench::Fixed(gentle / seconds, 0) + " x longer)",
                              "-", completed ? "-" : "no");
  }
  return completed ? 0 : 1;
}

int status = 1;

class GapsApp : public wxApp {
 public:
  bool OnInit() override {
    delete wxLog::SetActiveTarget(new wxLogStderr);
    int rows = 200, tables = 1;
    bool fullSpeed = false;
    for (int i = 1; i < argc; ++i) {
      if (argv[i] == "--rows" && i + 1 < argc) rows = wxAtoi(argv[i + 1]);
      if (argv[i] == "--tables" && i + 1 < argc) tables = std::max(1, wxAtoi(argv[i + 1]));
      fullSpeed = fullSpeed || argv[i] == "--full-speed";
    }
    status = Measure(rows, tables, fullSpeed);
    return false;  // measured: nothing more to run
  }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(GapsApp);

int main(int argc, char** argv) {
  wxEntry(argc, argv);
  return status;
}
