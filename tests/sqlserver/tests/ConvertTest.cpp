// Conversion rules that need no server: dates under each setting, roundings, ranges.

#include "tests/sqlserver/server/Convert.h"

#include <gtest/gtest.h>

#include "tests/sqlserver/server/Collation.h"
#include "tests/sqlserver/server/SqlError.h"

namespace morvane::tds {
namespace {

struct DateCase {
  const char* text;
  const char* order;
  bool small;
  const char* expected;  // DisplayValue, or nullptr for an error
  int error;
};

void PrintTo(const DateCase& c, std::ostream* os) { *os << c.text << " (" << c.order << ")"; }

class Dates : public ::testing::TestWithParam<DateCase> {};

TEST_P(Dates, ReadAsSqlServerReadsThem) {
  const DateCase& c = GetParam();
  DateSettings settings{c.order};
  if (c.expected) {
    Value v = ParseDateTime(c.text, c.small, settings, "varchar");
    EXPECT_EQ(DisplayValue(v), c.expected) << c.text;
  } else {
    try {
      ParseDateTime(c.text, c.small, settings, "varchar");
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const SqlError& e) {
      EXPECT_EQ(e.Message().number, c.error) << c.text;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Dates,
    ::testing::Values(
        DateCase{"2004-05-06T12:34:56.123", "mdy", false, "2004-05-06 12:34:56.123", 0},
        DateCase{"2004-05-06T12:34:56.123", "dmy", false, "2004-05-06 12:34:56.123", 0},
        DateCase{"20040506", "dmy", false, "2004-05-06 00:00:00.000", 0},
        DateCase{"20040506 12:34", "ydm", false, "2004-05-06 12:34:00.000", 0},
        DateCase{"2004-05-06 12:34:56", "mdy", false, "2004-05-06 12:34:56.000", 0},
        DateCase{"2004-05-06 12:34:56", "ymd", false, "2004-05-06 12:34:56.000", 0},
        DateCase{"2004-05-06 12:34:56", "dmy", false, "2004-06-05 12:34:56.000", 0},
        DateCase{"2004-05-06", "ydm", false, "2004-06-05 00:00:00.000", 0},
        DateCase{"05/06/2004", "mdy", false, "2004-05-06 00:00:00.000", 0},
        DateCase{"05/06/2004", "dmy", false, "2004-06-05 00:00:00.000", 0},
        DateCase{"2004-05-06 01:02:03 PM", "mdy", false, "2004-05-06 13:02:03.000", 0},
        DateCase{"1753-01-01", "mdy", false, "1753-01-01 00:00:00.000", 0},
        DateCase{"9999-12-31T23:59:59.997", "mdy", false, "9999-12-31 23:59:59.997", 0},
        DateCase{"9999-12-31T23:59:59.999", "mdy", false, nullptr, 242},
        DateCase{"2004-05-06T12:34:56.001", "mdy", false, "2004-05-06 12:34:56.000", 0},
        DateCase{"2004-05-06T12:34:56.002", "mdy", false, "2004-05-06 12:34:56.003", 0},
        DateCase{"2004-05-06T12:34:56.005", "mdy", false, "2004-05-06 12:34:56.007", 0},
        DateCase{"2004-05-06T12:34:56.009", "mdy", false, "2004-05-06 12:34:56.010", 0},
        DateCase{"2004-02-29", "mdy", false, "2004-02-29 00:00:00.000", 0},
        DateCase{"2100-02-29", "mdy", false, nullptr, 242},
        DateCase{"2004-05-06 25:00", "mdy", false, nullptr, 242},
        DateCase{"2004-05-06T", "mdy", false, nullptr, 241},
        DateCase{"May 6 2004", "mdy", false, nullptr, 241},
        DateCase{"2079-06-06 23:59:29.998", "mdy", true, "2079-06-06 23:59:00.000", 0},
        DateCase{"2079-06-06 23:59:30", "mdy", true, nullptr, 242},
        DateCase{"1900-01-01", "mdy", true, "1900-01-01 00:00:00.000", 0},
        DateCase{"12:34:29.999", "mdy", true, "1900-01-01 12:35:00.000", 0}));

TEST(Conversion, RealKeepsA24BitMantissa) {
  Literal l{Literal::Kind::Integer, "16777217", {}, false};
  Value v = ConvertLiteral(l, ColumnType{Kind::Real, 0, 0, 0}, DateSettings{});
  EXPECT_EQ(std::get<double>(v), 16777216.0);
  Value f = ConvertLiteral(l, ColumnType{Kind::Float, 0, 0, 0}, DateSettings{});
  EXPECT_EQ(std::get<double>(f), 16777217.0);
}

TEST(Conversion, DecimalRoundsHalfAwayFromZero) {
  ColumnType type{Kind::Decimal, 0, 5, 1};
  for (auto [text, expected] : {std::pair{"1.25", "1.3"}, {"-1.25", "-1.3"}, {"1.24", "1.2"}, {"9999.94", "9999.9"}}) {
    Literal l{Literal::Kind::Decimal, text, {}, false};
    EXPECT_EQ(DisplayValue(ConvertLiteral(l, type, DateSettings{})), expected) << text;
  }
  Literal over{Literal::Kind::Decimal, "9999.95", {}, false};
  EXPECT_THROW(ConvertLiteral(over, type, DateSettings{}), SqlError);
}

TEST(Conversion, KeysIgnoreCaseAndTrailingBlanks) {
  EXPECT_EQ(KeyOf(Value(std::string("Größe  "))), KeyOf(Value(std::string("GRÖßE"))));
  EXPECT_NE(KeyOf(Value(std::string("Größe"))), KeyOf(Value(std::string("Grosse"))));
  EXPECT_EQ(CompareValues(std::string("abc  "), std::string("ABC")), 0);
  EXPECT_LT(CompareValues(std::string("abc"), std::string("ABD")), 0);
  EXPECT_LT(CompareValues(Value{}, std::int64_t{0}), 0);
}

// DATE, TIME and DATETIME2 from strings: the column's kind and scale, the text back.
struct Date2Case {
  const char* text;
  Kind kind;
  int scale;
  const char* order;
  const char* expected;  // Date2Text, or nullptr for an error
  int error;
};

void PrintTo(const Date2Case& c, std::ostream* os) { *os << c.text << " (" << c.order << ", " << c.scale << ")"; }

class Dates2 : public ::testing::TestWithParam<Date2Case> {};

TEST_P(Dates2, ReadAsSqlServerReadsThem) {
  const Date2Case& c = GetParam();
  DateSettings settings{c.order};
  ColumnType type(c.kind, 0, 0, c.scale);
  if (c.expected) {
    EXPECT_EQ(Date2Text(c.kind, c.scale, ParseDate2(c.text, type, settings)), c.expected);
  } else {
    try {
      ParseDate2(c.text, type, settings);
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const SqlError& e) {
      EXPECT_EQ(e.Message().number, c.error);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Dates2,
    ::testing::Values(
        Date2Case{"2024-03-04 05:06:07.1234567", Kind::DateTime2, 7, "dmy", "2024-03-04 05:06:07.1234567", 0},
        Date2Case{"2024-03-04", Kind::Date, 0, "ydm", "2024-03-04", 0},
        Date2Case{"04/03/2024", Kind::Date, 0, "dmy", "2024-03-04", 0},
        Date2Case{"03/04/2024", Kind::Date, 0, "mdy", "2024-03-04", 0},
        Date2Case{"2024-12-31 23:59:59.99999995", Kind::DateTime2, 7, "mdy", nullptr, 241},
        Date2Case{"2024-12-31 23:59:59.96", Kind::DateTime2, 1, "mdy", "2025-01-01 00:00:00.0", 0},
        Date2Case{"9999-12-31 23:59:59.6", Kind::DateTime2, 0, "mdy", nullptr, 242},
        Date2Case{"23:59:59.6", Kind::Time, 0, "mdy", nullptr, 242},
        Date2Case{"23:59:59.9999999", Kind::Time, 7, "mdy", "23:59:59.9999999", 0},
        Date2Case{"1:02 PM", Kind::Time, 0, "mdy", "13:02:00", 0},
        Date2Case{"0001-01-01", Kind::DateTime2, 3, "mdy", "0001-01-01 00:00:00.000", 0},
        Date2Case{"2023-02-29", Kind::Date, 0, "mdy", nullptr, 241},
        Date2Case{"2024-13-01", Kind::Date, 0, "mdy", nullptr, 241}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

// The comparison keys of the collations: equal keys are equal texts.
TEST(CollationKeys, FollowEachCollation) {
  const std::string ci = "Latin1_General_100_CI_AS_SC", cs = "Latin1_General_100_CS_AS_SC",
                    bin = "Latin1_General_100_BIN2", sql = kDefaultCollation;
  auto same = [](const std::string& a, const std::string& b, const std::string& c) {
    return CollationKey(a, c) == CollationKey(b, c);
  };
  EXPECT_TRUE(same("ΣΊΣΥΦΟΣ", "σίσυφος", ci));
  EXPECT_TRUE(same("ς", "σ", ci));
  EXPECT_FALSE(same("ΣΊΣΥΦΟΣ", "σίσυφος", cs));
  EXPECT_TRUE(same("abc  ", "abc", bin));
  EXPECT_FALSE(same(" abc", "abc", ci));
  EXPECT_TRUE(same(std::string("a\0b", 3), "ab", sql));
  EXPECT_FALSE(same(std::string("a\0b", 3), "ab", bin));
  EXPECT_TRUE(same("a😀", "a", sql));
  EXPECT_FALSE(same("a😀", "a", ci));
  EXPECT_TRUE(same("Straße", "STRASSE", ci));
  EXPECT_FALSE(same("é", "e", ci));
  EXPECT_TRUE(same("ｗｉｄｅ", "wide", cs));
  EXPECT_FALSE(same("Wide", "wide", cs));
  EXPECT_TRUE(NamesEqual("Жук", "ЖУК", sql));
  EXPECT_TRUE(FindCollation("latin1_general_100_bin2").has_value());
  EXPECT_FALSE(FindCollation("Finnish_Swedish_CI_AS").has_value());
}

}  // namespace
}  // namespace morvane::tds
