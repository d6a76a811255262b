// The full pace: rows gathered into multi-row INSERT statements, a refused statement sent again
// row by row, no pauses, a status line that changes at most ten times a second.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "engine/RowCopy.h"
#include "tests/unit/RowCopyFixture.h"

namespace morvane {
namespace {

using namespace mysql_flag;
using test::Field;
using testing::ElementsAre;
namespace t = mysql_type;
using K = LiteralKind;

// What a literal of each form is typed as in a VALUES list.
struct KindCase {
  const char* literal;
  LiteralKind kind;
};

class KindOf : public testing::TestWithParam<KindCase> {};

TEST_P(KindOf, Literal) { EXPECT_EQ(KindOfLiteral(GetParam().literal), GetParam().kind); }

INSTANTIATE_TEST_SUITE_P(Literals, KindOf,
                         testing::Values(KindCase{"NULL,", K::Null}, KindCase{"42,", K::Integer},
                                         KindCase{"-7", K::Integer},
                                         KindCase{"9223372036854775807,", K::Integer},
                                         KindCase{"19.9,", K::Decimal}, KindCase{"-0.5,", K::Decimal},
                                         KindCase{"1.5E0,", K::Float}, KindCase{"1e-300,", K::Float},
                                         KindCase{"N'NULL',", K::Text}, KindCase{"N'',", K::Text},
                                         KindCase{"CAST(N'a' AS NVARCHAR(MAX)) + NCHAR(0) + N'b',", K::Text},
                                         KindCase{"0x00FF,", K::Binary}, KindCase{"0,", K::Integer}));

// Which kinds may meet in one column without a value changing on its way.
struct ShareCase {
  const char* name;
  LiteralKind a, b;
  const char* columnType;
  bool share;
};

class Share : public testing::TestWithParam<ShareCase> {};

TEST_P(Share, Column) {
  const ShareCase& c = GetParam();
  const ColumnLiteral column = ColumnLiteralOf(c.columnType, 0);
  EXPECT_EQ(KindsShareColumn(c.a, c.b, column), c.share);
  EXPECT_EQ(KindsShareColumn(c.b, c.a, column), c.share);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, Share,
    testing::Values(
        ShareCase{"integers", K::Integer, K::Integer, "BIGINT", true},
        ShareCase{"texts", K::Text, K::Text, "NVARCHAR(40)", true},
        ShareCase{"bytes", K::Binary, K::Binary, "VARBINARY(10)", true},
        ShareCase{"floats", K::Float, K::Float, "FLOAT", true},
        ShareCase{"decimals", K::Decimal, K::Decimal, "DECIMAL(38, 30)", true},
        ShareCase{"integer beside a decimal of small scale", K::Integer, K::Decimal,
                  "DECIMAL(10, 2)", true},
        ShareCase{"integer beside a decimal of scale 28", K::Integer, K::Decimal,
                  "DECIMAL(38, 28)", true},
        // DECIMAL(10, 0) and DECIMAL(38, 30) need 40 digits: SQL Server would cut the scale.
        ShareCase{"integer beside a decimal of scale 30", K::Integer, K::Decimal,
                  "DECIMAL(38, 30)", false},
        ShareCase{"float beside a decimal", K::Float, K::Decimal, "FLOAT", false},
        ShareCase{"float beside an integer", K::Float, K::Integer, "FLOAT", false},
        ShareCase{"text beside a number", K::Text, K::Integer, "INT", false},
        ShareCase{"text beside a float", K::Text, K::Float, "FLOAT", false},
        ShareCase{"text beside bytes", K::Text, K::Binary, "VARBINARY(10)", false}),
    [](const testing::TestParamInfo<ShareCase>& param) {
      std::string name = param.param.name;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

// The statements a batch makes from rows of literals.
struct BatchCase {
  const char* name;
  std::vector<std::string> rows;  // literals, each followed by ","
  std::size_t maxRows, maxBytes;
  std::vector<std::string> statements;
};

class Batch : public testing::TestWithParam<BatchCase> {};

TEST_P(Batch, Statements) {
  const BatchCase& c = GetParam();
  const std::vector<ColumnLiteral> columns = {ColumnLiteralOf("DECIMAL(38, 30)", t::NewDecimal),
                                              ColumnLiteralOf("NVARCHAR(40)", t::VarString)};
  InsertBatch batch("INSERT INTO [t] ([a], [b]) VALUES", columns, c.maxRows, c.maxBytes);
  std::vector<std::string> statements;
  for (const std::string& row : c.rows) {
    std::vector<LiteralKind> kinds;
    std::size_t start = 0;
    for (std::size_t comma = row.find(','); comma != std::string::npos; comma = row.find(',', start)) {
      kinds.push_back(KindOfLiteral(row.substr(start, comma - start)));
      start = comma + 1;
    }
    if (!batch.TryAdd(row, kinds)) {
      statements.push_back(batch.Statement());
      batch.Clear();
      ASSERT_TRUE(batch.TryAdd(row, kinds)) << "an empty batch takes any row";
    }
  }
  if (!batch.Empty()) statements.push_back(batch.Statement());
  EXPECT_EQ(statements, c.statements);
  for (const auto& s : statements) {
    if (std::count(s.begin(), s.end(), '(') > 2) {
      EXPECT_LE(s.size(), c.maxBytes) << s;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Batch,
    testing::Values(
        BatchCase{"one_row_is_the_gentle_statement", {"1.5,N'x',"}, 1000, 1 << 20,
                  {"INSERT INTO [t] ([a], [b]) VALUES(1.5,N'x');"}},
        BatchCase{"rows_join_with_nulls_anywhere",
                  {"NULL,N'x',", "1.5,NULL,", "2.25,N'y',"}, 1000, 1 << 20,
                  {"INSERT INTO [t] ([a], [b]) VALUES(NULL,N'x'),(1.5,NULL),(2.25,N'y');"}},
        BatchCase{"row_limit", {"1.5,N'a',", "1.5,N'b',", "1.5,N'c',"}, 2, 1 << 20,
                  {"INSERT INTO [t] ([a], [b]) VALUES(1.5,N'a'),(1.5,N'b');",
                   "INSERT INTO [t] ([a], [b]) VALUES(1.5,N'c');"}},
        // The head is 34 bytes, each row 11 ("(1.5,N'a'),"): 34 + 2 * 11 = 56 fits, 67 not.
        BatchCase{"size_limit", {"1.5,N'a',", "1.5,N'b',", "1.5,N'c',"}, 1000, 56,
                  {"INSERT INTO [t] ([a], [b]) VALUES(1.5,N'a'),(1.5,N'b');",
                   "INSERT INTO [t] ([a], [b]) VALUES(1.5,N'c');"}},
        BatchCase{"a_row_longer_than_the_bound_goes_alone", {"1.5,N'a',", "1.5,N'longer than it',", "2.5,N'b',"},
                  1000, 50,
                  {"INSERT INTO [t] ([a], [b]) VALUES(1.5,N'a');",
                   "INSERT INTO [t] ([a], [b]) VALUES(1.5,N'longer than it');",
                   "INSERT INTO [t] ([a], [b]) VALUES(2.5,N'b');"}},
        // In DECIMAL(38, 30) an integer literal may not meet a decimal one (see Share).
        BatchCase{"kind_change_ends_the_statement", {"1.5,N'a',", "NULL,N'b',", "7,N'c',", "8,N'd',"},
                  1000, 1 << 20,
                  {"INSERT INTO [t] ([a], [b]) VALUES(1.5,N'a'),(NULL,N'b');",
                   "INSERT INTO [t] ([a], [b]) VALUES(7,N'c'),(8,N'd');"}}),
    [](const testing::TestParamInfo<BatchCase>& param) { return std::string(param.param.name); });

TEST(InsertBatchRows, EachRowAloneIsTheGentleStatement) {
  InsertBatch batch("INSERT INTO [t] ([a]) VALUES", {ColumnLiteralOf("INT", t::Long)}, 1000, 1 << 20);
  for (const char* row : {"1,", "NULL,", "3,"}) ASSERT_TRUE(batch.TryAdd(row, {KindOfLiteral(row)}));
  EXPECT_EQ(batch.Statement(), "INSERT INTO [t] ([a]) VALUES(1),(NULL),(3);");
  EXPECT_EQ(batch.RowStatement(0), "INSERT INTO [t] ([a]) VALUES(1);");
  EXPECT_EQ(batch.RowStatement(1), "INSERT INTO [t] ([a]) VALUES(NULL);");
  EXPECT_EQ(batch.RowStatement(2), "INSERT INTO [t] ([a]) VALUES(3);");
}

class FullSpeed : public RowCopy {
 protected:
  CopyResult Copy(const std::string& table, CopyOptions options = {}) {
    options.stop = &stop;
    options.pace = Pace::Full;
    // Far longer than any test may take: the full pace must not pause at all.
    options.pause = std::chrono::hours(1);
    return CopyTableRows(source, target, window, table, options);
  }
  // The values of the rows a statement carries: "(1),(2)" -> 1, 2.
  static std::vector<int> RowsOf(const std::string& statement) {
    std::vector<int> rows;
    for (std::size_t at = statement.find('('); at != std::string::npos; at = statement.find('(', at + 1)) {
      if (at + 1 < statement.size() && statement[at + 1] >= '0' && statement[at + 1] <= '9')
        rows.push_back(std::stoi(statement.substr(at + 1)));
    }
    return rows;
  }
  std::vector<int> AcceptedRows() const {
    std::vector<int> rows;
    for (const auto& s : journal.accepted) {
      if (s.rfind("INSERT", 0) != 0) continue;
      for (int n : RowsOf(s)) rows.push_back(n);
    }
    return rows;
  }
  static std::vector<int> Range(int from, int to) {
    std::vector<int> v;
    for (int i = from; i <= to; ++i) v.push_back(i);
    return v;
  }

};

TEST_F(FullSpeed, ThousandRowsGoInOneStatementAndTheNextInAnother) {
  for (int count : {1000, 1001}) {
    SCOPED_TRACE(count);
    journal.sent.clear();
    journal.accepted.clear();
    Numbers("t" + std::to_string(count), count);
    const CopyResult result = Copy("t" + std::to_string(count));
    EXPECT_EQ(result.outcome, CopyOutcome::Completed);
    EXPECT_EQ(result.rowsCopied, static_cast<std::uint64_t>(count));
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), count == 1000 ? 1u : 2u);
    EXPECT_EQ(RowsOf(sent[0]), Range(1, 1000));
    EXPECT_EQ(sent[0].rfind("INSERT INTO [t" + std::to_string(count) + "] ([n]) VALUES(1),(2),", 0), 0u);
    if (count == 1001) {
      EXPECT_EQ(sent[1], "INSERT INTO [t1001] ([n]) VALUES(1001);");
    }
    EXPECT_EQ(AcceptedRows(), Range(1, count));
  }
}

TEST_F(FullSpeed, OneRefusedRowAmongNineHundredNinetyNineIsNamedAndTheOthersArrive) {
  Numbers("t", 999);
  journal.refuse = [](const std::string& s) -> std::optional<TargetError> {
    if (s.find("(500)") != std::string::npos)
      return test::ServerError(2627, "Violation of PRIMARY KEY constraint. The duplicate key value is (500).");
    return std::nullopt;
  };
  const CopyResult result = Copy("t");

  EXPECT_EQ(result.outcome, CopyOutcome::Completed);
  EXPECT_EQ(result.rowsCopied, 998u);
  EXPECT_EQ(result.rowsRefused, 1u);
  // The statement of 999 rows, then each row alone, as the gentle pace sends it.
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u + 999u);
  EXPECT_EQ(RowsOf(sent[0]), Range(1, 999));
  EXPECT_EQ(sent[500], "INSERT INTO [t] ([n]) VALUES(500);");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_THAT(window.messages[0], testing::HasSubstr("The duplicate key value is (500)."));
  std::vector<int> expected = Range(1, 999);
  expected.erase(expected.begin() + 499);
  EXPECT_EQ(AcceptedRows(), expected);
}

TEST_F(FullSpeed, VeryWideRowsMakeSmallStatements) {
  // Rows of 300 000 characters: three of them fit in 1 MiB, the fourth would not.
  source.tables["wide"].fields = {Field("n", t::Long, 11, 0, 63, NotNull | PriKey),
                                  Field("body", t::Blob, 4294967295u, 0, 45, 0)};
  const std::string body(300000, 'w');
  for (int i = 1; i <= 10; ++i) source.tables["wide"].rows.push_back({std::to_string(i), body});
  const CopyResult result = Copy("wide");

  EXPECT_EQ(result.rowsCopied, 10u);
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 4u);  // 3 + 3 + 3 + 1
  for (const auto& s : sent) EXPECT_LE(s.size(), std::size_t{1} << 20);
  EXPECT_EQ(RowsOf(sent[0]), Range(1, 3));
  EXPECT_EQ(RowsOf(sent[3]), Range(10, 10));
}

TEST_F(FullSpeed, StopInsideAStatementEndsTheCopyWithoutSendingItsRowsAgain) {
  source.tables["ids"] = {{Field("id", t::Long, 11, 0, 63, NotNull | PriKey | AutoIncrement)}, {}};
  for (int i = 1; i <= 2500; ++i) source.tables["ids"].rows.push_back({std::to_string(i)});
  // The second statement is cancelled by a stop while it runs, as the Stop button does.
  int inserts = 0;
  journal.refuse = [&](const std::string& s) -> std::optional<TargetError> {
    if (s.rfind("INSERT", 0) != 0 || ++inserts != 2) return std::nullopt;
    stop.Request();
    return TargetError(0, "[FreeTDS][SQL Server]", "Operation canceled");
  };
  const CopyResult result = Copy("ids");

  EXPECT_EQ(result.outcome, CopyOutcome::Stopped);
  EXPECT_EQ(result.rowsCopied, 1000u);
  EXPECT_TRUE(window.messages.empty());
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0], "SET IDENTITY_INSERT [ids] ON");
  EXPECT_EQ(RowsOf(sent[2]), Range(1001, 2000));
  EXPECT_EQ(sent[3], "SET IDENTITY_INSERT [ids] OFF");
}

TEST_F(FullSpeed, ALiteralOfAnotherKindStartsANewStatement) {
  // DECIMAL(38, 30): 1 is an int literal, 0.5 a decimal one; together SQL Server would type the
  // column DECIMAL(38, 28) and round the second value.
  source.tables["d"].fields = {Field("v", t::NewDecimal, 40, 30, 63, 0)};
  source.tables["d"].rows = {{"0.5"}, {std::nullopt}, {"1.000"}, {"2"}, {"0.123456789012345678901234567891"}};
  const CopyResult result = Copy("d");
  EXPECT_EQ(result.rowsCopied, 5u);
  EXPECT_THAT(Sent(), ElementsAre("INSERT INTO [d] ([v]) VALUES(0.5),(NULL);",
                                  "INSERT INTO [d] ([v]) VALUES(1),(2);",
                                  "INSERT INTO [d] ([v]) VALUES(0.123456789012345678901234567891);"));
}

TEST_F(FullSpeed, StatusLineChangesAtMostTenTimesASecond) {
  Numbers("t", 20000);
  CopyOptions options;
  options.maxRowsPerStatement = 10;  // two thousand statements
  const auto started = std::chrono::steady_clock::now();
  const CopyResult result = Copy("t", options);
  const auto elapsed = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(result.rowsCopied, 20000u);
  ASSERT_FALSE(window.statusTexts.empty());
  EXPECT_EQ(window.statusTexts.back(), "Converting Table: t  ....");
  // One at the first statement, one at the end, and one per full 100 ms between.
  EXPECT_LE(window.statusTexts.size(),
            2 + static_cast<std::size_t>(elapsed / std::chrono::milliseconds(100)));
}

TEST_F(FullSpeed, TableWithoutRowsSendsNothing) {
  source.tables["empty"] = {test::OrdersFields(), {}};
  const CopyResult result = Copy("empty");
  EXPECT_EQ(result.outcome, CopyOutcome::Completed);
  EXPECT_TRUE(journal.sent.empty());
  EXPECT_TRUE(window.statusTexts.empty());
}

TEST_F(FullSpeed, SourceErrorAfterSomeRowsIsReported) {
  Numbers("t", 3);
  source.tables["t"].errorAfterRows = "Lost connection to server during query";
  const CopyResult result = Copy("t");
  EXPECT_EQ(result.outcome, CopyOutcome::SourceFailed);
  EXPECT_EQ(result.rowsCopied, 3u);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_THAT(window.messages[0], testing::HasSubstr("Lost connection to server during query"));
}

}  // namespace
}  // namespace morvane
