// How inserted constants arrive in columns of each type, read back through the FreeTDS ODBC
// driver: SQL Server's conversion rules, roundings and error numbers.

#include <gtest/gtest.h>

#include "tests/sqlserver/tests/DatabaseSuite.h"
#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane::test {
namespace {

struct ConversionCase {
  const char* name;
  std::string type;      // the column's type
  std::string literal;   // the inserted constant
  OdbcCell stored;       // what SELECT gives back (when error is 0)
  long error = 0;
  std::string before;    // a SET statement to run first

  ConversionCase(const char* n, std::string t, std::string l, OdbcCell s, long e = 0, std::string b = {})
      : name(n), type(std::move(t)), literal(std::move(l)), stored(std::move(s)), error(e), before(std::move(b)) {}
};

void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }

class Conversions : public DatabaseSuite<ConversionCase, Conversions> {
 public:
  static constexpr const char* kDatabasePrefix = "conv";
};

TEST_P(Conversions, FollowSqlServerRules) {
  const ConversionCase& c = GetParam();
  ASSERT_TRUE(client_) << "no connection to the TDS test server";
  const auto [table, r] = InsertIntoNewTable(c.type, c.literal, c.before);
  EXPECT_EQ(r.FirstError(), c.error) << (r.errors.empty() ? "" : r.errors.front().message);
  auto rows = client_->Query("SELECT v FROM [" + table + "]");
  if (c.error == 0) {
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], c.stored);
  } else {
    EXPECT_TRUE(rows.empty());
  }
  client_->Run("DROP TABLE [" + table + "]");
}

const OdbcCell kNull;

INSTANTIATE_TEST_SUITE_P(
    Table, Conversions,
    ::testing::Values(
        // Integers.
        ConversionCase{"IntFromInteger", "INT", "-2147483648", "-2147483648"},
        ConversionCase{"IntOverflow", "INT", "2147483648", {}, 8115},
        ConversionCase{"TinyIntOverflow", "TINYINT", "256", {}, 220},
        ConversionCase{"TinyIntNegative", "TINYINT", "-1", {}, 220},
        ConversionCase{"SmallIntFromDecimalTruncates", "SMALLINT", "-12.9", "-12"},
        ConversionCase{"BigIntFromLargeNumber", "BIGINT", "9223372036854775807", "9223372036854775807"},
        ConversionCase{"BigIntOverflow", "BIGINT", "9223372036854775808", {}, 8115},
        ConversionCase{"IntFromEmptyString", "INT", "''", "0"},
        ConversionCase{"IntFromPaddedString", "INT", "' 42 '", "42"},
        ConversionCase{"IntFromWord", "INT", "'forty'", {}, 245},
        ConversionCase{"IntFromDecimalString", "INT", "'1.5'", {}, 245},
        ConversionCase{"IntFromTooLargeString", "INT", "'3000000000'", {}, 248},
        ConversionCase{"IntFromFloat", "INT", "1e3", "1000"},
        ConversionCase{"IntFromBinary", "INT", "0x0100", "256"},
        ConversionCase{"BitFromNumber", "BIT", "5", "1"},
        ConversionCase{"BitFromWord", "BIT", "'TRUE'", "1"},
        ConversionCase{"BitFromOtherWord", "BIT", "'yes'", {}, 245},
        ConversionCase{"NullIntoNullable", "INT", "NULL", kNull},
        // Decimals.
        ConversionCase{"DecimalRounds", "DECIMAL(10, 2)", "-12.505", "-12.51"},
        ConversionCase{"DecimalPads", "DECIMAL(10, 2)", "-12.5", "-12.50"},
        ConversionCase{"DecimalOverflow", "DECIMAL(5, 2)", "1234.5", {}, 8115},
        ConversionCase{"Decimal38Digits", "DECIMAL(38, 0)", "12345678901234567890123456789012345678",
                       "12345678901234567890123456789012345678"},
        ConversionCase{"Decimal20FromInteger", "DECIMAL(20, 0)", "18446744073709551615", "18446744073709551615"},
        ConversionCase{"DecimalFromString", "DECIMAL(6, 3)", "' 1.5'", "1.500"},
        ConversionCase{"DecimalFromEmptyString", "DECIMAL(6, 3)", "''", {}, 8114},
        ConversionCase{"DecimalFromExponentString", "DECIMAL(6, 3)", "'1e2'", {}, 8114},
        ConversionCase{"DecimalFromFloat", "DECIMAL(6, 3)", "1.5e0", "1.500"},
        // Character data.
        ConversionCase{"NVarCharKeepsEveryCharacter", "NVARCHAR(10)", "N'Größe €😀'", "Größe €😀"},
        ConversionCase{"VarCharKeepsCodePage1252", "VARCHAR(10)", "N'Größe €'", "Größe €"},
        ConversionCase{"VarCharReplacesOtherCharacters", "VARCHAR(10)", "N'日本 ok'", "?? ok"},
        ConversionCase{"NonUnicodeLiteralLosesCharactersFirst", "NVARCHAR(10)", "'日本'", "??"},
        ConversionCase{"DoubledQuotes", "NVARCHAR(10)", "N'O''Brien'", "O'Brien"},
        ConversionCase{"NCharPads", "NCHAR(5)", "N'ab'", "ab   "},
        ConversionCase{"CharWithoutLengthIsOne", "CHAR", "'a'", "a"},
        ConversionCase{"CharWithoutLengthTruncates", "CHAR", "'ab'", {}, 2628},
        ConversionCase{"NVarCharTruncation", "NVARCHAR(3)", "N'abcd'", {}, 2628},
        ConversionCase{"SurrogatePairCountsTwo", "NVARCHAR(1)", "N'😀'", {}, 2628},
        ConversionCase{"TrailingBlanksAreDropped", "VARCHAR(3)", "'abc   '", "abc"},
        ConversionCase{"NTextHoldsLongText", "NTEXT", "N'" + std::string(5000, 'x') + "'", std::string(5000, 'x')},
        ConversionCase{"IntegerIntoNVarChar", "NVARCHAR(10)", "42", "42"},
        ConversionCase{"IntegerIntoNText", "NTEXT", "42", {}, 206},
        // Binary data.
        ConversionCase{"VarBinary", "VARBINARY(4)", "0x00FF", "00ff"},
        ConversionCase{"BinaryPads", "BINARY(4)", "0x00FF", "00ff0000"},
        ConversionCase{"VarBinaryWithoutLengthIsOne", "VARBINARY", "0x0102", {}, 2628},
        ConversionCase{"BinaryFromString", "VARBINARY(4)", "'ab'", {}, 257},
        ConversionCase{"Image", "IMAGE", "0xDEADBEEF", "deadbeef"},
        // Floating point.
        ConversionCase{"FloatWithExponent", "FLOAT", "1e20", "1e+20"},
        ConversionCase{"FloatFromNegativeDecimal", "FLOAT", "-12.5", "-12.5"},
        ConversionCase{"FloatFromEmptyString", "FLOAT", "''", "0"},
        ConversionCase{"FloatFromWord", "FLOAT", "'abc'", {}, 8114},
        ConversionCase{"RealOverflow", "REAL", "1e39", {}, 8115},
        ConversionCase{"FloatLiteralOutOfRange", "FLOAT", "1e309", {}, 168},
        // Dates.
        ConversionCase{"DateTimeIso", "DATETIME", "'2004-05-06T12:34:56.123'", "2004-05-06 12:34:56.123"},
        ConversionCase{"DateTimeUnseparated", "DATETIME", "'20040506'", "2004-05-06 00:00:00.000"},
        ConversionCase{"DateTimeRoundsTo300ths", "DATETIME", "'2004-05-06T12:34:56.125'", "2004-05-06 12:34:56.127"},
        ConversionCase{"DateTimeRoundsUpToNextDay", "DATETIME", "'2004-05-06 23:59:59.999'", "2004-05-07 00:00:00.000"},
        ConversionCase{"DateTimeFromEmptyString", "DATETIME", "''", "1900-01-01 00:00:00.000"},
        ConversionCase{"DateTimeTimeOnly", "DATETIME", "'12:30'", "1900-01-01 12:30:00.000"},
        ConversionCase{"DateTimeBefore1753", "DATETIME", "'1752-12-31'", {}, 242},
        ConversionCase{"DateTimeInvalidDay", "DATETIME", "'2004-02-30'", {}, 242},
        ConversionCase{"DateTimeNotADate", "DATETIME", "'not a date'", {}, 241},
        ConversionCase{"DateTimeFourFractionDigits", "DATETIME", "'2004-05-06T12:34:56.1234'", {}, 241},
        ConversionCase{"DashedDateUnderDmy", "DATETIME", "'2004-05-06 12:34:56'", "2004-06-05 12:34:56.000", 0,
                       "SET DATEFORMAT dmy"},
        ConversionCase{"DashedDateUnderBritish", "DATETIME", "'2004-05-06 12:34:56'", "2004-06-05 12:34:56.000", 0,
                       "SET LANGUAGE british"},
        ConversionCase{"IsoDateUnderDmy", "DATETIME", "'2004-05-06T12:34:56'", "2004-05-06 12:34:56.000", 0,
                       "SET DATEFORMAT dmy"},
        ConversionCase{"UnseparatedDateUnderBritish", "DATETIME", "'20040506 12:34:56'", "2004-05-06 12:34:56.000", 0,
                       "SET LANGUAGE british"},
        ConversionCase{"DayAbove12UnderDmyIsOutOfRange", "DATETIME", "'2004-05-13'", {}, 242, "SET DATEFORMAT dmy"},
        ConversionCase{"SmallDateTimeRoundsDown", "SMALLDATETIME", "'2004-05-06 12:34:29.998'", "2004-05-06 12:34:00"},
        ConversionCase{"SmallDateTimeRoundsUp", "SMALLDATETIME", "'2004-05-06 12:34:29.999'", "2004-05-06 12:35:00"},
        ConversionCase{"SmallDateTimeLastDay", "SMALLDATETIME", "'2079-06-06T23:59:00'", "2079-06-06 23:59:00"},
        ConversionCase{"SmallDateTimeAfterLastDay", "SMALLDATETIME", "'2079-06-07'", {}, 242},
        ConversionCase{"SmallDateTimeBefore1900", "SMALLDATETIME", "'1899-12-31'", {}, 242},
        ConversionCase{"RowVersionTakesNoValue", "TIMESTAMP", "NULL", {}, 273}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Real, KeepsA24BitMantissa) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("real");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  client.Run("CREATE TABLE t (r REAL, f FLOAT)");
  client.Run("INSERT INTO t VALUES(16777217, 16777217)");
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM t WHERE r = 16777216"), "1");
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM t WHERE f = 16777216"), "0");
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

TEST(RowVersion, IsGivenToEveryRow) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("rowver");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  client.Run("CREATE TABLE t (a INT, v TIMESTAMP)");
  client.Run("INSERT INTO t (a) VALUES(1), (2)");
  auto rows = client.Query("SELECT v FROM t ORDER BY a");
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_TRUE(rows[0][0] && rows[1][0]);
  EXPECT_EQ(rows[0][0]->size(), 16u);  // eight bytes in hexadecimal
  EXPECT_LT(*rows[0][0], *rows[1][0]);
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

}  // namespace
}  // namespace morvane::test
