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
                    "18446744073709551615", "18446744073709551615.0,"},
        LiteralCase{"FLOAT plain integer", "FLOAT", t::Double, "3", "3.0,"},
        LiteralCase{"FLOAT fraction", "FLOAT", t::Float, "-2.5", "-2.5,"},
        LiteralCase{"FLOAT exponent stays as written", "FLOAT", t::Double, "1e20", "1e20,"},
        LiteralCase{"FLOAT small exponent", "FLOAT", t::Double, "1e-300", "1e-300,"},
        LiteralCase{"FLOAT largest double", "FLOAT", t::Double, "1.7976931348623157e308",
                    "1.7976931348623157e308,"},
        LiteralCase{"REAL plain integer", "REAL", t::Float, "7", "7.0,"},
        LiteralCase{"DECIMAL without value is no zero", "DECIMAL(10, 2)", t::NewDecimal, none,
                    "NULL,"},
        LiteralCase{"DECIMAL", "DECIMAL(10, 4)", t::NewDecimal, "12345.6789", "12345.6789,"},
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
        LiteralCase{"empty value", "IMAGE", t::Blob, "", "0x,"},
        LiteralCase{"without value", "BINARY(4)", t::String, none, "NULL,"},
        LiteralCase{"all zero", "BINARY(2)", t::String, "\0\0"s, "0x0000,"}));

INSTANTIATE_TEST_SUITE_P(
    Texts, ValueLiteral,
    testing::Values(
        LiteralCase{"quote doubled", "NVARCHAR(40)", t::VarString, "it's", "N'it''s',"},
        LiteralCase{"two quotes in a row", "NVARCHAR(40)", t::VarString, "a''b", "N'a''''b',"},
        LiteralCase{"empty string stays empty", "NTEXT", t::Blob, "", "N'',"},
        LiteralCase{"without value", "NTEXT", t::Blob, none, "NULL,"},
        LiteralCase{"backslash as it is", "NCHAR(4)", t::String, "a\\'b", "N'a\\''b',"},
        LiteralCase{"every character", "NVARCHAR(40)", t::VarString, "Ελλάδα 😀",
                    "N'Ελλάδα 😀',"},
        LiteralCase{"zero byte inside", "NVARCHAR(40)", t::VarString, "a\0b"s, "N'a\0b',"s},
        LiteralCase{"unmapped type as text", "", t::Geometry, "abc", "N'abc',"},
        LiteralCase{"T-SQL in a text stays text", "NVARCHAR(40)", t::VarString,
                    "x'); DROP TABLE t; --", "N'x''); DROP TABLE t; --',"}));

INSTANTIATE_TEST_SUITE_P(
    Dates, ValueLiteral,
    testing::Values(
        LiteralCase{"DATETIME", "DATETIME", t::DateTime, "2004-05-06 12:34:56",
                    "N'2004-05-06T12:34:56',"},
        LiteralCase{"DATETIME(6) keeps three digits", "DATETIME", t::DateTime,
                    "2004-05-06 12:34:56.123456", "N'2004-05-06T12:34:56.123',"},
        LiteralCase{"TIMESTAMP", "DATETIME", t::Timestamp, "2038-01-19 03:14:07",
                    "N'2038-01-19T03:14:07',"},
        LiteralCase{"zero DATETIME", "DATETIME", t::DateTime, "0000-00-00 00:00:00", "NULL,"},
        LiteralCase{"DATE", "DATETIME", t::Date, "2004-05-06", "N'20040506',"},
        LiteralCase{"zero DATE", "DATETIME", t::Date, "0000-00-00", "NULL,"},
        LiteralCase{"partial DATE", "DATETIME", t::Date, "2004-00-15", "NULL,"},
        LiteralCase{"DATE before 1753 goes as it is", "DATETIME", t::Date, "1000-01-01",
                    "N'10000101',"},
        LiteralCase{"TIME", "DATETIME", t::Time, "12:34:56", "N'12:34:56',"},
        LiteralCase{"TIME with fraction", "DATETIME", t::Time, "12:34:56.5", "N'12:34:56.5',"},
        LiteralCase{"TIME beyond a day", "DATETIME", t::Time, "123:45:06",
                    "N'1900-01-06T03:45:06',"},
        LiteralCase{"negative TIME", "DATETIME", t::Time, "-838:59:59",
                    "N'1899-11-27T01:00:01',"},
        LiteralCase{"negative TIME with fraction", "DATETIME", t::Time, "-00:00:01.500",
                    "N'1899-12-31T23:59:58.500',"},
        LiteralCase{"YEAR", "SMALLDATETIME", t::Year, "2004", "N'20040101',"},
        LiteralCase{"YEAR 0000", "SMALLDATETIME", t::Year, "0000", "NULL,"},
        LiteralCase{"date without value", "DATETIME", t::DateTime, none, "NULL,"},
        LiteralCase{"unknown date text goes as text", "DATETIME", t::DateTime, "soon",
                    "N'soon',"}));

TEST(DoubleQuotes, DoublesEveryQuote) {
  EXPECT_EQ(DoubleQuotes("O'Brien"), "O''Brien");
  EXPECT_EQ(DoubleQuotes("''"), "''''");
  EXPECT_EQ(DoubleQuotes("plain"), "plain");
  EXPECT_EQ(DoubleQuotes(""), "");
}

}  // namespace
}  // namespace morvane
