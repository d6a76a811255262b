// DATETIMEOFFSET(n) through clients: values read back typed through the FreeTDS ODBC driver
// (date, time and offset), the documented errors, keys by the instant, the catalogue views and
// the text a client before TDS 7.3 gets.

#include <gtest/gtest.h>

#include "tests/sqlserver/tests/DatabaseSuite.h"
#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane::test {
namespace {

struct OffsetCase {
  const char* name;
  std::string type;
  std::string literal;
  std::string expected;  // DateText() of the value read back, or "" when `error` is expected
  long error = 0;
};

void PrintTo(const OffsetCase& c, std::ostream* os) { *os << c.name; }

class Offsets : public DatabaseSuite<OffsetCase, Offsets> {
 public:
  static constexpr const char* kDatabasePrefix = "offsets";
};

TEST_P(Offsets, RoundTripWithTheirOffsets) {
  const OffsetCase& c = GetParam();
  ASSERT_TRUE(client_) << "no connection to the TDS test server";
  const auto [table, r] = InsertIntoNewTable(c.type, c.literal, "");
  EXPECT_EQ(r.FirstError(), c.error) << (r.errors.empty() ? "" : r.errors.front().message);
  if (c.error == 0) {
    auto rows = client_->TypedQuery("SELECT v FROM [" + table + "]");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].kind, OdbcValue::Kind::TimestampOffset) << "SQL type " << rows[0][0].sqlType;
    EXPECT_EQ(rows[0][0].DateText(), c.expected);
  }
  client_->Run("DROP TABLE [" + table + "]");
}

INSTANTIATE_TEST_SUITE_P(
    Table, Offsets,
    ::testing::Values(
        OffsetCase{"Default7", "DATETIMEOFFSET", "'2024-10-27 02:30:00.1234567 +02:00'",
                   "2024-10-27 02:30:00.123456700 +02:00"},
        OffsetCase{"Scale0Rounds", "DATETIMEOFFSET(0)", "'2024-10-27 02:30:00.5 -05:30'",
                   "2024-10-27 02:30:01.000000000 -05:30"},
        OffsetCase{"Scale3", "DATETIMEOFFSET(3)", "N'2024-10-27 02:30:00.12345 +00:00'",
                   "2024-10-27 02:30:00.123000000 +00:00"},
        OffsetCase{"IsoWithZ", "DATETIMEOFFSET(7)", "'2024-10-27T02:30:00Z'", "2024-10-27 02:30:00.000000000 +00:00"},
        OffsetCase{"IsoWithOffset", "DATETIMEOFFSET(7)", "'2024-10-27T02:30:00+05:45'",
                   "2024-10-27 02:30:00.000000000 +05:45"},
        OffsetCase{"WithoutOffset", "DATETIMEOFFSET(7)", "'2024-10-27 02:30:00'", "2024-10-27 02:30:00.000000000 +00:00"},
        OffsetCase{"LargestOffsets", "DATETIMEOFFSET(7)", "'0001-01-01 00:00:00 -14:00'",
                   "0001-01-01 00:00:00.000000000 -14:00"},
        OffsetCase{"Latest", "DATETIMEOFFSET(7)", "'9999-12-31 23:59:59.9999999 +14:00'",
                   "9999-12-31 23:59:59.999999900 +14:00"},
        OffsetCase{"OffsetBeyond14", "DATETIMEOFFSET(7)", "'2024-10-27 02:30:00 +14:30'", "", 241},
        OffsetCase{"NotADate", "DATETIMEOFFSET(7)", "'2024-02-30 02:30:00 +01:00'", "", 241},
        OffsetCase{"InstantBeforeYearOne", "DATETIMEOFFSET(7)", "'0001-01-01 00:00:00 +01:00'", "", 242},
        OffsetCase{"FromANumber", "DATETIMEOFFSET(7)", "20241027", "", 206}),
    [](const auto& param) { return std::string(param.param.name); });

class OffsetRules : public ::testing::Test {
 protected:
  void SetUp() override {
    client_ = std::make_unique<OdbcTestClient>(SqlServer());
    db_ = UniqueName("offsets");
    client_->Run("CREATE DATABASE [" + db_ + "]; USE [" + db_ + "]");
  }
  void TearDown() override { client_->Run("USE master; DROP DATABASE [" + db_ + "]"); }
  std::unique_ptr<OdbcTestClient> client_;
  std::string db_;
};

TEST_F(OffsetRules, KeysCompareTheInstant) {
  client_->Run("CREATE TABLE t (v DATETIMEOFFSET(0) NOT NULL, CONSTRAINT pk_t PRIMARY KEY (v))");
  client_->Run("INSERT INTO t VALUES('2024-10-27 02:30:00 +02:00')");
  // The same instant written with another offset: a duplicate key.
  OdbcResult same = client_->Execute("INSERT INTO t VALUES('2024-10-27 01:30:00 +01:00')");
  ASSERT_EQ(same.FirstError(), 2627);
  EXPECT_NE(same.errors.front().message.find("The duplicate key value is (2024-10-27 01:30:00"), std::string::npos)
      << same.errors.front().message;
  EXPECT_NE(same.errors.front().message.find(" +01:00)."), std::string::npos)
      << same.errors.front().message;
  // The same wall time with another offset is another instant.
  EXPECT_EQ(client_->Execute("INSERT INTO t VALUES('2024-10-27 02:30:00 +01:00')").FirstError(), 0);
  // WHERE compares instants too; each row keeps the offset it was written with.
  EXPECT_EQ(client_->Query("SELECT v FROM t WHERE v = '2024-10-27 00:30:00 +00:00'"),
            (std::vector<OdbcRow>{{"2024-10-27 02:30:00 +02:00"}}));
}

TEST_F(OffsetRules, OtherDateTypesTakeItsTextWithoutTheOffset) {
  client_->Run("CREATE TABLE t (d DATE, t TIME(7), d2 DATETIME2(7))");
  const std::string text = "'2007-05-08 12:35:29.1234567 +12:15'";
  client_->Run("INSERT INTO t VALUES(" + text + ", " + text + ", " + text + ")");
  EXPECT_EQ(client_->Query("SELECT d, t, d2 FROM t"),
            (std::vector<OdbcRow>{{"2007-05-08", "12:35:29.1234567", "2007-05-08 12:35:29.1234567"}}));
}

// DEFAULT SYSDATETIMEOFFSET(), a CHECK and computed columns over a datetimeoffset column: the
// CHECK compares instants, DATEPART and CAST give the local parts, the offset is kept.
TEST_F(OffsetRules, ExpressionsTakeIt) {
  client_->Run("CREATE TABLE t (id INT, o DATETIMEOFFSET(0) CHECK (o < '2030-01-01 00:00 +00:00'), "
               "h AS (DATEPART(hour, o)), z AS (DATEPART(tzoffset, o)) PERSISTED, "
               "d AS (CAST(o AS DATETIME2(0))), s DATETIMEOFFSET(7) DEFAULT SYSDATETIMEOFFSET())");
  client_->Run("INSERT INTO t (id, o) VALUES (1, '2024-05-06 23:30 -05:00')");
  // 2030 on the local clock but 2029-12-31 23:30 UTC: passes; the other way round: 547.
  EXPECT_EQ(client_->Execute("INSERT INTO t (id, o) VALUES (2, '2030-01-01 00:30 +01:00')").FirstError(), 0);
  EXPECT_EQ(client_->Execute("INSERT INTO t (id, o) VALUES (3, '2029-12-31 23:30 -01:00')").FirstError(), 547);
  auto rows = client_->TypedQuery(
      "SELECT h, z, d, DATEPART(tzoffset, s), o, "
      "IIF(s <= SYSDATETIMEOFFSET() AND s > DATEADD(hour, -1, SYSDATETIMEOFFSET()), 1, 0) FROM t ORDER BY id");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0].integer, 23);
  EXPECT_EQ(rows[0][1].integer, -300);
  EXPECT_EQ(rows[0][2].DateText(), "2024-05-06 23:30:00.000000000");
  EXPECT_EQ(rows[0][3].integer, 0);
  EXPECT_EQ(rows[1][4].DateText(), "2030-01-01 00:30:00.000000000 +01:00");
  // The default is the clock when the row came: within the hour before now.
  EXPECT_EQ(rows[0][5].integer, 1);
  EXPECT_EQ(rows[1][5].integer, 1);
}

TEST_F(OffsetRules, ScaleAboveSevenIsRefused) {
  EXPECT_EQ(client_->Execute("CREATE TABLE t (v DATETIMEOFFSET(8))").FirstError(), 1002);
  EXPECT_EQ(client_->Execute("CREATE TABLE t (v DATETIMEOFFSET(7))").FirstError(), 0);
}

TEST_F(OffsetRules, CatalogueViewsNameTheType) {
  client_->Run("CREATE TABLE t (a DATETIMEOFFSET, b DATETIMEOFFSET(0), c DATETIMEOFFSET(3))");
  EXPECT_EQ(client_->Query("SELECT name, system_type_id, max_length, [precision], scale FROM sys.columns "
                           "WHERE object_id = OBJECT_ID('t') ORDER BY column_id"),
            (std::vector<OdbcRow>{{"a", "43", "10", "34", "7"}, {"b", "43", "8", "26", "0"}, {"c", "43", "9", "30", "3"}}));
  EXPECT_EQ(client_->Query("SELECT DATA_TYPE, DATETIME_PRECISION FROM INFORMATION_SCHEMA.COLUMNS "
                           "WHERE TABLE_NAME = 't' ORDER BY ORDINAL_POSITION"),
            (std::vector<OdbcRow>{{"datetimeoffset", "7"}, {"datetimeoffset", "0"}, {"datetimeoffset", "3"}}));
  EXPECT_EQ(client_->Query("SELECT max_length, [precision], scale FROM sys.types WHERE name = 'datetimeoffset'"),
            (std::vector<OdbcRow>{{"10", "34", "7"}}));
}

TEST_F(OffsetRules, ClientsBeforeTds73GetText) {
  client_->Run("CREATE TABLE t (v DATETIMEOFFSET(3))");
  client_->Run("INSERT INTO t VALUES('2024-10-27 02:30:00.5 -05:30')");
  // From master, so that the database is free to be dropped when the test ends.
  const auto rows = OdbcTestClient(SqlServer(), "", "7.2").TypedQuery("SELECT v FROM [" + db_ + "]..t");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].kind, OdbcValue::Kind::Text);
  EXPECT_EQ(rows[0][0].text, "2024-10-27 02:30:00.500 -05:30");
}

}  // namespace
}  // namespace morvane::test
