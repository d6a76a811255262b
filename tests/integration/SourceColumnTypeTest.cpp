// The type mapping holds for what a real server reports, not only for hand-made records. On our
// utf8mb4 connection every text column reports four bytes per character, a latin1 one too.
#include <gtest/gtest.h>
#include <mysql.h>

#include <map>

#include "engine/ColumnType.h"
#include "source/MySqlSource.h"
#include "tests/support/MariaDbTestClient.h"

namespace morvane {
namespace {

struct Column {
  const char* name;
  const char* definition;
  const char* expected;
};

const Column Columns[] = {
    {"c_tiny", "TINYINT", "SMALLINT"},
    {"c_tiny_u", "TINYINT UNSIGNED", "TINYINT"},
    {"c_small", "SMALLINT", "SMALLINT"},
    {"c_small_u", "SMALLINT UNSIGNED", "INT"},
    {"c_medium", "MEDIUMINT", "INT"},
    {"c_medium_u", "MEDIUMINT UNSIGNED", "INT"},
    {"c_int", "INT", "INT"},
    {"c_int_u", "INT UNSIGNED", "BIGINT"},
    {"c_big", "BIGINT", "BIGINT"},
    {"c_big_u", "BIGINT UNSIGNED", "DECIMAL(20, 0)"},
    {"c_float", "FLOAT", "REAL"},
    {"c_double", "DOUBLE", "FLOAT"},
    {"c_dec_10_2", "DECIMAL(10,2)", "DECIMAL(10, 2)"},
    {"c_dec_10_2_u", "DECIMAL(10,2) UNSIGNED", "DECIMAL(10, 2)"},
    {"c_dec_10_4", "DECIMAL(10,4)", "DECIMAL(10, 4)"},
    {"c_dec_10_4_u", "DECIMAL(10,4) UNSIGNED", "DECIMAL(10, 4)"},
    {"c_dec_5_4", "DECIMAL(5,4)", "DECIMAL(5, 4)"},
    {"c_dec_5_4_u", "DECIMAL(5,4) UNSIGNED", "DECIMAL(5, 4)"},
    {"c_dec_5_0", "DECIMAL(5,0)", "DECIMAL(5, 0)"},
    {"c_dec_38_0", "DECIMAL(38,0)", "DECIMAL(38, 0)"},
    {"c_dec_65_30", "DECIMAL(65,30)", "DECIMAL(38, 28)"},  // the row holds 10 integer digits
    {"c_char_latin1", "CHAR(10) CHARACTER SET latin1", "NCHAR(10)"},
    {"c_char_utf8", "CHAR(10) CHARACTER SET utf8mb4", "NCHAR(10)"},
    {"c_char0", "CHAR(0)", "NCHAR(1)"},
    {"c_char255", "CHAR(255)", "NCHAR(255)"},
    {"c_varchar_latin1", "VARCHAR(40) CHARACTER SET latin1", "NVARCHAR(80)"},
    {"c_varchar_utf8", "VARCHAR(40) CHARACTER SET utf8mb4", "NVARCHAR(80)"},
    {"c_varchar_64", "VARCHAR(64)", "NVARCHAR(128)"},
    {"c_varchar_254", "VARCHAR(254)", "NVARCHAR(508)"},
    {"c_varchar_255", "VARCHAR(255)", "NVARCHAR(510)"},
    {"c_varchar_2000", "VARCHAR(2000)", "NVARCHAR(4000)"},
    {"c_varchar_2001", "VARCHAR(2001)", "NVARCHAR(MAX)"},
    {"c_enum", "ENUM('active','on hold','é''😀')", "NVARCHAR(7)"},
    {"c_set", "SET('red','green','blue')", "NVARCHAR(14)"},
    {"c_binary", "BINARY(16)", "BINARY(16)"},
    {"c_varbinary", "VARBINARY(200)", "VARBINARY(200)"},
    {"c_varbinary_big", "VARBINARY(300)", "VARBINARY(300)"},
    {"c_varbinary_8001", "VARBINARY(8001)", "VARBINARY(MAX)"},
    {"c_tinytext", "TINYTEXT", "NVARCHAR(MAX)"},
    {"c_text_latin1", "TEXT CHARACTER SET latin1", "NVARCHAR(MAX)"},
    {"c_text", "TEXT", "NVARCHAR(MAX)"},
    {"c_mediumtext", "MEDIUMTEXT", "NVARCHAR(MAX)"},
    {"c_longtext", "LONGTEXT", "NVARCHAR(MAX)"},
    {"c_json", "JSON", "NVARCHAR(MAX)"},
    {"c_tinyblob", "TINYBLOB", "VARBINARY(MAX)"},
    {"c_blob", "BLOB", "VARBINARY(MAX)"},
    {"c_mediumblob", "MEDIUMBLOB", "VARBINARY(MAX)"},
    {"c_longblob", "LONGBLOB", "VARBINARY(MAX)"},
    {"c_bit1", "BIT(1)", "BIT"},
    {"c_bit8", "BIT(8)", "BIGINT"},
    {"c_bit64", "BIT(64)", "DECIMAL(20, 0)"},
    {"c_date", "DATE", "DATE"},
    {"c_time", "TIME", "TIME(0)"},
    {"c_time6", "TIME(6)", "TIME(6)"},
    {"c_time_long", "TIME(3)", "DATETIME2(3)"},  // the row holds 25 hours
    {"c_datetime", "DATETIME", "DATETIME2(0)"},
    {"c_datetime6", "DATETIME(6)", "DATETIME2(6)"},
    {"c_timestamp", "TIMESTAMP NULL", "DATETIME2(0)"},
    {"c_timestamp3", "TIMESTAMP(3) NULL", "DATETIME2(3)"},
    {"c_year", "YEAR", "SMALLINT"},
    {"c_geometry", "GEOMETRY", "VARBINARY(MAX)"},
    {"c_point", "POINT", "VARBINARY(MAX)"},
};

TEST(SourceColumnTypes, EveryMySqlTypeAsTheServerReportsIt) {
  test::MariaDbTestClient admin;
  const std::string db = admin.CreateDatabase("types");
  std::string create = "CREATE TABLE " + test::Backticked(db) + ".all_types (";
  for (const auto& c : Columns) create += std::string(c.name) + " " + c.definition + ",";
  create.back() = ')';
  admin.Execute({create, "INSERT INTO " + test::Backticked(db) +
                             ".all_types (c_dec_65_30, c_time_long) VALUES (1234567890.5, '25:00:00')"});

  MySqlHandle connection;
  test::OpenSourceDatabase(connection, db);
  MySqlSourceDatabase source(connection);
  const auto fields = source.FieldListing("all_types");
  ASSERT_TRUE(fields.has_value());
  ASSERT_EQ(fields->size(), std::size(Columns));
  for (std::size_t i = 0; i < fields->size(); ++i) {
    const FieldRecord& f = (*fields)[i];
    EXPECT_EQ(f.org_name, Columns[i].name);
    const auto profile = source.ProfileColumn("all_types", f);
    ASSERT_TRUE(profile.has_value()) << Columns[i].definition;
    EXPECT_EQ(GetColumnType(f, *profile), Columns[i].expected)
        << Columns[i].definition << " (type " << f.type << ", length " << f.length
        << ", decimals " << f.decimals << ", charset " << f.charsetnr << ", flags " << f.flags
        << ")";
  }
  EXPECT_FALSE(source.FieldListing("no_such_table").has_value());
}

// What the per-column queries read from the stored values, and the snapshot and count.
TEST(SourceColumnTypes, ProfilesTellWhatTheValuesNeed) {
  test::MariaDbTestClient admin;
  const std::string db = admin.CreateDatabase("profiles");
  const std::string t = test::Backticked(db) + ".p";
  admin.Execute(
      {"CREATE TABLE " + t + " (id INT PRIMARY KEY, d DECIMAL(65,30), neg DECIMAL(60,2), "
       "tm TIME(6), tm_day TIME, day DATE NOT NULL, at DATETIME(6) NOT NULL, e ENUM('a','b\\\\c'))",
       "SET SESSION sql_mode = ''",
       "INSERT INTO " + t + " VALUES (1, -0.000000000000000000000000000001, -123456.50, '-00:00:01', "
       "'23:59:59', '0000-00-00', '2024-00-15 00:00:00', 'a'), (2, 99999999.25, 0, '00:00:00', "
       "'00:00:00', '2024-02-29', '2024-02-29 23:59:59.999999', NULL), (3, NULL, NULL, NULL, NULL, "
       "'2024-03-01', '0000-00-00 00:00:00', 'a')"});

  MySqlHandle connection;
  test::OpenSourceDatabase(connection, db);
  MySqlSourceDatabase source(connection);
  std::string why;
  ASSERT_TRUE(source.BeginSnapshot(why)) << why;
  const auto fields = source.FieldListing("p");
  ASSERT_TRUE(fields.has_value());
  std::map<std::string, ColumnProfile> profiles;
  for (const auto& f : *fields) {
    const auto profile = source.ProfileColumn("p", f);
    ASSERT_TRUE(profile.has_value()) << f.org_name;
    profiles[f.org_name] = *profile;
  }
  EXPECT_EQ(profiles["d"].integerDigits, 8u);
  EXPECT_EQ(profiles["d"].fractionDigits, 30u);
  EXPECT_EQ(profiles["neg"].integerDigits, 6u);
  EXPECT_EQ(profiles["neg"].fractionDigits, 1u);  // .50: the trailing zero does not count
  EXPECT_TRUE(profiles["tm"].timeBeyondDay);      // a negative span
  EXPECT_FALSE(profiles["tm_day"].timeBeyondDay);
  EXPECT_EQ(profiles["day"].zeroDates, 1u);
  EXPECT_EQ(profiles["at"].zeroDates, 2u);  // a partial date and a zero one
  EXPECT_EQ(profiles["e"].longestValue, 3u);  // b\c: the backslash once
  EXPECT_EQ(source.CountRows("p"), std::optional<std::uint64_t>(3));
  EXPECT_FALSE(source.CountRows("no_such_table").has_value());
  source.EndSnapshot();
}

}  // namespace
}  // namespace morvane
