// The expression evaluator: values and types of expressions, the truth of search conditions,
// and the errors SQL Server documents for them. Each table is written from the page it names.

#include <gtest/gtest.h>

#include "tests/sqlserver/server/Expressions.h"
#include "tests/sqlserver/server/Parser.h"
#include "tests/sqlserver/server/SqlError.h"

namespace morvane::tds {
namespace {

// "int 7", "numeric(5,2) 3.50", "nvarchar(3) abc": the type and the value of an expression.
std::string Describe(const Typed& v) {
  std::string type = TypeName(v.type.kind);
  if (v.type.kind == Kind::Decimal) {
    type = "numeric(" + std::to_string(v.type.precision) + "," + std::to_string(v.type.scale) + ")";
  } else if (IsCharacter(v.type.kind) || IsNCharacter(v.type.kind) || v.type.kind == Kind::VarBinary) {
    type += v.type.max ? "(max)" : "(" + std::to_string(v.type.length) + ")";
  } else if (v.type.kind == Kind::DateTime2) {
    type += "(" + std::to_string(v.type.scale) + ")";
  }
  if (auto* d = std::get_if<Date2Value>(&v.value)) return type + " " + Date2Text(v.type.kind, v.type.scale, *d);
  return type + " " + DisplayValue(v.value);
}

Expression ValueOf(const std::string& text) {
  auto statements = ParseBatch("SELECT " + text, true);
  return std::get<Select>(statements.at(0).body).items.at(0).expression;
}

Expression ConditionOf(const std::string& text) {
  auto statements = ParseBatch("CREATE TABLE t (a INT, CHECK (" + text + "))", true);
  return std::get<CreateTable>(statements.at(0).body).checks.at(0).condition;
}

// Column a (int 5), b (nvarchar(10) 'Abc', the server's case-insensitive collation), n (NULL int).
Scope RowScope() {
  Scope scope;
  scope.column = [](const std::string& name) -> std::optional<Typed> {
    Typed v;
    v.columnCollation = true;
    if (name == "a") v = {ColumnType(Kind::Int), std::int64_t{5}};
    else if (name == "b") v = {ColumnType(Kind::NVarChar, 10), std::string("Abc")};
    else if (name == "n") v = {ColumnType(Kind::Int), Value{}};
    else return std::nullopt;
    v.type.collation = IsNCharacter(v.type.kind) ? kDefaultCollation : "";
    return v;
  };
  return scope;
}

struct ValueCase {
  const char* expression;
  const char* expected;  // Describe() of the value, or empty when `error` is expected
  int error = 0;
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.expression; }

class Values : public ::testing::TestWithParam<ValueCase> {};

TEST_P(Values, HaveSqlServersTypeAndValue) {
  const ValueCase& c = GetParam();
  if (c.error) {
    try {
      Typed v = Evaluate(ValueOf(c.expression), RowScope());
      ADD_FAILURE() << c.expression << " gave " << Describe(v) << ", not error " << c.error;
    } catch (const SqlError& e) {
      EXPECT_EQ(e.Message().number, c.error) << c.expression << ": " << e.what();
    }
    return;
  }
  EXPECT_EQ(Describe(Evaluate(ValueOf(c.expression), RowScope())), c.expected) << c.expression;
}

// "Data type precedence", "Precision, scale, and length", "+ (Addition)", "/ (Division)",
// "% (Modulus)", "Arithmetic operators": result types, operator precedence and the errors.
INSTANTIATE_TEST_SUITE_P(
    Arithmetic, Values,
    ::testing::Values(ValueCase{"1 + 2 * 3", "int 7"}, ValueCase{"(1 + 2) * 3", "int 9"},
                      ValueCase{"7 / 2", "int 3"}, ValueCase{"-7 / 2", "int -3"}, ValueCase{"-7 % 3", "int -1"},
                      ValueCase{"10 - 2 - 3", "int 5"},
                      ValueCase{"1.5 + 1", "numeric(12,1) 2.5"},
                      ValueCase{"2.50 * 1.5", "numeric(6,3) 3.750"},
                      ValueCase{"1.0 / 3", "numeric(13,12) 0.333333333333"},
                      ValueCase{"7.5 % 2", "numeric(2,1) 1.5"},
                      ValueCase{"1.5E0 + 1", "float 2.5"},
                      ValueCase{"2147483647 + 1", "", 8115},
                      ValueCase{"1 / 0", "", 8134}, ValueCase{"1.0 / 0", "", 8134}, ValueCase{"1 % 0", "", 8134},
                      ValueCase{"1E0 / 0", "", 8134}, ValueCase{"5E0 % 2", "", 402},
                      ValueCase{"'1' + 1", "int 2"}, ValueCase{"'x' + 1", "", 245},
                      ValueCase{"a * 2 + 1", "int 11"}, ValueCase{"n + 1", "int <NULL>"},
                      ValueCase{"-a", "int -5"}, ValueCase{"- (a)", "int -5"},
                      ValueCase{"NULL + N'x'", "nvarchar(1) <NULL>"},
                      ValueCase{"'ab' + N'c'", "nvarchar(3) abc"},
                      ValueCase{"9999999999999999999999999999999999999.0 * 10", "", 8115}));

// "CAST and CONVERT": conversions through the server's conversion to a column type, the
// default length 30, the date styles, and the documented errors.
INSTANTIATE_TEST_SUITE_P(
    Casts, Values,
    ::testing::Values(ValueCase{"CAST(300 AS TINYINT)", "", 220}, ValueCase{"CAST(3.7 AS INT)", "int 3"},
                      ValueCase{"CAST('12' AS SMALLINT)", "smallint 12"},
                      ValueCase{"CAST('x' AS INT)", "", 245}, ValueCase{"CAST('x' AS BIGINT)", "", 8114},
                      ValueCase{"CAST('x' AS DECIMAL(5,2))", "", 8114},
                      ValueCase{"CAST(123.456 AS DECIMAL(5,2))", "numeric(5,2) 123.46"},
                      ValueCase{"CAST(1234.5 AS DECIMAL(5,2))", "", 8115},
                      ValueCase{"CAST('2024-02-30' AS DATE)", "", 241},
                      ValueCase{"CAST(N'abcdef' AS NVARCHAR(3))", "nvarchar(3) abc"},
                      ValueCase{"CAST(12345 AS CHAR(3))", "char(3) *  "},
                      ValueCase{"CAST(12345 AS NCHAR(3))", "", 8115},
                      ValueCase{"CAST(1 AS VARCHAR)", "varchar(30) 1"},
                      ValueCase{"CONVERT(DATETIME2(0), '2024-05-06T07:08:09', 126)", "datetime2(0) 2024-05-06 07:08:09"},
                      ValueCase{"CONVERT(VARCHAR(30), CAST('2024-05-06 07:08:09.123' AS DATETIME), 121)",
                                "varchar(30) 2024-05-06 07:08:09.123"},
                      ValueCase{"CONVERT(VARCHAR(30), CAST('2024-05-06 07:08:09' AS DATETIME), 120)",
                                "varchar(30) 2024-05-06 07:08:09"},
                      ValueCase{"CONVERT(VARCHAR(10), CAST('2024-05-06' AS DATE), 23)", "varchar(10) 2024-05-06"},
                      ValueCase{"CONVERT(VARCHAR(30), CAST('2024-05-06 07:08:09' AS DATETIME), 126)",
                                "varchar(30) 2024-05-06T07:08:09"},
                      ValueCase{"CONVERT(VARCHAR(30), CAST('2024-05-06 17:08' AS DATETIME))",
                                "varchar(30) May  6 2024  5:08PM"},
                      ValueCase{"CONVERT(VARCHAR(30), CAST('2024-05-06' AS DATETIME), 104)", "", 50000},
                      ValueCase{"CAST(CAST('10:00' AS TIME) AS DATE)", "", 529},
                      ValueCase{"CAST(1 AS MONEY)", "", 50000},
                      ValueCase{"LEN(CAST(NEWID() AS CHAR(36)))", "int 36"},
                      ValueCase{"CAST(NEWID() AS CHAR(20))", "", 8170},
                      ValueCase{"CAST(NEWID() AS INT)", "", 206}));

// The functions: "String functions", "Date and time functions", "ISNULL", "COALESCE",
// "NULLIF", "IIF", "ROUND", "ISJSON", "JSON_VALUE".
INSTANTIATE_TEST_SUITE_P(
    Functions, Values,
    ::testing::Values(
        ValueCase{"UPPER(b)", "nvarchar(10) ABC"}, ValueCase{"LOWER('ÀB')", "varchar(2) àb"},
        ValueCase{"LEN('ab  ')", "int 2"}, ValueCase{"LEN(N'  ab')", "int 4"},
        ValueCase{"DATALENGTH(N'ab  ')", "int 8"}, ValueCase{"DATALENGTH('ab')", "int 2"},
        ValueCase{"DATALENGTH(a)", "int 4"},
        ValueCase{"LEFT('abcdef', 2)", "varchar(6) ab"}, ValueCase{"RIGHT('abcdef', 2)", "varchar(6) ef"},
        ValueCase{"LEFT('abc', -1)", "", 536}, ValueCase{"SUBSTRING('abcdef', 2, 3)", "varchar(6) bcd"},
        ValueCase{"SUBSTRING('abcdef', 0, 3)", "varchar(6) ab"}, ValueCase{"SUBSTRING('abc', 1, -1)", "", 537},
        ValueCase{"LTRIM('  a  ')", "varchar(5) a  "}, ValueCase{"RTRIM('  a  ')", "varchar(5)   a"},
        ValueCase{"TRIM('  a  ')", "varchar(5) a"},
        ValueCase{"REPLACE('aXbx', 'x', '-')", "varchar(8000) a-b-"},
        ValueCase{"CONCAT('a', NULL, 1, N'b')", "nvarchar(13) a1b"}, ValueCase{"CONCAT('a')", "", 189},
        ValueCase{"COALESCE(NULL, n, 2)", "int 2"}, ValueCase{"COALESCE(NULL, 1.5, 2)", "numeric(11,1) 1.5"},
        ValueCase{"COALESCE(NULL, NULL)", "", 4127},
        ValueCase{"ISNULL(n, 7)", "int 7"}, ValueCase{"ISNULL(CAST(NULL AS VARCHAR(2)), 'abc')", "varchar(2) ab"},
        ValueCase{"NULLIF(a, 5)", "int <NULL>"}, ValueCase{"NULLIF(a, 6)", "int 5"},
        ValueCase{"IIF(a > 1, 'big', 'small')", "varchar(5) big"}, ValueCase{"IIF(n > 1, 1, 2)", "int 2"},
        ValueCase{"ABS(-3.25)", "numeric(3,2) 3.25"}, ValueCase{"ABS(-2147483647 - 1)", "", 8115},
        ValueCase{"ROUND(748.58, -1)", "numeric(5,2) 750.00"}, ValueCase{"ROUND(748.58, -4)", "numeric(5,2) 0.00"},
        ValueCase{"ROUND(748.58, -3)", "", 8115}, ValueCase{"ROUND(150.75, 0, 1)", "numeric(5,2) 150.00"},
        ValueCase{"FLOOR(-1.5)", "numeric(2,0) -2"}, ValueCase{"CEILING(1.2)", "numeric(2,0) 2"},
        ValueCase{"YEAR('2024-05-06')", "int 2024"}, ValueCase{"MONTH('2024-05-06')", "int 5"},
        ValueCase{"DAY(CAST('2024-05-06' AS DATE))", "int 6"},
        ValueCase{"DATEPART(quarter, '2024-05-06')", "int 2"}, ValueCase{"DATEPART(dy, '2024-02-01')", "int 32"},
        ValueCase{"DATEPART(weekday, '2024-05-05')", "int 1"}, ValueCase{"DATEPART(week, '2024-01-07')", "int 2"},
        ValueCase{"DATEPART(hour, CAST('2024-05-06' AS DATE))", "", 9810},
        ValueCase{"DATEADD(month, 1, CAST('2024-01-31' AS DATE))", "date 2024-02-29"},
        ValueCase{"DATEADD(year, -1, CAST('2024-02-29' AS DATETIME2(0)))", "datetime2(0) 2023-02-28 00:00:00"},
        ValueCase{"DATEADD(quarter, 1, CAST('2024-11-30' AS DATE))", "date 2025-02-28"},
        ValueCase{"DATEADD(week, 1, CAST('2024-12-30' AS DATE))", "date 2025-01-06"},
        ValueCase{"DATEADD(minute, 90, CAST('2024-01-01 23:00' AS DATETIME2(0)))", "datetime2(0) 2024-01-02 00:30:00"},
        ValueCase{"DATEADD(microsecond, 5, CAST('2024-01-01' AS DATETIME2(6)))",
                  "datetime2(6) 2024-01-01 00:00:00.000005"},
        ValueCase{"DATEADD(millisecond, 1, CAST('10:00' AS TIME(3)))", "time 10:00:00.001"},
        ValueCase{"DATEADD(year, 1, CAST('9999-01-01' AS DATE))", "", 517},
        ValueCase{"DATEADD(hour, 1, CAST('2024-01-01' AS DATE))", "", 9810},
        ValueCase{"DATEADD(fortnight, 1, CAST('2024-01-01' AS DATE))", "", 155},
        ValueCase{"ISJSON('{\"a\":1}')", "int 1"}, ValueCase{"ISJSON('[1,2]')", "int 1"},
        ValueCase{"ISJSON('1')", "int 0"}, ValueCase{"ISJSON('{a:1}')", "int 0"}, ValueCase{"ISJSON(NULL)", "int <NULL>"},
        ValueCase{"JSON_VALUE('{\"a\":{\"b\":[\"x\",2]}}', '$.a.b[0]')", "nvarchar(4000) x"},
        ValueCase{"JSON_VALUE('{\"a\":{\"b\":[\"x\",2]}}', 'lax $.a.b[1]')", "nvarchar(4000) 2"},
        ValueCase{"JSON_VALUE('{\"a\":{\"b\":[1]}}', '$.a')", "nvarchar(4000) <NULL>"},
        ValueCase{"JSON_VALUE('{\"a\":1}', '$.missing')", "nvarchar(4000) <NULL>"},
        ValueCase{"JSON_VALUE('{\"a\":1}', 'a')", "", 13607}, ValueCase{"JSON_VALUE('{', '$.a')", "", 13609},
        ValueCase{"JSON_VALUE('{\"a\":1}', 'strict $.a')", "", 50000},
        ValueCase{"NO_SUCH_FUNCTION(1)", "", 195}, ValueCase{"LEN()", "", 174},
        ValueCase{"CASE a WHEN 5 THEN 'five' ELSE 'other' END", "varchar(5) five"},
        ValueCase{"CASE WHEN a > 9 THEN 1 WHEN a > 4 THEN 2.5 END", "numeric(11,1) 2.5"},
        ValueCase{"CASE WHEN n = 1 THEN 1 END", "int <NULL>"},
        ValueCase{"CASE WHEN a = 5 THEN 'x' ELSE 1 END", "", 245},
        ValueCase{"CASE WHEN a = 5 THEN NULL END", "", 8133}));

struct TruthCase {
  const char* condition;
  Truth expected;
};

void PrintTo(const TruthCase& c, std::ostream* os) { *os << c.condition; }

class Conditions : public ::testing::TestWithParam<TruthCase> {};

TEST_P(Conditions, AreTrueFalseOrUnknown) {
  const TruthCase& c = GetParam();
  EXPECT_EQ(tds::Test(ConditionOf(c.condition), RowScope()), c.expected) << c.condition;
}

// "Search condition", "Comparison operators", "IN", "BETWEEN", "LIKE", "IS NULL", "SET
// ANSI_NULLS" (a comparison with NULL is UNKNOWN), collation: the column's (case-insensitive).
INSTANTIATE_TEST_SUITE_P(
    Table, Conditions,
    ::testing::Values(
        TruthCase{"a = 5", Truth::True}, TruthCase{"a <> 5", Truth::False}, TruthCase{"a != 4", Truth::True},
        TruthCase{"a < 5", Truth::False}, TruthCase{"a <= 5", Truth::True}, TruthCase{"a > 4.5", Truth::True},
        TruthCase{"a >= '6'", Truth::False}, TruthCase{"n = 1", Truth::Unknown}, TruthCase{"NOT n = 1", Truth::Unknown},
        TruthCase{"n = 1 OR a = 5", Truth::True}, TruthCase{"n = 1 AND a = 4", Truth::False},
        TruthCase{"n = 1 AND a = 5", Truth::Unknown}, TruthCase{"n IS NULL", Truth::True},
        TruthCase{"a IS NOT NULL", Truth::True}, TruthCase{"a IN (1, 5)", Truth::True},
        TruthCase{"a IN (1, n)", Truth::Unknown}, TruthCase{"a NOT IN (1, n)", Truth::Unknown},
        TruthCase{"a NOT IN (1, 2)", Truth::True}, TruthCase{"a BETWEEN 1 AND 5", Truth::True},
        TruthCase{"a NOT BETWEEN 1 AND 5", Truth::False}, TruthCase{"a BETWEEN n AND 4", Truth::False},
        TruthCase{"b = 'ABC'", Truth::True}, TruthCase{"b = 'abc   '", Truth::True},
        TruthCase{"b LIKE 'a%'", Truth::True}, TruthCase{"b LIKE '_b_'", Truth::True},
        TruthCase{"b LIKE '[a-c]bc'", Truth::True}, TruthCase{"b LIKE '[^a]%'", Truth::False},
        TruthCase{"b NOT LIKE '%z%'", Truth::True}, TruthCase{"'5%' LIKE '5!%' ESCAPE '!'", Truth::True},
        TruthCase{"'5x' LIKE '5!%' ESCAPE '!'", Truth::False}, TruthCase{"n LIKE '%'", Truth::Unknown},
        TruthCase{"(a = 5 OR a = 6) AND NOT b = 'x'", Truth::True}));

struct SyntaxCase {
  const char* batch;
  int error;
};

void PrintTo(const SyntaxCase& c, std::ostream* os) { *os << c.batch; }

class Misuse : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(Misuse, IsRefusedWhenTheBatchIsRead) {
  const SyntaxCase& c = GetParam();
  try {
    ParseBatch(c.batch, true);
    ADD_FAILURE() << c.batch << " was read";
  } catch (const SqlError& e) {
    EXPECT_EQ(e.Message().number, c.error) << c.batch << ": " << e.what();
  }
}

// T-SQL has no boolean values: a condition where a value is expected is a syntax error, a value
// where a condition is expected is 4145.
INSTANTIATE_TEST_SUITE_P(
    Table, Misuse,
    ::testing::Values(SyntaxCase{"SELECT 1 = 1", 102}, SyntaxCase{"SELECT a IS NULL FROM t", 156},
                      SyntaxCase{"INSERT INTO t VALUES (1 > 0)", 102},
                      SyntaxCase{"CREATE TABLE t (a INT DEFAULT (1 = 1))", 102},
                      SyntaxCase{"CREATE TABLE t (a INT CHECK (a + 1))", 4145},
                      SyntaxCase{"CREATE TABLE t (a INT CHECK (a AND a > 1))", 4145},
                      SyntaxCase{"SELECT CASE WHEN 1 THEN 2 END", 4145},
                      SyntaxCase{"SELECT IIF(1, 2, 3)", 4145},
                      SyntaxCase{"SELECT LEN(1 = 1)", 102}));

}  // namespace
}  // namespace morvane::tds
