// DATETIMEOFFSET without a server: its strings, offsets and ranges, its conversions to and from
// the other date and time types and text, and its comparison by the instant.

#include <gtest/gtest.h>

#include "tests/sqlserver/server/Convert.h"
#include "tests/sqlserver/server/SqlError.h"

namespace morvane::tds {
namespace {

struct OffsetCase {
  const char* text;
  int scale;
  const char* expected;  // DateTimeOffsetText, or nullptr for an error
  int error;
};

void PrintTo(const OffsetCase& c, std::ostream* os) { *os << c.text << " (" << c.scale << ")"; }

class Offsets : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(Offsets, ReadAsThePageWritesThem) {
  const OffsetCase& c = GetParam();
  if (c.expected) {
    EXPECT_EQ(DateTimeOffsetText(c.scale, ParseDateTimeOffset(c.text, c.scale, DateSettings{})), c.expected);
  } else {
    try {
      ParseDateTimeOffset(c.text, c.scale, DateSettings{});
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const SqlError& e) {
      EXPECT_EQ(e.Message().number, c.error) << c.text;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Offsets,
    ::testing::Values(
        OffsetCase{"2024-10-27 02:30:00 +02:00", 7, "2024-10-27 02:30:00.0000000 +02:00", 0},
        OffsetCase{"2007-05-08 12:35:29.1234567 +12:15", 7, "2007-05-08 12:35:29.1234567 +12:15", 0},
        OffsetCase{"2024-10-27T02:30:00.5-05:30", 3, "2024-10-27 02:30:00.500 -05:30", 0},
        OffsetCase{"2024-10-27T02:30:00Z", 0, "2024-10-27 02:30:00 +00:00", 0},
        OffsetCase{"2024-10-27 02:30:00", 0, "2024-10-27 02:30:00 +00:00", 0},      // no offset: +00:00
        OffsetCase{"2024-10-27 02:30:00 +14:00", 0, "2024-10-27 02:30:00 +14:00", 0},
        OffsetCase{"2024-10-27 02:30:00 -14:00", 0, "2024-10-27 02:30:00 -14:00", 0},
        OffsetCase{"2024-10-27 02:30:00 +14:01", 0, nullptr, 241},
        OffsetCase{"2024-10-27 02:30:00 -15:00", 0, nullptr, 241},
        OffsetCase{"2024-10-27 02:30:00 +2:00", 0, nullptr, 241},
        OffsetCase{"2024-10-27 02:30:00 +02:60", 0, nullptr, 241},
        OffsetCase{"2024-02-30 02:30:00 +01:00", 0, nullptr, 241},
        OffsetCase{"2024-12-31 23:59:59.9999999 +01:00", 0, "2025-01-01 00:00:00 +01:00", 0},
        OffsetCase{"0001-01-01 00:00:00 -01:00", 0, "0001-01-01 00:00:00 -01:00", 0},
        // The instant in UTC leaves 0001-01-01..9999-12-31.
        OffsetCase{"0001-01-01 00:00:00 +01:00", 0, nullptr, 242},
        OffsetCase{"9999-12-31 23:30:00 -01:00", 0, nullptr, 242}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

TEST(Offsets, CompareByTheInstant) {
  const DateSettings dates;
  const Value a = ParseDateTimeOffset("2024-10-27 02:30:00 +02:00", 7, dates);
  const Value b = ParseDateTimeOffset("2024-10-27 01:30:00 +01:00", 7, dates);
  const Value c = ParseDateTimeOffset("2024-10-27 02:30:00 +01:00", 7, dates);
  EXPECT_EQ(CompareValues(a, b), 0);
  EXPECT_EQ(KeyOf(a), KeyOf(b));
  EXPECT_LT(CompareValues(a, c), 0);
  EXPECT_NE(KeyOf(a), KeyOf(c));
}

TEST(Offsets, OtherDateTypesDropTheOffsetOfAString) {
  // The page's example: the same string cast to time(7), date and datetime2(7).
  const char* text = "2007-05-08 12:35:29.1234567 +12:15";
  const DateSettings dates;
  EXPECT_EQ(Date2Text(Kind::Time, 7, ParseDate2(text, ColumnType(Kind::Time, 0, 0, 7), dates)), "12:35:29.1234567");
  EXPECT_EQ(Date2Text(Kind::Date, 0, ParseDate2(text, ColumnType(Kind::Date), dates)), "2007-05-08");
  EXPECT_EQ(Date2Text(Kind::DateTime2, 7, ParseDate2(text, ColumnType(Kind::DateTime2, 0, 0, 7), dates)),
            "2007-05-08 12:35:29.1234567");
}

struct DateConversionCase {
  const char* name;
  ColumnType from;
  const char* text;  // the source value, as a string of its type
  ColumnType to;
  const char* expected;  // Shown() of the result, or nullptr for an error
  int error;
};

void PrintTo(const DateConversionCase& c, std::ostream* os) { *os << c.name; }

class DateConversions : public ::testing::TestWithParam<DateConversionCase> {};

// A date and time value as SQL Server writes it for its type.
std::string Shown(const Value& v, const ColumnType& type) {
  if (const auto* d = std::get_if<Date2Value>(&v)) return Date2Text(type.kind, type.scale, *d);
  if (const auto* o = std::get_if<DateTimeOffsetValue>(&v)) return DateTimeOffsetText(type.scale, *o);
  return DisplayValue(v);
}

TEST_P(DateConversions, FollowThePage) {
  const DateConversionCase& c = GetParam();
  const DateSettings dates;
  const Value source = ConvertDateValue(Value(std::string(c.text)), ColumnType(Kind::NVarChar, 40), c.from, dates);
  if (c.expected) {
    EXPECT_EQ(Shown(ConvertDateValue(source, c.from, c.to, dates), c.to), c.expected);
  } else {
    try {
      ConvertDateValue(source, c.from, c.to, dates);
      ADD_FAILURE() << "converted";
    } catch (const SqlError& e) {
      EXPECT_EQ(e.Message().number, c.error);
    }
  }
}

const ColumnType kOffset7(Kind::DateTimeOffset, 0, 0, 7);
const char* kInstant = "2024-10-27 02:30:00.1234567 +02:00";

INSTANTIATE_TEST_SUITE_P(
    Table, DateConversions,
    ::testing::Values(
        // From DATETIMEOFFSET: the local date and time, without the offset.
        DateConversionCase{"ToDateTime2", kOffset7, kInstant, ColumnType(Kind::DateTime2, 0, 0, 7),
                           "2024-10-27 02:30:00.1234567", 0},
        DateConversionCase{"ToDate", kOffset7, kInstant, ColumnType(Kind::Date), "2024-10-27", 0},
        DateConversionCase{"ToTime", kOffset7, kInstant, ColumnType(Kind::Time, 0, 0, 7), "02:30:00.1234567", 0},
        DateConversionCase{"ToDateTime", kOffset7, kInstant, ColumnType(Kind::DateTime), "2024-10-27 02:30:00.123", 0},
        DateConversionCase{"ToSmallDateTime", kOffset7, kInstant, ColumnType(Kind::SmallDateTime),
                           "2024-10-27 02:30:00.000", 0},
        DateConversionCase{"ToText", kOffset7, kInstant, ColumnType(Kind::NVarChar, 40),
                           "2024-10-27 02:30:00.1234567 +02:00", 0},
        DateConversionCase{"ToShortText", kOffset7, kInstant, ColumnType(Kind::NVarChar, 10), nullptr, 50000},
        DateConversionCase{"ToFewerDigits", kOffset7, kInstant, ColumnType(Kind::DateTimeOffset, 0, 0, 0),
                           "2024-10-27 02:30:00 +02:00", 0},
        // To DATETIMEOFFSET: +00:00.
        DateConversionCase{"FromDateTime2", ColumnType(Kind::DateTime2, 0, 0, 7), "2024-10-27 02:30:00.1234567",
                           kOffset7, "2024-10-27 02:30:00.1234567 +00:00", 0},
        DateConversionCase{"FromDate", ColumnType(Kind::Date), "2024-10-27", ColumnType(Kind::DateTimeOffset, 0, 0, 0),
                           "2024-10-27 00:00:00 +00:00", 0},
        DateConversionCase{"FromTime", ColumnType(Kind::Time, 0, 0, 7), "12:34:56.5", ColumnType(Kind::DateTimeOffset, 0, 0, 3),
                           "1900-01-01 12:34:56.500 +00:00", 0},
        DateConversionCase{"FromDateTime", ColumnType(Kind::DateTime), "2024-10-27 02:30:00.123", kOffset7,
                           "2024-10-27 02:30:00.1233333 +00:00", 0},
        DateConversionCase{"RoundedPastMidnight", ColumnType(Kind::DateTime2, 0, 0, 7), "2024-12-31 23:59:59.9999999",
                           ColumnType(Kind::DateTimeOffset, 0, 0, 0), "2025-01-01 00:00:00 +00:00", 0}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace morvane::tds
