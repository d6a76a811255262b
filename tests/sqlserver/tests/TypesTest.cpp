// The types of SQL Server 2008 and later (DATE, TIME(n), DATETIME2(n), the (MAX) types) and REAL
// next to FLOAT, read back as typed values through the FreeTDS ODBC driver and through tsql.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "tests/sqlserver/tests/DatabaseSuite.h"
#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane::test {
namespace {

// The typed value as a text to compare: dates as DateText(), TIME as the driver's text, numbers
// with 17 significant digits, bytes in hexadecimal.
std::string Show(const OdbcValue& v) {
  char buf[64];
  switch (v.kind) {
    case OdbcValue::Kind::Null: return "NULL";
    case OdbcValue::Kind::Integer: return std::to_string(v.integer);
    case OdbcValue::Kind::Real: std::snprintf(buf, sizeof buf, "%.17g", v.real); return buf;
    case OdbcValue::Kind::Date: case OdbcValue::Kind::Timestamp: return v.DateText();
    case OdbcValue::Kind::Binary: {
      std::string hex;
      for (auto b : v.bytes) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        hex += buf;
      }
      return hex;
    }
    default: return v.text;
  }
}

struct TypeCase {
  const char* name;
  std::string type;
  std::string literal;
  std::string expected;  // Show() of the value read back
  OdbcValue::Kind kind;  // the C type it is read as
  std::string before = {};
};

void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.name; }

class NewTypes : public DatabaseSuite<TypeCase, NewTypes> {
 public:
  static constexpr const char* kDatabasePrefix = "types";
};

TEST_P(NewTypes, RoundTripAtTheirLimits) {
  const TypeCase& c = GetParam();
  ASSERT_TRUE(client_) << "no connection to the TDS test server";
  const auto [table, r] = InsertIntoNewTable(c.type, c.literal, c.before);
  ASSERT_TRUE(r.ok) << (r.errors.empty() ? "" : r.errors.front().message);
  auto rows = client_->TypedQuery("SELECT v FROM [" + table + "]");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].kind, c.kind) << "SQL type " << rows[0][0].sqlType;
  EXPECT_EQ(Show(rows[0][0]), c.expected);
  client_->Run("DROP TABLE [" + table + "]");
}

using K = OdbcValue::Kind;

INSTANTIATE_TEST_SUITE_P(
    Table, NewTypes,
    ::testing::Values(
        TypeCase{"DateSmallest", "DATE", "'0001-01-01'", "0001-01-01", K::Date},
        TypeCase{"DateLargest", "DATE", "N'9999-12-31'", "9999-12-31", K::Date},
        TypeCase{"DateDropsTheTime", "DATE", "'2024-02-29 23:59:59.9999999'", "2024-02-29", K::Date},
        TypeCase{"DateUnseparated", "DATE", "'20240229'", "2024-02-29", K::Date},
        TypeCase{"DateDashedUnderDmy", "DATE", "'2024-03-04'", "2024-03-04", K::Date, "SET DATEFORMAT dmy"},
        TypeCase{"DateSlashedUnderDmy", "DATE", "'04/03/2024'", "2024-03-04", K::Date, "SET DATEFORMAT dmy"},
        TypeCase{"DateFromEmptyString", "DATE", "''", "1900-01-01", K::Date},
        TypeCase{"DateTime2Smallest", "DATETIME2", "'0001-01-01 00:00:00.0000000'",
                 "0001-01-01 00:00:00.000000000", K::Timestamp},
        TypeCase{"DateTime2Largest", "DATETIME2(7)", "N'9999-12-31 23:59:59.9999999'",
                 "9999-12-31 23:59:59.999999900", K::Timestamp},
        TypeCase{"DateTime2Scale0Rounds", "DATETIME2(0)", "'2024-02-29 12:34:56.5'",
                 "2024-02-29 12:34:57.000000000", K::Timestamp},
        TypeCase{"DateTime2Scale0RoundsIntoNextDay", "DATETIME2(0)", "'2024-02-29 23:59:59.5'",
                 "2024-03-01 00:00:00.000000000", K::Timestamp},
        TypeCase{"DateTime2Scale1", "DATETIME2(1)", "'2024-01-01 00:00:00.1234567'",
                 "2024-01-01 00:00:00.100000000", K::Timestamp},
        TypeCase{"DateTime2Scale2", "DATETIME2(2)", "'2024-01-01 00:00:00.1250000'",
                 "2024-01-01 00:00:00.130000000", K::Timestamp},
        TypeCase{"DateTime2Scale3", "DATETIME2(3)", "'2024-01-01 00:00:00.1234567'",
                 "2024-01-01 00:00:00.123000000", K::Timestamp},
        TypeCase{"DateTime2Scale4", "DATETIME2(4)", "'2024-01-01 00:00:00.1234567'",
                 "2024-01-01 00:00:00.123500000", K::Timestamp},
        TypeCase{"DateTime2Scale5", "DATETIME2(5)", "'2024-01-01 00:00:00.1234567'",
                 "2024-01-01 00:00:00.123460000", K::Timestamp},
        TypeCase{"DateTime2Scale6", "DATETIME2(6)", "'2024-01-01 00:00:00.1234567'",
                 "2024-01-01 00:00:00.123457000", K::Timestamp},
        TypeCase{"DateTime2Scale7", "DATETIME2(7)", "'2024-01-01 00:00:00.1234567'",
                 "2024-01-01 00:00:00.123456700", K::Timestamp},
        TypeCase{"DateTime2IsoT", "DATETIME2(3)", "'2024-01-02T03:04:05.006'",
                 "2024-01-02 03:04:05.006000000", K::Timestamp},
        TypeCase{"DateTime2DashedUnderDmy", "DATETIME2(0)", "'2024-03-04 05:06:07'",
                 "2024-03-04 05:06:07.000000000", K::Timestamp, "SET DATEFORMAT dmy"},
        TypeCase{"DateTime2DashedUnderBritish", "DATETIME2(0)", "'2024-03-04 05:06:07'",
                 "2024-03-04 05:06:07.000000000", K::Timestamp, "SET LANGUAGE british"},
        TypeCase{"DateTime2TimeOnly", "DATETIME2(0)", "'12:30'", "1900-01-01 12:30:00.000000000", K::Timestamp},
        TypeCase{"DateTime2DateOnly", "DATETIME2(0)", "'2024-01-02'", "2024-01-02 00:00:00.000000000", K::Timestamp},
        TypeCase{"TimeSmallest", "TIME(7)", "'00:00:00.0000000'", "00:00:00.0000000", K::Time},
        TypeCase{"TimeLargest", "TIME(7)", "'23:59:59.9999999'", "23:59:59.9999999", K::Time},
        TypeCase{"TimeScale0Rounds", "TIME(0)", "'12:34:56.5'", "12:34:57", K::Time},
        TypeCase{"TimeScale3", "TIME(3)", "'12:34:56.1234567'", "12:34:56.123", K::Time},
        TypeCase{"TimeDropsTheDate", "TIME(0)", "'2024-01-02 03:04:05'", "03:04:05", K::Time},
        TypeCase{"RealKeepsA24BitMantissa", "REAL", "1.2345678E+0", "1.2345677614212036", K::Real},
        TypeCase{"RealLargest", "REAL", "3.4028234663852886E+38", "3.4028234663852886e+38", K::Real},
        TypeCase{"FloatOfTwentyFourBitsIsReal", "FLOAT(24)", "1.2345678E+0", "1.2345677614212036", K::Real},
        TypeCase{"FloatLargest", "FLOAT", "1.7976931348623157E+308", "1.7976931348623157e+308", K::Real},
        TypeCase{"FloatSmallestNormal", "FLOAT", "-2.2250738585072014E-308", "-2.2250738585072014e-308", K::Real},
        TypeCase{"Decimal38Digits", "DECIMAL(38, 10)", "-1234567890123456789012345678.0123456789",
                 "-1234567890123456789012345678.0123456789", K::Decimal},
        TypeCase{"NVarCharMaxShort", "NVARCHAR(MAX)", "N'Grüße 😀'", "Grüße 😀", K::Text},
        TypeCase{"NVarCharMaxEmpty", "NVARCHAR(MAX)", "N''", "", K::Text},
        TypeCase{"NVarChar4000", "NVARCHAR(4000)", "N'" + std::string(4000, 'n') + "'", std::string(4000, 'n'),
                 K::Text},
        TypeCase{"NCharPads", "NCHAR(4)", "N'ж'", "ж   ", K::Text},
        TypeCase{"VarBinaryMaxShort", "VARBINARY(MAX)", "0x00FF", "00ff", K::Binary},
        TypeCase{"VarBinary8000", "VARBINARY(8000)", "0x" + std::string(16000, 'a'), std::string(16000, 'a'),
                 K::Binary},
        TypeCase{"BinaryPads", "BINARY(3)", "0x01", "010000", K::Binary}),
    [](const auto& param) { return std::string(param.param.name); });

// Errors of the new types, from their documentation pages and the conversion chart.
struct ErrorCase {
  const char* name;
  std::string type;
  std::string literal;
  long error;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

class NewTypeErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(NewTypeErrors, AreSqlServers) {
  const ErrorCase& c = GetParam();
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("typeerr");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  OdbcResult r = client.Execute("CREATE TABLE t (v " + c.type + ")");
  if (r.ok) r = client.Execute("INSERT INTO t VALUES(" + c.literal + ")");
  EXPECT_EQ(r.FirstError(), c.error) << (r.errors.empty() ? "" : r.errors.front().message);
  if (r.ok) {
    EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM t"), "1");
  }
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

INSTANTIATE_TEST_SUITE_P(
    Table, NewTypeErrors,
    ::testing::Values(
        ErrorCase{"DateYearZero", "DATE", "'0000-12-31'", 241},
        ErrorCase{"DateYear10000", "DATE", "'10000-01-01'", 241},
        ErrorCase{"DateNoSuchDay", "DATE", "'2023-02-29'", 241},
        ErrorCase{"DateFromWords", "DATE", "N'yesterday'", 241},
        ErrorCase{"DateFromNumber", "DATE", "20240101", 206},
        ErrorCase{"TimeFromNumber", "TIME", "1", 206},
        ErrorCase{"DateTime2FromFloat", "DATETIME2", "1.5E+0", 206},
        ErrorCase{"DateTime2EightFractionDigits", "DATETIME2", "'2024-01-01 00:00:00.12345678'", 241},
        ErrorCase{"TimeHour24", "TIME", "'24:00:00'", 241},
        ErrorCase{"DateTime2Scale8", "DATETIME2(8)", "NULL", 1002},
        ErrorCase{"TimeScale8", "TIME(8)", "NULL", 1002},
        ErrorCase{"DateTakesNoScale", "DATE(3)", "NULL", 2716},
        ErrorCase{"DateTime2FitsSevenDigits", "DATETIME2", "'2024-01-01 00:00:00.1234567'", 0},
        ErrorCase{"NVarCharMaxHoldsMoreThan4000", "NVARCHAR(MAX)", "N'" + std::string(4001, 'x') + "'", 0},
        ErrorCase{"NVarChar4000Truncates", "NVARCHAR(4000)", "N'" + std::string(4001, 'x') + "'", 2628},
        ErrorCase{"VarBinaryMaxHoldsMoreThan8000", "VARBINARY(MAX)", "0x" + std::string(16002, '0'), 0},
        ErrorCase{"RealOverflow", "REAL", "3.5E+38", 8115}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Truncation, Error2628NamesTableColumnAndValue) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("trunc");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]; CREATE TABLE t (a INT, [name] NVARCHAR(3))");
  OdbcResult r = client.Execute("INSERT INTO t VALUES(1, N'abcdef')");
  ASSERT_EQ(r.FirstError(), 2628);
  EXPECT_EQ(r.errors.front().message, "String or binary data would be truncated in table '" + db +
                                          ".dbo.t', column 'name'. Truncated value: 'abc'.");
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

// A 100 000-character text and a 1 MiB value arrive whole (PLP streams in many packets).
TEST(MaxTypes, CarryLongValues) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("maxv");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]; CREATE TABLE t (n NVARCHAR(MAX), b VARBINARY(MAX))");
  std::string text;
  while (text.size() < 100000 - 3) text += "жa😀";  // 100 000 UTF-16 units in the end
  std::u16string units;
  std::string hex;
  std::vector<std::uint8_t> bytes(1 << 20);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF);
  static const char* kHex = "0123456789ABCDEF";
  for (auto b : bytes) {
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  client.Run("INSERT INTO t VALUES(N'" + text + "', 0x" + hex + ")");
  auto rows = client.TypedQuery("SELECT n, b FROM t");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].kind, OdbcValue::Kind::Text);
  EXPECT_EQ(rows[0][0].text.size(), text.size());
  EXPECT_TRUE(rows[0][0].text == text);
  EXPECT_EQ(rows[0][1].kind, OdbcValue::Kind::Binary);
  EXPECT_EQ(rows[0][1].bytes.size(), bytes.size());
  EXPECT_TRUE(rows[0][1].bytes == bytes);
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM t WHERE n IS NOT NULL"), "1");
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

// Clients of TDS 7.1 and 7.2 get the date types as text and, before 7.2, the (MAX) types as
// NTEXT and IMAGE.
TEST(DownLevelClients, GetDatesAsTextAndMaxTypesAsLargeObjects) {
  std::string db = UniqueName("downlvl");
  {
    OdbcTestClient client(SqlServer());
    client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
    client.Run("CREATE TABLE t (d DATE, t TIME(3), dt DATETIME2(7), n NVARCHAR(MAX), b VARBINARY(MAX))");
    client.Run("INSERT INTO t VALUES('2024-01-02', '03:04:05.678', '2024-01-02 03:04:05.1234567', N'ж😀', 0x0102)");
    client.Run("USE master");
  }
  // The readers stay in master, so that no connection is in the database when it is dropped.
  for (const char* version : {"7.1", "7.2", "7.3"}) {
    OdbcTestClient client(SqlServer(), "", version);
    auto rows = client.Query("SELECT d, t, dt, n, b FROM [" + db + "].dbo.t");
    ASSERT_EQ(rows.size(), 1u) << version;
    OdbcRow expected = {"2024-01-02", "03:04:05.678", "2024-01-02 03:04:05.1234567", "ж😀", "0102"};
    EXPECT_EQ(rows[0], expected) << version;
  }
  OdbcTestClient client(SqlServer());
  client.Run("DROP DATABASE [" + db + "]");
}

// The expression that writes a text holding U+0000 (the FreeTDS driver ends a statement at a zero
// character): CAST(... AS NVARCHAR(MAX)) + NCHAR(0) + ..., and + over texts, which is cut at 8000
// bytes unless one of them is of a (MAX) type.
TEST(Concatenation, CarriesZeroCharactersAndCutsAt8000Bytes) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("concat");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  client.Run("CREATE TABLE t (id INT, n NVARCHAR(MAX), v VARCHAR(MAX))");
  client.Run("INSERT INTO t VALUES(1, CAST(N'a' AS NVARCHAR(MAX)) + NCHAR(0) + N'b', NULL)");
  const std::string x(3000, 'x'), y(3000, 'y'), a(5000, 'a'), b(5000, 'b');
  client.Run("INSERT INTO t VALUES(2, N'" + x + "' + N'" + y + "', '" + a + "' + '" + b + "')");
  client.Run("INSERT INTO t VALUES(3, CAST(N'" + x + "' AS NVARCHAR(MAX)) + N'" + y + "', CAST('" + a +
             "' AS VARCHAR(MAX)) + '" + b + "')");
  client.Run("INSERT INTO t VALUES(4, NULL + N'x', CAST(N'abc' AS NVARCHAR(2)) + N'|' + NCHAR(1046))");
  auto rows = client.TypedQuery("SELECT id, n, v FROM t ORDER BY id");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][1].text, std::string("a\0b", 3));
  EXPECT_EQ(rows[1][1].text, x + y.substr(0, 1000));  // 8000 bytes of NVARCHAR: 4000 characters
  EXPECT_EQ(rows[1][2].text, a + b.substr(0, 3000));
  EXPECT_EQ(rows[2][1].text, x + y);
  EXPECT_EQ(rows[2][2].text, a + b);
  EXPECT_TRUE(rows[3][1].IsNull());
  EXPECT_EQ(rows[3][2].text, "ab|?");  // NCHAR(1046) is Ж; VARCHAR keeps code page 1252
  // U+0000 is not a character of the non-binary collations: ignored in comparisons.
  client.Run("CREATE TABLE k (ci NVARCHAR(10) NULL UNIQUE, bin NVARCHAR(10) COLLATE Latin1_General_100_BIN2 NULL UNIQUE)");
  client.Run("INSERT INTO k VALUES(N'ab', N'ab')");
  EXPECT_EQ(client.Execute("INSERT INTO k (ci) VALUES(CAST(N'a' AS NVARCHAR(MAX)) + NCHAR(0) + N'b')").FirstError(), 2627);
  EXPECT_EQ(client.Execute("INSERT INTO k (bin) VALUES(CAST(N'a' AS NVARCHAR(MAX)) + NCHAR(0) + N'b')").FirstError(), 0);
  // + over numbers adds them (the expression evaluator's own tests cover arithmetic).
  EXPECT_EQ(client.Execute("INSERT INTO t (id) VALUES(7 * 2 + 1)").FirstError(), 0);
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM t WHERE id = 15").value_or(""), "1");
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

}  // namespace
}  // namespace morvane::test
