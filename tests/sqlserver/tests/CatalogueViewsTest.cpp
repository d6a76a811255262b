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

}  // namespace
}  // namespace morvane::test
