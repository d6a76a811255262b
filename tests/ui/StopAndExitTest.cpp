// Stop, Esc, the close box and Exit take effect at once: in the middle of a large table that
// arrives over a slow link, and while SQL Server holds a statement. A series of refused-row
// boxes can be ended from the box itself.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <string>
#include <vector>

#include "tests/integration/StopRelay.h"
#include "tests/support/MariaDbTestClient.h"
#include "tests/support/OdbcTestClient.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WizardDriving.h"
#include "ui/MorvaneDlg.h"
#include "ui/Templates.h"

namespace morvane::ui {
namespace {

using testing::Contains;
using testing::HasSubstr;

constexpr int kStopButtonId = 1048;
constexpr int kStatusLineId = 1037;
// Generous: only the order of events is asserted.
constexpr int kBound = 120000;

class StopAndExit : public test::MainWindowTest {
 protected:
  void SetUp() override {
    test::MainWindowTest::SetUp();
    sourceName = mariadb.CreateDatabase("stopui");
    mariadb.Execute({"USE " + test::Backticked(sourceName)});
    targetName = test::UniqueName("stopuicopy");
  }

  wxTextCtrl* Edit(int id) const { return dialog->ControlAs<wxTextCtrl>(id); }
  bool Shown(int id) const { return dialog->Control(id)->IsShown(); }
  std::string Status() const {
    return dialog->ControlAs<wxStaticText>(kStatusLineId)->GetLabel().utf8_string();
  }

  // Page one with the given servers, Next, the source database and its one table chosen, Convert.
  void StartRun(const std::string& mysqlServer, const std::string& sqlServer) {
    test::PageOne logins = test::GoodLogins();
    logins.mysqlServer = mysqlServer;
    logins.sqlServerName = sqlServer;
    test::TypePageOne(*dialog, logins);
    Press(kNextButton);
    ASSERT_TRUE(Shown(1015)) << "page two did not appear";
    ASSERT_TRUE(test::ChooseDatabase(*dialog, sourceName));
    dialog->ControlAs<wxListBox>(1015)->SetSelection(0);
    Edit(1007)->ChangeValue(wxString::FromUTF8(targetName));
    Press(kConvertButton);
  }
  void WaitForRows() {
    ASSERT_TRUE(test::PumpUntil([&] { return Status().rfind("Converting Table: t", 0) == 0; }, kBound));
  }
  void WaitForTheRun() {
    ASSERT_TRUE(test::PumpUntil([&] { return !dialog->ConversionRunning(); }, kBound));
    test::Pump(100);
  }

  test::MariaDbTestClient mariadb;
  std::string sourceName, targetName;
};

TEST_F(StopAndExit, StopInTheMiddleOfATwoMillionRowTableOverASlowLink) {
  mariadb.Execute({"CREATE TABLE t AS SELECT seq FROM seq_1_to_2000000"});
  const auto m = test::MariaDb();
  test::StopRelay slowLink(m.host, m.port);
  slowLink.LimitTo(1'000'000);
  const auto s = test::SqlServer();
  test::MessageBoxes boxes;
  StartRun("127.0.0.1:" + std::to_string(slowLink.Port()), s.host + "," + std::to_string(s.port));
  WaitForRows();

  Press(kStopButtonId);
  // The stop shows at once, before the run has ended.
  EXPECT_FALSE(dialog->Control(kStopButtonId)->IsEnabled());
  EXPECT_EQ(Status(), kStoppingStatus);
  WaitForTheRun();

  EXPECT_LT(slowLink.BytesToClient(), 8'000'000u);  // the rest of the table was not read
  EXPECT_THAT(boxes.Messages(), Contains(HasSubstr("The conversion was stopped. Table t was cut short.")));
  for (int id : {1037, 1013, 1048, 1049}) EXPECT_FALSE(Shown(id)) << id;
  EXPECT_TRUE(Shown(kConvertButton));
}

TEST_F(StopAndExit, ARefusedRowsBoxStopsTheRun) {
  // A NO PAD collation keeps 'a', 'a ', 'a  ' ... apart; SQL Server ignores trailing blanks
  // whatever the collation, so its unique key refuses every row after the first.
  mariadb.Execute({"CREATE TABLE t (k VARCHAR(80) COLLATE utf8mb4_general_nopad_ci UNIQUE)",
                   "INSERT INTO t SELECT CONCAT('a', REPEAT(' ', seq)) FROM seq_0_to_49"});
  const auto s = test::SqlServer();
  test::MessageBoxes boxes;
  boxes.Answer(wxID_OK);      // You have selected 1 table(s) to convert.
  boxes.Answer(wxID_CANCEL);  // the first refused row: Stop the conversion
  StartRun(test::MariaDbAddress(), s.host + "," + std::to_string(s.port));
  WaitForTheRun();

  ASSERT_EQ(boxes.Boxes().size(), 3u) << testing::PrintToString(boxes.Messages());
  EXPECT_TRUE(boxes.Boxes()[1].style & wxCANCEL);  // the refused row's box offers the stop
  EXPECT_THAT(boxes.Messages()[2], HasSubstr("The conversion was stopped. Table t was cut short."));
}

enum class Way { Esc, CloseBox, Exit };

class HeldStatementClosing : public StopAndExit, public testing::WithParamInterface<Way> {
 protected:
  void Close(Way way) {
    switch (way) {
      case Way::Esc: {
        test::MovePointer(*dialog, wxPoint(300, 50));
        wxUIActionSimulator simulator;
        simulator.Char(WXK_ESCAPE);
        break;
      }
      case Way::CloseBox:
        dialog->Close();
        break;
      case Way::Exit:
        Press(kExitButton);
        break;
    }
  }
};

TEST_P(HeldStatementClosing, ClosesAtOnceAndTheHeldStatementIsCancelled) {
  mariadb.Execute({"CREATE TABLE t (id INT PRIMARY KEY)", "INSERT INTO t SELECT seq FROM seq_1_to_10"});
  const auto s = test::SqlServer();
  test::StopRelay heldLink(s.host, s.port);
  heldLink.HoldBatch("INSERT INTO", 2);
  test::FakeDesktopHandler desktop;
  test::MessageBoxes boxes;
  StartRun(test::MariaDbAddress(), "127.0.0.1," + std::to_string(heldLink.Port()));
  ASSERT_TRUE(test::PumpUntil([&] { return heldLink.WaitUntilHolding(std::chrono::milliseconds(0)); }, kBound));

  Close(GetParam());
  ASSERT_TRUE(test::PumpUntil([&] { return !dialog->IsShown(); }, kBound));
  EXPECT_FALSE(dialog->ConversionRunning());
  EXPECT_FALSE(dialog->MySqlConnected());
  EXPECT_TRUE(heldLink.HeldBatchCancelled());
  EXPECT_TRUE(heldLink.BatchesAfterTheHeldOne().empty());
  EXPECT_EQ(desktop.WaitForCalls(1), std::vector<std::string>{kProductWebPage});
}

TEST_P(HeldStatementClosing, ClosesAtOnceInTheMiddleOfATwoMillionRowTableOverASlowLink) {
  mariadb.Execute({"CREATE TABLE t AS SELECT seq FROM seq_1_to_2000000"});
  const auto m = test::MariaDb();
  test::StopRelay slowLink(m.host, m.port);
  slowLink.LimitTo(1'000'000);
  const auto s = test::SqlServer();
  test::FakeDesktopHandler desktop;
  test::MessageBoxes boxes;
  StartRun("127.0.0.1:" + std::to_string(slowLink.Port()), s.host + "," + std::to_string(s.port));
  WaitForRows();
  Close(GetParam());
  ASSERT_TRUE(test::PumpUntil([&] { return !dialog->IsShown(); }, kBound));
  EXPECT_FALSE(dialog->ConversionRunning());
  EXPECT_FALSE(dialog->MySqlConnected());
  EXPECT_LT(slowLink.BytesToClient(), 8'000'000u);  // the rest of the table was not read
}

INSTANTIATE_TEST_SUITE_P(Ways, HeldStatementClosing,
                         testing::Values(Way::Esc, Way::CloseBox, Way::Exit),
                         [](const testing::TestParamInfo<Way>& p) {
                           return std::string(p.param == Way::Esc        ? "Esc"
                                              : p.param == Way::CloseBox ? "CloseBox"
                                                                         : "Exit");
                         });

}  // namespace
}  // namespace morvane::ui
