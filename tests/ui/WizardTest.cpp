// The wizard in a user's hands, against the MariaDB and SQL Server test servers: page one's
// connections, page two's listings and selection, a conversion driven through the window, the
// window serving the user during a run, and the ways it closes.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "tests/support/MariaDbTestClient.h"
#include "tests/support/OdbcTestClient.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WizardDriving.h"
#include "ui/MorvaneDlg.h"
#include "ui/Templates.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;

const std::string kMySqlFailed =
    "There is an error to connect with MySQL. Please check your input parameters or server "
    "configuration.";
const std::string kSqlServerFailed =
    "There is an error to connect with MS SQL. Please check your input parameters or server "
    "configuration.";
const std::string kCompleted = "MySQL to MS SQL Database Conversion successfully completed.";

const std::vector<int> kPageOne = {1003, 1004, 1005, 1000, 1009, 1010, 1001, 1002, 1019,
                                   1020, 1021, 1022, 1023, 1024, 1025, 1026, 1039};
const std::vector<int> kPageTwo = {1011, 1007, 1015, 1017, 1027, 1028, 1029, 1030, 1040};
const std::vector<int> kProgressArea = {1037, 1013, 1048, 1049};

// Statements that make a table of `rows` rows.
std::vector<std::string> ManyRows(const std::string& table, int rows) {
  std::vector<std::string> statements = {"CREATE TABLE " + table +
                                         " (id INT PRIMARY KEY, label VARCHAR(20))"};
  std::string insert = "INSERT INTO " + table + " VALUES ";
  for (int i = 1; i <= rows; ++i) {
    insert += (i > 1 ? ", (" : "(") + std::to_string(i) + ", 'row " + std::to_string(i) + "')";
  }
  statements.push_back(insert);
  return statements;
}

class Wizard : public test::MainWindowTest {
 protected:

  wxTextCtrl* Edit(int id) const { return dialog->ControlAs<wxTextCtrl>(id); }
  wxListBox* Tables() const { return dialog->ControlAs<wxListBox>(1015); }
  wxComboBox* Databases() const { return dialog->ControlAs<wxComboBox>(1011); }
  wxCheckBox* SelectAll() const { return dialog->ControlAs<wxCheckBox>(1017); }
  bool Shown(int id) const { return dialog->Control(id)->IsShown(); }

  void Type(const test::PageOne& p) { test::TypePageOne(*dialog, p); }

  // A real click at a point of a control (client coordinates of the control); the caller
  // waits for its effect.
  void ClickAt(wxWindow& control, const wxPoint& point) {
    test::MovePointer(control, point);
    wxUIActionSimulator simulator;
    simulator.MouseClick();
  }

  // A real click on a row of the table list; waits until the row's selection has flipped.
  void ClickRow(int row) {
    wxListBox* list = Tables();
    // The list lays out its rows once shown.
    int top = -1;
    test::PumpUntil([&] {
      const wxSize size = list->GetClientSize();
      for (int y = 1; y < size.y; ++y) {
        if (list->HitTest(wxPoint(10, y)) == row) {
          top = y;
          return true;
        }
      }
      return false;
    }, 10000);
    if (top < 0) {
      ADD_FAILURE() << "row " << row << " is not on the screen";
      return;
    }
    const bool before = list->IsSelected(row);
    ClickAt(*list, wxPoint(10, top + 3));
    EXPECT_TRUE(test::PumpUntil([&] { return list->IsSelected(row) != before; }, 10000))
        << "row " << row << " did not toggle";
  }

  // A real click on Select All; waits until its tick has flipped.
  void ClickSelectAll() {
    const bool before = SelectAll()->GetValue();
    ClickAt(*SelectAll(), wxPoint(5, SelectAll()->GetSize().y / 2));
    EXPECT_TRUE(test::PumpUntil([&] { return SelectAll()->GetValue() != before; }, 10000));
  }

  std::vector<int> SelectedRows() const {
    wxArrayInt selections;
    Tables()->GetSelections(selections);
    std::vector<int> rows(selections.begin(), selections.end());
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  std::vector<std::string> TableRows() const {
    std::vector<std::string> rows;
    for (const wxString& item : Tables()->GetStrings()) rows.push_back(item.utf8_string());
    return rows;
  }
  int DatabaseIndex(const std::string& name) const {
    return Databases()->FindString(wxString::FromUTF8(name), true);
  }

  // Logs in with good logins and lands on page two.
  void LogIn() {
    Type(test::GoodLogins());
    Press(kNextButton);
    ASSERT_TRUE(Shown(1015)) << "page two did not appear";
  }

  // Chooses a database in the combo box, as the user does.
  void Choose(const std::string& database) {
    ASSERT_TRUE(test::ChooseDatabase(*dialog, database)) << database << " is not listed";
  }

  // Waits until the run has ended.
  void WaitForTheRun(int milliseconds = 60000) {
    ASSERT_TRUE(test::PumpUntil([&] { return !dialog->ConversionRunning(); }, milliseconds));
    test::Pump(100);
  }

  test::MariaDbTestClient mariadb;
};

// Next with a failing login: the fixed message (after the report for a refused SQL Server
// login), and page one as the user typed it.
struct FailedLogin {
  const char* name;
  bool wrongMySqlPassword;
  bool wrongSqlServerPassword;
  std::size_t boxes;
  const std::string* last;
};

class FailedNext : public Wizard, public testing::WithParamInterface<FailedLogin> {};

TEST_P(FailedNext, ShowsTheMessageAndStaysOnPageOneWithTheFieldsAsTyped) {
  mariadb.CreateDatabase("failed");
  test::PageOne typed = test::GoodLogins();
  if (GetParam().wrongMySqlPassword) typed.mysqlPassword += "-wrong";
  if (GetParam().wrongSqlServerPassword) typed.sqlServerPassword += "-wrong";
  Type(typed);
  test::MessageBoxes boxes;
  Press(kNextButton);

  ASSERT_EQ(boxes.Boxes().size(), GetParam().boxes) << testing::PrintToString(boxes.Messages());
  // The fixed text as it is; for MySQL, the server's reason follows on a line of its own.
  const std::string& last = boxes.Boxes().back().message;
  EXPECT_EQ(last.substr(0, last.find('\n')), *GetParam().last);
  if (GetParam().wrongMySqlPassword) {
    EXPECT_THAT(last, HasSubstr(".\nAccess denied for user"));
  }
  if (GetParam().boxes == 2) {
    EXPECT_THAT(boxes.Boxes().front().message, Not(testing::IsEmpty()));
    EXPECT_NE(boxes.Boxes().front().message, kSqlServerFailed);
  }
  for (const auto& box : boxes.Boxes()) {
    EXPECT_EQ(box.caption, "MySQL to MSSQL");
    EXPECT_EQ(box.parent, dialog);
    EXPECT_EQ(box.style & wxICON_MASK, wxICON_NONE);
    EXPECT_TRUE(box.style & wxOK);
    EXPECT_FALSE(box.style & wxYES_NO);
  }
  for (int id : kPageOne) EXPECT_TRUE(Shown(id)) << id;
  for (int id : kPageTwo) EXPECT_FALSE(Shown(id)) << id;
  EXPECT_EQ(Edit(1003)->GetValue().utf8_string(), typed.mysqlServer);
  EXPECT_EQ(Edit(1004)->GetValue().utf8_string(), typed.mysqlLogin);
  EXPECT_EQ(Edit(1005)->GetValue().utf8_string(), typed.mysqlPassword);
  EXPECT_EQ(Edit(1000)->GetValue().utf8_string(), typed.sqlServerName);
  EXPECT_EQ(Edit(1001)->GetValue().utf8_string(), typed.sqlServerLogin);
  EXPECT_EQ(Edit(1002)->GetValue().utf8_string(), typed.sqlServerPassword);
  EXPECT_EQ(dialog->Settings().mysqlPassword, typed.mysqlPassword);
  EXPECT_EQ(dialog->Settings().authentication, Authentication::SqlServerAuthentication);

  // The user corrects the password and goes on.
  Type(test::GoodLogins());
  Press(kNextButton);
  EXPECT_TRUE(Shown(1015));
}

INSTANTIATE_TEST_SUITE_P(
    Logins, FailedNext,
    testing::Values(FailedLogin{"WrongMySqlPassword", true, false, 1, &kMySqlFailed},
                    FailedLogin{"RefusedSqlServerLogin", false, true, 2, &kSqlServerFailed}),
    [](const testing::TestParamInfo<FailedLogin>& p) { return p.param.name; });

TEST_F(Wizard, NextWithOnlySystemDatabasesStaysOnPageOne) {
  // A login that sees no database but the system ones.
  const std::string user = test::UniqueName("nodb");
  mariadb.Execute({"CREATE USER '" + user + "'@'%' IDENTIFIED BY 'pw'",
                   "CREATE USER '" + user + "'@'localhost' IDENTIFIED BY 'pw'"});
  test::PageOne typed = test::GoodLogins();
  typed.mysqlLogin = user;
  typed.mysqlPassword = "pw";
  Type(typed);
  test::MessageBoxes boxes;
  Press(kNextButton);
  mariadb.Execute({"DROP USER '" + user + "'@'%'", "DROP USER '" + user + "'@'localhost'"});

  EXPECT_EQ(boxes.Messages(), std::vector<std::string>{kNoDatabaseMessage});
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "MySQL to MSSQL");
  for (int id : kPageOne) EXPECT_TRUE(Shown(id)) << id;
  for (int id : kPageTwo) EXPECT_FALSE(Shown(id)) << id;
  EXPECT_EQ(Edit(1004)->GetValue().utf8_string(), user);
  EXPECT_EQ(Edit(1005)->GetValue(), "pw");
  EXPECT_EQ(Edit(1002)->GetValue().utf8_string(), typed.sqlServerPassword);
}

TEST_F(Wizard, NextWithGoodLoginsShowsPageTwoWithTheDatabasesSortedAndTheFirstProposed) {
  const std::string zeta = mariadb.CreateDatabase("zeta");
  const std::string alpha = mariadb.CreateDatabase("Alpha");
  const std::string beta = mariadb.CreateDatabase("beta");
  LogIn();

  for (int id : kPageOne) EXPECT_FALSE(Shown(id)) << id;
  for (int id : kPageTwo) EXPECT_TRUE(Shown(id)) << id;
  for (int id : kProgressArea) EXPECT_FALSE(Shown(id)) << id;
  EXPECT_FALSE(Shown(kBusyButton));
  for (int id : {1003, 1004, 1005, 1000, 1001, 1002}) {
    EXPECT_TRUE(Edit(id)->GetValue().empty()) << id;
  }
  const ConnectionSettings& record = dialog->Settings();
  for (const std::string* field : {&record.sqlServerName, &record.sqlServerPassword,
                                   &record.sqlServerLogin, &record.mysqlServer,
                                   &record.mysqlPassword, &record.mysqlLogin}) {
    EXPECT_TRUE(field->empty()) << *field;
  }

  EXPECT_LT(DatabaseIndex(alpha), DatabaseIndex(beta));
  EXPECT_LT(DatabaseIndex(beta), DatabaseIndex(zeta));
  for (const char* system : {"mysql", "information_schema", "performance_schema", "sys"}) {
    EXPECT_EQ(DatabaseIndex(system), wxNOT_FOUND) << system;
  }
  EXPECT_EQ(Databases()->GetSelection(), 0);
  EXPECT_EQ(Edit(1007)->GetValue(), Databases()->GetString(0));
  EXPECT_FALSE(SelectAll()->GetValue());
}

TEST_F(Wizard, AClickTogglesOneRowAndSelectAllTicksAndUnticksEveryRow) {
  const std::string db = mariadb.CreateDatabase("toggle");
  mariadb.Execute({"USE " + test::Backticked(db), "CREATE TABLE zeta (a INT)",
                   "CREATE TABLE Alpha (a INT)", "CREATE TABLE orders (a INT)",
                   "CREATE TABLE beta (a INT)"});
  LogIn();
  Choose(db);
  ASSERT_EQ(TableRows(), (std::vector<std::string>{"Alpha", "beta", "orders", "zeta"}));
  EXPECT_TRUE(SelectedRows().empty());

  ClickRow(1);
  EXPECT_EQ(SelectedRows(), (std::vector<int>{1}));
  ClickRow(3);
  EXPECT_EQ(SelectedRows(), (std::vector<int>{1, 3}));
  ClickRow(1);
  EXPECT_EQ(SelectedRows(), (std::vector<int>{3}));

  ClickSelectAll();
  EXPECT_TRUE(SelectAll()->GetValue());
  EXPECT_EQ(SelectedRows(), (std::vector<int>{0, 1, 2, 3}));
  // A click on a row unticks the box and keeps every other row's selection.
  ClickRow(2);
  EXPECT_FALSE(SelectAll()->GetValue());
  EXPECT_EQ(SelectedRows(), (std::vector<int>{0, 1, 3}));
  ClickRow(2);
  EXPECT_EQ(SelectedRows(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_FALSE(SelectAll()->GetValue());

  // Unticking deselects every row, those chosen by hand included.
  ClickSelectAll();
  ClickSelectAll();
  EXPECT_FALSE(SelectAll()->GetValue());
  EXPECT_TRUE(SelectedRows().empty());
}

TEST_F(Wizard, AnotherDatabaseReplacesTheTargetNameAndClearsTheSelection) {
  const std::string first = mariadb.CreateDatabase("first");
  const std::string second = mariadb.CreateDatabase("second");
  mariadb.Execute({"USE " + test::Backticked(first), "CREATE TABLE one (a INT)",
                   "CREATE TABLE two (a INT)", "USE " + test::Backticked(second),
                   "CREATE TABLE three (a INT)", "CREATE TABLE four (a INT)"});
  LogIn();
  Choose(first);
  EXPECT_EQ(Edit(1007)->GetValue().utf8_string(), first);
  EXPECT_EQ(TableRows(), (std::vector<std::string>{"one", "two"}));
  Edit(1007)->ChangeValue("typed by hand");
  ClickRow(0);
  ClickSelectAll();
  ASSERT_TRUE(SelectAll()->GetValue());

  Choose(second);
  EXPECT_EQ(Edit(1007)->GetValue().utf8_string(), second);
  EXPECT_FALSE(SelectAll()->GetValue());
  EXPECT_EQ(TableRows(), (std::vector<std::string>{"four", "three"}));
  EXPECT_TRUE(SelectedRows().empty());
}

TEST_F(Wizard, AWholeConversionDrivenThroughTheWindow) {
  const std::string db = mariadb.CreateDatabase("shop");
  mariadb.Execute(
      {"USE " + test::Backticked(db),
       "CREATE TABLE customers (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(40) NOT NULL)",
       "CREATE TABLE orders (id INT PRIMARY KEY, customer INT NOT NULL, note TEXT, "
       "INDEX (customer))",
       "CREATE TABLE skipped (a INT)",
       "INSERT INTO customers VALUES (1, 'Zoë O''Neil'), (2, 'Иван')",
       "INSERT INTO orders VALUES (10, 1, NULL), (11, 2, 'Ελλάδα')", "INSERT INTO skipped VALUES (1)"});
  LogIn();
  Choose(db);
  ASSERT_EQ(TableRows(), (std::vector<std::string>{"customers", "orders", "skipped"}));
  ClickRow(0);
  ClickRow(1);
  const std::string target = test::UniqueName("shopcopy");
  Edit(1007)->ChangeValue(target);

  // What the window showed while each box was up.
  struct Seen {
    bool progress, busy, convert, tablesEnabled;
    int gauge, range;
  };
  std::vector<Seen> seen;
  test::MessageBoxes boxes;
  boxes.onShown = [&](const test::MessageBoxes::Shown&) {
    auto* gauge = dialog->ControlAs<wxGauge>(1013);
    seen.push_back({Shown(1013) && Shown(1037) && Shown(1048) && Shown(1049), Shown(kBusyButton),
                    Shown(kConvertButton), Tables()->IsEnabled(), gauge->GetValue(),
                    gauge->GetRange()});
  };
  Press(kConvertButton);
  WaitForTheRun();

  EXPECT_EQ(boxes.Messages(),
            (std::vector<std::string>{"You have selected 2 table(s) to convert.", kCompleted}));
  for (const auto& box : boxes.Boxes()) {
    EXPECT_EQ(box.caption, "MySQL to MSSQL");
    EXPECT_EQ(box.parent, dialog);
    EXPECT_EQ(box.style & wxICON_MASK, wxICON_NONE);
  }
  ASSERT_EQ(seen.size(), 2u);
  // The count: page two locked, the progress area not yet shown.
  EXPECT_FALSE(seen[0].progress);
  EXPECT_TRUE(seen[0].busy);
  EXPECT_FALSE(seen[0].convert);
  EXPECT_FALSE(seen[0].tablesEnabled);
  // The completion: the progress area shown with the bar full.
  EXPECT_TRUE(seen[1].progress);
  EXPECT_TRUE(seen[1].busy);
  EXPECT_EQ(seen[1].gauge, seen[1].range);
  EXPECT_EQ(seen[1].range, 2);

  // Page two again, nothing selected, the progress area hidden.
  for (int id : kProgressArea) EXPECT_FALSE(Shown(id)) << id;
  EXPECT_TRUE(Shown(kConvertButton));
  EXPECT_FALSE(Shown(kBusyButton));
  for (int id : {1007, 1011, 1015, 1017}) EXPECT_TRUE(dialog->Control(id)->IsEnabled()) << id;
  EXPECT_TRUE(SelectedRows().empty());
  EXPECT_FALSE(SelectAll()->GetValue());
  EXPECT_EQ(Edit(1007)->GetValue().utf8_string(), target);

  test::OdbcTestClient client(test::SqlServer(), target);
  EXPECT_EQ(client.Query("SELECT * FROM [customers] ORDER BY [id]"),
            (std::vector<test::OdbcRow>{{"1", "Zoë O'Neil"}, {"2", "Иван"}}));
  EXPECT_EQ(client.Query("SELECT * FROM [orders] ORDER BY [id]"),
            (std::vector<test::OdbcRow>{{"10", "1", std::nullopt}, {"11", "2", "Ελλάδα"}}));
  EXPECT_FALSE(client.Execute("SELECT * FROM [skipped]").ok);
}

TEST_F(Wizard, AnExistingTargetIsReplacedOnlyWhenTheUserSaysYes) {
  const std::string db = mariadb.CreateDatabase("again");
  mariadb.Execute({"USE " + test::Backticked(db), "CREATE TABLE t (a INT)",
                   "INSERT INTO t VALUES (1)"});
  LogIn();
  Choose(db);
  const std::string target = test::UniqueName("againcopy");
  Edit(1007)->ChangeValue(target);
  test::MessageBoxes boxes;
  ClickRow(0);
  Press(kConvertButton);
  WaitForTheRun();
  ASSERT_EQ(boxes.Messages().back(), kCompleted);

  // Declined: the run stops before its tables, the selection stays as the user left it.
  ClickRow(0);
  boxes.Answer(wxID_NO);
  Press(kConvertButton);
  WaitForTheRun();
  ASSERT_EQ(boxes.Boxes().size(), 3u);
  EXPECT_EQ(boxes.Boxes()[2].message,
            target + " is already exist. Do you want to Overwrite the existing database?");
  EXPECT_TRUE(boxes.Boxes()[2].style & wxYES_NO);
  EXPECT_EQ(boxes.Boxes()[2].style & wxICON_MASK, wxICON_NONE);
  EXPECT_EQ(SelectedRows(), (std::vector<int>{0}));
  EXPECT_TRUE(Shown(kConvertButton));
  EXPECT_TRUE(Tables()->IsEnabled());

  // Accepted: converted anew.
  boxes.Answer(wxID_YES);
  Press(kConvertButton);
  WaitForTheRun();
  EXPECT_EQ(boxes.Messages().back(), kCompleted);
  EXPECT_TRUE(SelectedRows().empty());
  test::OdbcTestClient client(test::SqlServer(), target);
  EXPECT_EQ(client.Query("SELECT * FROM [t]"), (std::vector<test::OdbcRow>{{"1"}}));
}

TEST_F(Wizard, TheWindowKeepsServingTheUserWhileARunWorks) {
  const std::string db = mariadb.CreateDatabase("busy");
  mariadb.Execute({"USE " + test::Backticked(db)});
  mariadb.Execute(ManyRows("numbers", 60));
  LogIn();
  Choose(db);
  ClickRow(0);
  Edit(1007)->ChangeValue(test::UniqueName("busycopy"));

  // A timer of the user-interface thread, counting its ticks while the rows are copied.
  int ticksDuringRows = 0;
  bool waitCursorDuringRows = true;
  std::vector<std::string> statuses;
  wxTimer timer;
  timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    if (!Shown(1013)) return;
    ++ticksDuringRows;
    waitCursorDuringRows = waitCursorDuringRows && wxIsBusy();
    const std::string status = dialog->Control(1037)->GetLabel().utf8_string();
    if (statuses.empty() || statuses.back() != status) statuses.push_back(status);
  });
  timer.Start(20);
  test::MessageBoxes boxes;
  Press(kConvertButton);
  WaitForTheRun();
  timer.Stop();

  EXPECT_EQ(boxes.Messages().back(), kCompleted);
  // 60 rows with a pause of 50 ms after each: three seconds in which the timer keeps ticking
  // (a thread blocked for the run would tick once; a busy machine may slow the ticks, so the
  // bound is low), and the status line names the table being copied.
  EXPECT_GE(ticksDuringRows, 10);
  EXPECT_THAT(statuses, testing::Contains(HasSubstr("numbers")));
  // The wait cursor, set on the user-interface thread, for the whole run and not after it.
  EXPECT_TRUE(waitCursorDuringRows);
  EXPECT_FALSE(wxIsBusy());
}

TEST_F(Wizard, EnterDoesNothingOnPageTwo) {
  const std::string db = mariadb.CreateDatabase("enter");
  mariadb.Execute({"USE " + test::Backticked(db), "CREATE TABLE t (a INT)"});
  LogIn();
  Choose(db);
  ClickRow(0);
  test::MessageBoxes boxes;
  // Counts the Enter keys that reach the window (before its own handling of them) or whose
  // release reaches the control (after the press has been handled).
  int enters = 0;
  auto count = [&](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_RETURN) ++enters;
    event.Skip();
  };
  dialog->Bind(wxEVT_CHAR_HOOK, count);
  for (int id : {1007, 1011, 1015}) {
    wxWindow* control = dialog->Control(id);
    control->Bind(wxEVT_KEY_UP, count);
    test::MovePointer(*control, wxPoint(5, 5));
    control->SetFocus();
    test::PumpUntil([&] { return control->HasFocus(); }, 10000);
    const int before = enters;
    wxUIActionSimulator simulator;
    simulator.Char(WXK_RETURN);
    ASSERT_TRUE(test::PumpUntil([&] { return enters > before; }, 10000)) << id;
    test::Pump(100);  // a run or a box that Enter would start has had its chance
    EXPECT_TRUE(dialog->IsShown()) << id;
    EXPECT_FALSE(dialog->ConversionRunning()) << id;
    EXPECT_TRUE(Shown(kConvertButton)) << id;
  }
  EXPECT_TRUE(boxes.Messages().empty());
  EXPECT_EQ(SelectedRows(), (std::vector<int>{0}));
}

// The three ways to close, on either page and during a run.
enum class Page { One, Two, Running };
enum class Way { Esc, CloseBox, Exit };

struct CloseCase {
  const char* name;
  Page page;
  Way way;
};

class Closing : public Wizard, public testing::WithParamInterface<CloseCase> {};

constexpr int kRunRows = 400;

TEST_P(Closing, ClosesTheWindowEndsTheRunAndOpensTheWebPage) {
  test::FakeDesktopHandler desktop;
  test::MessageBoxes boxes;
  std::string target;
  if (GetParam().page != Page::One) {
    const std::string db = mariadb.CreateDatabase("closing");
    mariadb.Execute({"USE " + test::Backticked(db)});
    if (GetParam().page == Page::Running) mariadb.Execute(ManyRows("numbers", kRunRows));
    LogIn();
    Choose(db);
    if (GetParam().page == Page::Running) {
      ClickRow(0);
      target = test::UniqueName("closingcopy");
      Edit(1007)->ChangeValue(target);
      Press(kConvertButton);
      // Rows are being copied.
      ASSERT_TRUE(test::PumpUntil([&] { return Shown(1013); }, 20000));
      test::Pump(500);
      ASSERT_TRUE(dialog->ConversionRunning());
    }
  }
  ASSERT_TRUE(dialog->MySqlConnected() || GetParam().page == Page::One);

  switch (GetParam().way) {
    case Way::Esc: {
      test::MovePointer(*dialog, wxPoint(300, 50));
      wxUIActionSimulator simulator;
      simulator.Char(WXK_ESCAPE);
      break;
    }
    case Way::CloseBox:
      dialog->Close();
      break;
    case Way::Exit: {
      CImageButton* exit = dialog->ImageButton(kExitButton);
      ClickAt(*exit, wxPoint(exit->GetSize().x / 2, exit->GetSize().y / 2));
      break;
    }
  }
  test::PumpUntil([&] { return !dialog->IsShown(); }, 30000);

  EXPECT_FALSE(dialog->IsShown());
  EXPECT_FALSE(dialog->ConversionRunning());
  EXPECT_FALSE(dialog->MySqlConnected());
  EXPECT_EQ(desktop.WaitForCalls(1), std::vector<std::string>{kProductWebPage});
  if (GetParam().page == Page::Running) {
    // The run gave up where it stood: far from every row arrived, and it did not reach the
    // window again (no "stopped" message, no completion).
    EXPECT_EQ(boxes.Messages(), std::vector<std::string>{"You have selected 1 table(s) to convert."});
    test::OdbcTestClient client(test::SqlServer(), target);
    const auto count = client.Scalar("SELECT COUNT(*) FROM [numbers]");
    ASSERT_TRUE(count.has_value());
    EXPECT_LT(std::stoi(*count), kRunRows / 2);
  } else {
    EXPECT_TRUE(boxes.Messages().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, Closing,
    testing::Values(CloseCase{"EscOnPageOne", Page::One, Way::Esc},
                    CloseCase{"CloseBoxOnPageOne", Page::One, Way::CloseBox},
                    CloseCase{"ExitOnPageOne", Page::One, Way::Exit},
                    CloseCase{"EscOnPageTwo", Page::Two, Way::Esc},
                    CloseCase{"CloseBoxOnPageTwo", Page::Two, Way::CloseBox},
                    CloseCase{"ExitOnPageTwo", Page::Two, Way::Exit},
                    CloseCase{"EscDuringARun", Page::Running, Way::Esc},
                    CloseCase{"CloseBoxDuringARun", Page::Running, Way::CloseBox},
                    CloseCase{"ExitDuringARun", Page::Running, Way::Exit}),
    [](const testing::TestParamInfo<CloseCase>& p) { return p.param.name; });

TEST_F(Wizard, EscDuringARunEndsTheModalLoopAsInTheProgram) {
  const std::string db = mariadb.CreateDatabase("modal");
  mariadb.Execute({"USE " + test::Backticked(db)});
  mariadb.Execute(ManyRows("numbers", kRunRows));
  test::FakeDesktopHandler desktop;
  test::MessageBoxes boxes;
  wxTimer guard;
  guard.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    if (dialog->IsModal()) dialog->EndModal(-99);
  });
  guard.StartOnce(120000);
  bool running = false;
  dialog->CallAfter([&] {
    LogIn();
    Choose(db);
    ClickRow(0);
    Edit(1007)->ChangeValue(test::UniqueName("modalcopy"));
    Press(kConvertButton);
    test::PumpUntil([&] { return Shown(1013); }, 20000);
    test::Pump(300);
    running = dialog->ConversionRunning();
    test::MovePointer(*dialog, wxPoint(300, 50));
    wxUIActionSimulator simulator;
    simulator.Char(WXK_ESCAPE);
  });
  EXPECT_EQ(dialog->ShowModal(), wxID_CANCEL);
  EXPECT_TRUE(running);
  EXPECT_FALSE(dialog->ConversionRunning());
  EXPECT_FALSE(dialog->MySqlConnected());
  EXPECT_EQ(desktop.WaitForCalls(1), std::vector<std::string>{kProductWebPage});
}

// A data folder of the test's own (XDG_DATA_HOME) for the run's report files, and what they hold.
class ReportFolder {
 public:
  ReportFolder() {
    char pattern[] = "/tmp/morvane-reports-XXXXXX";
    if (mkdtemp(pattern) == nullptr) ADD_FAILURE() << "no temporary folder";
    m_dir = pattern;
    if (const char* old = std::getenv("XDG_DATA_HOME")) m_old = old;
    setenv("XDG_DATA_HOME", pattern, 1);
  }
  ~ReportFolder() {
    setenv("XDG_DATA_HOME", m_old.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }
  ReportFolder(const ReportFolder&) = delete;
  ReportFolder& operator=(const ReportFolder&) = delete;

  // The files written into $XDG_DATA_HOME/morvane/reports.
  std::vector<std::filesystem::path> Files() const {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir / "morvane" / "reports", error))
      files.push_back(entry.path());
    return files;
  }
  static std::string Text(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path m_dir;
  std::string m_old;
};

TEST_F(Wizard, StopEndsTheRunAndGivesThePageBack) {
  const ReportFolder folder;
  const std::string db = mariadb.CreateDatabase("stop");
  mariadb.Execute({"USE " + test::Backticked(db)});
  mariadb.Execute(ManyRows("numbers", kRunRows));
  LogIn();
  Choose(db);
  ClickRow(0);
  Edit(1007)->ChangeValue(test::UniqueName("stopcopy"));
  test::MessageBoxes boxes;
  Press(kConvertButton);
  ASSERT_TRUE(test::PumpUntil([&] { return Shown(1048); }, 20000));
  test::Pump(300);
  ClickAt(*dialog->Control(1048), wxPoint(10, 10));
  WaitForTheRun();

  EXPECT_THAT(boxes.Messages(),
              ElementsAre("You have selected 1 table(s) to convert.",
                          HasSubstr("The conversion was stopped.")));
  EXPECT_TRUE(dialog->IsShown());
  for (int id : kProgressArea) EXPECT_FALSE(Shown(id)) << id;
  EXPECT_TRUE(Shown(kConvertButton));
  EXPECT_TRUE(Tables()->IsEnabled());
  EXPECT_TRUE(dialog->MySqlConnected());
  // The report is kept also for a stopped run, saying so; with nothing adapted, the box is the
  // plain OK box.
  EXPECT_FALSE(boxes.Boxes().back().style & wxYES_NO);
  const auto files = folder.Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_THAT(ReportFolder::Text(files[0]), HasSubstr("The conversion was stopped by the user.\n"
                                                      "Tables converted completely: 0 of 1 selected\n"
                                                      "Table numbers was cut short.\n"));
}

TEST_F(Wizard, TheFinalBoxOpensTheWholeReportKeptInTheUsersDataFolder) {
  const ReportFolder folder;
  test::FakeDesktopHandler desktop;
  const std::string db = mariadb.CreateDatabase("report");
  mariadb.Execute({"USE " + test::Backticked(db), "CREATE TABLE `Über` (a INT)",
                   "CREATE TABLE `über` (a INT)", "INSERT INTO `Über` VALUES (1)",
                   "INSERT INTO `über` VALUES (2)"});
  LogIn();
  Choose(db);
  // The first in the list keeps its name, the second is numbered.
  const std::vector<std::string> tables = TableRows();
  ASSERT_EQ(tables.size(), 2u);
  const std::string renamed = "table " + tables[1] + " was created as " + tables[1] + "_2";
  ClickSelectAll();
  const std::string target = test::UniqueName("reportcopy");
  Edit(1007)->ChangeValue(target);
  test::MessageBoxes boxes;
  boxes.Answer(wxID_OK);  // the count
  boxes.Answer(wxID_NO);  // the final box's second button: "Open the full report"
  Press(kConvertButton);
  WaitForTheRun();

  ASSERT_EQ(boxes.Boxes().size(), 2u) << testing::PrintToString(boxes.Messages());
  const auto& last = boxes.Boxes().back();
  EXPECT_THAT(last.message, HasSubstr("\n- " + renamed));
  EXPECT_TRUE(last.style & wxYES_NO);
  EXPECT_EQ(last.style & wxICON_MASK, wxICON_NONE);
  const auto files = folder.Files();
  ASSERT_EQ(files.size(), 1u);
  const std::string name = files[0].filename().string();
  EXPECT_THAT(name, testing::MatchesRegex(target + " [0-9-]{10} [0-9]{6} UTC\\.txt"));
  EXPECT_EQ(std::filesystem::status(files[0]).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const std::string text = ReportFolder::Text(files[0]);
  EXPECT_THAT(text, HasSubstr("Target database: " + target + "\n"));
  EXPECT_THAT(text, HasSubstr("The conversion completed.\nTables converted completely: 2 of 2"));
  EXPECT_THAT(text, HasSubstr("\n- " + renamed + ": SQL Server takes its name for that of table " +
                              tables[0]));
  EXPECT_EQ(desktop.WaitForCalls(1), (std::vector<std::string>{files[0].string()}));

  // The converted tables, read back: both arrived.
  test::OdbcTestClient client(test::SqlServer(), target);
  const std::string first = tables[0] == "Über" ? "1" : "2", second = first == "1" ? "2" : "1";
  EXPECT_EQ(client.Query("SELECT a FROM [" + tables[0] + "]"), (std::vector<test::OdbcRow>{{first}}));
  EXPECT_EQ(client.Query("SELECT a FROM [" + tables[1] + "_2]"), (std::vector<test::OdbcRow>{{second}}));
}

// Stop and Esc at random moments of a run, twenty times in a row: each time the window is back
// on page two, or closed, long before the run could have finished (its 400 rows take twenty
// seconds; the bound of five seconds leaves room for a busy machine), and the run never
// outlives the connections.
TEST_F(Wizard, StopAndEscAtRandomMomentsOfARun) {
  std::mt19937 random(1210);
  test::FakeDesktopHandler desktop;
  test::MessageBoxes boxes;
  const std::string db = mariadb.CreateDatabase("stress");
  mariadb.Execute({"USE " + test::Backticked(db)});
  mariadb.Execute(ManyRows("numbers", 400));
  LogIn();
  Choose(db);

  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const bool esc = round % 2 == 1;
    ClickRow(0);
    Edit(1007)->ChangeValue(test::UniqueName("stresscopy"));
    Press(kConvertButton);
    if (esc) {
      // Any moment: while the database is prepared, at the count message, during the rows.
      test::Pump(std::uniform_int_distribution<int>(0, 1500)(random));
    } else {
      ASSERT_TRUE(test::PumpUntil([&] { return Shown(1048); }, 20000));
      test::Pump(std::uniform_int_distribution<int>(0, 800)(random));
    }
    const bool wasRunning = dialog->ConversionRunning();
    const auto pressed = std::chrono::steady_clock::now();
    if (esc) {
      test::MovePointer(*dialog, wxPoint(300, 50));
      wxUIActionSimulator simulator;
      simulator.Char(WXK_ESCAPE);
      ASSERT_TRUE(test::PumpUntil([&] { return !dialog->IsShown(); }, 30000));
    } else {
      Press(1048);
      ASSERT_TRUE(test::PumpUntil(
          [&] { return !dialog->ConversionRunning() && Shown(kConvertButton); }, 30000));
    }
    const auto took = std::chrono::steady_clock::now() - pressed;
    EXPECT_LT(took, std::chrono::seconds(5)) << (esc ? "Esc" : "Stop") << " after a run that "
                                             << (wasRunning ? "was running" : "had ended");
    EXPECT_FALSE(dialog->ConversionRunning());
    if (esc) {
      // The worker had ended before the connections were closed.
      EXPECT_FALSE(dialog->MySqlConnected());
      dialog->Destroy();
      test::Pump(50);
      dialog = new CMorvaneDlg;
      test::ShowAndSettle(*dialog);
      LogIn();
      Choose(db);
    } else {
      EXPECT_THAT(boxes.Messages().back(), HasSubstr("The conversion was stopped."));
      EXPECT_TRUE(Tables()->IsEnabled());
    }
  }
}

}  // namespace
}  // namespace morvane::ui
