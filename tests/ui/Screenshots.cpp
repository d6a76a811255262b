// The screenshots of README.md, made by scripts/screenshots (never by a test run): page one,
// the About box, page two with every table ticked, and a run in progress. The windows are
// captured while they have the keyboard, as a user sees them, into MORVANE_SCREENSHOT_DIR.
// Page two and the run need the MariaDB and SQL Server test servers that the script starts.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <wx/checkbox.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>

#include "tests/support/MariaDbTestClient.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WizardDriving.h"
#include "ui/AboutDlg.h"
#include "ui/MorvaneDlg.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

std::filesystem::path Output(const std::string& name) {
  const char* dir = std::getenv("MORVANE_SCREENSHOT_DIR");
  if (dir == nullptr || *dir == '\0') {
    ADD_FAILURE() << "MORVANE_SCREENSHOT_DIR names no folder";
    return {};
  }
  std::filesystem::create_directories(dir);
  return std::filesystem::path(dir) / name;
}

void Save(const wxImage& image, const std::string& name) {
  const std::filesystem::path path = Output(name);
  ASSERT_FALSE(path.empty());
  ASSERT_TRUE(image.SaveFile(path.string(), wxBITMAP_TYPE_PNG)) << path;
}

// Shows a window with the keyboard and captures it once its drawing has settled.
wxImage Shot(wxTopLevelWindow& window) {
  test::ShowAndSettle(window);
  EXPECT_TRUE(test::Activate(window));
  return test::CaptureSettled(window);
}

TEST(Screenshots, PageOneAndTheAboutBox) {
  auto* dialog = new CMorvaneDlg;
  Save(Shot(*dialog), "main-window.png");
  dialog->Destroy();
  auto* about = new CAboutDlg;
  Save(Shot(*about), "about-box.png");
  about->Destroy();
  test::Pump(50);
}

class Driven : public testing::Test {
 protected:
  void SetUp() override {
    mariadb.Execute({"DROP DATABASE IF EXISTS shop"});
    mariadb.CreateDatabaseNamed("shop");
    std::vector<std::string> statements = {
        "USE shop", "CREATE TABLE customers (id INT PRIMARY KEY, name VARCHAR(40))",
        "CREATE TABLE orders (id INT PRIMARY KEY, customer INT, note TEXT)",
        "CREATE TABLE `order lines` (id INT PRIMARY KEY, item VARCHAR(40))",
        "CREATE TABLE products (id INT PRIMARY KEY, name VARCHAR(40))"};
    for (const char* table : {"customers", "products"}) {
      std::string insert = std::string("INSERT INTO ") + table + " VALUES ";
      for (int i = 1; i <= 400; ++i) {
        insert += (i > 1 ? ", (" : "(") + std::to_string(i) + ", 'name " + std::to_string(i) + "')";
      }
      statements.push_back(insert);
    }
    mariadb.Execute(statements);

    dialog = new CMorvaneDlg;
    test::ShowAndSettle(*dialog);
    test::TypePageOne(*dialog, test::GoodLogins());
    Press(kNextButton);
    ASSERT_TRUE(dialog->Control(1015)->IsShown()) << "page two did not appear";
    ASSERT_TRUE(test::ChooseDatabase(*dialog, "shop"));
  }
  void TearDown() override {
    if (dialog->ConversionRunning()) Press(1048);
    test::PumpUntil([&] { return !dialog->ConversionRunning(); }, 60000);
    dialog->Destroy();
    test::Pump(50);
  }

  wxTextCtrl* Edit(int id) const { return dialog->ControlAs<wxTextCtrl>(id); }
  void Press(int id) { test::Press(*dialog, id); }
  // Ticks Select All as a click does.
  void SelectAllTables() {
    auto* all = dialog->ControlAs<wxCheckBox>(1017);
    all->SetValue(true);
    wxCommandEvent ticked(wxEVT_CHECKBOX, 1017);
    ticked.SetEventObject(all);
    ticked.SetInt(1);
    all->ProcessWindowEvent(ticked);
  }

  test::MariaDbTestClient mariadb;
  // Every message box (the count of tables, the end of a run) answered with OK, unseen.
  test::MessageBoxes boxes;
  CMorvaneDlg* dialog = nullptr;
};

TEST_F(Driven, PageTwoWithEveryTableTicked) {
  SelectAllTables();
  ASSERT_EQ(dialog->ControlAs<wxListBox>(1015)->GetCount(), 4u);
  EXPECT_TRUE(test::Activate(*dialog));
  Save(test::CaptureSettled(*dialog), "selection-page.png");
}

TEST_F(Driven, ARunInProgress) {
  // Customers and products, 400 rows each: the shot is taken during the second table.
  auto* tables = dialog->ControlAs<wxListBox>(1015);
  tables->SetSelection(tables->FindString("customers"));
  tables->SetSelection(tables->FindString("products"));
  Edit(1007)->ChangeValue("shop_copy");
  Press(kConvertButton);
  auto* gauge = dialog->ControlAs<wxGauge>(1013);
  auto* status = dialog->Control(1037);
  ASSERT_TRUE(test::PumpUntil(
      [&] {
        return gauge->IsShown() && gauge->GetValue() >= 1 &&
               status->GetLabel().Contains("products") && status->GetLabel().Length() > 0;
      },
      120000));
  test::Pump(3000);  // well into the second table's rows
  ASSERT_TRUE(dialog->ConversionRunning());
  EXPECT_TRUE(test::Activate(*dialog));
  // The status line changes with every row: one capture, not a settled one.
  Save(test::CaptureClient(*dialog), "run-in-progress.png");
}

}  // namespace
}  // namespace morvane::ui
