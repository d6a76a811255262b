// What the parser reads and where it reports syntax errors.

#include "tests/sqlserver/server/Parser.h"

#include <gtest/gtest.h>

#include "tests/sqlserver/server/SqlError.h"

namespace morvane::tds {
namespace {

TEST(Parser, ReadsTheStatementsOfTheConversion) {
  auto batch = ParseBatch(
      "IF EXISTS(SELECT * FROM sysdatabases WHERE name='shop') DROP DATABASE [shop]\n"
      "CREATE TABLE [orders] ([id] INT IDENTITY NOT NULL, [customer] NVARCHAR(40) NULL, "
      "[code] NCHAR(10) NOT NULL, [total] DECIMAL(10, 2) NULL, PRIMARY KEY([id]),  UNIQUE ([code]));\n"
      "SET IDENTITY_INSERT [orders] ON\n"
      "INSERT INTO [orders] ([id], [customer]) VALUES(7,N'O''Brien'), (-8, 0x00FF);",
      true);
  ASSERT_EQ(batch.size(), 4u);
  EXPECT_EQ(batch[1].line, 2);
  const auto& table = std::get<CreateTable>(batch[1].body);
  ASSERT_EQ(table.columns.size(), 4u);
  EXPECT_TRUE(table.columns[0].identity);
  EXPECT_EQ(table.columns[3].typeArguments, (std::vector<std::int64_t>{10, 2}));
  ASSERT_EQ(table.constraints.size(), 2u);
  EXPECT_TRUE(table.constraints[0].primaryKey);
  const auto& insert = std::get<Insert>(batch[3].body);
  ASSERT_EQ(insert.rows.size(), 2u);
  EXPECT_EQ(insert.rows[0][1].literal.text, "O'Brien");
  EXPECT_TRUE(insert.rows[0][1].literal.unicode);
  EXPECT_EQ(insert.rows[1][0].literal.text, "-8");
  EXPECT_EQ(insert.rows[1][1].literal.bytes, (Bytes{0x00, 0xFF}));
}

struct SyntaxCase {
  const char* sql;
  int number;
  const char* message;
  int line;
};

void PrintTo(const SyntaxCase& c, std::ostream* os) { *os << c.sql; }

class Syntax : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(Syntax, IsReportedNearTheRightToken) {
  const SyntaxCase& c = GetParam();
  try {
    ParseBatch(c.sql, true);
    ADD_FAILURE() << c.sql << " parsed";
  } catch (const SqlError& e) {
    EXPECT_EQ(e.Message().number, c.number);
    EXPECT_EQ(e.Message().text, c.message);
    EXPECT_EQ(e.Message().line, c.line);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Syntax,
    ::testing::Values(
        SyntaxCase{"CREATE TABLE t (a, b INT)", 102, "Incorrect syntax near ','.", 1},
        SyntaxCase{"SELECT 1\nCREATE TABLE from (a INT)", 156, "Incorrect syntax near the keyword 'from'.", 2},
        SyntaxCase{"INSERT INTO t VALUES(1", 102, "Incorrect syntax near '1'.", 1},
        SyntaxCase{"USE", 156, "Incorrect syntax near the keyword 'USE'.", 1},
        SyntaxCase{"SELECT 'abc", 105, "Unclosed quotation mark after the character string 'abc'.", 1},
        SyntaxCase{"hello world", 102, "Incorrect syntax near 'hello'.", 1}));

}  // namespace
}  // namespace morvane::tds
