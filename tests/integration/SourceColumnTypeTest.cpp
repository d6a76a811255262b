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
    {"c_float", "FLOAT", "FLOAT"},
    {"c_double", "DOUBLE", "FLOAT"},
    {"c_dec_10_2", "DECIMAL(10,2)", "DECIMAL(10, 2)"},
    {"c_dec_10_2_u", "DECIMAL(10,2) UNSIGNED", "DECIMAL(10, 2)"},
    {"c_dec_10_4", "DECIMAL(10,4)", "DECIMAL(10, 4)"},
    {"c_dec_10_4_u", "DECIMAL(10,4) UNSIGNED", "DECIMAL(10, 4)"},
    {"c_dec_5_4", "DECIMAL(5,4)", "DECIMAL(5, 4)"},
    {"c_dec_5_4_u", "DECIMAL(5,4) UNSIGNED", "DECIMAL(5, 4)"},
    {"c_dec_5_0", "DECIMAL(5,0)", "DECIMAL(5, 0)"},
    {"c_dec_65_30", "DECIMAL(65,30)", "DECIMAL(38, 30)"},
    {"c_char_latin1", "CHAR(10) CHARACTER SET latin1", "NCHAR(20)"},
    {"c_char_utf8", "CHAR(10) CHARACTER SET utf8mb4", "NCHAR(20)"},
    {"c_char0", "CHAR(0)", "NCHAR(2)"},
    {"c_varchar_latin1", "VARCHAR(40) CHARACTER SET latin1", "NVARCHAR(80)"},
    {"c_varchar_utf8", "VARCHAR(40) CHARACTER SET utf8mb4", "NVARCHAR(80)"},
    {"c_varchar_64", "VARCHAR(64)", "NVARCHAR(128)"},
    {"c_varchar_254", "VARCHAR(254)", "NVARCHAR(508)"},
    {"c_varchar_255", "VARCHAR(255)", "NTEXT"},
    {"c_binary", "BINARY(16)", "BINARY(16)"},
    {"c_varbinary", "VARBINARY(200)", "VARBINARY(200)"},
    {"c_varbinary_big", "VARBINARY(300)", "IMAGE"},
    {"c_tinytext", "TINYTEXT", "NTEXT"},
    {"c_text_latin1", "TEXT CHARACTER SET latin1", "NTEXT"},
    {"c_text", "TEXT", "NTEXT"},
    {"c_mediumtext", "MEDIUMTEXT", "NTEXT"},
    {"c_longtext", "LONGTEXT", "NTEXT"},
    {"c_json", "JSON", "NTEXT"},
    {"c_tinyblob", "TINYBLOB", "IMAGE"},
    {"c_blob", "BLOB", "IMAGE"},
    {"c_mediumblob", "MEDIUMBLOB", "IMAGE"},
    {"c_longblob", "LONGBLOB", "IMAGE"},
    {"c_bit1", "BIT(1)", "BIT"},
    {"c_bit8", "BIT(8)", "BIGINT"},
    {"c_bit64", "BIT(64)", "DECIMAL(20, 0)"},
    {"c_date", "DATE", "DATETIME"},
    {"c_time", "TIME", "DATETIME"},
    {"c_datetime", "DATETIME", "DATETIME"},
    {"c_datetime6", "DATETIME(6)", "DATETIME"},
    {"c_timestamp", "TIMESTAMP NULL", "DATETIME"},
    {"c_year", "YEAR", "SMALLDATETIME"},
};

TEST(SourceColumnTypes, EveryMySqlTypeAsTheServerReportsIt) {
  test::MariaDbTestClient admin;
  const std::string db = admin.CreateDatabase("types");
  std::string create = "CREATE TABLE " + test::Backticked(db) + ".all_types (";
  for (const auto& c : Columns) create += std::string(c.name) + " " + c.definition + ",";
  create.back() = ')';
  admin.Execute({create});

  MySqlHandle connection;
  test::OpenSourceDatabase(connection, db);
  MySqlSourceDatabase source(connection);
  const auto fields = source.FieldListing("all_types");
  ASSERT_TRUE(fields.has_value());
  ASSERT_EQ(fields->size(), std::size(Columns));
  for (std::size_t i = 0; i < fields->size(); ++i) {
    const FieldRecord& f = (*fields)[i];
    EXPECT_EQ(f.org_name, Columns[i].name);
    EXPECT_EQ(GetColumnType(f.type, f.length, f.decimals, f.charsetnr, f.flags),
              Columns[i].expected)
        << Columns[i].definition << " (type " << f.type << ", length " << f.length
        << ", decimals " << f.decimals << ", charset " << f.charsetnr << ", flags " << f.flags
        << ")";
  }
  EXPECT_FALSE(source.FieldListing("no_such_table").has_value());
}

}  // namespace
}  // namespace morvane
