#include <gtest/gtest.h>

#include "engine/RowCopy.h"
#include "source/FieldRecord.h"

namespace morvane {
namespace {

namespace t = mysql_type;
using namespace std::string_literals;

struct LiteralCase {
  const char* what;
  const char* typeText;
  int mysqlType;
  std::optional<std::string> cell;
  std::string literal;
};

void PrintTo(const LiteralCase& c, std::ostream* os) { *os << c.what; }

class ValueLiteral : public testing::TestWithParam<LiteralCase> {};

TEST_P(ValueLiteral, Writes) {
  const LiteralCase& c = GetParam();
  const Cell cell = c.cell ? Cell(*c.cell) : Cell();
  EXPECT_EQ(GetValueLiteral(cell, c.typeText, c.mysqlType), c.literal) << c.what;
}

const std::nullopt_t none = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Numbers, ValueLiteral,
    testing::Values(
        LiteralCase{"INT", "INT", t::Long, "42", "42,"},
        LiteralCase{"negative SMALLINT", "SMALLINT", t::Tiny, "-128", "-128,"},
        LiteralCase{"BIGINT without value", "BIGINT", t::LongLong, none, "NULL,"},
        LiteralCase{"INT empty text", "INT", t::Long, "", "NULL,"},
        LiteralCase{"unsigned BIGINT maximum", "DECIMAL(20, 0)", t::LongLong,
                    "18446744073709551615", "18446744073709551615,"},
        LiteralCase{"FLOAT plain integer read as a float", "FLOAT", t::Double, "3", "3E0,"},
        LiteralCase{"REAL fraction", "REAL", t::Float, "-2.5", "-2.5E0,"},
        LiteralCase{"REAL 16777216", "REAL", t::Float, "16777216", "16777216E0,"},
        LiteralCase{"REAL at full precision", "REAL", t::Float, "1.2345678806304932",
                    "1.2345678806304932E0,"},
        LiteralCase{"FLOAT of 17 digits", "FLOAT", t::Double, "0.30000000000000004",
                    "0.30000000000000004E0,"},
        LiteralCase{"FLOAT exponent stays as written", "FLOAT", t::Double, "1e20", "1e20,"},
        LiteralCase{"FLOAT small exponent", "FLOAT", t::Double, "1e-300", "1e-300,"},
        LiteralCase{"FLOAT largest double", "FLOAT", t::Double, "1.7976931348623157e308",
                    "1.7976931348623157e308,"},
        LiteralCase{"REAL plain integer", "REAL", t::Float, "7", "7E0,"},
        LiteralCase{"DECIMAL without value is no zero", "DECIMAL(10, 2)", t::NewDecimal, none,
                    "NULL,"},
        LiteralCase{"DECIMAL", "DECIMAL(10, 4)", t::NewDecimal, "12345.6789", "12345.6789,"},
        LiteralCase{"DECIMAL without trailing zeros", "DECIMAL(38, 30)", t::NewDecimal,
                    "12.340000000000000000000000000000", "12.34,"},
        LiteralCase{"DECIMAL whole number without point", "DECIMAL(38, 30)", t::NewDecimal,
                    "99999999.000000000000000000000000000000", "99999999,"},
        LiteralCase{"DECIMAL(38, 0) of 38 digits, no .0", "DECIMAL(38, 0)", t::NewDecimal,
                    "99999999999999999999999999999999999999",
                    "99999999999999999999999999999999999999,"},
        LiteralCase{"negative DECIMAL fraction", "DECIMAL(10, 4)", t::NewDecimal, "-0.5000",
                    "-0.5,"},
        LiteralCase{"DECIMAL zero", "DECIMAL(10, 4)", t::NewDecimal, "0.0000", "0,"},
        LiteralCase{"DECIMAL all 38 digits in the fraction", "DECIMAL(38, 38)", t::NewDecimal,
                    "0.12345678901234567890123456789012345678",
                    "0.12345678901234567890123456789012345678,"},
        LiteralCase{"FLOAT without value", "FLOAT", t::Double, none, "NULL,"},
        LiteralCase{"a number text that is no number is quoted", "INT", t::Long, "1;DROP",
                    "N'1;DROP',"}));

INSTANTIATE_TEST_SUITE_P(
    Bits, ValueLiteral,
    testing::Values(LiteralCase{"BIT byte 1", "BIT", t::Bit, "\x01"s, "1,"},
                    LiteralCase{"BIT byte 0", "BIT", t::Bit, "\0"s, "0,"},
                    LiteralCase{"BIT character 1", "BIT", t::Bit, "1", "1,"},
                    LiteralCase{"BIT without value", "BIT", t::Bit, none, "NULL,"},
                    LiteralCase{"BIT(8) 0xA5", "BIGINT", t::Bit, "\xA5"s, "165,"},
                    LiteralCase{"BIT(16) big-endian", "BIGINT", t::Bit, "\x01\x00"s, "256,"},
                    LiteralCase{"BIT(64) all ones", "DECIMAL(20, 0)", t::Bit,
                                "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"s, "18446744073709551615,"},
                    LiteralCase{"BIT(8) without value", "BIGINT", t::Bit, none, "NULL,"}));

INSTANTIATE_TEST_SUITE_P(
    Binary, ValueLiteral,
    testing::Values(
        LiteralCase{"zero bytes kept", "VARBINARY(16)", t::VarString, "a\0b\xff"s, "0x610062FF,"},
        LiteralCase{"empty value", "VARBINARY(MAX)", t::Blob, "", "0x,"},
        LiteralCase{"geometry bytes as they are", "VARBINARY(MAX)", t::Geometry,
                    "\0\0\0\0\x01\x01\0\0\0"s, "0x000000000101000000,"},
        LiteralCase{"without value", "BINARY(4)", t::String, none, "NULL,"},
        LiteralCase{"all zero", "BINARY(2)", t::String, "\0\0"s, "0x0000,"}));

INSTANTIATE_TEST_SUITE_P(
    Texts, ValueLiteral,
    testing::Values(
        LiteralCase{"quote doubled", "NVARCHAR(40)", t::VarString, "it's", "N'it''s',"},
        LiteralCase{"two quotes in a row", "NVARCHAR(40)", t::VarString, "a''b", "N'a''''b',"},
        LiteralCase{"empty string stays empty", "NVARCHAR(MAX)", t::Blob, "", "N'',"},
        LiteralCase{"without value", "NVARCHAR(MAX)", t::Blob, none, "NULL,"},
        LiteralCase{"backslash as it is", "NCHAR(4)", t::String, "a\\'b", "N'a\\''b',"},
        LiteralCase{"every character", "NVARCHAR(40)", t::VarString, "Ελλάδα 😀",
                    "N'Ελλάδα 😀',"},
        LiteralCase{"U+0000 outside the statement's text", "NVARCHAR(40)", t::VarString, "a\0b"s,
                    "CAST(N'a' AS NVARCHAR(MAX)) + NCHAR(0) + N'b',"},
        LiteralCase{"U+0000 twice, at the ends", "NVARCHAR(MAX)", t::Blob, "\0it's\0"s,
                    "CAST(N'' AS NVARCHAR(MAX)) + NCHAR(0) + N'it''s' + NCHAR(0) + N'',"},
        LiteralCase{"CHAR with its n characters", "NCHAR(2)", t::String, "DE", "N'DE',"},
        LiteralCase{"CHAR with an emoji in its two units", "NCHAR(2)", t::String, "😀", "N'😀',"},
        LiteralCase{"CHAR made NVARCHAR with an emoji in its two units", "NVARCHAR(2)", t::String,
                    "😀", "N'😀',"},
        LiteralCase{"ENUM value unpadded", "NVARCHAR(8)", t::String, "active", "N'active',"},
        LiteralCase{"unmapped type as text", "", t::Geometry, "abc", "N'abc',"},
        LiteralCase{"T-SQL in a text stays text", "NVARCHAR(40)", t::VarString,
                    "x'); DROP TABLE t; --", "N'x''); DROP TABLE t; --',"}));

INSTANTIATE_TEST_SUITE_P(
    Dates, ValueLiteral,
    testing::Values(
        LiteralCase{"DATETIME", "DATETIME2(0)", t::DateTime, "2004-05-06 12:34:56",
                    "N'2004-05-06 12:34:56',"},
        LiteralCase{"DATETIME(6) keeps every digit", "DATETIME2(6)", t::DateTime,
                    "2024-02-29 23:59:59.999999", "N'2024-02-29 23:59:59.999999',"},
        LiteralCase{"DATETIME(3)", "DATETIME2(3)", t::DateTime, "1000-01-01 00:00:00.000",
                    "N'1000-01-01 00:00:00.000',"},
        LiteralCase{"TIMESTAMP", "DATETIME2(0)", t::Timestamp, "2038-01-19 03:14:07",
                    "N'2038-01-19 03:14:07',"},
        LiteralCase{"zero DATETIME", "DATETIME2(0)", t::DateTime, "0000-00-00 00:00:00", "NULL,"},
        LiteralCase{"DATE", "DATE", t::Date, "2004-05-06", "N'2004-05-06',"},
        LiteralCase{"first DATE", "DATE", t::Date, "0001-01-01", "N'0001-01-01',"},
        LiteralCase{"last DATE", "DATE", t::Date, "9999-12-31", "N'9999-12-31',"},
        LiteralCase{"zero DATE", "DATE", t::Date, "0000-00-00", "NULL,"},
        LiteralCase{"partial DATE", "DATE", t::Date, "2004-00-15", "NULL,"},
        LiteralCase{"TIME", "TIME(0)", t::Time, "12:34:56", "N'12:34:56',"},
        LiteralCase{"TIME(6) with every digit", "TIME(6)", t::Time, "23:59:59.999999",
                    "N'23:59:59.999999',"},
        LiteralCase{"TIME(2) fraction padded to the column", "TIME(2)", t::Time, "12:34:56.5",
                    "N'12:34:56.50',"},
        LiteralCase{"TIME beyond a day", "DATETIME2(0)", t::Time, "123:45:06",
                    "N'1900-01-06 03:45:06',"},
        LiteralCase{"negative TIME", "DATETIME2(0)", t::Time, "-838:59:59",
                    "N'1899-11-27 01:00:01',"},
        LiteralCase{"negative TIME with microseconds", "DATETIME2(6)", t::Time,
                    "-00:00:01.000001", "N'1899-12-31 23:59:58.999999',"},
        LiteralCase{"TIME within a day in a column beyond a day", "DATETIME2(3)", t::Time,
                    "00:00:00.500", "N'1900-01-01 00:00:00.500',"},
        LiteralCase{"YEAR as a number", "SMALLINT", t::Year, "2155", "2155,"},
        LiteralCase{"YEAR 0 stays 0", "SMALLINT", t::Year, "0000", "0000,"},
        LiteralCase{"date without value", "DATETIME2(0)", t::DateTime, none, "NULL,"},
        LiteralCase{"unknown date text goes as text", "DATETIME2(0)", t::DateTime, "soon",
                    "N'soon',"}));

// A TIMESTAMP whose wall times name two instants: the wall time and the offset at its instant.
INSTANTIATE_TEST_SUITE_P(
    DatesWithOffset, ValueLiteral,
    testing::Values(
        LiteralCase{"the repeated hour, summer time", "DATETIMEOFFSET(0)", t::Timestamp,
                    "2024-10-27 02:30:00 +02:00:00", "N'2024-10-27 02:30:00 +02:00',"},
        LiteralCase{"the repeated hour, winter time", "DATETIMEOFFSET(0)", t::Timestamp,
                    "2024-10-27 02:30:00 +01:00:00", "N'2024-10-27 02:30:00 +01:00',"},
        LiteralCase{"west of UTC, every fraction digit", "DATETIMEOFFSET(6)", t::Timestamp,
                    "2024-11-03 01:15:00.123456 -05:00:00", "N'2024-11-03 01:15:00.123456 -05:00',"},
        LiteralCase{"a fraction padded to the column", "DATETIMEOFFSET(3)", t::Timestamp,
                    "2024-11-03 01:15:00.5 -04:00:00", "N'2024-11-03 01:15:00.500 -04:00',"},
        LiteralCase{"the widest offset", "DATETIMEOFFSET(0)", t::Timestamp,
                    "2024-06-01 12:00:00 +14:00:00", "N'2024-06-01 12:00:00 +14:00',"},
        LiteralCase{"zero TIMESTAMP", "DATETIMEOFFSET(0)", t::Timestamp, "0000-00-00 00:00:00",
                    "NULL,"},
        LiteralCase{"without value", "DATETIMEOFFSET(0)", t::Timestamp, none, "NULL,"}));

// Values that would not arrive unchanged: nothing is written, and the reason follows the value.
struct RefusalCase {
  const char* what;
  ColumnLiteral column;
  std::string cell;
  const char* reason;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.what; }

class RefusedValue : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedValue, IsNamedAndNotWritten) {
  const RefusalCase& c = GetParam();
  std::string out = "before";
  const auto reason = AppendValueLiteral(out, Cell(c.cell), c.column);
  ASSERT_TRUE(reason.has_value()) << c.what;
  EXPECT_EQ(*reason, c.reason);
  EXPECT_EQ(out, "before");
}

ColumnLiteral Decimal(std::uint32_t p, std::uint32_t s) {
  return ColumnLiteralOf("DECIMAL(" + std::to_string(p) + ", " + std::to_string(s) + ")",
                         t::NewDecimal);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusedValue,
    testing::Values(
        RefusalCase{"a fraction SQL Server would round", Decimal(38, 28),
                    "1234567890.123456789012345678901234567890",
                    "has more fraction digits than DECIMAL(38, 28) holds"},
        RefusalCase{"an integer part too long", Decimal(38, 30), "123456789.5",
                    "has more integer digits than DECIMAL(38, 30) holds"},
        RefusalCase{"CHAR(1) with an emoji", ColumnLiteralOf("NCHAR(1)", t::String), "😀",
                    "needs more than the 1 UTF-16 code units of NCHAR(1)"},
        RefusalCase{"CHAR(1) made NVARCHAR(1) with an emoji",
                    ColumnLiteralOf("NVARCHAR(1)", t::String), "😀",
                    "needs more than the 1 UTF-16 code units of NVARCHAR(1)"},
        RefusalCase{"zero date in a primary key",
                    ColumnLiteral{LiteralForm::Date, 0, 0, 0, true}, "0000-00-00",
                    "is a zero or partial date, which SQL Server cannot hold, in a primary key "
                    "column"},
        RefusalCase{"an offset of seconds", ColumnLiteralOf("DATETIMEOFFSET(0)", t::Timestamp),
                    "1971-12-31 23:00:00 -00:44:30",
                    "has the offset -00:44:30 from UTC, which DATETIMEOFFSET cannot hold (whole "
                    "minutes, at most 14:00)"},
        RefusalCase{"an offset beyond 14 hours", ColumnLiteralOf("DATETIMEOFFSET(0)", t::Timestamp),
                    "2024-06-01 12:00:00 +14:30:00",
                    "has the offset +14:30:00 from UTC, which DATETIMEOFFSET cannot hold (whole "
                    "minutes, at most 14:00)"},
        RefusalCase{"a wall time without its offset",
                    ColumnLiteralOf("DATETIMEOFFSET(0)", t::Timestamp), "2024-10-27 02:30:00",
                    "came without its offset from UTC"},
        RefusalCase{"zero TIMESTAMP in a primary key",
                    ColumnLiteral{LiteralForm::DateTimeOffset, 0, 0, 0, true},
                    "0000-00-00 00:00:00",
                    "is a zero or partial date, which SQL Server cannot hold, in a primary key "
                    "column"}));

TEST(ValueLiteral, FitsWhenTrailingZerosAndBlanksAreLeftAside) {
  std::string out;
  EXPECT_FALSE(AppendValueLiteral(out, Cell("1.50000"), Decimal(10, 1)));
  EXPECT_FALSE(AppendValueLiteral(out, Cell("ab  "), ColumnLiteralOf("NCHAR(2)", t::String)));
  EXPECT_EQ(out, "1.5,N'ab  ',");
}

TEST(ValueLiteral, ShownValueQuotesTextAndShortensIt) {
  EXPECT_EQ(ShownValue("it", LiteralForm::Text), "'it'");
  EXPECT_EQ(ShownValue("1.5", LiteralForm::Decimal), "1.5");
  EXPECT_EQ(ShownValue(std::string(100, 'x'), LiteralForm::Text),
            "'" + std::string(60, 'x') + "...'");
}

TEST(DoubleQuotes, DoublesEveryQuote) {
  EXPECT_EQ(DoubleQuotes("O'Brien"), "O''Brien");
  EXPECT_EQ(DoubleQuotes("''"), "''''");
  EXPECT_EQ(DoubleQuotes("plain"), "plain");
  EXPECT_EQ(DoubleQuotes(""), "");
}

}  // namespace
}  // namespace morvane
