// Statements and the error numbers the server answers, through the FreeTDS ODBC driver.

#include <gtest/gtest.h>

#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane::test {
namespace {

struct StatementCase {
  const char* name;
  std::vector<std::string> setup;  // run first, each must succeed
  std::string statement;
  long error;  // native error number; 0 for success
};

void PrintTo(const StatementCase& c, std::ostream* os) { *os << c.name; }

// CREATE TABLE t with `n` INT columns c1..cn and CREATE INDEX over all of them.
std::string IndexOverColumns(int n) {
  std::string columns, names;
  for (int i = 1; i <= n; ++i) {
    columns += (i > 1 ? ", c" : "c") + std::to_string(i) + " INT";
    names += (i > 1 ? ", c" : "c") + std::to_string(i);
  }
  return "CREATE TABLE t (" + columns + "); CREATE INDEX ix ON t (" + names + ")";
}

std::string ThousandAndOneRows() {
  std::string sql = "INSERT INTO t VALUES(0)";
  for (int i = 0; i < 1000; ++i) sql += ", (0)";
  return sql;
}

class Statements : public ::testing::TestWithParam<StatementCase> {};

const char* kOrders =
    "CREATE TABLE [orders] ([id] INT IDENTITY NOT NULL, [customer] NVARCHAR(40) NULL, "
    "[code] NCHAR(10) NOT NULL, [total] DECIMAL(10, 2) NULL, [note] NTEXT NULL, "
    "PRIMARY KEY([id]),  UNIQUE ([code]));";

TEST_P(Statements, AnswerAsSqlServerDoes) {
  const StatementCase& c = GetParam();
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("stmt");
  client.Run("CREATE DATABASE [" + db + "]");
  client.Run("USE [" + db + "]");
  for (const auto& s : c.setup) client.Run(s);
  OdbcResult r = client.Execute(c.statement);
  EXPECT_EQ(r.FirstError(), c.error) << c.statement << "\n"
                                     << (r.errors.empty() ? "" : r.errors.front().message);
  EXPECT_EQ(r.ok, c.error == 0);
  client.Run("USE [master]");
  client.Run("DROP DATABASE [" + db + "]");
}

INSTANTIATE_TEST_SUITE_P(
    Table, Statements,
    ::testing::Values(
        StatementCase{"UseMissingDatabase", {}, "USE [nowhere_at_all]", 911},
        StatementCase{"CreateExistingDatabase", {}, "CREATE DATABASE [master]", 1801},
        StatementCase{"DropDatabaseInUseByCaller", {"CREATE DATABASE [inuse_x]", "USE [inuse_x]"},
                      "DROP DATABASE [inuse_x]", 3702},
        StatementCase{"DropMissingDatabase", {}, "DROP DATABASE [nowhere_at_all]", 3701},
        StatementCase{"DropSystemDatabase", {"USE [tempdb]"}, "DROP DATABASE [master]", 3708},
        StatementCase{"IfExistsDropsDatabase", {"CREATE DATABASE [gone_x]"},
                      "IF EXISTS(SELECT * FROM sysdatabases WHERE name='gone_x') DROP DATABASE [gone_x]", 0},
        StatementCase{"IfExistsSkipsMissingDatabase", {},
                      "IF EXISTS(SELECT * FROM sysdatabases WHERE name='never_x') DROP DATABASE [never_x]", 0},
        StatementCase{"CreateTheOrdersTable", {}, kOrders, 0},
        StatementCase{"CreateExistingTable", {kOrders}, kOrders, 2714},
        StatementCase{"UnknownType", {}, "CREATE TABLE t (a INT, b FANCYTYPE)", 2715},
        StatementCase{"MissingType", {}, "CREATE TABLE t (a, b INT)", 102},
        StatementCase{"KeywordAsName", {}, "CREATE TABLE select (a INT)", 156},
        StatementCase{"UnclosedParenthesis", {}, "CREATE TABLE t (a INT", 102},
        StatementCase{"PrecisionAbove38", {}, "CREATE TABLE t (a DECIMAL(39, 2))", 2750},
        StatementCase{"ScaleAbovePrecision", {}, "CREATE TABLE t (a DECIMAL(5, 6))", 2751},
        StatementCase{"Precision38Allowed", {}, "CREATE TABLE t (a DECIMAL(38, 38), b NUMERIC(1))", 0},
        StatementCase{"NVarCharTooLong", {}, "CREATE TABLE t (a NVARCHAR(4001))", 2717},
        StatementCase{"VarBinaryAbove8000", {}, "CREATE TABLE t (a VARBINARY(8001))", 131},
        StatementCase{"NCharAbove8000", {}, "CREATE TABLE t (a NCHAR(8001))", 131},
        StatementCase{"NCharAbove4000", {}, "CREATE TABLE t (a NCHAR(4001))", 2717},
        StatementCase{"VarCharZeroLength", {}, "CREATE TABLE t (a VARCHAR(0))", 1001},
        StatementCase{"WidthOnInt", {}, "CREATE TABLE t (a INT(11))", 2716},
        StatementCase{"EveryModelledType", {},
                      "CREATE TABLE t (a TINYINT, b SMALLINT, c INT, d BIGINT, e DECIMAL(20, 0), "
                      "f FLOAT, g REAL, h BIT, i CHAR, j VARCHAR(10), k NCHAR(3), l NVARCHAR(4000), "
                      "m TEXT, n NTEXT, o IMAGE, p BINARY(4), q VARBINARY, r DATETIME, "
                      "s SMALLDATETIME, u TIMESTAMP)", 0},
        StatementCase{"FixedLengthRowTooLarge", {}, "CREATE TABLE t (a CHAR(4030), b CHAR(4031))", 1701},
        StatementCase{"FixedLengthRowJustFits", {}, "CREATE TABLE t (a CHAR(4030), b NCHAR(2011))", 0},
        StatementCase{"VariableLengthRowsMayBeLarger", {}, "CREATE TABLE t (a VARCHAR(8000), b NVARCHAR(4000))", 0},
        StatementCase{"KeyAlwaysTooLong", {}, "CREATE TABLE t (a CHAR(901) PRIMARY KEY)", 1944},
        StatementCase{"KeyTooLongForThisRow",
                      {"CREATE TABLE t (a NVARCHAR(500) PRIMARY KEY)", "INSERT INTO t VALUES(N'short')"},
                      "INSERT INTO t VALUES(N'" + std::string(451, 'x') + "')", 1946},
        StatementCase{"NonclusteredKeyMayBeLonger", {"CREATE TABLE t (a VARCHAR(1700))"},
                      "CREATE INDEX ix ON t (a); INSERT INTO t VALUES('" + std::string(1700, 'y') + "')", 0},
        StatementCase{"TwoTimestamps", {}, "CREATE TABLE t (a TIMESTAMP, b TIMESTAMP)", 2738},
        StatementCase{"NTextInPrimaryKey", {}, "CREATE TABLE t (a NTEXT NOT NULL, PRIMARY KEY(a))", 1919},
        StatementCase{"ImageInUnique", {}, "CREATE TABLE t (a IMAGE, UNIQUE(a))", 1919},
        StatementCase{"TwoPrimaryKeys", {}, "CREATE TABLE t (a INT PRIMARY KEY, b INT, PRIMARY KEY(b))", 8110},
        StatementCase{"NullablePrimaryKey", {}, "CREATE TABLE t (a INT NULL, PRIMARY KEY(a))", 8111},
        StatementCase{"KeyOnMissingColumn", {}, "CREATE TABLE t (a INT, UNIQUE(b))", 1911},
        StatementCase{"IdentityOnText", {}, "CREATE TABLE t (a NVARCHAR(5) IDENTITY)", 2749},
        StatementCase{"TwoIdentities", {}, "CREATE TABLE t (a INT IDENTITY, b INT IDENTITY)", 2744},
        StatementCase{"DuplicateColumn", {}, "CREATE TABLE t (a INT, A INT)", 2705},
        StatementCase{"CreateIndex", {kOrders}, "CREATE INDEX [ord_ind] ON [orders] ([customer]);", 0},
        StatementCase{"CreateIndexTwice", {kOrders, "CREATE INDEX [ord_ind] ON [orders] ([customer])"},
                      "CREATE INDEX [ord_ind] ON [orders] ([total])", 1913},
        StatementCase{"IndexOnNText", {kOrders}, "CREATE INDEX [ix] ON [orders] ([note])", 1919},
        StatementCase{"IndexOnMissingTable", {}, "CREATE INDEX [ix] ON [nothing] ([a])", 1088},
        StatementCase{"IdentityInsertOn", {kOrders}, "SET IDENTITY_INSERT [orders] ON", 0},
        StatementCase{"IdentityInsertOnTwoTables",
                      {kOrders, "CREATE TABLE [items] ([id] INT IDENTITY)", "SET IDENTITY_INSERT [orders] ON"},
                      "SET IDENTITY_INSERT [items] ON", 8107},
        StatementCase{"IdentityInsertWithoutIdentity", {"CREATE TABLE t (a INT)"},
                      "SET IDENTITY_INSERT t ON", 8106},
        StatementCase{"ExplicitIdentityNeedsIdentityInsert", {kOrders},
                      "INSERT INTO [orders] ([id], [code]) VALUES(7, N'a')", 544},
        StatementCase{"ExplicitIdentityWithIdentityInsert", {kOrders, "SET IDENTITY_INSERT [orders] ON"},
                      "INSERT INTO [orders] ([id], [customer], [code]) VALUES(7,N'O''Brien', N'c7');", 0},
        StatementCase{"NullIntoNotNull", {kOrders}, "INSERT INTO [orders] ([customer]) VALUES(N'x')", 515},
        StatementCase{"DuplicatePrimaryKey",
                      {kOrders, "SET IDENTITY_INSERT [orders] ON",
                       "INSERT INTO [orders] ([id], [code]) VALUES(1, 'a')"},
                      "INSERT INTO [orders] ([id], [code]) VALUES(1, 'b')", 2627},
        StatementCase{"DuplicateUniqueIgnoresCaseAndTrailingBlanks",
                      {kOrders, "INSERT INTO [orders] ([code]) VALUES('abc')"},
                      "INSERT INTO [orders] ([code]) VALUES('ABC  ')", 2627},
        StatementCase{"DuplicateInUniqueIndex",
                      {"CREATE TABLE t (a INT)", "CREATE UNIQUE INDEX ux ON t (a)", "INSERT INTO t VALUES(1)"},
                      "INSERT INTO t VALUES(1)", 2601},
        StatementCase{"UniqueIndexOverDuplicates",
                      {"CREATE TABLE t (a INT)", "INSERT INTO t VALUES(1), (1)"},
                      "CREATE UNIQUE INDEX ux ON t (a)", 1505},
        StatementCase{"ValueIntoRowVersion", {"CREATE TABLE t (a INT, v TIMESTAMP)"},
                      "INSERT INTO t (a, v) VALUES(1, 0x01)", 273},
        StatementCase{"InsertIntoMissingTable", {}, "INSERT INTO [nothing] VALUES(1)", 208},
        StatementCase{"InsertMissingColumn", {"CREATE TABLE t (a INT)"}, "INSERT INTO t (b) VALUES(1)", 207},
        StatementCase{"TooFewValues", {"CREATE TABLE t (a INT, b INT)"}, "INSERT INTO t (a, b) VALUES(1)", 109},
        StatementCase{"TooManyValues", {"CREATE TABLE t (a INT)"}, "INSERT INTO t (a) VALUES(1, 2)", 110},
        StatementCase{"ValuesDoNotMatchTable", {"CREATE TABLE t (a INT, b INT)"}, "INSERT INTO t VALUES(1)", 213},
        StatementCase{"SelectMissingTable", {}, "SELECT * FROM [nothing]", 208},
        StatementCase{"SelectMissingColumn", {"CREATE TABLE t (a INT)"}, "SELECT b FROM t", 207},
        StatementCase{"LoginOptionsOfTedious", {},
                      "set textsize 2147483647\nset quoted_identifier on\nset arithabort off\n"
                      "set numeric_roundabort off\nset ansi_warnings on\nset ansi_padding on\n"
                      "set ansi_nulls on\nset concat_null_yields_null on\nset cursor_close_on_commit off\n"
                      "set implicit_transactions off\nset language us_english\nset dateformat mdy\n"
                      "set datefirst 7\nset transaction isolation level read committed", 0},
        StatementCase{"UnknownSetOption", {}, "SET FANCY_OPTION ON", 195},
        StatementCase{"InvalidDateFormat", {}, "SET DATEFORMAT xyz", 2741},
        StatementCase{"UnmodelledLanguageIsRefused", {}, "SET LANGUAGE Deutsch", 50000},
        StatementCase{"StarWithoutTable", {}, "SELECT *", 263},
        StatementCase{"OrderByPositionOutOfRange", {"CREATE TABLE t (a INT)"}, "SELECT a FROM t ORDER BY 2", 108},
        StatementCase{"CountWithAColumn", {"CREATE TABLE t (a INT)"}, "SELECT a, COUNT(*) FROM t", 8120},
        StatementCase{"HelpIndexOfMissingTable", {}, "EXEC sp_helpindex [nothing]", 15009},
        StatementCase{"DropMissingTable", {}, "DROP TABLE [nothing]", 3701},
        StatementCase{"DropTableIfExists", {}, "DROP TABLE IF EXISTS [nothing]", 0},
        StatementCase{"SchemaOtherThanDbo", {}, "CREATE TABLE [sales].[t] (a INT)", 2760},
        StatementCase{"ThreePartNameInAnotherDatabase", {}, "CREATE TABLE [tempdb].[dbo].[t3] (a INT); DROP TABLE [tempdb]..[t3]", 0},
        StatementCase{"ExplicitIdentityWithoutColumnList",
                      {"CREATE TABLE t (id INT IDENTITY, a INT)", "SET IDENTITY_INSERT t ON"},
                      "INSERT INTO t VALUES(1, 2)", 8101},
        StatementCase{"UniqueAllowsOneNull", {"CREATE TABLE t (a INT NULL UNIQUE)", "INSERT INTO t VALUES(NULL)"},
                      "INSERT INTO t VALUES(NULL)", 2627},
        StatementCase{"IdentityRunsOutOfRange",
                      {"CREATE TABLE t (id TINYINT IDENTITY(255, 1), a INT)", "INSERT INTO t (a) VALUES(1)"},
                      "INSERT INTO t (a) VALUES(2)", 8115},
        StatementCase{"MoreThan1000Rows", {"CREATE TABLE t (a INT)"}, ThousandAndOneRows(), 10738},
        StatementCase{"NumberBeyond38Digits", {"CREATE TABLE t (a FLOAT)"},
                      "INSERT INTO t VALUES(123456789012345678901234567890123456789)", 1007},
        StatementCase{"UnmodelledStatementIsRefused", {"CREATE TABLE t (a INT)"}, "UPDATE t SET a = 1", 50000},
        StatementCase{"Gibberish", {}, "FROB the database", 102},
        // Keys and indexes (CREATE TABLE, CREATE INDEX, maximum capacity specifications).
        StatementCase{"NamedPrimaryKeyAndTwoNamedUniques", {},
                      "CREATE TABLE t (a INT NOT NULL, b INT, c NVARCHAR(10), CONSTRAINT [pk_t] PRIMARY KEY ([a]), "
                      "CONSTRAINT [uq_b] UNIQUE ([b]), CONSTRAINT [uq_c] UNIQUE NONCLUSTERED ([c], [b]))", 0},
        StatementCase{"ConstraintNameIsPerSchema", {"CREATE TABLE t1 (a INT NOT NULL, CONSTRAINT [k] PRIMARY KEY ([a]))"},
                      "CREATE TABLE t2 (a INT, CONSTRAINT [k] UNIQUE ([a]))", 2714},
        StatementCase{"ConstraintNameIsNotATableName", {"CREATE TABLE t1 (a INT NOT NULL, CONSTRAINT [k] PRIMARY KEY ([a]))"},
                      "CREATE TABLE [K] (a INT)", 2714},
        StatementCase{"PrimaryKeyNonclusteredLeavesClusteredFree",
                      {"CREATE TABLE t (a INT NOT NULL, b INT, CONSTRAINT [pk] PRIMARY KEY NONCLUSTERED ([a]))"},
                      "CREATE CLUSTERED INDEX cx ON t (b)", 0},
        StatementCase{"FilteredUniqueIndexTakesManyNulls",
                      {"CREATE TABLE t (a INT NULL)", "CREATE UNIQUE NONCLUSTERED INDEX ux ON t (a) WHERE [a] IS NOT NULL",
                       "INSERT INTO t VALUES(NULL)"},
                      "INSERT INTO t VALUES(NULL), (NULL)", 0},
        StatementCase{"FilteredUniqueIndexIsStillUnique",
                      {"CREATE TABLE t (a INT NULL)", "CREATE UNIQUE INDEX ux ON t (a) WHERE [a] IS NOT NULL",
                       "INSERT INTO t VALUES(1)"},
                      "INSERT INTO t VALUES(1)", 2601},
        StatementCase{"FilterOverTwoColumns",
                      {"CREATE TABLE t (a INT NULL, b INT NULL)",
                       "CREATE UNIQUE INDEX ux ON t (a, b) WHERE [a] IS NOT NULL AND [b] IS NOT NULL",
                       "INSERT INTO t VALUES(1, NULL)"},
                      "INSERT INTO t VALUES(1, NULL); INSERT INTO t VALUES(1, 2); INSERT INTO t VALUES(1, 2)", 2601},
        StatementCase{"FilteredIndexOverExistingDuplicateNulls",
                      {"CREATE TABLE t (a INT NULL)", "INSERT INTO t VALUES(NULL), (NULL)"},
                      "CREATE UNIQUE INDEX ux ON t (a) WHERE a IS NOT NULL", 0},
        StatementCase{"UniqueIndexOverDuplicateNulls",
                      {"CREATE TABLE t (a INT NULL)", "INSERT INTO t VALUES(NULL), (NULL)"},
                      "CREATE UNIQUE INDEX ux ON t (a)", 1505},
        StatementCase{"FilterOnMissingColumn", {"CREATE TABLE t (a INT NULL)"},
                      "CREATE UNIQUE INDEX ux ON t (a) WHERE [b] IS NOT NULL", 207},
        StatementCase{"FilterOtherThanNotNullIsNotModelled", {"CREATE TABLE t (a INT NULL)"},
                      "CREATE UNIQUE INDEX ux ON t (a) WHERE [a] = 1", 50000},
        StatementCase{"ThirtyTwoKeyColumns", {}, IndexOverColumns(32), 0},
        StatementCase{"ThirtyThreeKeyColumns", {}, IndexOverColumns(33), 1904},
        StatementCase{"NVarCharMaxInUnique", {}, "CREATE TABLE t (a NVARCHAR(MAX), CONSTRAINT [u] UNIQUE ([a]))", 1919},
        StatementCase{"VarBinaryMaxInIndex", {"CREATE TABLE t (a VARBINARY(MAX))"}, "CREATE INDEX ix ON t (a)", 1919},
        StatementCase{"NonclusteredUniqueKeyAlwaysTooLong", {},
                      "CREATE TABLE t (a NCHAR(851), UNIQUE NONCLUSTERED (a))", 1944},
        StatementCase{"NonclusteredUniqueKeyJustFits", {}, "CREATE TABLE t (a CHAR(1700), UNIQUE NONCLUSTERED (a))", 0},
        StatementCase{"ClusteredIndexKeyAlwaysTooLong", {"CREATE TABLE t (a CHAR(901))"},
                      "CREATE CLUSTERED INDEX cx ON t (a)", 1944},
        StatementCase{"IndexNamesArePerTable", {"CREATE TABLE t1 (a INT)", "CREATE TABLE t2 (a INT)"},
                      "CREATE INDEX ix ON t1 (a); CREATE INDEX ix ON t2 (a)", 0},
        StatementCase{"IndexNameCaseInCyrillic", {"CREATE TABLE t (a INT)", "CREATE INDEX [Жук] ON t (a)"},
                      "CREATE INDEX [жук] ON t (a)", 1913},
        StatementCase{"IndexNamedLikeAConstraint", {"CREATE TABLE t (a INT NOT NULL, CONSTRAINT [pk] PRIMARY KEY (a))"},
                      "CREATE INDEX [PK] ON t (a)", 1913},
        StatementCase{"UnclosedQuote", {"CREATE TABLE t (a VARCHAR(5))"}, "INSERT INTO t VALUES('abc)", 105}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Batches, RunEveryStatementAndStopAtBatchErrors) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("batch");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]; CREATE TABLE t (a INT PRIMARY KEY)");
  // A duplicate key ends its statement only; the batch goes on.
  OdbcResult dup = client.Execute("INSERT INTO t VALUES(1); INSERT INTO t VALUES(1); INSERT INTO t VALUES(2)");
  EXPECT_EQ(dup.FirstError(), 2627);
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM t"), "2");
  // A conversion error ends the batch.
  OdbcResult conv = client.Execute("INSERT INTO t VALUES('x'); INSERT INTO t VALUES(3)");
  EXPECT_EQ(conv.FirstError(), 245);
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM t"), "2");
  // A syntax error anywhere means no statement of the batch runs.
  OdbcResult syntax = client.Execute("INSERT INTO t VALUES(4); INSERT INTO t VALUES(5,");
  EXPECT_EQ(syntax.FirstError(), 102);
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM t"), "2");
  // A failing row of a multi-row INSERT stores none of its rows.
  EXPECT_EQ(client.Execute("INSERT INTO t VALUES(6), (7), (1)").FirstError(), 2627);
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM t"), "2");
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

TEST(Batches, ReportRowCountsAndNoCount) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("counts");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]; CREATE TABLE t (a INT)");
  OdbcResult r = client.Execute("INSERT INTO t VALUES(1), (2), (3)");
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.rowCounts.size(), 1u);
  EXPECT_EQ(r.rowCounts[0], 3);
  client.Run("SET NOCOUNT ON");
  OdbcResult quiet = client.Execute("INSERT INTO t VALUES(4)");
  ASSERT_TRUE(quiet.ok);
  for (long count : quiet.rowCounts) EXPECT_EQ(count, -1);
  client.Run("SET NOCOUNT OFF; USE master; DROP DATABASE [" + db + "]");
}

TEST(Indexes, WarnWhenSomeKeysWouldBeTooLong) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("keys");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  OdbcResult r = client.Execute("CREATE TABLE t (a NVARCHAR(500) NOT NULL, PRIMARY KEY(a))");
  EXPECT_TRUE(r.ok);
  bool warned = false;
  for (const auto& m : r.messages) {
    warned = warned || (m.native == 1945 && m.message.find("maximum key length for a clustered index is 900 bytes") !=
                                                std::string::npos);
  }
  EXPECT_TRUE(warned);
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM sys.indexes WHERE object_id = OBJECT_ID('t') AND is_primary_key = 1"), "1");
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

TEST(Identity, CountsOnAndFollowsExplicitValues) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("ident");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  client.Run("CREATE TABLE t (id INT IDENTITY(10, 5) PRIMARY KEY, v NVARCHAR(5))");
  client.Run("INSERT INTO t (v) VALUES(N'a'), (N'b')");
  client.Run("SET IDENTITY_INSERT t ON");
  client.Run("INSERT INTO t (id, v) VALUES(100, N'c')");
  EXPECT_EQ(client.Execute("INSERT INTO t (v) VALUES(N'x')").FirstError(), 545);
  client.Run("SET IDENTITY_INSERT t OFF");
  client.Run("INSERT INTO t (v) VALUES(N'd')");
  auto rows = client.Query("SELECT id, v FROM t ORDER BY id");
  std::vector<OdbcRow> expected = {{"10", "a"}, {"15", "b"}, {"100", "c"}, {"105", "d"}};
  EXPECT_EQ(rows, expected);
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

}  // namespace
}  // namespace morvane::test
