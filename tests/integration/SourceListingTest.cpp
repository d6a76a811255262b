#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mysql.h>

#include <algorithm>

#include "source/MySqlSource.h"
#include "tests/support/MariaDbTestClient.h"

namespace morvane {
namespace {

using test::Backticked;
using test::MariaDbTestClient;

// Keeps what the listings hand over in the order they hand it (the window's sorted boxes are
// tested with the window).
class FakeListingWindow : public ListingWindow {
 public:
  std::vector<std::string> databases, tables;
  int selected = -1;
  std::string targetName = "typed by the user";

  void AddDatabase(const std::string& name) override { databases.push_back(name); }
  int DatabaseCount() const override { return static_cast<int>(databases.size()); }
  void SelectFirstDatabase() override { selected = 0; }
  std::string SelectedDatabase() const override {
    return selected < 0 ? "" : databases[static_cast<std::size_t>(selected)];
  }
  void SetTargetName(const std::string& name) override { targetName = name; }
  void ClearTables() override { tables.clear(); }
  void AddTable(const std::string& name) override { tables.push_back(name); }
};

class SourceListing : public testing::Test {
 protected:
  void SetUp() override {
    const auto s = test::MariaDb();
    ASSERT_NE(OpenMySqlConnection(connection, test::MariaDbAddress(), s.user, s.password), 0);
  }
  bool Listed(const std::string& name) const {
    return std::find(window.databases.begin(), window.databases.end(), name) !=
           window.databases.end();
  }

  MariaDbTestClient admin;
  MySqlHandle connection;
  FakeListingWindow window;
};

TEST_F(SourceListing, DatabasesWithoutSystemDatabasesSortedAndFirstProposed) {
  const std::string tag = test::UniqueName("L");
  const std::string alpha = admin.CreateDatabaseNamed("alpha" + tag);
  const std::string beta = admin.CreateDatabaseNamed("Beta" + tag);
  const std::string mysql2 = admin.CreateDatabaseNamed("mysql2" + tag);
  const std::string mySql = admin.CreateDatabaseNamed("my_sql" + tag);
  const std::string information = admin.CreateDatabaseNamed("information" + tag);

  ListDatabases(connection, window);

  for (const auto& name : {alpha, beta, mysql2, mySql, information}) {
    EXPECT_TRUE(Listed(name)) << name;
  }
  for (const auto& name : {"mysql", "information_schema", "performance_schema", "sys"}) {
    EXPECT_FALSE(Listed(name)) << name;
  }
  // Each once.
  for (const auto& name : window.databases) {
    EXPECT_EQ(std::count(window.databases.begin(), window.databases.end(), name), 1) << name;
  }
  ASSERT_EQ(window.selected, 0);
  EXPECT_EQ(window.targetName, window.databases.front());
}

TEST_F(SourceListing, UpperCaseSystemDatabaseIsSkipped) {
  // On a case-sensitive file system MariaDB accepts a database named MYSQL beside mysql.
  admin.CreateDatabaseNamed("MYSQL");
  ListDatabases(connection, window);
  EXPECT_FALSE(Listed("MYSQL"));
  EXPECT_FALSE(Listed("mysql"));
}

TEST_F(SourceListing, NameThatNeedsQuotingListsItsOwnTables) {
  const std::string plain = admin.CreateDatabase("plain");
  const std::string awkward = admin.CreateDatabaseNamed(test::UniqueName("my db-`x"));
  admin.Execute({"CREATE TABLE " + Backticked(plain) + ".wrong_one (a INT)",
                 "CREATE TABLE " + Backticked(awkward) + ".`orders` (a INT)",
                 "CREATE TABLE " + Backticked(awkward) + ".`Customers` (a INT)",
                 "CREATE TABLE " + Backticked(awkward) + ".`ταβλή` (a INT)"});

  ListTables(connection, window, plain);
  EXPECT_EQ(window.tables, std::vector<std::string>{"wrong_one"});

  ListTables(connection, window, awkward);
  EXPECT_THAT(window.tables, testing::UnorderedElementsAre("Customers", "orders", "ταβλή"));
}

TEST_F(SourceListing, RefusedDatabaseListsNothing) {
  const std::string plain = admin.CreateDatabase("plain");
  admin.Execute({"CREATE TABLE " + Backticked(plain) + ".t1 (a INT)"});
  ListTables(connection, window, plain);
  ASSERT_EQ(window.tables.size(), 1u);

  // Never the tables of the previous database.
  ListTables(connection, window, test::UniqueName("does_not_exist"));
  EXPECT_TRUE(window.tables.empty());
}

TEST_F(SourceListing, ListingWithoutConnectionLeavesTheBoxes) {
  MySqlHandle none;
  window.AddDatabase("kept");
  ListDatabases(none, window);
  EXPECT_EQ(window.databases, std::vector<std::string>{"kept"});
  EXPECT_EQ(window.targetName, "typed by the user");
}

TEST(SourceConnection, RefusedAndUnreachableGiveZero) {
  const auto s = test::MariaDb();
  MySqlHandle connection;
  EXPECT_EQ(OpenMySqlConnection(connection, test::MariaDbAddress(), s.user, "wrong"), 0);
  EXPECT_EQ(OpenMySqlConnection(connection, test::MariaDbAddress(), "nobody", s.password), 0);
  EXPECT_EQ(OpenMySqlConnection(connection, "127.0.0.1:1", s.user, s.password), 0);
  EXPECT_EQ(OpenMySqlConnection(connection, "127.0.0.1:notaport", s.user, s.password), 0);
  // A later attempt replaces the failed handle and connects.
  EXPECT_NE(OpenMySqlConnection(connection, test::MariaDbAddress(), s.user, s.password), 0);
  CloseMySqlConnection(connection);
  EXPECT_FALSE(connection);
}

TEST(SourceConnection, ReachesTheServerBySocketAndSpeaksUtf8mb4) {
  const auto s = test::MariaDb();
  MySqlHandle connection;
  ASSERT_NE(OpenMySqlConnection(connection, s.socket, s.user, s.password), 0);
  EXPECT_STREQ(mysql_character_set_name(connection.get()), "utf8mb4");
}

}  // namespace
}  // namespace morvane
