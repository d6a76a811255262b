// Stop in the middle of a large table: the time from the press of Stop until page two is back
// (the run ended, Convert shown again), for a 2 000 000-row table read over loopback and over a
// link slowed to 1 MB/s by a relay. The real main window, driven as the window tests drive it.
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <chrono>
#include <iostream>
#include <memory>

#include "bench/BenchSupport.h"
#include "tests/integration/StopRelay.h"
#include "tests/support/MariaDbTestClient.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WizardDriving.h"
#include "ui/MorvaneDlg.h"
#include "ui/Templates.h"

namespace {

using Clock = std::chrono::steady_clock;
using morvane::ui::CMorvaneDlg;
namespace test = morvane::test;

// One run stopped in the middle; the milliseconds from Stop to page two, or a negative number
// when the run could not be stopped as planned.
bool fullSpeed = false;  // --full-speed: the pace box ticked

double StopOnce(const std::string& db, const std::string& mysqlServer, const std::string& sqlServer,
                const std::string& link) {
  auto* dialog = new CMorvaneDlg;
  test::ShowAndSettle(*dialog);
  test::MessageBoxes boxes;
  test::PageOne logins = test::GoodLogins();
  logins.mysqlServer = mysqlServer;
  if (!sqlServer.empty()) logins.sqlServerName = sqlServer;
  test::TypePageOne(*dialog, logins);
  test::Press(*dialog, morvane::ui::kNextButton);
  if (!test::ChooseDatabase(*dialog, db)) {
    std::cerr << "bench-stop-response: page two did not list " << db << "\n";
    dialog->Destroy();
    return -1;
  }
  dialog->ControlAs<wxListBox>(1015)->SetSelection(0);
  dialog->ControlAs<wxTextCtrl>(1007)->ChangeValue(wxString::FromUTF8(test::UniqueName("stopcopy")));
  dialog->ControlAs<wxCheckBox>(morvane::ui::kFullSpeedCheck)->SetValue(fullSpeed);

  auto* status = dialog->ControlAs<wxStaticText>(1037);
  test::Press(*dialog, morvane::ui::kConvertButton);
  const bool copying = test::PumpUntil(
      [&] { return status->GetLabel().StartsWith("Converting Table: t"); }, 120000);
  test::Pump(1000);  // rows flow for a second: the stream is well under way
  const auto pressed = Clock::now();
  test::Press(*dialog, 1048);
  const bool back = test::PumpUntil(
      [&] {
        return !dialog->ConversionRunning() && dialog->Control(morvane::ui::kConvertButton)->IsShown();
      },
      300000);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - pressed).count();
  const auto messages = boxes.Messages();
  const bool stopped = !messages.empty() && messages.back().rfind("The conversion was stopped.", 0) == 0;
  std::cout << link << ": " << (copying ? "rows were flowing" : "NO rows flowed") << "; stop to page two "
            << morvane::bench::Fixed(ms, 1) << " ms; "
            << (stopped ? messages.back() : std::string("NOT stopped")) << "\n";
  dialog->Destroy();
  test::Pump(50);
  return copying && back && stopped ? ms : -1;
}

int Measure(int rows) {
  test::MariaDbTestClient mariadb;
  const std::string db = mariadb.CreateDatabase("stopbench");
  mariadb.Execute({"USE " + test::Backticked(db),
                   "CREATE TABLE t AS SELECT seq FROM seq_1_to_" + std::to_string(rows)});
  const auto m = test::MariaDb();
  int failed = 0;
  for (const bool slowed : {false, true}) {
    std::unique_ptr<test::StopRelay> relay, sqlRelay;
    std::string server = test::MariaDbAddress(), sqlServer;
    if (slowed) {
      relay = std::make_unique<test::StopRelay>(m.host, m.port);
      if (fullSpeed) {
        // Both links 1 ms longer each way.
        relay->DelayEachWay(std::chrono::milliseconds(1));
        const auto s = test::SqlServer();
        sqlRelay = std::make_unique<test::StopRelay>(s.host, s.port);
        sqlRelay->DelayEachWay(std::chrono::milliseconds(1));
        sqlServer = "127.0.0.1," + std::to_string(sqlRelay->Port());
      } else {
        relay->LimitTo(1'000'000);
      }
      server = "127.0.0.1:" + std::to_string(relay->Port());
    }
    const std::string link = !slowed    ? "loopback"
                             : fullSpeed ? "links delayed by 1 ms each way"
                                         : "link slowed to 1 MB/s";
    const double ms = StopOnce(db, server, sqlServer, link);
    if (ms < 0) ++failed;
    morvane::bench::ResultRow(std::string(fullSpeed ? "9. at full speed: " : "7. ") +
                                  "Stop to page two back, " + std::to_string(rows) +
                                  "-row table over " + link,
                              ms < 0 ? std::string("did not stop") : morvane::bench::Fixed(ms, 1) + " ms",
                              "< 1000 ms", ms >= 0 && ms < 1000 ? "yes" : "no");
  }
  return failed == 0 ? 0 : 1;
}

int status = 1;

class StopApp : public wxApp {
 public:
  bool OnInit() override {
    delete wxLog::SetActiveTarget(new wxLogStderr);
    int rows = 2000000;
    for (int i = 1; i + 1 < argc; ++i) {
      if (argv[i] == "--rows") rows = wxAtoi(argv[i + 1]);
    }
    for (int i = 1; i < argc; ++i) fullSpeed = fullSpeed || argv[i] == "--full-speed";
    status = Measure(rows);
    return false;
  }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(StopApp);

int main(int argc, char** argv) {
  wxEntry(argc, argv);
  return status;
}
