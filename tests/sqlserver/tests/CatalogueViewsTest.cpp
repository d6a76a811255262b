// What tests read to see a table's definition: INFORMATION_SCHEMA.COLUMNS, sys.columns,
// sys.indexes, sp_helpindex, and the database lists.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane::test {
namespace {

class CatalogueViews : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = UniqueName("views");
    client_.Run("CREATE DATABASE [" + db_ + "]; USE [" + db_ + "]");
    client_.Run(
        "CREATE TABLE [orders] ([id] INT IDENTITY NOT NULL, [customer] NVARCHAR(40) NULL, "
        "[code] NCHAR(10) NOT NULL, [total] DECIMAL(10, 2) NULL, [note] NTEXT NULL, "
        "[flag] BIT NULL, [at] DATETIME NULL, [raw] VARBINARY(16) NULL, [big] BIGINT NULL, "
        "[ratio] FLOAT NULL, PRIMARY KEY([id]),  UNIQUE ([code]));");
    client_.Run("CREATE INDEX [ord_ind] ON [orders] ([customer], [at] DESC);");
  }
  void TearDown() override { client_.Run("USE master; DROP DATABASE [" + db_ + "]"); }

  OdbcTestClient client_{SqlServer()};
  std::string db_;
};

TEST_F(CatalogueViews, InformationSchemaColumnsDescribesEachColumn) {
  auto rows = client_.Query(
      "SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE, "
      "IS_NULLABLE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'orders' ORDER BY ORDINAL_POSITION");
  const OdbcCell n;
  std::vector<OdbcRow> expected = {
      {"id", "int", n, "10", "0", "NO"},
      {"customer", "nvarchar", "40", n, n, "YES"},
      {"code", "nchar", "10", n, n, "NO"},
      {"total", "decimal", n, "10", "2", "YES"},
      {"note", "ntext", "1073741823", n, n, "YES"},
      {"flag", "bit", n, n, n, "YES"},
      {"at", "datetime", n, n, n, "YES"},
      {"raw", "varbinary", "16", n, n, "YES"},
      {"big", "bigint", n, "19", "0", "YES"},
      {"ratio", "float", n, "53", n, "YES"},
  };
  EXPECT_EQ(rows, expected);
}

TEST_F(CatalogueViews, SysColumnsShowsTheIdentity) {
  auto rows = client_.Query(
      "SELECT name FROM sys.columns WHERE object_id = OBJECT_ID('orders') AND is_identity = 1");
  EXPECT_EQ(rows, (std::vector<OdbcRow>{{"id"}}));
  EXPECT_EQ(client_.Scalar("SELECT COUNT(*) FROM sys.columns WHERE object_id = OBJECT_ID('nothing')"), "0");
}

TEST_F(CatalogueViews, SpHelpIndexListsKeysAndIndexes) {
  auto rows = client_.Query("EXEC sp_helpindex [orders]");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_TRUE(rows[0][0]->starts_with("PK__orders__")) << *rows[0][0];
  EXPECT_EQ(rows[0][1], "clustered, unique, primary key located on PRIMARY");
  EXPECT_EQ(rows[0][2], "id");
  EXPECT_TRUE(rows[1][0]->starts_with("UQ__orders__")) << *rows[1][0];
  EXPECT_EQ(rows[1][1], "nonclustered, unique, unique key located on PRIMARY");
  EXPECT_EQ(rows[1][2], "code");
  EXPECT_EQ(rows[2], (OdbcRow{"ord_ind", "nonclustered located on PRIMARY", "customer, at(-)"}));
}

TEST_F(CatalogueViews, SysIndexesNamesTheKinds) {
  auto rows = client_.Query(
      "SELECT type_desc, is_unique, is_primary_key, is_unique_constraint FROM sys.indexes "
      "WHERE object_id = OBJECT_ID('dbo.orders') ORDER BY index_id");
  std::vector<OdbcRow> expected = {{"CLUSTERED", "1", "1", "0"},
                                   {"NONCLUSTERED", "1", "0", "1"},
                                   {"NONCLUSTERED", "0", "0", "0"}};
  EXPECT_EQ(rows, expected);
}

TEST_F(CatalogueViews, DatabaseListsShowCreatedAndDroppedDatabases) {
  for (const char* view : {"sys.databases", "sysdatabases", "master..sysdatabases"}) {
    auto rows = client_.Query(std::string("SELECT name FROM ") + view);
    EXPECT_NE(std::find(rows.begin(), rows.end(), OdbcRow{db_}), rows.end()) << view;
    EXPECT_EQ(rows.front(), OdbcRow{"master"}) << view;
  }
  EXPECT_EQ(client_.Scalar("SELECT COUNT(*) FROM sys.databases WHERE name = N'" + db_ + "'"), "1");
  client_.Run("USE master; DROP DATABASE [" + db_ + "]; CREATE DATABASE [" + db_ + "]");
  EXPECT_EQ(client_.Scalar("SELECT COUNT(*) FROM sysdatabases WHERE name = '" + db_ + "'"), "1");
}

TEST_F(CatalogueViews, SelectReadsRowsInOrderWithFilters) {
  client_.Run("INSERT INTO orders (customer, code, total) VALUES(N'b', N'c1', 1.5), (N'a', N'c2', NULL), "
              "(NULL, N'c3', 3)");
  EXPECT_EQ(client_.Query("SELECT customer FROM orders ORDER BY customer DESC"),
            (std::vector<OdbcRow>{{"b"}, {"a"}, {OdbcCell{}}}));
  EXPECT_EQ(client_.Query("SELECT code, total FROM orders WHERE customer = 'A'"),
            (std::vector<OdbcRow>{{"c2        ", OdbcCell{}}}));
  EXPECT_EQ(client_.Scalar("SELECT COUNT(*) FROM orders WHERE total IS NULL"), "1");
  EXPECT_EQ(client_.Query("SELECT TOP 1 id FROM orders ORDER BY 1 DESC"), (std::vector<OdbcRow>{{"3"}}));
  EXPECT_EQ(client_.Scalar("SELECT DB_NAME()"), db_);
}

// The views of keys, foreign keys, defaults and the newer types, each read with a plain SELECT.
TEST(CatalogueViewsOfConstraints, ShowKeysForeignKeysDefaultsAndTypes) {
  OdbcTestClient client(SqlServer());
  std::string db = UniqueName("views2");
  client.Run("CREATE DATABASE [" + db + "] COLLATE Latin1_General_100_CI_AS_SC; USE [" + db + "]");
  client.Run("CREATE TABLE p (id INT NOT NULL, code NVARCHAR(10) COLLATE Latin1_General_100_BIN2 NULL, "
             "CONSTRAINT [pk_p] PRIMARY KEY NONCLUSTERED ([id]))");
  client.Run("CREATE UNIQUE INDEX [ux_code] ON p ([code]) WHERE [code] IS NOT NULL");
  client.Run("CREATE TABLE c (id INT NOT NULL PRIMARY KEY, pid INT NULL, at DATETIME2(3) CONSTRAINT [df_at] "
             "DEFAULT (sysdatetime()), n INT DEFAULT 0, body NVARCHAR(MAX) NULL, t TIME(4) NULL)");
  client.Run("ALTER TABLE c WITH NOCHECK ADD CONSTRAINT [fk_c_p] FOREIGN KEY ([pid]) REFERENCES [p] ([id]) "
             "ON DELETE CASCADE ON UPDATE SET NULL");
  const std::string p = *client.Scalar("SELECT object_id FROM sys.tables WHERE name = 'p'");
  const std::string c = *client.Scalar("SELECT object_id FROM sys.tables WHERE name = 'c'");

  std::vector<OdbcRow> indexes = {{"0", std::nullopt, "HEAP", "0", "0", std::nullopt},
                                  {"2", "pk_p", "NONCLUSTERED", "1", "0", std::nullopt},
                                  {"3", "ux_code", "NONCLUSTERED", "1", "1", "([code] IS NOT NULL)"}};
  EXPECT_EQ(client.Query("SELECT index_id, name, type_desc, is_unique, has_filter, filter_definition "
                         "FROM sys.indexes WHERE object_id = " + p + " ORDER BY index_id"),
            indexes);
  std::vector<OdbcRow> indexColumns = {{"2", "1", "1", "0"}, {"3", "2", "1", "0"}};
  EXPECT_EQ(client.Query("SELECT index_id, column_id, key_ordinal, is_descending_key FROM sys.index_columns "
                         "WHERE object_id = " + p + " ORDER BY index_id"),
            indexColumns);

  std::vector<OdbcRow> keys = {{"fk_c_p", c, p, "2", "1", "CASCADE", "SET_NULL", "1"}};
  EXPECT_EQ(client.Query("SELECT name, parent_object_id, referenced_object_id, key_index_id, delete_referential_action, "
                         "delete_referential_action_desc, update_referential_action_desc, is_not_trusted "
                         "FROM sys.foreign_keys"),
            keys);
  std::vector<OdbcRow> keyColumns = {{"1", c, "2", p, "1"}};
  EXPECT_EQ(client.Query("SELECT constraint_column_id, parent_object_id, parent_column_id, referenced_object_id, "
                         "referenced_column_id FROM sys.foreign_key_columns"),
            keyColumns);

  auto defaults = client.Query("SELECT name, parent_column_id, definition FROM sys.default_constraints ORDER BY parent_column_id");
  ASSERT_EQ(defaults.size(), 2u);
  EXPECT_EQ(defaults[0], (OdbcRow{"df_at", "3", "(sysdatetime())"}));
  EXPECT_EQ(defaults[1][1], "4");
  EXPECT_EQ(defaults[1][2], "((0))");
  EXPECT_EQ(defaults[1][0]->rfind("DF__c__n__", 0), 0u) << *defaults[1][0];

  std::vector<OdbcRow> columns = {
      {"id", "56", "56", "4", "10", "0", "0", std::nullopt},
      {"pid", "56", "56", "4", "10", "0", "1", std::nullopt},
      {"at", "42", "42", "7", "23", "3", "1", std::nullopt},
      {"n", "56", "56", "4", "10", "0", "1", std::nullopt},
      {"body", "231", "231", "-1", "0", "0", "1", "Latin1_General_100_CI_AS_SC"},
      {"t", "41", "41", "4", "13", "4", "1", std::nullopt}};
  EXPECT_EQ(client.Query("SELECT name, system_type_id, user_type_id, max_length, [precision], scale, is_nullable, "
                         "collation_name FROM sys.columns WHERE object_id = " + c + " ORDER BY column_id"),
            columns);
  EXPECT_EQ(client.Scalar("SELECT collation_name FROM sys.columns WHERE name = 'code'"), "Latin1_General_100_BIN2");
  EXPECT_EQ(client.Scalar("SELECT collation_name FROM sys.databases WHERE name = '" + db + "'"),
            "Latin1_General_100_CI_AS_SC");
  std::vector<OdbcRow> types = {{"datetime2", "42", "8", "27", "7"}};
  EXPECT_EQ(client.Query("SELECT name, system_type_id, max_length, [precision], scale FROM sys.types WHERE name = 'datetime2'"),
            types);
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM sys.types WHERE name = 'nvarchar'"), "1");
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

}  // namespace
}  // namespace morvane::test
