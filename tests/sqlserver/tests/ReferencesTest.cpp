// FOREIGN KEY and DEFAULT constraints: ALTER TABLE ... ADD CONSTRAINT, the rows they refuse,
// DELETE with referential actions, and INSERTs that leave columns to their defaults.

#include <gtest/gtest.h>

#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane::test {
namespace {

const char* kParent =
    "CREATE TABLE p (id INT NOT NULL, code NVARCHAR(10) NULL, x INT NULL, "
    "CONSTRAINT [pk_p] PRIMARY KEY (id), CONSTRAINT [uq_code] UNIQUE (code))";
const char* kChild = "CREATE TABLE c (id INT NOT NULL PRIMARY KEY, pid INT NULL, pcode NVARCHAR(10) NULL, big BIGINT NULL, "
                     "wide NVARCHAR(20) NULL)";
const char* kFk = "ALTER TABLE [c] ADD CONSTRAINT [fk_c_p] FOREIGN KEY ([pid]) REFERENCES [p] ([id])";

struct ReferenceCase {
  const char* name;
  std::vector<std::string> setup;
  std::string statement;
  long error;
};

void PrintTo(const ReferenceCase& c, std::ostream* os) { *os << c.name; }

class References : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(References, AnswerAsSqlServerDoes) {
  const ReferenceCase& c = GetParam();
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("refs");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  for (const auto& s : c.setup) client.Run(s);
  OdbcResult r = client.Execute(c.statement);
  EXPECT_EQ(r.FirstError(), c.error) << c.statement << "\n" << (r.errors.empty() ? "" : r.errors.front().message);
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

INSTANTIATE_TEST_SUITE_P(
    Table, References,
    ::testing::Values(
        ReferenceCase{"ToPrimaryKey", {kParent, kChild},
                      std::string(kFk) + " ON DELETE CASCADE ON UPDATE NO ACTION", 0},
        ReferenceCase{"ToUniqueConstraint", {kParent, kChild},
                      "ALTER TABLE c ADD CONSTRAINT fk2 FOREIGN KEY (pcode) REFERENCES p (code) ON DELETE SET NULL", 0},
        ReferenceCase{"ToUnfilteredUniqueIndex", {kParent, kChild, "CREATE UNIQUE INDEX ux ON p (x)"},
                      "ALTER TABLE c ADD CONSTRAINT fk3 FOREIGN KEY (pid) REFERENCES p (x)", 0},
        ReferenceCase{"ToColumnWithoutKey", {kParent, kChild},
                      "ALTER TABLE c ADD CONSTRAINT fk3 FOREIGN KEY (pid) REFERENCES p (x)", 1776},
        ReferenceCase{"ToFilteredUniqueIndex", {kParent, kChild, "CREATE UNIQUE INDEX ux ON p (x) WHERE x IS NOT NULL"},
                      "ALTER TABLE c ADD CONSTRAINT fk3 FOREIGN KEY (pid) REFERENCES p (x)", 1776},
        ReferenceCase{"ToMissingTable", {kChild}, "ALTER TABLE c ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES nowhere (id)", 1767},
        ReferenceCase{"FromMissingColumn", {kParent, kChild},
                      "ALTER TABLE c ADD CONSTRAINT fk FOREIGN KEY (nothing) REFERENCES p (id)", 1769},
        ReferenceCase{"ToMissingColumn", {kParent, kChild},
                      "ALTER TABLE c ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES p (nothing)", 1770},
        ReferenceCase{"ColumnCountsDiffer", {kParent, kChild},
                      "ALTER TABLE c ADD CONSTRAINT fk FOREIGN KEY (pid, pcode) REFERENCES p (id)", 8139},
        ReferenceCase{"OtherDataType", {kParent, kChild},
                      "ALTER TABLE c ADD CONSTRAINT fk FOREIGN KEY (big) REFERENCES p (id)", 1778},
        ReferenceCase{"OtherLength", {kParent, kChild},
                      "ALTER TABLE c ADD CONSTRAINT fk FOREIGN KEY (wide) REFERENCES p (code)", 1753},
        ReferenceCase{"NameTaken", {kParent, kChild},
                      "ALTER TABLE c ADD CONSTRAINT [PK_P] FOREIGN KEY (pid) REFERENCES p (id)", 2714},
        ReferenceCase{"OrphanRows", {kParent, kChild, "INSERT INTO c (id, pid) VALUES(1, 9)"}, kFk, 547},
        ReferenceCase{"OrphanRowsWithNoCheck", {kParent, kChild, "INSERT INTO c (id, pid) VALUES(1, 9)"},
                      "ALTER TABLE [c] WITH NOCHECK ADD CONSTRAINT [fk_c_p] FOREIGN KEY ([pid]) REFERENCES [p] ([id])", 0},
        ReferenceCase{"NullsAreNotChecked", {kParent, kChild, "INSERT INTO c (id, pid) VALUES(1, NULL)"}, kFk, 0},
        ReferenceCase{"InsertOrphan", {kParent, kChild, kFk}, "INSERT INTO c (id, pid) VALUES(1, 9)", 547},
        ReferenceCase{"InsertOrphanAfterNoCheck",
                      {kParent, kChild,
                       "ALTER TABLE c WITH NOCHECK ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES p (id)"},
                      "INSERT INTO c (id, pid) VALUES(1, 9)", 547},
        ReferenceCase{"InsertWithParent", {kParent, kChild, kFk, "INSERT INTO p (id) VALUES(9)"},
                      "INSERT INTO c (id, pid) VALUES(1, 9)", 0},
        ReferenceCase{"SelfReferenceInOneInsert",
                      {"CREATE TABLE s (id INT NOT NULL PRIMARY KEY, up INT NULL)",
                       "ALTER TABLE s ADD CONSTRAINT fk_s FOREIGN KEY (up) REFERENCES s (id)"},
                      "INSERT INTO s VALUES(1, 2), (2, NULL)", 0},
        ReferenceCase{"SelfReferenceCascades",
                      {"CREATE TABLE s (id INT NOT NULL PRIMARY KEY, up INT NULL)"},
                      "ALTER TABLE s ADD CONSTRAINT fk_s FOREIGN KEY (up) REFERENCES s (id) ON DELETE CASCADE", 1785},
        ReferenceCase{"TwoCascadePaths",
                      {"CREATE TABLE a (id INT NOT NULL PRIMARY KEY)",
                       "CREATE TABLE b (id INT NOT NULL PRIMARY KEY, a INT NULL)",
                       "CREATE TABLE d (id INT NOT NULL PRIMARY KEY, a INT NULL, b INT NULL)",
                       "ALTER TABLE b ADD CONSTRAINT fb FOREIGN KEY (a) REFERENCES a (id) ON DELETE CASCADE",
                       "ALTER TABLE d ADD CONSTRAINT fda FOREIGN KEY (a) REFERENCES a (id) ON DELETE CASCADE"},
                      "ALTER TABLE d ADD CONSTRAINT fdb FOREIGN KEY (b) REFERENCES b (id) ON DELETE CASCADE", 1785},
        ReferenceCase{"TwoPathsOneWithoutAction",
                      {"CREATE TABLE a (id INT NOT NULL PRIMARY KEY)",
                       "CREATE TABLE b (id INT NOT NULL PRIMARY KEY, a INT NULL)",
                       "CREATE TABLE d (id INT NOT NULL PRIMARY KEY, a INT NULL, b INT NULL)",
                       "ALTER TABLE b ADD CONSTRAINT fb FOREIGN KEY (a) REFERENCES a (id) ON DELETE CASCADE",
                       "ALTER TABLE d ADD CONSTRAINT fda FOREIGN KEY (a) REFERENCES a (id) ON DELETE CASCADE"},
                      "ALTER TABLE d ADD CONSTRAINT fdb FOREIGN KEY (b) REFERENCES b (id) ON DELETE NO ACTION", 0},
        ReferenceCase{"SetNullOnNotNullColumn",
                      {kParent, "CREATE TABLE n (id INT NOT NULL PRIMARY KEY, pid INT NOT NULL)"},
                      "ALTER TABLE n ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES p (id) ON DELETE SET NULL", 1761},
        ReferenceCase{"SetDefaultWithoutDefault",
                      {kParent, "CREATE TABLE n (id INT NOT NULL PRIMARY KEY, pid INT NOT NULL)"},
                      "ALTER TABLE n ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES p (id) ON DELETE SET DEFAULT", 1762},
        ReferenceCase{"DeleteParentWithChildren",
                      {kParent, kChild, kFk, "INSERT INTO p (id) VALUES(9)", "INSERT INTO c (id, pid) VALUES(1, 9)"},
                      "DELETE FROM p WHERE id = 9", 547},
        ReferenceCase{"DeleteParentWithoutChildren",
                      {kParent, kChild, kFk, "INSERT INTO p (id, code) VALUES(9, N'a'), (8, N'b')",
                       "INSERT INTO c (id, pid) VALUES(1, 9)"},
                      "DELETE FROM p WHERE id = 8", 0},
        ReferenceCase{"DropReferencedTable", {kParent, kChild, kFk}, "DROP TABLE p", 3726},
        ReferenceCase{"DropReferencingThenReferenced", {kParent, kChild, kFk}, "DROP TABLE c; DROP TABLE p", 0},
        ReferenceCase{"AlterMissingTable", {}, "ALTER TABLE nowhere ADD CONSTRAINT fk FOREIGN KEY (a) REFERENCES b (c)", 4902},
        // Keys added afterwards (ALTER TABLE table_constraint).
        ReferenceCase{"AddPrimaryKeyAndUnique", {"CREATE TABLE k (a INT NOT NULL, b INT NULL)", "INSERT INTO k VALUES(1, NULL), (2, NULL)"},
                      "ALTER TABLE k ADD CONSTRAINT [pk_k] PRIMARY KEY NONCLUSTERED ([a]); "
                      "ALTER TABLE k ADD CONSTRAINT [uq_b] UNIQUE ([b], [a])", 0},
        ReferenceCase{"AddUniqueOverDuplicates", {"CREATE TABLE k (a INT NULL)", "INSERT INTO k VALUES(NULL), (NULL)"},
                      "ALTER TABLE k ADD CONSTRAINT [uq_a] UNIQUE ([a])", 1505},
        ReferenceCase{"AddPrimaryKeyOnNullable", {"CREATE TABLE k (a INT NULL)"},
                      "ALTER TABLE k ADD CONSTRAINT [pk_k] PRIMARY KEY ([a])", 8111},
        ReferenceCase{"AddSecondPrimaryKey", {"CREATE TABLE k (a INT NOT NULL PRIMARY KEY, b INT NOT NULL)"},
                      "ALTER TABLE k ADD PRIMARY KEY ([b])", 1779},
        ReferenceCase{"AddKeyNameTaken", {kParent, "CREATE TABLE k (a INT NOT NULL)"},
                      "ALTER TABLE k ADD CONSTRAINT [uq_code] UNIQUE ([a])", 2714},
        ReferenceCase{"ForeignKeyToAddedKey",
                      {kParent, kChild, "CREATE TABLE k (a INT NOT NULL)", "ALTER TABLE k ADD CONSTRAINT [pk_k] PRIMARY KEY ([a])"},
                      "ALTER TABLE c ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES k (a)", 0},
        ReferenceCase{"AlterColumnIsNotModelled", {kParent}, "ALTER TABLE p ALTER COLUMN x BIGINT", 50000},
        // Defaults.
        ReferenceCase{"EveryDefaultForm", {},
                      "CREATE TABLE d (id INT, n INT DEFAULT 0, m DECIMAL(5, 2) DEFAULT ((-1.5)), "
                      "s NVARCHAR(10) CONSTRAINT [df_s] DEFAULT N'x', t DATETIME2 DEFAULT (sysdatetime()), "
                      "u DATETIME DEFAULT CURRENT_TIMESTAMP, v DATETIME CONSTRAINT [df_v] DEFAULT (getdate()), "
                      "w DATE DEFAULT getdate(), z INT DEFAULT NULL)", 0},
        ReferenceCase{"DefaultNameTaken", {kParent}, "CREATE TABLE d (a INT CONSTRAINT [pk_p] DEFAULT 0)", 2714},
        ReferenceCase{"TwoDefaultsOneName", {}, "CREATE TABLE d (a INT CONSTRAINT [df] DEFAULT 0, b INT CONSTRAINT [df] DEFAULT 1)", 2714},
        ReferenceCase{"DefaultOnIdentity", {}, "CREATE TABLE d (a INT IDENTITY DEFAULT 0)", 1754},
        ReferenceCase{"DefaultUnknownFunction", {}, "CREATE TABLE d (a INT DEFAULT (no_such_function()))", 195},
        ReferenceCase{"DefaultOfAnotherType", {"CREATE TABLE d (id INT, a INT DEFAULT (newid()))"},
                      "INSERT INTO d (id) VALUES(1)", 206},
        ReferenceCase{"DefaultThatDoesNotConvert", {"CREATE TABLE d (id INT, a INT DEFAULT 'abc')"},
                      "INSERT INTO d (id) VALUES(1)", 245},
        ReferenceCase{"AlterAddDefault", {"CREATE TABLE d (id INT, a INT)"},
                      "ALTER TABLE d ADD CONSTRAINT [df_a] DEFAULT 5 FOR a; INSERT INTO d (id) VALUES(1)", 0},
        ReferenceCase{"SecondDefaultOnColumn", {"CREATE TABLE d (id INT, a INT DEFAULT 1)"},
                      "ALTER TABLE d ADD DEFAULT 5 FOR a", 1781}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(References, DeleteCascadesAndSetsNull) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("cascade");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  client.Run(kParent);
  client.Run(kChild);
  client.Run(std::string(kFk) + " ON DELETE CASCADE");
  // A second cascading path from p to c would be 1785: SET NULL goes to another table.
  client.Run("CREATE TABLE e (id INT NOT NULL PRIMARY KEY, pcode NVARCHAR(10) NULL)");
  client.Run("ALTER TABLE e ADD CONSTRAINT fk2 FOREIGN KEY (pcode) REFERENCES p (code) ON DELETE SET NULL");
  client.Run("INSERT INTO p (id, code) VALUES(1, N'a'), (2, N'b')");
  client.Run("INSERT INTO c (id, pid) VALUES(10, 1), (11, 1), (20, 2), (21, NULL)");
  client.Run("INSERT INTO e (id, pcode) VALUES(1, N'a'), (2, N'b')");
  OdbcResult r = client.Execute("DELETE FROM p WHERE id = 1");
  ASSERT_TRUE(r.ok) << (r.errors.empty() ? "" : r.errors.front().message);
  ASSERT_EQ(r.rowCounts.size(), 1u);
  EXPECT_EQ(r.rowCounts[0], 1);
  // Rows 10 and 11 went with their parent; e's row 1 lost its parent.
  std::vector<OdbcRow> children = {{"20", "2"}, {"21", std::nullopt}};
  EXPECT_EQ(client.Query("SELECT id, pid FROM c ORDER BY id"), children);
  std::vector<OdbcRow> others = {{"1", std::nullopt}, {"2", "b"}};
  EXPECT_EQ(client.Query("SELECT id, pcode FROM e ORDER BY id"), others);
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

TEST(Defaults, FillTheColumnsAnInsertLeavesOut) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("defaults");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  client.Run("CREATE TABLE d (id INT, n INT DEFAULT 0, m DECIMAL(5, 2) DEFAULT ((-1.5)), "
             "s NVARCHAR(10) CONSTRAINT [df_s] DEFAULT N'x', t DATETIME2(7) DEFAULT (sysdatetime()), "
             "u DATETIME DEFAULT CURRENT_TIMESTAMP, w DATE DEFAULT getdate(), z INT DEFAULT NULL, q INT)");
  client.Run("INSERT INTO d (id) VALUES(1)");
  client.Run("INSERT INTO d (id, n, s, z) VALUES(2, 7, N'given', 3)");
  auto rows = client.TypedQuery("SELECT id, n, m, s, t, u, w, z, q FROM d ORDER BY id");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1].integer, 0);
  EXPECT_EQ(rows[0][2].text, "-1.50");
  EXPECT_EQ(rows[0][3].text, "x");
  ASSERT_EQ(rows[0][4].kind, OdbcValue::Kind::Timestamp);
  EXPECT_GE(rows[0][4].year, 2024);
  ASSERT_EQ(rows[0][5].kind, OdbcValue::Kind::Timestamp);
  EXPECT_EQ(rows[0][5].year, rows[0][4].year);
  ASSERT_EQ(rows[0][6].kind, OdbcValue::Kind::Date);
  EXPECT_TRUE(rows[0][7].IsNull());
  EXPECT_TRUE(rows[0][8].IsNull());
  EXPECT_EQ(rows[1][1].integer, 7);
  EXPECT_EQ(rows[1][3].text, "given");
  EXPECT_EQ(rows[1][7].integer, 3);
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

}  // namespace
}  // namespace morvane::test
