// Page two's "Copy at full speed (no pause between rows)" box: where it stands, its tab order,
// its look, its state across runs, and its disabling while a run works.

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>
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

const std::string kCompleted = "MySQL to MS SQL Database Conversion successfully completed.";

class FullSpeedBox : public test::MainWindowTest {
 protected:
  wxCheckBox* Box() const { return dialog->ControlAs<wxCheckBox>(kFullSpeedCheck); }

  // A database of one table of `rows` rows, logged in and chosen on page two, the table ticked.
  void PageTwoWith(int rows) {
    db = mariadb.CreateDatabase("pace");
    std::vector<std::string> statements = {"USE " + test::Backticked(db),
                                           "CREATE TABLE t (id INT PRIMARY KEY, label VARCHAR(20))"};
    std::string insert = "INSERT INTO t VALUES ";
    for (int i = 1; i <= rows; ++i)
      insert += (i > 1 ? ",(" : "(") + std::to_string(i) + ",'row " + std::to_string(i) + "')";
    statements.push_back(insert);
    mariadb.Execute(statements);
    test::TypePageOne(*dialog, test::GoodLogins());
    Press(kNextButton);
    ASSERT_TRUE(dialog->Control(1015)->IsShown()) << "page two did not appear";
    ASSERT_TRUE(test::ChooseDatabase(*dialog, db));
  }

  // Converts the chosen database's table into a new database; returns the boxes' messages and
  // whether the pace box was enabled while the count message was up.
  std::vector<std::string> Convert(const std::string& target, bool& enabledDuringRun) {
    dialog->ControlAs<wxListBox>(1015)->SetSelection(0);
    dialog->ControlAs<wxTextCtrl>(1007)->ChangeValue(target);
    test::MessageBoxes boxes;
    enabledDuringRun = true;
    boxes.onShown = [&](const test::MessageBoxes::Shown& shown) {
      if (shown.message.rfind("You have selected", 0) == 0) enabledDuringRun = Box()->IsEnabled();
    };
    Press(kConvertButton);
    EXPECT_TRUE(test::PumpUntil([&] { return !dialog->ConversionRunning(); }, 60000));
    test::Pump(100);
    return boxes.Messages();
  }

  long long TargetRows(const std::string& target) {
    test::OdbcTestClient client(test::SqlServer(), target);
    const auto rows = client.Query("SELECT COUNT(*) FROM [t]");
    return rows.empty() || !rows[0][0] ? -1 : std::stoll(*rows[0][0]);
  }

  test::MariaDbTestClient mariadb;
  std::string db;
};

TEST_F(FullSpeedBox, StandsInTheLeftFrameBelowTheTargetNameUntickedAndAfterItInTabOrder) {
  ASSERT_NO_FATAL_FAILURE(PageTwoWith(1));
  wxCheckBox* box = Box();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->IsShownOnScreen());
  EXPECT_TRUE(box->IsEnabled());
  EXPECT_FALSE(box->GetValue());
  EXPECT_EQ(box->GetLabel(), "Copy at full speed (no pause between rows)");

  // Inside the left frame, below the target name, its text within the frame.
  const wxRect frame = dialog->Control(1027)->GetRect();
  const wxRect name = dialog->Control(1007)->GetRect();
  const wxRect r = box->GetRect();
  EXPECT_TRUE(frame.Contains(r)) << r.x << "," << r.y << " " << r.width << "x" << r.height;
  EXPECT_GE(r.y, name.GetBottom());
  EXPECT_LE(box->GetBestSize().x, frame.GetRight() - r.x);

  // The same font and tint as "Select All Table".
  EXPECT_EQ(box->GetFont(), dialog->Control(1017)->GetFont());
  const ControlColour* tint = FindControlColour(MainControlColours(), kFullSpeedCheck);
  const ControlColour* selectAllTint = FindControlColour(MainControlColours(), 1017);
  ASSERT_NE(tint, nullptr);
  ASSERT_NE(selectAllTint, nullptr);
  EXPECT_EQ(tint->background, selectAllTint->background);
  const wxImage image = test::CaptureSettled(*dialog);
  int tinted = 0;
  for (int y = r.y; y < r.GetBottom(); ++y)
    for (int x = r.x; x < r.GetRight(); ++x) tinted += test::PixelAt(image, x, y) == tint->background;
  EXPECT_GT(tinted * 3, r.width * r.height);

  // Tab from the target name reaches the box; Tab again leaves it for the table list.
  dialog->Control(1007)->SetFocus();
  test::Pump(50);
  dialog->Control(1007)->Navigate(wxNavigationKeyEvent::IsForward);
  EXPECT_TRUE(test::PumpUntil([&] { return wxWindow::FindFocus() == box; }, 2000));
  box->Navigate(wxNavigationKeyEvent::IsForward);
  EXPECT_TRUE(test::PumpUntil([&] { return wxWindow::FindFocus() == dialog->Control(1015); }, 2000));
}

TEST_F(FullSpeedBox, TickedItCopiesEveryRowIsDisabledDuringTheRunAndKeepsItsTick) {
  ASSERT_NO_FATAL_FAILURE(PageTwoWith(2345));
  // A real click ticks it.
  test::MovePointer(*Box(), wxPoint(5, Box()->GetSize().y / 2));
  wxUIActionSimulator().MouseClick();
  ASSERT_TRUE(test::PumpUntil([&] { return Box()->GetValue(); }, 10000));

  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    const std::string target = test::UniqueName("pacecopy");
    bool enabledDuringRun = true;
    const auto messages = Convert(target, enabledDuringRun);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), kCompleted);
    EXPECT_FALSE(enabledDuringRun);
    EXPECT_TRUE(Box()->IsEnabled());
    EXPECT_TRUE(Box()->GetValue()) << "the box keeps its tick from run to run";
    EXPECT_EQ(TargetRows(target), 2345);
  }
}

}  // namespace
}  // namespace morvane::ui
