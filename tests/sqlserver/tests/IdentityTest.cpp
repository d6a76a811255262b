// DBCC CHECKIDENT and IDENT_CURRENT: the messages DBCC prints, the identity value the next row
// gets after each form, and the documented errors, read back through the FreeTDS ODBC driver.

#include <gtest/gtest.h>

#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane::test {
namespace {

const char* kTable = "CREATE TABLE t (id INT IDENTITY(1, 1) NOT NULL, v INT NULL)";
const char* kKeyed = "CREATE TABLE t (id INT IDENTITY(1, 1) NOT NULL PRIMARY KEY, v INT NULL)";
const char* kThreeRows = "INSERT INTO t (v) VALUES(1), (2), (3)";
const char* kDone = "DBCC execution completed. If DBCC printed error messages, contact your system administrator.";

struct CheckIdentCase {
  const char* name;
  std::vector<std::string> setup;
  std::string dbcc;
  long error;
  std::string report;      // the 7998 message ("" when none is expected)
  std::string nextId;      // the identity of the next row inserted ("" when not checked)
  long nextError = 0;      // the error of that INSERT
};

void PrintTo(const CheckIdentCase& c, std::ostream* os) { *os << c.name; }

class CheckIdent : public ::testing::TestWithParam<CheckIdentCase> {};

TEST_P(CheckIdent, ReportsAndSetsAsThePageSays) {
  const CheckIdentCase& c = GetParam();
  OdbcTestClient client(SqlServer());
  const std::string db = UniqueName("ident");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  for (const auto& s : c.setup) client.Run(s);
  OdbcResult r = client.Execute(c.dbcc);
  EXPECT_EQ(r.FirstError(), c.error) << (r.errors.empty() ? "" : r.errors.front().message);
  std::vector<std::pair<long, std::string>> messages;
  for (const auto& m : r.messages) messages.emplace_back(m.native, m.message);
  if (!c.report.empty()) {
    const std::vector<std::pair<long, std::string>> expected = {{7998, c.report}, {2528, kDone}};
    EXPECT_EQ(messages, expected);
  } else {
    EXPECT_TRUE(messages.empty()) << messages.front().second;
  }
  if (!c.nextId.empty() || c.nextError != 0) {
    OdbcResult insert = client.Execute("INSERT INTO t (v) VALUES(99)");
    EXPECT_EQ(insert.FirstError(), c.nextError);
    if (c.nextError == 0) {
      EXPECT_EQ(client.Scalar("SELECT id FROM t WHERE v = 99"), c.nextId);
    }
  }
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckIdent,
    ::testing::Values(
        // RESEED n on a table that never had a row: the first row gets n; the message shows the
        // current value before the change (NULL: none yet).
        CheckIdentCase{"ReseedNeverUsed", {kTable}, "DBCC CHECKIDENT ('t', RESEED, 10)", 0,
                       "Checking identity information: current identity value 'NULL'.", "10"},
        // RESEED n once rows were inserted: the next row gets n + the increment.
        CheckIdentCase{"ReseedAfterRows", {kTable, kThreeRows}, "DBCC CHECKIDENT ('t', RESEED, 10)", 0,
                       "Checking identity information: current identity value '3'.", "11"},
        // Rows removed with DELETE count as rows that were there.
        CheckIdentCase{"ReseedAfterDelete", {kTable, kThreeRows, "DELETE FROM t"},
                       "DBCC CHECKIDENT ('t', RESEED, 0)", 0,
                       "Checking identity information: current identity value '3'.", "1"},
        CheckIdentCase{"ReseedWithIncrement",
                       {"CREATE TABLE t (id BIGINT IDENTITY(100, 5) NOT NULL, v INT NULL)", "INSERT INTO t (v) VALUES(1)"},
                       "DBCC CHECKIDENT ('dbo.t', RESEED, 200)", 0,
                       "Checking identity information: current identity value '100'.", "205"},
        CheckIdentCase{"ReseedNegative", {kTable, kThreeRows}, "DBCC CHECKIDENT ([t], RESEED, -7)", 0,
                       "Checking identity information: current identity value '3'.", "-6"},
        // Below the rows already there: the next generated value collides with the PRIMARY KEY.
        CheckIdentCase{"ReseedBelowKeys", {kKeyed, kThreeRows}, "DBCC CHECKIDENT ('t', RESEED, 1)", 0,
                       "Checking identity information: current identity value '3'.", "", 2627},
        CheckIdentCase{"NoReseedReports", {kTable, kThreeRows}, "DBCC CHECKIDENT ('t', NORESEED)", 0,
                       "Checking identity information: current identity value '3', current column value '3'.", "4"},
        CheckIdentCase{"NoReseedOnNewTable", {kTable}, "DBCC CHECKIDENT ('[dbo].[t]', NORESEED)", 0,
                       "Checking identity information: current identity value 'NULL', current column value 'NULL'.", "1"},
        CheckIdentCase{"NoReseedLeavesALowValue",
                       {kTable, kThreeRows, "DBCC CHECKIDENT ('t', RESEED, 1)"}, "DBCC CHECKIDENT ('t', NORESEED)", 0,
                       "Checking identity information: current identity value '1', current column value '3'.", "2"},
        // Without a value: a current value below the column's highest is raised to it.
        CheckIdentCase{"CheckRaisesToTheHighest",
                       {kTable, kThreeRows, "DBCC CHECKIDENT ('t', RESEED, 1)"}, "DBCC CHECKIDENT ('t')", 0,
                       "Checking identity information: current identity value '1', current column value '3'.", "4"},
        CheckIdentCase{"ReseedWithoutValueRaises",
                       {kTable, kThreeRows, "DBCC CHECKIDENT ('t', RESEED, 1)"}, "DBCC CHECKIDENT ('t', RESEED)", 0,
                       "Checking identity information: current identity value '1', current column value '3'.", "4"},
        // ... and one above it is left alone.
        CheckIdentCase{"CheckLeavesAHigherValue",
                       {kTable, kThreeRows, "DBCC CHECKIDENT ('t', RESEED, 50)"}, "DBCC CHECKIDENT ('t')", 0,
                       "Checking identity information: current identity value '50', current column value '3'.", "51"},
        CheckIdentCase{"NoInfoMessages", {kTable, kThreeRows}, "DBCC CHECKIDENT ('t', RESEED, 20) WITH NO_INFOMSGS", 0,
                       "", "21"},
        CheckIdentCase{"ThreePartName", {kTable, kThreeRows}, "DBCC CHECKIDENT ('master.dbo.t', NORESEED)", 2501, "", ""},
        CheckIdentCase{"MissingTable", {kTable}, "DBCC CHECKIDENT ('nowhere', RESEED, 1)", 2501, "", ""},
        CheckIdentCase{"NoIdentityColumn", {"CREATE TABLE t (id INT NOT NULL, v INT NULL)"},
                       "DBCC CHECKIDENT ('t', NORESEED)", 7997, "", ""},
        CheckIdentCase{"ValueBeyondTheType",
                       {"CREATE TABLE t (id TINYINT IDENTITY(1, 1) NOT NULL, v INT NULL)"},
                       "DBCC CHECKIDENT ('t', RESEED, 300)", 2560, "", "1"},
        CheckIdentCase{"TwoPartNameUndelimited", {kTable}, "DBCC CHECKIDENT (dbo.t, NORESEED)", 102, "", ""},
        CheckIdentCase{"OtherDbccCommand", {kTable}, "DBCC CHECKDB", 50000, "", ""},
        CheckIdentCase{"NegativeIncrementCheck",
                       {"CREATE TABLE t (id INT IDENTITY(-1, -1) NOT NULL, v INT NULL)", "INSERT INTO t (v) VALUES(1)"},
                       "DBCC CHECKIDENT ('t')", 50000, "", ""}));

TEST(CheckIdent, MessagesComeBeforeLaterStatementsOfTheBatch) {
  OdbcTestClient client(SqlServer());
  const std::string db = UniqueName("ident");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  client.Run(kTable);
  // The reseed and the insert in one batch, as a copy of a table's rows sends them.
  client.Run("DBCC CHECKIDENT ('t', RESEED, 41); INSERT INTO t (v) VALUES(99)");
  EXPECT_EQ(client.Scalar("SELECT id FROM t WHERE v = 99"), "41");
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

TEST(IdentCurrent, IsTheLastValueOrTheSeedOrNull) {
  OdbcTestClient client(SqlServer());
  const std::string db = UniqueName("ident");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  client.Run("CREATE TABLE t (id INT IDENTITY(5, 2) NOT NULL, v INT NULL)");
  client.Run("CREATE TABLE plain (id INT NOT NULL)");
  // No row yet: the seed.
  EXPECT_EQ(client.Scalar("SELECT IDENT_CURRENT('t')"), "5");
  client.Run("INSERT INTO t (v) VALUES(1), (2)");
  EXPECT_EQ(client.Scalar("SELECT IDENT_CURRENT('t')"), "7");
  // numeric(38, 0), not a numeric of its own digits: divided by an int the quotient keeps 6
  // digits ("Precision, scale, and length": p 49 > 38 cuts the scale to 6; numeric(1, 0) would keep 11).
  EXPECT_EQ(client.Scalar("SELECT IDENT_CURRENT('t') / 3"), "2.333333");
  EXPECT_EQ(client.Scalar("SELECT IDENT_CURRENT('dbo.t')"), "7");
  EXPECT_EQ(client.Scalar("SELECT IDENT_CURRENT('" + db + ".dbo.t')"), "7");
  client.Run("DBCC CHECKIDENT ('t', RESEED, 30)");
  EXPECT_EQ(client.Scalar("SELECT IDENT_CURRENT('t')"), "30");
  // A missing table and a table without an identity column: NULL.
  EXPECT_EQ(client.Scalar("SELECT IDENT_CURRENT('nowhere')"), std::nullopt);
  EXPECT_EQ(client.Scalar("SELECT IDENT_CURRENT('plain')"), std::nullopt);
  EXPECT_EQ(client.Scalar("SELECT IDENT_CURRENT('nodb.dbo.t')"), std::nullopt);
  // RESEED before any row: IDENT_CURRENT is the new value, which the first row then gets.
  client.Run("CREATE TABLE fresh (id INT IDENTITY(1, 1) NOT NULL, v INT NULL)");
  client.Run("DBCC CHECKIDENT ('fresh', RESEED, 1000)");
  EXPECT_EQ(client.Scalar("SELECT IDENT_CURRENT('fresh')"), "1000");
  client.Run("INSERT INTO fresh (v) VALUES(1)");
  EXPECT_EQ(client.Scalar("SELECT id FROM fresh"), "1000");
  EXPECT_EQ(client.Scalar("SELECT IDENT_CURRENT('fresh')"), "1000");
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

}  // namespace
}  // namespace morvane::test
