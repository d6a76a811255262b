// Expressions in statements, through the FreeTDS ODBC driver: values of the select list read
// back typed, CHECK constraints, computed columns, the typing of multi-row VALUES, 1702, and
// sys.check_constraints / sys.computed_columns.

#include <gtest/gtest.h>

#include "tests/sqlserver/tests/DatabaseSuite.h"

namespace morvane::test {
namespace {

// ---- values of expressions, read back with their types ----

struct ValueCase {
  const char* name;
  std::string select;
  OdbcValue::Kind kind;  // the C type the driver reads it as (from its SQL type)
  std::string expected;  // integer, decimal text, text, or DateText()
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }

std::string Shown(const OdbcValue& v) {
  switch (v.kind) {
    case OdbcValue::Kind::Null: return "NULL";
    case OdbcValue::Kind::Integer: return std::to_string(v.integer);
    case OdbcValue::Kind::Real: return std::to_string(v.real);
    case OdbcValue::Kind::Date: case OdbcValue::Kind::Timestamp: case OdbcValue::Kind::TimestampOffset:
      return v.DateText();
    default: return v.text;
  }
}

class SelectedValues : public DatabaseSuite<ValueCase, SelectedValues> {
 public:
  static constexpr const char* kDatabasePrefix = "exprvalues";
};

TEST_P(SelectedValues, ArriveTyped) {
  const ValueCase& c = GetParam();
  ASSERT_TRUE(client_) << "no connection to the TDS test server";
  auto rows = client_->TypedQuery(c.select);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].kind, c.kind) << c.select << ": SQL type " << rows[0][0].sqlType;
  EXPECT_EQ(Shown(rows[0][0]), c.expected) << c.select;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SelectedValues,
    ::testing::Values(
        ValueCase{"IntegerPrecedence", "SELECT 1 + 2 * 3", OdbcValue::Kind::Integer, "7"},
        ValueCase{"DecimalProduct", "SELECT 2.50 * 1.5", OdbcValue::Kind::Decimal, "3.750"},
        ValueCase{"DecimalQuotientScale", "SELECT 1.0 / 3", OdbcValue::Kind::Decimal, "0.333333333333"},
        ValueCase{"FloatWins", "SELECT 1.5E0 + 1", OdbcValue::Kind::Real, "2.500000"},
        ValueCase{"TextPlusNumberIsNumber", "SELECT '41' + 1", OdbcValue::Kind::Integer, "42"},
        ValueCase{"UpperOfUnicode", "SELECT UPPER(N'àbc')", OdbcValue::Kind::Text, "ÀBC"},
        ValueCase{"SearchedCase", "SELECT CASE WHEN 1 > 2 THEN 'a' WHEN 2 > 1 THEN 'b' END",
                  OdbcValue::Kind::Text, "b"},
        ValueCase{"MonthEndClamped", "SELECT DATEADD(month, 1, CAST('2024-01-31' AS DATE))",
                  OdbcValue::Kind::Date, "2024-02-29"},
        ValueCase{"DateTimeFromStyle", "SELECT CONVERT(DATETIME, '2024-05-06 07:08:09.123', 121)",
                  OdbcValue::Kind::Timestamp, "2024-05-06 07:08:09.123000000"},
        ValueCase{"JsonValue", "SELECT JSON_VALUE(N'{\"a\":[1,\"two\"]}', '$.a[1]')", OdbcValue::Kind::Text, "two"},
        ValueCase{"NewIdAsText", "SELECT LEN(CAST(NEWID() AS NVARCHAR(36)))", OdbcValue::Kind::Integer, "36"},
        ValueCase{"CoalesceSkipsNull", "SELECT COALESCE(NULL, 2)", OdbcValue::Kind::Integer, "2"},
        ValueCase{"SysDateTimeOffsetHasNoZone", "SELECT DATEPART(tzoffset, SYSDATETIMEOFFSET())",
                  OdbcValue::Kind::Integer, "0"},
        ValueCase{"DateToOffset", "SELECT CAST(CAST('2024-05-06' AS DATE) AS DATETIMEOFFSET(0))",
                  OdbcValue::Kind::TimestampOffset, "2024-05-06 00:00:00.000000000 +00:00"},
        ValueCase{"DateAddKeepsOffset", "SELECT DATEADD(day, 1, CAST('2024-05-06 23:30 -05:00' AS DATETIMEOFFSET(0)))",
                  OdbcValue::Kind::TimestampOffset, "2024-05-07 23:30:00.000000000 -05:00"},
        ValueCase{"OffsetToDateTime2KeepsLocalTime",
                  "SELECT CAST(CAST('2024-05-06 23:30 -05:00' AS DATETIMEOFFSET(0)) AS DATETIME2(0))",
                  OdbcValue::Kind::Timestamp, "2024-05-06 23:30:00.000000000"},
        ValueCase{"CollateBinaryCompares", "SELECT IIF(N'a' COLLATE Latin1_General_100_BIN2 = N'A', 1, 0)",
                  OdbcValue::Kind::Integer, "0"},
        ValueCase{"ReplaceUnderCollate", "SELECT REPLACE(N'aAa' COLLATE Latin1_General_100_BIN2, N'a', N'-')",
                  OdbcValue::Kind::Text, "-A-"}));

// ---- statements and the errors SQL Server documents ----

struct StatementCase {
  const char* name;
  std::vector<std::string> setup;  // run first, each must succeed
  std::string statement;
  long error;  // native error number; 0 for success
};

void PrintTo(const StatementCase& c, std::ostream* os) { *os << c.name; }

class ExpressionStatements : public DatabaseSuite<StatementCase, ExpressionStatements> {
 public:
  static constexpr const char* kDatabasePrefix = "exprstmt";
};

// Every case has its own tables, named from the case, so the suite shares one database.
TEST_P(ExpressionStatements, AnswerAsSqlServerDoes) {
  const StatementCase& c = GetParam();
  ASSERT_TRUE(client_) << "no connection to the TDS test server";
  client_->Run("CREATE DATABASE [" + database_ + "_" + c.name + "]; USE [" + database_ + "_" + c.name + "]");
  for (const auto& s : c.setup) client_->Run(s);
  OdbcResult r = client_->Execute(c.statement);
  EXPECT_EQ(r.FirstError(), c.error) << c.statement << "\n" << (r.errors.empty() ? "" : r.errors.front().message);
  EXPECT_EQ(r.ok, c.error == 0);
  client_->Run("USE [" + database_ + "]; DROP DATABASE [" + database_ + "_" + c.name + "]");
}

std::string Columns(int n) {
  std::string sql = "CREATE TABLE wide (";
  for (int i = 1; i <= n; ++i) sql += (i > 1 ? ", c" : "c") + std::to_string(i) + " INT";
  return sql + ")";
}

const char* kPositive = "CREATE TABLE t (a INT CHECK (a > 0))";

// "Unique constraints and check constraints", "CREATE TABLE", "ALTER TABLE", "Specify computed
// columns in a table", "Table Value Constructor", "Maximum capacity specifications", errors pages.
INSTANTIATE_TEST_SUITE_P(
    Table, ExpressionStatements,
    ::testing::Values(
        StatementCase{"CheckPasses", {kPositive}, "INSERT INTO t VALUES (1)", 0},
        StatementCase{"CheckFails", {kPositive}, "INSERT INTO t VALUES (0)", 547},
        StatementCase{"CheckUnknownPasses", {kPositive}, "INSERT INTO t VALUES (NULL)", 0},
        StatementCase{"CheckFailsOneOfManyRows", {kPositive}, "INSERT INTO t VALUES (1), (-1)", 547},
        StatementCase{"TableCheck", {"CREATE TABLE t (a INT, b INT, CONSTRAINT ck_ab CHECK (a < b OR b IS NULL))"},
                      "INSERT INTO t VALUES (2, 1)", 547},
        StatementCase{"CheckUnderColumnCollation",
                      {"CREATE TABLE t (c NVARCHAR(10) COLLATE Latin1_General_100_CS_AS_SC CHECK (c LIKE 'a%'))"},
                      "INSERT INTO t VALUES (N'Abc')", 547},
        StatementCase{"CheckInList", {"CREATE TABLE t (c CHAR(1) CHECK (c IN ('y', 'n')))"}, "INSERT INTO t VALUES ('Y')", 0},
        StatementCase{"ColumnCheckOnOtherColumn", {}, "CREATE TABLE t (a INT CHECK (b > 0), b INT)", 8141},
        StatementCase{"CheckOnUnknownColumn", {}, "CREATE TABLE t (a INT, CHECK (z > 0))", 207},
        StatementCase{"CheckNotBoolean", {}, "CREATE TABLE t (a INT CHECK (a))", 4145},
        StatementCase{"CheckNameTwice", {},
                      "CREATE TABLE t (a INT CONSTRAINT ck CHECK (a > 0), b INT CONSTRAINT ck CHECK (b > 0))", 2714},
        StatementCase{"CheckNameOfAnotherTable", {"CREATE TABLE u (a INT CONSTRAINT ck CHECK (a > 0))"},
                      "CREATE TABLE t (a INT CONSTRAINT ck CHECK (a > 0))", 2714},
        StatementCase{"AlterAddCheckOverRows", {"CREATE TABLE t (a INT)", "INSERT INTO t VALUES (0)"},
                      "ALTER TABLE t ADD CONSTRAINT ck CHECK (a > 0)", 547},
        StatementCase{"AlterAddCheckWithNoCheck", {"CREATE TABLE t (a INT)", "INSERT INTO t VALUES (0)"},
                      "ALTER TABLE t WITH NOCHECK ADD CONSTRAINT ck CHECK (a > 0)", 0},
        StatementCase{"InsertAfterNoCheck",
                      {"CREATE TABLE t (a INT)", "ALTER TABLE t WITH NOCHECK ADD CONSTRAINT ck CHECK (a > 0)"},
                      "INSERT INTO t VALUES (0)", 547},
        StatementCase{"InsertNamesComputedColumn", {"CREATE TABLE t (a INT, c AS (a * 2))"},
                      "INSERT INTO t (a, c) VALUES (1, 2)", 271},
        StatementCase{"InsertWithoutListSkipsComputed", {"CREATE TABLE t (a INT, c AS (a * 2), b INT)"},
                      "INSERT INTO t VALUES (1, 2)", 0},
        StatementCase{"ComputedOverComputed", {}, "CREATE TABLE t (a INT, c AS (a * 2), d AS (c + 1))", 1759},
        StatementCase{"PersistedNondeterministic", {}, "CREATE TABLE t (a INT, c AS (DATEADD(day, a, GETDATE())) PERSISTED)", 4936},
        StatementCase{"PersistedCastOfTextToDateTime", {}, "CREATE TABLE t (s VARCHAR(30), c AS (CAST(s AS DATETIME)) PERSISTED)", 4936},
        StatementCase{"PersistedConvertWithIsoStyle", {}, "CREATE TABLE t (s VARCHAR(30), c AS (CONVERT(DATETIME, s, 121)) PERSISTED)", 0},
        StatementCase{"NotNullWithoutPersisted", {}, "CREATE TABLE t (a INT, c AS (a + 1) NOT NULL)", 8183},
        StatementCase{"CheckOnComputedNotPersisted", {}, "CREATE TABLE t (a INT, c AS (a + 1) CHECK (c > 0))", 8183},
        StatementCase{"CheckOnPersistedComputed", {"CREATE TABLE t (a INT, c AS (a + 1) PERSISTED CHECK (c > 0))"},
                      "INSERT INTO t VALUES (-5)", 547},
        StatementCase{"UniqueOnNondeterministic", {}, "CREATE TABLE t (a INT, c AS (GETDATE()) UNIQUE)", 2729},
        StatementCase{"PrimaryKeyNotPersisted", {}, "CREATE TABLE t (a INT, c AS (a + 1) PRIMARY KEY)", 1711},
        StatementCase{"PrimaryKeyPersistedNotNull", {"CREATE TABLE t (a INT NOT NULL, c AS (a + 1) PERSISTED NOT NULL PRIMARY KEY)",
                                                     "INSERT INTO t VALUES (1)"},
                      "INSERT INTO t VALUES (1)", 2627},
        StatementCase{"IndexOnImpreciseNotPersisted", {"CREATE TABLE t (a FLOAT, c AS (a * 2))"},
                      "CREATE INDEX ix ON t (c)", 2799},
        StatementCase{"DefaultNamesAColumn", {}, "CREATE TABLE t (a INT, b INT DEFAULT (a + 1))", 128},
        StatementCase{"DefaultExpression", {"CREATE TABLE t (a INT, b NVARCHAR(20) DEFAULT (UPPER(N'x') + N'y'))"},
                      "INSERT INTO t (a) VALUES (1)", 0},
        StatementCase{"RowsTypedLikeUnionAll", {"CREATE TABLE t (a INT, b NVARCHAR(10))"},
                      "INSERT INTO t VALUES (1, N'a'), (2, 1)", 245},
        StatementCase{"OneRowConvertsToColumn", {"CREATE TABLE t (a INT, b NVARCHAR(10))"},
                      "INSERT INTO t VALUES (2, 1)", 0},
        StatementCase{"RowsWithNullConstant", {"CREATE TABLE t (a INT, b NVARCHAR(10))"},
                      "INSERT INTO t VALUES (1, NULL), (2, N'b')", 0},
        StatementCase{"DivisionByZeroInValues", {"CREATE TABLE t (a INT)"}, "INSERT INTO t VALUES (1 / 0)", 8134},
        StatementCase{"ConditionAsValue", {}, "SELECT 1 = 1", 102},
        StatementCase{"UnknownFunction", {}, "SELECT NO_SUCH_FUNCTION(1)", 195},
        StatementCase{"ConvertFails", {}, "SELECT CONVERT(INT, 'x')", 245},
        StatementCase{"PersistedSysDateTimeOffset", {}, "CREATE TABLE t (a INT, c AS (SYSDATETIMEOFFSET()) PERSISTED)", 4936},
        StatementCase{"PersistedOffsetAsText", {}, "CREATE TABLE t (o DATETIMEOFFSET, c AS (CAST(o AS VARCHAR(40))) PERSISTED)", 0},
        StatementCase{"CheckOnOffsetByInstant",
                      {"CREATE TABLE t (o DATETIMEOFFSET(0) CHECK (o >= '2024-01-01 00:00 +00:00'))"},
                      "INSERT INTO t VALUES ('2024-01-01 00:30 +01:00')", 547},
        StatementCase{"RowsTypedAsOffset", {"CREATE TABLE t (v NVARCHAR(40))"},
                      "INSERT INTO t VALUES (CAST('2024-01-01 10:00 +01:00' AS DATETIMEOFFSET)), (N'x')", 241},
        StatementCase{"RowsOfOffsetAndItsText", {"CREATE TABLE t (v DATETIMEOFFSET(0))"},
                      "INSERT INTO t VALUES (CAST('2024-01-01 10:00 +01:00' AS DATETIMEOFFSET)), (N'2024-01-02 10:00 -03:00')", 0},
        StatementCase{"CheckUnderExplicitCollation",
                      {"CREATE TABLE t (c NVARCHAR(10) CHECK (c COLLATE Latin1_General_100_BIN2 LIKE N'a%'))"},
                      "INSERT INTO t VALUES (N'Abc')", 547},
        StatementCase{"CollateOfANumber", {}, "SELECT 1 COLLATE Latin1_General_100_BIN2", 447},
        StatementCase{"CollateUnknownName", {}, "SELECT N'a' COLLATE No_Such_Collation", 448},
        StatementCase{"MaximumColumns", {}, Columns(1024), 0},
        StatementCase{"TooManyColumns", {}, Columns(1025), 1702}));

// ---- computed values and the catalogue views ----

class ComputedColumns : public ::testing::Test {};

TEST_F(ComputedColumns, AreComputedPerRowAndShownInTheCatalogue) {
  OdbcTestClient client(SqlServer());
  const std::string db = UniqueName("computed");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  client.Run("CREATE TABLE t (a INT CHECK (a < 100), b AS (a * 2) PERSISTED, c AS (CONCAT(N'n', a)), "
             "CONSTRAINT ck_t CHECK (a <> 13))");
  client.Run("INSERT INTO t (a) VALUES (21), (NULL)");
  client.Run("ALTER TABLE t WITH NOCHECK ADD CONSTRAINT ck_late CHECK (a > 0)");

  auto rows = client.TypedQuery("SELECT a, b, c, a * 10 + 1 FROM t ORDER BY a");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_TRUE(rows[0][0].IsNull());
  EXPECT_TRUE(rows[0][1].IsNull());
  EXPECT_EQ(rows[0][2].text, "n");  // CONCAT takes NULL as an empty text
  EXPECT_TRUE(rows[0][3].IsNull());
  EXPECT_EQ(rows[1][1].integer, 42);
  EXPECT_EQ(rows[1][2].text, "n21");
  EXPECT_EQ(rows[1][3].integer, 211);

  auto computed = client.TypedQuery(
      "SELECT name, column_id, definition, is_persisted FROM sys.computed_columns ORDER BY column_id");
  ASSERT_EQ(computed.size(), 2u);
  EXPECT_EQ(computed[0][0].text, "b");
  EXPECT_EQ(computed[0][1].integer, 2);
  EXPECT_EQ(computed[0][2].text, "([a]*(2))");
  EXPECT_EQ(computed[0][3].integer, 1);
  EXPECT_EQ(computed[1][2].text, "(concat(N'n',[a]))");
  EXPECT_EQ(computed[1][3].integer, 0);
  auto isComputed = client.TypedQuery("SELECT name FROM sys.columns WHERE is_computed = 1 ORDER BY column_id");
  ASSERT_EQ(isComputed.size(), 2u);
  EXPECT_EQ(isComputed[1][0].text, "c");

  auto checks = client.TypedQuery(
      "SELECT name, parent_column_id, definition, is_not_trusted, is_disabled FROM sys.check_constraints "
      "ORDER BY parent_column_id DESC, name");
  ASSERT_EQ(checks.size(), 3u);
  EXPECT_EQ(checks[0][0].text.rfind("CK__t__a__", 0), 0u) << checks[0][0].text;
  EXPECT_EQ(checks[0][1].integer, 1);
  EXPECT_EQ(checks[0][2].text, "([a]<(100))");
  EXPECT_EQ(checks[1][0].text, "ck_late");
  EXPECT_EQ(checks[1][1].integer, 0);
  EXPECT_EQ(checks[1][3].integer, 1);
  EXPECT_EQ(checks[2][0].text, "ck_t");
  EXPECT_EQ(checks[2][2].text, "([a]<>(13))");
  EXPECT_EQ(checks[2][3].integer, 0);
  EXPECT_EQ(checks[2][4].integer, 0);

  OdbcResult refused = client.Execute("INSERT INTO t (a) VALUES (13)");
  ASSERT_EQ(refused.FirstError(), 547);
  EXPECT_EQ(refused.errors.front().message,
            "The INSERT statement conflicted with the CHECK constraint \"ck_t\". The conflict occurred in database \"" +
                db + "\", table \"dbo.t\".");
  OdbcResult column = client.Execute("INSERT INTO t (a) VALUES (100)");
  ASSERT_EQ(column.FirstError(), 547);
  EXPECT_NE(column.errors.front().message.find("table \"dbo.t\", column 'a'."), std::string::npos)
      << column.errors.front().message;
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

}  // namespace
}  // namespace morvane::test
