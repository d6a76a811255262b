// Collations of columns and databases: which texts a unique key takes as the same, and which
// table names collide, under the four collations the server knows.

#include <gtest/gtest.h>

#include "tests/sqlserver/tests/DatabaseSuite.h"
#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane::test {
namespace {

constexpr const char* kCi = "Latin1_General_100_CI_AS_SC";
constexpr const char* kCs = "Latin1_General_100_CS_AS_SC";
constexpr const char* kBin2 = "Latin1_General_100_BIN2";
constexpr const char* kSql = "SQL_Latin1_General_CP1_CI_AS";

struct CollationCase {
  const char* name;
  const char* collation;
  std::string first;
  std::string second;
  bool collide;  // the second value is a duplicate key (2627)
};

void PrintTo(const CollationCase& c, std::ostream* os) { *os << c.name; }

class UniqueKeys : public DatabaseSuite<CollationCase, UniqueKeys> {
 public:
  static constexpr const char* kDatabasePrefix = "coll";
};

TEST_P(UniqueKeys, CompareUnderTheColumnsCollation) {
  const CollationCase& c = GetParam();
  ASSERT_TRUE(client_);
  std::string table = UniqueName("t");
  client_->Run("CREATE TABLE [" + table + "] (v NVARCHAR(20) COLLATE " + c.collation + " NULL UNIQUE)");
  client_->Run("INSERT INTO [" + table + "] VALUES(" + c.first + ")");
  OdbcResult r = client_->Execute("INSERT INTO [" + table + "] VALUES(" + c.second + ")");
  EXPECT_EQ(r.FirstError(), c.collide ? 2627 : 0) << (r.errors.empty() ? "" : r.errors.front().message);
  client_->Run("DROP TABLE [" + table + "]");
}

INSTANTIATE_TEST_SUITE_P(
    Table, UniqueKeys,
    ::testing::Values(
        CollationCase{"CyrillicCaseCi", kCi, "N'Жук'", "N'жук'", true},
        CollationCase{"CyrillicCaseCs", kCs, "N'Жук'", "N'жук'", false},
        CollationCase{"CyrillicCaseBin2", kBin2, "N'Жук'", "N'жук'", false},
        CollationCase{"CyrillicCaseServerDefault", kSql, "N'Жук'", "N'жук'", true},
        CollationCase{"GreekCaseCi", kCi, "N'Σίσυφος'", "N'ΣΊΣΥΦΟΣ'", true},
        CollationCase{"GreekCaseCs", kCs, "N'Σίσυφος'", "N'ΣΊΣΥΦΟΣ'", false},
        CollationCase{"LatinCaseCi", kCi, "N'Größe'", "N'GRÖSSE'", true},
        CollationCase{"LatinCaseBin2", kBin2, "N'abc'", "N'ABC'", false},
        CollationCase{"TrailingBlanksCi", kCi, "N'abc'", "N'abc   '", true},
        CollationCase{"TrailingBlanksCs", kCs, "N'abc'", "N'abc   '", true},
        CollationCase{"TrailingBlanksBin2", kBin2, "N'abc'", "N'abc   '", true},
        CollationCase{"LeadingBlanksCount", kCi, "N'abc'", "N'  abc'", false},
        CollationCase{"AccentsCountCi", kCi, "N'resume'", "N'résumé'", false},
        CollationCase{"AccentsCountServerDefault", kSql, "N'resume'", "N'résumé'", false},
        CollationCase{"SharpSAsSsCi", kCi, "N'straße'", "N'strasse'", true},
        CollationCase{"SharpSAsSsCs", kCs, "N'straße'", "N'strasse'", true},
        CollationCase{"SharpSBin2", kBin2, "N'straße'", "N'strasse'", false},
        CollationCase{"FullWidthCi", kCi, "N'ＡＢＣ'", "N'abc'", true},
        CollationCase{"FullWidthCs", kCs, "N'ＡＢＣ'", "N'ABC'", true},
        CollationCase{"FullWidthBin2", kBin2, "N'ＡＢＣ'", "N'ABC'", false},
        CollationCase{"KanaCi", kCi, "N'カナ'", "N'かな'", true},
        CollationCase{"KanaBin2", kBin2, "N'カナ'", "N'かな'", false},
        CollationCase{"EmojiDefinedWithSc", kCi, "N'a😀'", "N'a😃'", false},
        CollationCase{"EmojiUndefinedInServerDefault", kSql, "N'a😀'", "N'a😃'", true},
        CollationCase{"EmojiIgnoredInServerDefault", kSql, "N'a😀'", "N'a'", true},
        CollationCase{"EmojiBin2", kBin2, "N'a😀'", "N'a😃'", false},
        CollationCase{"OneNullOnly", kCs, "NULL", "NULL", true}),
    [](const auto& param) { return std::string(param.param.name); });

struct NameCase {
  const char* name;
  std::string databaseCollation;  // empty: the server default
  std::string first;
  std::string second;
  long error;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class ObjectNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ObjectNames, CompareUnderTheDatabaseCollation) {
  const NameCase& c = GetParam();
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("names");
  client.Run("CREATE DATABASE [" + db + "]" + (c.databaseCollation.empty() ? "" : " COLLATE " + c.databaseCollation));
  client.Run("USE [" + db + "]; CREATE TABLE [" + c.first + "] (a INT)");
  OdbcResult r = client.Execute("CREATE TABLE [" + c.second + "] (a INT)");
  EXPECT_EQ(r.FirstError(), c.error) << (r.errors.empty() ? "" : r.errors.front().message);
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ObjectNames,
    ::testing::Values(NameCase{"CyrillicInDefault", "", "Жук", "жук", 2714},
                      NameCase{"GreekInDefault", "", "Ωμέγα", "ωμέγα", 2714},
                      NameCase{"LatinInDefault", "", "Orders", "ORDERS", 2714},
                      NameCase{"CyrillicInCi", kCi, "Жук", "жук", 2714},
                      NameCase{"CaseInCs", kCs, "Orders", "orders", 0},
                      NameCase{"CyrillicInCs", kCs, "Жук", "жук", 0},
                      NameCase{"SameInCs", kCs, "Orders", "Orders", 2714},
                      NameCase{"CaseInBin2", kBin2, "Orders", "orders", 0}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Collations, ColumnsTakeTheDatabaseCollationAndShowIt) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("dbcoll");
  client.Run(std::string("CREATE DATABASE [") + db + "] COLLATE " + kCs);
  client.Run("USE [" + db + "]; CREATE TABLE t (a NVARCHAR(10) UNIQUE, b VARCHAR(10) COLLATE " +
             std::string(kBin2) + ", c INT, d NVARCHAR(MAX) COLLATE sql_latin1_general_cp1_ci_as)");
  // The database is case-sensitive: 'x' and 'X' are two keys.
  client.Run("INSERT INTO t (a) VALUES(N'x'), (N'X')");
  auto rows = client.Query("SELECT COLUMN_NAME, COLLATION_NAME FROM INFORMATION_SCHEMA.COLUMNS "
                           "WHERE TABLE_NAME = 't' ORDER BY ORDINAL_POSITION");
  std::vector<OdbcRow> expected = {
      {"a", kCs}, {"b", kBin2}, {"c", std::nullopt}, {"d", kSql}};
  EXPECT_EQ(rows, expected);
  // WHERE compares under the column's collation.
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM t WHERE a = N'x'"), "1");
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

TEST(Collations, UnknownNamesAndNonTextColumnsAreRefused) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("badcoll");
  EXPECT_EQ(client.Execute("CREATE DATABASE [" + db + "] COLLATE NoSuchCollation").FirstError(), 448);
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  EXPECT_EQ(client.Execute("CREATE TABLE t (a INT COLLATE Latin1_General_100_BIN2)").FirstError(), 447);
  EXPECT_EQ(client.Execute("CREATE TABLE t (a NVARCHAR(5) COLLATE NoSuchCollation)").FirstError(), 448);
  EXPECT_EQ(client.Execute("CREATE TABLE t (a NVARCHAR(5) COLLATE Finnish_Swedish_CI_AS)").FirstError(), 50000);
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

}  // namespace
}  // namespace morvane::test
