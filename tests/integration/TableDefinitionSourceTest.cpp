// Table definitions built from what a real MariaDB server reports for a table's fields.
#include <gtest/gtest.h>
#include <mysql.h>

#include "engine/TableDefinition.h"
#include "source/MySqlSource.h"
#include "tests/support/MariaDbTestClient.h"

namespace morvane {
namespace {

class TableDefinitionFromServer : public testing::Test {
 protected:
  void SetUp() override {
    db = admin.CreateDatabase("tabledef");
    test::OpenSourceDatabase(connection, db);
  }
  void Create(const std::string& definition) {
    admin.Execute({"CREATE TABLE " + test::Backticked(db) + "." + definition});
  }

  test::MariaDbTestClient admin;
  std::string db;
  MySqlHandle connection;
  PendingIndex pending;
};

TEST_F(TableDefinitionFromServer, Orders) {
  Create(
      "orders (id INT AUTO_INCREMENT PRIMARY KEY, customer VARCHAR(40), code CHAR(10) NOT NULL "
      "UNIQUE, total DECIMAL(10,2), note TEXT, INDEX (customer))");
  MySqlSourceDatabase source(connection);

  EXPECT_EQ(GetColumnList(source, "orders"),
            "[id] INT IDENTITY NOT NULL, [customer] NVARCHAR(80) NULL, [code] NCHAR(10) NOT NULL, "
            "[total] DECIMAL(10, 2) NULL, [note] NVARCHAR(MAX) NULL");
  EXPECT_EQ(GetKeyClause(source, "orders", pending), ", PRIMARY KEY([id]),  UNIQUE ([code])");
  // A real server marks every key member with PART_KEY, so the unique column joins the index.
  EXPECT_EQ(pending.IndexPending, 1);
  EXPECT_EQ(pending.IndexStatement, "CREATE INDEX [ord_ind] ON [orders] ([customer],[code]);");
}

TEST_F(TableDefinitionFromServer, AwkwardNamesAndTextPrefixKey) {
  Create(
      "`my table` (`order` INT NOT NULL, `user name` VARCHAR(20), `a]b` CHAR(0), body TEXT, "
      "PRIMARY KEY (`order`), KEY (body(20)), KEY (`user name`))");
  MySqlSourceDatabase source(connection);

  EXPECT_EQ(GetColumnList(source, "my table"),
            "[order] INT NOT NULL, [user name] NVARCHAR(40) NULL, [a]]b] NCHAR(1) NULL, "
            "[body] NVARCHAR(MAX) NULL");
  EXPECT_EQ(GetKeyClause(source, "my table", pending), ", PRIMARY KEY([order])");
  // The TEXT column is no member of the index SQL Server would refuse.
  EXPECT_EQ(pending.IndexStatement, "CREATE INDEX [my _ind] ON [my table] ([user name]);");
}

TEST_F(TableDefinitionFromServer, CompositeKeys) {
  Create("pairs (a INT, b INT, c INT, d INT, PRIMARY KEY (a, b), UNIQUE (c, d))");
  MySqlSourceDatabase source(connection);
  // In a composite UNIQUE the server reports MULTIPLE_KEY on the first member and PART_KEY
  // on the others: it arrives as the table's index.
  EXPECT_EQ(GetKeyClause(source, "pairs", pending), ", PRIMARY KEY([a],[b])");
  EXPECT_EQ(pending.IndexStatement, "CREATE INDEX [pai_ind] ON [pairs] ([c],[d]);");
}

}  // namespace
}  // namespace morvane
