#include <gtest/gtest.h>

#include "engine/ColumnType.h"
#include "source/FieldRecord.h"

namespace morvane {
namespace {

namespace t = mysql_type;
constexpr std::uint32_t U = mysql_flag::Unsigned;
constexpr int Utf8mb4 = 45;
constexpr int Latin1 = 8;
constexpr int Binary = BinaryCharset;

struct Case {
  const char* what;
  int type;
  std::uint32_t length;
  std::uint32_t decimals;
  int charsetnr;
  std::uint32_t flags;
  const char* expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

class ColumnTypeCase : public testing::TestWithParam<Case> {};

TEST_P(ColumnTypeCase, Maps) {
  const Case& c = GetParam();
  EXPECT_EQ(GetColumnType(c.type, c.length, c.decimals, c.charsetnr, c.flags), c.expected)
      << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Integers, ColumnTypeCase,
    testing::Values(
        // SQL Server's TINYINT is 0..255: only an unsigned TINYINT fits it.
        Case{"TINYINT signed", t::Tiny, 4, 0, Binary, 0, "SMALLINT"},
        Case{"TINYINT unsigned", t::Tiny, 3, 0, Binary, U, "TINYINT"},
        Case{"TINYINT(1) unsigned, any length", t::Tiny, 1, 0, Binary, U, "TINYINT"},
        Case{"SMALLINT signed", t::Short, 6, 0, Binary, 0, "SMALLINT"},
        Case{"SMALLINT unsigned", t::Short, 5, 0, Binary, U, "INT"},
        Case{"MEDIUMINT signed", t::Int24, 9, 0, Binary, 0, "INT"},
        Case{"MEDIUMINT unsigned", t::Int24, 8, 0, Binary, U, "INT"},
        Case{"INT signed", t::Long, 11, 0, Binary, 0, "INT"},
        Case{"INT unsigned", t::Long, 10, 0, Binary, U, "BIGINT"},
        Case{"BIGINT signed", t::LongLong, 20, 0, Binary, 0, "BIGINT"},
        Case{"BIGINT unsigned", t::LongLong, 20, 0, Binary, U, "DECIMAL(20, 0)"}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, ColumnTypeCase,
    testing::Values(
        Case{"FLOAT holds every MySQL FLOAT in four bytes", t::Float, 12, 31, Binary, 0, "REAL"},
        Case{"DOUBLE keeps its 15 digits", t::Double, 22, 31, Binary, 0, "FLOAT"},
        // length = M + 1 for the point (D > 0) + 1 for the sign (signed)
        Case{"DECIMAL(10,2)", t::NewDecimal, 12, 2, Binary, 0, "DECIMAL(10, 2)"},
        Case{"DECIMAL(10,2) unsigned", t::NewDecimal, 11, 2, Binary, U, "DECIMAL(10, 2)"},
        Case{"DECIMAL(10,4)", t::NewDecimal, 12, 4, Binary, 0, "DECIMAL(10, 4)"},
        Case{"DECIMAL(5,4)", t::NewDecimal, 7, 4, Binary, 0, "DECIMAL(5, 4)"},
        Case{"DECIMAL(5,4) unsigned", t::NewDecimal, 6, 4, Binary, U, "DECIMAL(5, 4)"},
        Case{"DECIMAL(5,0)", t::NewDecimal, 6, 0, Binary, 0, "DECIMAL(5, 0)"},
        Case{"DECIMAL(11,0) unsigned", t::NewDecimal, 11, 0, Binary, U, "DECIMAL(11, 0)"},
        Case{"old DECIMAL code", t::Decimal, 12, 2, Binary, 0, "DECIMAL(10, 2)"},
        Case{"DECIMAL(38,0) as declared", t::NewDecimal, 39, 0, Binary, 0, "DECIMAL(38, 0)"},
        Case{"DECIMAL(38,38) as declared", t::NewDecimal, 40, 38, Binary, 0, "DECIMAL(38, 38)"},
        Case{"DECIMAL(65,30) of an empty column", t::NewDecimal, 67, 30, Binary, 0,
             "DECIMAL(38, 30)"},
        Case{"BIT(1)", t::Bit, 1, 0, Binary, U, "BIT"},
        Case{"BIT(8)", t::Bit, 8, 0, Binary, U, "BIGINT"},
        Case{"BIT(63)", t::Bit, 63, 0, Binary, U, "BIGINT"},
        Case{"BIT(64)", t::Bit, 64, 0, Binary, U, "DECIMAL(20, 0)"}));

INSTANTIATE_TEST_SUITE_P(
    Characters, ColumnTypeCase,
    testing::Values(
        // The client reports lengths in bytes of the connection's charset (4 per utf8mb4 char).
        Case{"VARCHAR(40) utf8mb4, room for 40 emoji", t::VarString, 160, 0, Utf8mb4, 0, "NVARCHAR(80)"},
        Case{"VARCHAR(64) utf8mb4 stays sized", t::VarString, 256, 0, Utf8mb4, 0,
             "NVARCHAR(128)"},
        Case{"VARCHAR(254)", t::VarString, 1016, 0, Utf8mb4, 0, "NVARCHAR(508)"},
        Case{"VARCHAR(255) is sized too", t::VarString, 1020, 0, Utf8mb4, 0, "NVARCHAR(510)"},
        Case{"VARCHAR(2000) utf8mb4: 4000 units", t::VarString, 8000, 0, Utf8mb4, 0,
             "NVARCHAR(4000)"},
        Case{"VARCHAR(2001) utf8mb4: beyond 4000 units", t::VarString, 8004, 0, Utf8mb4, 0,
             "NVARCHAR(MAX)"},
        Case{"VARCHAR(4000) latin1 connection", t::VarString, 4000, 0, Latin1, 0, "NVARCHAR(4000)"},
        Case{"VARCHAR(70000 bytes)", t::VarString, 70000, 0, Latin1, 0, "NVARCHAR(MAX)"},
        Case{"VARCHAR code 15 as 253", t::VarChar, 160, 0, Utf8mb4, 0, "NVARCHAR(80)"},
        Case{"CHAR(2) utf8mb4 keeps its declared width", t::String, 8, 0, Utf8mb4, 0, "NCHAR(2)"},
        Case{"CHAR(10) utf8mb4", t::String, 40, 0, Utf8mb4, 0, "NCHAR(10)"},
        Case{"CHAR(10) latin1 connection", t::String, 10, 0, Latin1, 0, "NCHAR(10)"},
        Case{"CHAR(254) latin1", t::String, 254, 0, Latin1, 0, "NCHAR(254)"},
        Case{"CHAR(255) utf8mb4", t::String, 1020, 0, Utf8mb4, 0, "NCHAR(255)"},
        Case{"CHAR(0) gets one character", t::String, 0, 0, Utf8mb4, 0, "NCHAR(1)"},
        Case{"CHAR(0) latin1 connection", t::String, 0, 0, Latin1, 0, "NCHAR(1)"},
        Case{"utf8mb3 counts three bytes, no emoji", t::VarString, 120, 0, 33, 0, "NVARCHAR(40)"},
        Case{"ucs2 counts two bytes", t::VarString, 80, 0, 35, 0, "NVARCHAR(40)"},
        Case{"unknown charset is never narrower", t::VarString, 40, 0, 9999, 0,
             "NVARCHAR(40)"},
        Case{"BINARY(16)", t::String, 16, 0, Binary, 0, "BINARY(16)"},
        Case{"BINARY(0)", t::String, 0, 0, Binary, 0, "BINARY(1)"},
        Case{"VARBINARY(254)", t::VarString, 254, 0, Binary, 0, "VARBINARY(254)"},
        Case{"BINARY(255)", t::String, 255, 0, Binary, 0, "BINARY(255)"},
        Case{"VARBINARY(255)", t::VarString, 255, 0, Binary, 0, "VARBINARY(255)"},
        Case{"VARBINARY(8000)", t::VarString, 8000, 0, Binary, 0, "VARBINARY(8000)"},
        Case{"VARBINARY(8001)", t::VarString, 8001, 0, Binary, 0, "VARBINARY(MAX)"},
        Case{"TEXT reports the connection charset", t::Blob, 262140, 0, Utf8mb4, 0,
             "NVARCHAR(MAX)"},
        Case{"TEXT with charset 8", t::Blob, 65535, 0, Latin1, 0, "NVARCHAR(MAX)"},
        Case{"TEXT with charset 64", t::Blob, 65535, 0, 64, 0, "NVARCHAR(MAX)"},
        Case{"BLOB", t::Blob, 65535, 0, Binary, 0, "VARBINARY(MAX)"},
        Case{"TINYBLOB code", t::TinyBlob, 255, 0, Binary, 0, "VARBINARY(MAX)"},
        Case{"MEDIUMBLOB code", t::MediumBlob, 16777215, 0, Binary, 0, "VARBINARY(MAX)"},
        Case{"LONGBLOB code", t::LongBlob, 4294967295u, 0, Binary, 0, "VARBINARY(MAX)"},
        Case{"TINYTEXT code", t::TinyBlob, 1020, 0, Utf8mb4, 0, "NVARCHAR(MAX)"},
        Case{"JSON", t::Json, 4294967295u, 0, Utf8mb4, 0, "NVARCHAR(MAX)"}));

INSTANTIATE_TEST_SUITE_P(
    DatesAndOthers, ColumnTypeCase,
    testing::Values(
        Case{"DATETIME", t::DateTime, 19, 0, Binary, 0, "DATETIME2(0)"},
        Case{"DATETIME(6)", t::DateTime, 26, 6, Binary, 0, "DATETIME2(6)"},
        Case{"DATETIME(3)", t::DateTime, 23, 3, Binary, 0, "DATETIME2(3)"},
        Case{"TIMESTAMP is not a row version", t::Timestamp, 19, 0, Binary, 0, "DATETIME2(0)"},
        Case{"TIMESTAMP(6)", t::Timestamp, 26, 6, Binary, 0, "DATETIME2(6)"},
        Case{"DATE keeps every day", t::Date, 10, 0, Binary, 0, "DATE"},
        Case{"TIME within a day", t::Time, 10, 0, Binary, 0, "TIME(0)"},
        Case{"TIME(6) within a day", t::Time, 17, 6, Binary, 0, "TIME(6)"},
        Case{"YEAR as a number", t::Year, 4, 0, Binary, U, "SMALLINT"},
        Case{"NULL", t::Null, 0, 0, Binary, 0, "NULL"},
        Case{"NEWDATE", t::NewDate, 10, 0, Binary, 0, ""},
        Case{"GEOMETRY keeps MySQL's bytes", t::Geometry, 4294967295u, 0, Binary, 0,
             "VARBINARY(MAX)"},
        Case{"unknown code", 100, 10, 0, Binary, 0, ""}));

// What the per-column query tells decides the rest.
struct ProfiledCase {
  const char* what;
  FieldRecord field;
  ColumnProfile profile;
  const char* expected;
};

void PrintTo(const ProfiledCase& c, std::ostream* os) { *os << c.what; }

class ProfiledColumnType : public testing::TestWithParam<ProfiledCase> {};

TEST_P(ProfiledColumnType, Maps) {
  const ProfiledCase& c = GetParam();
  EXPECT_EQ(GetColumnType(c.field, c.profile), c.expected) << c.what;
}

FieldRecord F(int type, std::uint32_t length, std::uint32_t decimals, int charsetnr,
              std::uint32_t flags) {
  return FieldRecord{"c", type, length, decimals, charsetnr, flags};
}

ColumnProfile Longest(std::uint32_t units) { return {.longestValue = units}; }
ColumnProfile Digits(std::uint32_t integer, std::uint32_t fraction) {
  return {.integerDigits = integer, .fractionDigits = fraction};
}
constexpr std::uint32_t EnumFlag = mysql_flag::Enum;
constexpr std::uint32_t SetFlag = mysql_flag::Set;

INSTANTIATE_TEST_SUITE_P(
    FromTheData, ProfiledColumnType,
    testing::Values(
        ProfiledCase{"ENUM: its longest value, no padding", F(t::String, 32, 0, Utf8mb4, EnumFlag),
                     Longest(8), "NVARCHAR(8)"},
        ProfiledCase{"ENUM of empty values", F(t::String, 0, 0, Utf8mb4, EnumFlag), Longest(0),
                     "NVARCHAR(1)"},
        ProfiledCase{"SET: every member joined", F(t::String, 60, 0, Utf8mb4, SetFlag),
                     Longest(15), "NVARCHAR(15)"},
        ProfiledCase{"ENUM code", F(t::Enum, 4, 0, Utf8mb4, 0), Longest(3), "NVARCHAR(3)"},
        ProfiledCase{"SET beyond 4000 units", F(t::String, 40000, 0, Utf8mb4, SetFlag),
                     Longest(4001), "NVARCHAR(MAX)"},
        ProfiledCase{"TIME(6) beyond one day", F(t::Time, 17, 6, Binary, 0),
                     {.timeBeyondDay = true}, "DATETIME2(6)"},
        ProfiledCase{"TIME beyond one day", F(t::Time, 10, 0, Binary, 0), {.timeBeyondDay = true},
                     "DATETIME2(0)"},
        ProfiledCase{"DECIMAL(65,30) whose values fit 38 digits", F(t::NewDecimal, 67, 30, Binary, 0),
                     Digits(8, 5), "DECIMAL(38, 30)"},
        // Values needing more than 38 digits keep their exact text: sign, digits and point.
        ProfiledCase{"DECIMAL(65,30) with 10 integer and 30 fraction digits",
                     F(t::NewDecimal, 67, 30, Binary, 0), Digits(10, 30), "NVARCHAR(67)"},
        ProfiledCase{"DECIMAL(65,30) with 10 integer and 28 fraction digits",
                     F(t::NewDecimal, 67, 30, Binary, 0), Digits(10, 28), "DECIMAL(38, 28)"},
        ProfiledCase{"DECIMAL(65,0) with 38 integer digits", F(t::NewDecimal, 66, 0, Binary, 0),
                     Digits(38, 0), "DECIMAL(38, 0)"},
        ProfiledCase{"DECIMAL(65,30) with 40 integer digits", F(t::NewDecimal, 67, 30, Binary, 0),
                     Digits(40, 2), "NVARCHAR(67)"},
        ProfiledCase{"DECIMAL(60,10) unsigned", F(t::NewDecimal, 61, 10, Binary, U), Digits(30, 10),
                     "NVARCHAR(61)"},
        ProfiledCase{"DECIMAL(60,10) unsigned within 38 digits", F(t::NewDecimal, 61, 10, Binary, U),
                     Digits(30, 8), "DECIMAL(38, 8)"},
        ProfiledCase{"DECIMAL(38,10) ignores the data", F(t::NewDecimal, 40, 10, Binary, 0),
                     Digits(30, 10), "DECIMAL(38, 10)"},
        // A TIMESTAMP keeps its wall time while that is exact; two instants of one wall time
        // (the repeated hour of a daylight-saving change) need each value's offset.
        ProfiledCase{"TIMESTAMP with exact wall times", F(t::Timestamp, 19, 0, Binary, 0),
                     {.zeroDates = 2}, "DATETIME2(0)"},
        ProfiledCase{"TIMESTAMP with a repeated wall time", F(t::Timestamp, 19, 0, Binary, 0),
                     {.repeatedWallTimes = 1}, "DATETIMEOFFSET(0)"},
        ProfiledCase{"TIMESTAMP(6) with a repeated wall time", F(t::Timestamp, 26, 6, Binary, 0),
                     {.repeatedWallTimes = 3}, "DATETIMEOFFSET(6)"},
        ProfiledCase{"DATETIME has no instant", F(t::DateTime, 19, 0, Binary, 0),
                     {.repeatedWallTimes = 1}, "DATETIME2(0)"}));

TEST(ProfileQuery, OnlyWhereTheFieldRecordCannotTell) {
  EXPECT_EQ(ProfileQueryOf(F(t::String, 32, 0, Utf8mb4, EnumFlag)), ProfileQuery::EnumValues);
  EXPECT_EQ(ProfileQueryOf(F(t::String, 32, 0, Utf8mb4, SetFlag)), ProfileQuery::SetValues);
  EXPECT_EQ(ProfileQueryOf(F(t::Time, 10, 0, Binary, 0)), ProfileQuery::TimeRange);
  EXPECT_EQ(ProfileQueryOf(F(t::NewDecimal, 67, 30, Binary, 0)), ProfileQuery::DecimalDigits);
  EXPECT_EQ(ProfileQueryOf(F(t::NewDecimal, 40, 38, Binary, 0)), ProfileQuery::NoQuery);
  EXPECT_EQ(ProfileQueryOf(F(t::Date, 10, 0, Binary, 0)), ProfileQuery::ZeroDates);
  EXPECT_EQ(ProfileQueryOf(F(t::DateTime, 26, 6, Binary, 0)), ProfileQuery::ZeroDates);
  EXPECT_EQ(ProfileQueryOf(F(t::Timestamp, 19, 0, Binary, 0)), ProfileQuery::ZeroDates);
  EXPECT_EQ(ProfileQueryOf(F(t::String, 8, 0, Utf8mb4, 0)), ProfileQuery::NoQuery);
  EXPECT_EQ(ProfileQueryOf(F(t::Year, 4, 0, Binary, U)), ProfileQuery::NoQuery);
}

TEST(MaxBytesPerCharacter, KnowsTheCommonCharsets) {
  EXPECT_EQ(MaxBytesPerCharacter(45), 4u);   // utf8mb4_general_ci
  EXPECT_EQ(MaxBytesPerCharacter(46), 4u);   // utf8mb4_bin
  EXPECT_EQ(MaxBytesPerCharacter(224), 4u);  // utf8mb4_unicode_ci
  EXPECT_EQ(MaxBytesPerCharacter(255), 4u);  // utf8mb4_0900_ai_ci
  EXPECT_EQ(MaxBytesPerCharacter(33), 3u);   // utf8mb3_general_ci
  EXPECT_EQ(MaxBytesPerCharacter(35), 2u);   // ucs2
  EXPECT_EQ(MaxBytesPerCharacter(8), 1u);    // latin1
  EXPECT_EQ(MaxBytesPerCharacter(63), 1u);   // binary
}

}  // namespace
}  // namespace morvane
