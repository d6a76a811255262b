// One source database holding every shape the plan decides, converted by one whole run: every
// row arrives, every object SQL Server accepts is there, and every other one is named.
#include <gmock/gmock.h>

#include "engine/ConversionRun.h"
#include "engine/SqlNames.h"
#include "tests/integration/EndToEnd.h"
#include "tests/integration/EveryShape.h"
#include "tests/support/FakeWizardWindow.h"

namespace morvane {
namespace {

using test::OdbcRow;
using testing::HasSubstr;
using testing::Not;

class PlanEndToEnd : public test::RunEndToEnd {
 protected:  long OnTarget(const std::string& statement) {
    test::OdbcTestClient client(test::SqlServer(), targetName);
    return client.Execute(statement).FirstError();
  }
  std::string One(const std::string& query) {
    const auto rows = Target(query);
    return rows.empty() || rows[0].empty() || !rows[0][0] ? "NULL" : *rows[0][0];
  }
  // The column's type as the target's catalogue tells it: "nvarchar(n)" in characters.
  std::string TypeOf(const std::string& table, const std::string& column) {
    const auto rows = Target("SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS "
                             "WHERE TABLE_NAME = " + Quoted(table) + " AND COLUMN_NAME = " + Quoted(column));
    if (rows.size() != 1 || rows[0].size() != 2 || !rows[0][0]) return "none";
    return *rows[0][0] + "(" + rows[0][1].value_or("") + ")";
  }
};

TEST_F(PlanEndToEnd, EveryShapeInOneDatabase) {
  const std::string& big = test::kEveryShapeBig;
  Source(test::EveryShapeStatements());
  const RunSummary summary = Convert(test::kEveryShapeTables);
  ASSERT_EQ(summary.outcome, RunOutcome::Completed) << window.messages.back();
  const std::string& report = FinalMessage();

  // Row size: one NCHAR(255) made NVARCHAR(255), the row arrives whole.
  EXPECT_EQ(TypeOf("a_wide", "c1"), "nvarchar(255)");
  EXPECT_EQ(TypeOf("a_wide", "c2"), "nchar(255)");
  EXPECT_EQ(One("SELECT c1 FROM [a_wide]"), "first");
  EXPECT_EQ(One("SELECT c16 FROM [a_wide]"), "last" + std::string(251, ' '));
  EXPECT_THAT(report, HasSubstr("a_wide, column c1: created NVARCHAR(255): the row's fixed part "
                                "would exceed SQL Server's 8 060 bytes"));
  // More than 1 024 columns: left out, named, and the run went on.
  EXPECT_EQ(One("SELECT OBJECT_ID('b_many')"), "NULL");
  EXPECT_THAT(report, HasSubstr("table b_many was not created: it has 1025 columns"));
  // DECIMAL(65,30): the 65-digit value arrives as its exact text, the others alike.
  EXPECT_EQ(One("SELECT d FROM [c_money] WHERE id = 1"), big);
  EXPECT_EQ(One("SELECT d FROM [c_money] WHERE id = 2"), "1.500000000000000000000000000000");
  EXPECT_EQ(One("SELECT d FROM [c_money] WHERE id = 3"), "NULL");
  EXPECT_THAT(report, HasSubstr("c_money, column d: its values need 65 digits"));
  // Widths by character set.
  EXPECT_EQ(TypeOf("d_text", "l"), "nvarchar(10)");
  EXPECT_EQ(TypeOf("d_text", "m"), "nvarchar(10)");
  EXPECT_EQ(TypeOf("d_text", "f"), "nvarchar(20)");
  EXPECT_EQ(Target("SELECT l, m, f FROM [d_text]"),
            (std::vector<OdbcRow>{{"abcdefghij", "ÄÖÜäöüßéèê", "😀😀😀😀😀😀😀😀😀😀"}}));
  // The foreign key arrives: the child's column takes the parent's type, the nullable unique
  // key becomes a UNIQUE constraint (one NULL).
  EXPECT_EQ(TypeOf("e_child", "code"), "nvarchar(40)");
  EXPECT_EQ(One("SELECT COUNT(*) FROM sys.foreign_keys WHERE name = 'to_parent'"), "1");
  EXPECT_EQ(OnTarget("INSERT INTO [e_child] VALUES (3, 'nope')"), 547);
  EXPECT_EQ(OnTarget("INSERT INTO [f_parent] VALUES (3, NULL)"), 2627);
  EXPECT_THAT(report, HasSubstr("e_child, column code: created NVARCHAR(40) instead of NVARCHAR(20)"));
  EXPECT_THAT(report, HasSubstr("f_parent: unique key code was created as a UNIQUE constraint"));
  // The counter: the next row gets MySQL's next value, with and without rows.
  EXPECT_EQ(OnTarget("INSERT INTO [g_counted] (v) VALUES (3)"), 0);
  EXPECT_EQ(Target("SELECT id FROM [g_counted] ORDER BY id"), (std::vector<OdbcRow>{{"1"}, {"2"}, {"100"}}));
  EXPECT_EQ(OnTarget("INSERT INTO [h_empty] (v) VALUES (3)"), 0);
  EXPECT_EQ(Target("SELECT id FROM [h_empty]"), (std::vector<OdbcRow>{{"50"}}));
  EXPECT_THAT(report, Not(HasSubstr("AUTO_INCREMENT")));
  // The system-versioned table: its current row, named.
  EXPECT_EQ(Target("SELECT id, v FROM [i_history]"), (std::vector<OdbcRow>{{"1", "2"}}));
  EXPECT_THAT(report, HasSubstr("i_history is a system-versioned table in MariaDB"));
}

}  // namespace
}  // namespace morvane
