// One source database holding every shape the plan decides, converted through the window as a
// user converts it (page one typed, the database chosen, Select All ticked, Convert pressed),
// then read back with typed values: every row arrives, every object SQL Server accepts is
// there, and the final box and the kept report name every other one.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "tests/integration/EveryShape.h"
#include "tests/support/MariaDbTestClient.h"
#include "tests/support/OdbcTestClient.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WizardDriving.h"
#include "ui/MorvaneDlg.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

using testing::HasSubstr;
using testing::Not;

// A value read back from the target as MariaDB's client gives it: integers in decimal, text
// and exact decimals as their text, NULL as nothing; any other kind is named so that it differs.
test::Cell AsMariaDbGivesIt(const test::OdbcValue& value) {
  switch (value.kind) {
    case test::OdbcValue::Kind::Null: return std::nullopt;
    case test::OdbcValue::Kind::Integer: return std::to_string(value.integer);
    case test::OdbcValue::Kind::Text:
    case test::OdbcValue::Kind::Decimal: return value.text;
    default: return "<kind " + std::to_string(static_cast<int>(value.kind)) + ">";
  }
}

// The kept report of the run into `target`, from the data folder the window tests run with.
std::string KeptReport(const std::string& target) {
  const char* home = std::getenv("XDG_DATA_HOME");
  if (home == nullptr) return "";
  std::error_code error;
  const std::filesystem::path reports = std::filesystem::path(home) / "morvane" / "reports";
  for (const auto& entry : std::filesystem::directory_iterator(reports, error)) {
    if (entry.path().filename().string().rfind(target + " ", 0) != 0) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return "";
}

class PlanWindow : public test::MainWindowTest {
 protected:
  test::MariaDbTestClient mariadb;
};

TEST_F(PlanWindow, EveryShapeInOneDatabaseThroughTheWindow) {
  const std::string db = mariadb.CreateDatabase("shapes");
  mariadb.Execute({"USE " + test::Backticked(db)});
  mariadb.Execute(test::EveryShapeStatements());

  test::TypePageOne(*dialog, test::GoodLogins());
  Press(kNextButton);
  ASSERT_TRUE(dialog->Control(1015)->IsShown()) << "page two did not appear";
  ASSERT_TRUE(test::ChooseDatabase(*dialog, db));
  auto* tables = dialog->ControlAs<wxListBox>(1015);
  std::vector<std::string> listed;
  for (const wxString& item : tables->GetStrings()) listed.push_back(item.utf8_string());
  ASSERT_EQ(listed, test::kEveryShapeTables);

  // Select All, clicked as the user clicks it.
  auto* selectAll = dialog->ControlAs<wxCheckBox>(1017);
  test::MovePointer(*selectAll, wxPoint(5, selectAll->GetSize().y / 2));
  wxUIActionSimulator().MouseClick();
  ASSERT_TRUE(test::PumpUntil([&] { return selectAll->GetValue(); }, 10000));
  wxArrayInt selections;
  EXPECT_EQ(tables->GetSelections(selections), static_cast<int>(test::kEveryShapeTables.size()));

  const std::string target = test::UniqueName("shapescopy");
  dialog->ControlAs<wxTextCtrl>(1007)->ChangeValue(target);
  test::MessageBoxes boxes;
  Press(kConvertButton);
  ASSERT_TRUE(test::PumpUntil([&] { return !dialog->ConversionRunning(); }, 600000));
  test::Pump(100);

  ASSERT_GE(boxes.Boxes().size(), 2u) << testing::PrintToString(boxes.Messages());
  EXPECT_EQ(boxes.Boxes().front().message, "You have selected 9 table(s) to convert.");
  const std::string box = boxes.Boxes().back().message;
  EXPECT_THAT(box, testing::StartsWith("MySQL to MS SQL Database Conversion completed, but not "
                                       "everything arrived as it is in MySQL:"));
  const std::string report = KeptReport(target);
  ASSERT_FALSE(report.empty()) << "no report kept for " << target;
  EXPECT_THAT(report, HasSubstr("The conversion completed.\n"));

  // Every adapted or left-out object named, in the final box and in the kept report.
  for (const std::string& named :
       {std::string("a_wide, column c1: created NVARCHAR(255): the row's fixed part would exceed "
                    "SQL Server's 8 060 bytes"),
        std::string("table b_many was not created: it has 1025 columns"),
        std::string("c_money, column d: its values need 65 digits"),
        std::string("e_child, column code: created NVARCHAR(40) instead of NVARCHAR(20)"),
        std::string("f_parent: unique key code was created as a UNIQUE constraint"),
        std::string("i_history is a system-versioned table in MariaDB")}) {
    EXPECT_THAT(box, HasSubstr(named));
    EXPECT_THAT(report, HasSubstr(named));
  }
  EXPECT_THAT(report, Not(HasSubstr("AUTO_INCREMENT")));

  // The objects SQL Server accepts are there, the one it refuses is not.
  test::OdbcTestClient client(test::SqlServer(), target);
  std::vector<test::OdbcRow> created;
  for (const std::string& table : test::kEveryShapeTables)
    if (table != "b_many") created.push_back({table});
  EXPECT_EQ(client.Query("SELECT name FROM sys.tables ORDER BY name"), created);
  EXPECT_EQ(client.Query("SELECT COUNT(*) FROM sys.foreign_keys WHERE name = 'to_parent'"),
            (std::vector<test::OdbcRow>{{"1"}}));

  // Every row arrives, typed values equal to MariaDB's.
  struct Read {
    std::string table, columns, order;
  };
  for (const Read& read : {Read{"a_wide", "c1", "c1"}, Read{"c_money", "id, d", "id"},
                           Read{"d_text", "l, m, f", "l"}, Read{"e_child", "id, code", "id"},
                           Read{"f_parent", "id, code", "id"}, Read{"g_counted", "id, v", "id"},
                           Read{"h_empty", "id, v", "id"}, Read{"i_history", "id, v", "id"}}) {
    SCOPED_TRACE(read.table);
    const test::Rows expected =
        mariadb.Query("SELECT " + read.columns + " FROM " + read.table + " ORDER BY " + read.order);
    test::Rows got;
    for (const auto& row : client.TypedQuery("SELECT " + read.columns + " FROM [" + read.table +
                                             "] ORDER BY " + read.order)) {
      got.emplace_back();
      for (const auto& value : row) got.back().push_back(AsMariaDbGivesIt(value));
    }
    EXPECT_EQ(got, expected);
  }
  // A fixed-width column keeps its width: MariaDB's value, padded as CHAR(255) is.
  const test::Rows last = mariadb.Query("SELECT c16 FROM a_wide");
  ASSERT_EQ(last.size(), 1u);
  ASSERT_TRUE(last[0][0]);
  const auto typed = client.TypedQuery("SELECT c16 FROM [a_wide]");
  ASSERT_EQ(typed.size(), 1u);
  EXPECT_EQ(AsMariaDbGivesIt(typed[0][0]), *last[0][0] + std::string(255 - last[0][0]->size(), ' '));
  // Beyond the rows: the counters go on from MariaDB's next value.
  EXPECT_EQ(client.Execute("INSERT INTO [g_counted] (v) VALUES (3)").FirstError(), 0);
  EXPECT_EQ(client.Query("SELECT id FROM [g_counted] WHERE v = 3"), (std::vector<test::OdbcRow>{{"100"}}));
}

}  // namespace
}  // namespace morvane::ui
