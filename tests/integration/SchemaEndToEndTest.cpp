// What MySQL defines beside the columns, converted by whole runs and read back from the SQL
// Server test server through its catalogue views and through the constraints themselves.
#include <gmock/gmock.h>

#include "engine/ConversionRun.h"
#include "engine/SqlNames.h"
#include "tests/integration/EndToEnd.h"
#include "tests/support/FakeWizardWindow.h"

namespace morvane {
namespace {

using test::OdbcRow;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;

class SchemaEndToEnd : public test::RunEndToEnd {
 protected:
  // The table's indexes: name, is_unique, is_unique_constraint, is_primary_key, by name.
  std::vector<OdbcRow> Indexes(const std::string& table) {
    return Target("SELECT name, is_unique, is_unique_constraint, is_primary_key FROM sys.indexes "
                  "WHERE object_id = OBJECT_ID(" + Quoted(table) + ") AND index_id <> 0 ORDER BY name");
  }
  // Runs a statement on the target database; its first error number, 0 when it succeeded.
  long OnTarget(const std::string& statement) {
    test::OdbcTestClient client(test::SqlServer(), targetName);
    return client.Execute(statement).FirstError();
  }
  long Count(const std::string& table) {
    const auto rows = Target("SELECT COUNT(*) FROM " + Bracketed(table));
    return rows.empty() || !rows[0][0] ? -1 : std::stol(*rows[0][0]);
  }
};

TEST_F(SchemaEndToEnd, UniqueKeysEachTheirOwn) {
  Source({"CREATE TABLE users (id INT PRIMARY KEY, email VARCHAR(60) NOT NULL, "
          "username VARCHAR(30) NOT NULL, shop INT NOT NULL, number INT NOT NULL, "
          "UNIQUE KEY email (email), UNIQUE KEY username (username), UNIQUE KEY receipt (shop, number))",
          "INSERT INTO users VALUES (1, 'a@example.com', 'ann', 1, 1), (2, 'b@example.com', 'bob', 1, 2)"});
  ASSERT_EQ(Convert({"users"}).outcome, RunOutcome::Completed);
  EXPECT_EQ(FinalMessage(), "MySQL to MS SQL Database Conversion successfully completed.");
  const auto indexes = Indexes("users");
  ASSERT_EQ(indexes.size(), 4u);
  EXPECT_EQ(indexes[0], (OdbcRow{"email", "1", "1", "0"}));
  EXPECT_EQ(indexes[1][3], "1");  // the primary key
  EXPECT_EQ(indexes[2], (OdbcRow{"receipt", "1", "1", "0"}));
  EXPECT_EQ(indexes[3], (OdbcRow{"username", "1", "1", "0"}));
  // A duplicate e-mail with another user name is refused: the keys were not merged.
  EXPECT_EQ(OnTarget("INSERT INTO [users] VALUES (3, 'a@example.com', 'cid', 2, 1)"), 2627);
  // The composite key stays unique.
  EXPECT_EQ(OnTarget("INSERT INTO [users] VALUES (3, 'c@example.com', 'cid', 1, 2)"), 2627);
  EXPECT_EQ(OnTarget("INSERT INTO [users] VALUES (3, 'c@example.com', 'cid', 2, 2)"), 0);
}

TEST_F(SchemaEndToEnd, NullableUniqueKeyKeepsEveryNull) {
  Source({"CREATE TABLE tokens (id INT PRIMARY KEY, api_token CHAR(32), UNIQUE KEY api_token (api_token))",
          "INSERT INTO tokens VALUES (1, NULL), (2, NULL), (3, NULL), (4, 'abc')"});
  ASSERT_EQ(Convert({"tokens"}).outcome, RunOutcome::Completed);
  EXPECT_EQ(FinalMessage(), "MySQL to MS SQL Database Conversion successfully completed.");
  EXPECT_EQ(Count("tokens"), 4);
  EXPECT_EQ(Target("SELECT name, is_unique, is_unique_constraint, has_filter FROM sys.indexes WHERE "
                   "object_id = OBJECT_ID('tokens') AND is_primary_key = 0 AND index_id <> 0"),
            (std::vector<OdbcRow>{{"api_token", "1", "0", "1"}}));
  EXPECT_EQ(OnTarget("INSERT INTO [tokens] VALUES (5, NULL)"), 0);
  EXPECT_EQ(OnTarget("INSERT INTO [tokens] VALUES (6, 'abc')"), 2601);
}

TEST_F(SchemaEndToEnd, CaseSensitiveUniqueColumnKeepsBothSpellings) {
  // Nullable, so that the keys are filtered unique indexes.
  Source({"CREATE TABLE langs (id INT PRIMARY KEY, name VARCHAR(10) COLLATE utf8mb4_bin UNIQUE, "
          "word VARCHAR(10) COLLATE utf8mb4_unicode_520_ci UNIQUE) CHARSET utf8mb4",
          "INSERT INTO langs VALUES (1, 'PHP', 'x😀'), (2, 'php', 'x😁')"});
  ASSERT_EQ(Convert({"langs"}).outcome, RunOutcome::Completed);
  EXPECT_EQ(FinalMessage(), "MySQL to MS SQL Database Conversion successfully completed.");
  EXPECT_EQ(Target("SELECT name FROM [langs] ORDER BY [id]"), (std::vector<OdbcRow>{{"PHP"}, {"php"}}));
  EXPECT_EQ(Target("SELECT name, collation_name FROM sys.columns WHERE object_id = OBJECT_ID('langs') "
                   "AND collation_name IS NOT NULL ORDER BY column_id"),
            (std::vector<OdbcRow>{{"name", "Latin1_General_100_BIN2"},
                                  {"word", "Latin1_General_100_CI_AS_SC"}}));
  // The case-insensitive column still refuses another case of a held value.
  EXPECT_EQ(OnTarget("INSERT INTO [langs] VALUES (3, N'Php', N'X😀')"), 2601);
  EXPECT_EQ(OnTarget("INSERT INTO [langs] VALUES (3, N'Php', N'X😂')"), 0);
}

TEST_F(SchemaEndToEnd, FortyIndexesAndAnOversizedOne) {
  std::string columns, indexes, values;
  for (int i = 0; i < 40; ++i) {
    columns += ", c" + std::to_string(i) + " INT";
    indexes += ", KEY k" + std::to_string(i) + " (c" + std::to_string(i) + ")";
    values += ", " + std::to_string(i);
  }
  Source({"CREATE TABLE many (id INT PRIMARY KEY" + columns + indexes + ")",
          "INSERT INTO many VALUES (1" + values + "), (2" + values + ")",
          "CREATE TABLE wide (id INT PRIMARY KEY, a VARCHAR(254), b VARCHAR(254), KEY ab (a, b)) "
          "CHARSET utf8mb4",
          "INSERT INTO wide VALUES (1, REPEAT('a', 254), REPEAT('b', 254)), (2, 'x', 'y')"});
  ASSERT_EQ(Convert({"many", "wide"}).outcome, RunOutcome::Completed);
  EXPECT_EQ(Count("many"), 2);
  EXPECT_EQ(Indexes("many").size(), 41u);
  EXPECT_EQ(Count("wide"), 2);
  EXPECT_EQ(Indexes("wide").size(), 1u);
  EXPECT_THAT(FinalMessage(), HasSubstr("\n- wide: index ab was not carried (its key can be 2032 "
                                        "bytes long, more than the 1700 SQL Server allows)"));
}

TEST_F(SchemaEndToEnd, PrefixKeys) {
  Source({"CREATE TABLE docs (id INT PRIMARY KEY, title VARCHAR(200), body TEXT, "
          "KEY title (title(50)), UNIQUE KEY body (body(20)))",
          "INSERT INTO docs VALUES (1, 'one', 'same start, then one'), (2, 'two', 'same start, then two')"});
  ASSERT_EQ(Convert({"docs"}).outcome, RunOutcome::Completed);
  EXPECT_EQ(Count("docs"), 2);
  const auto help = Target("EXEC sp_helpindex [docs]");
  ASSERT_EQ(help.size(), 2u);
  EXPECT_EQ(help[1][0], "title");
  EXPECT_EQ(help[1][2], "title");  // the whole column
  EXPECT_THAT(FinalMessage(), HasSubstr("\n- docs: unique key body was not carried (column body is of type"));
}

TEST_F(SchemaEndToEnd, TablesDifferingOnlyInCase) {
  Source({"CREATE TABLE Users (id INT PRIMARY KEY, name VARCHAR(10))",
          "CREATE TABLE users (id INT PRIMARY KEY, login VARCHAR(10))",
          "INSERT INTO Users VALUES (1, 'Ann')", "INSERT INTO users VALUES (1, 'ann'), (2, 'bob')"});
  ASSERT_EQ(Convert({"Users", "users"}).outcome, RunOutcome::Completed);
  EXPECT_EQ(Target("SELECT * FROM [Users]"), (std::vector<OdbcRow>{{"1", "Ann"}}));
  EXPECT_EQ(Target("SELECT * FROM [users_2] ORDER BY [id]"), (std::vector<OdbcRow>{{"1", "ann"}, {"2", "bob"}}));
  EXPECT_THAT(FinalMessage(), HasSubstr("\n- table users was created as users_2"));
}

// Keys created after the last table, checked through what they refuse and cascade.
TEST_F(SchemaEndToEnd, ForeignKeysAfterTheLastTable) {
  Source({"SET FOREIGN_KEY_CHECKS = 0",
          "CREATE TABLE a_orders (id INT PRIMARY KEY, customer INT, warehouse INT, "
          "CONSTRAINT to_customer FOREIGN KEY (customer) REFERENCES c_customers (id) ON DELETE CASCADE, "
          "CONSTRAINT to_warehouse FOREIGN KEY (warehouse) REFERENCES warehouses (id)) ENGINE=InnoDB",
          "CREATE TABLE b_lines (id INT PRIMARY KEY, ord INT, "
          "CONSTRAINT to_order FOREIGN KEY (ord) REFERENCES a_orders (id)) ENGINE=InnoDB",
          "CREATE TABLE c_customers (id INT PRIMARY KEY) ENGINE=InnoDB",
          "CREATE TABLE warehouses (id INT PRIMARY KEY) ENGINE=InnoDB",
          "INSERT INTO c_customers VALUES (1)", "INSERT INTO a_orders VALUES (10, 1, NULL)",
          "INSERT INTO b_lines VALUES (100, 10), (101, 99)", "SET FOREIGN_KEY_CHECKS = 1"});
  ASSERT_EQ(Convert({"a_orders", "b_lines", "c_customers"}).outcome, RunOutcome::Completed);
  EXPECT_EQ(Count("b_lines"), 2);
  EXPECT_EQ(Target("SELECT name, delete_referential_action_desc, update_referential_action_desc "
                   "FROM sys.foreign_keys ORDER BY name"),
            (std::vector<OdbcRow>{{"to_customer", "CASCADE", "NO_ACTION"}}));
  EXPECT_EQ(Target("SELECT parent_object_id, referenced_object_id FROM sys.foreign_keys"),
            Target("SELECT OBJECT_ID('a_orders'), OBJECT_ID('c_customers')"));
  EXPECT_THAT(FinalMessage(), HasSubstr("\n- foreign key to_warehouse of table a_orders was not "
                                        "carried (its table warehouses was not converted in this run)"));
  // The orphan line (ord 99) arrived, so SQL Server refused that key.
  EXPECT_THAT(FinalMessage(), HasSubstr("\n- foreign key to_order of table b_lines was not created: "));
  // The carried key checks new rows, and its cascade works on the target.
  EXPECT_EQ(OnTarget("INSERT INTO [a_orders] VALUES (11, 7, NULL)"), 547);
  EXPECT_EQ(OnTarget("INSERT INTO [b_lines] VALUES (102, 98)"), 0);
  EXPECT_EQ(OnTarget("DELETE FROM [c_customers] WHERE [id] = 1"), 0);
  EXPECT_EQ(Count("a_orders"), 0);
}

TEST_F(SchemaEndToEnd, DefaultsOfEveryKind) {
  Source({"CREATE TABLE d (id INT AUTO_INCREMENT PRIMARY KEY, label VARCHAR(5), status VARCHAR(20) NOT NULL DEFAULT "
          "'pending', price DECIMAL(8,2) DEFAULT 1.50, n INT DEFAULT -3, flag BIT(1) DEFAULT b'1', "
          "day DATE DEFAULT '2024-02-29', created DATETIME DEFAULT CURRENT_TIMESTAMP, "
          "touched TIMESTAMP NOT NULL DEFAULT CURRENT_TIMESTAMP ON UPDATE CURRENT_TIMESTAMP, "
          "lucky INT DEFAULT (FLOOR(RAND() * 10)))",
          "INSERT INTO d (id) VALUES (1)"});
  ASSERT_EQ(Convert({"d"}).outcome, RunOutcome::Completed);
  EXPECT_EQ(Count("d"), 1);
  // Seven defaults carried; lucky's expression is not.
  EXPECT_EQ(Target("SELECT COUNT(*) FROM sys.default_constraints WHERE parent_object_id = OBJECT_ID('d')"),
            (std::vector<OdbcRow>{{"7"}}));
  // A row that names none of the columns with defaults gets them all.
  EXPECT_EQ(OnTarget("INSERT INTO [d] ([label]) VALUES ('x')"), 0);
  const auto rows = Target("SELECT status, price, n, flag, day, lucky FROM [d] WHERE [id] = 2");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (OdbcRow{"pending", "1.50", "-3", "1", "2024-02-29", std::nullopt}));
  EXPECT_EQ(Target("SELECT COUNT(*) FROM [d] WHERE [id] = 2 AND [created] IS NOT NULL AND [touched] IS NOT NULL"),
            (std::vector<OdbcRow>{{"1"}}));
  EXPECT_THAT(FinalMessage(), HasSubstr("\n- d: column touched: ON UPDATE CURRENT_TIMESTAMP was not carried"));
  EXPECT_THAT(FinalMessage(), HasSubstr("\n- d: column lucky: DEFAULT floor(rand() * 10) was not translated (it calls rand()"));
}

// Names that MariaDB holds apart and SQL Server's collation takes for one (letter case in every
// script, width, kana): every table arrives, each one renamed is named in the report, and the
// server itself confirms the collision.
TEST_F(SchemaEndToEnd, TablesOneToTheCollationAllArriveAndTheRenamedAreNamed) {
  struct Pair {
    std::string first, second;
  };
  const std::vector<Pair> pairs = {
      {"Über", "über"}, {"ΣΟΦΟΣ", "σοφος"}, {"Жук", "жук"}, {"Ｋａｎａ", "kana"}, {"カナ", "かな"}};
  std::vector<std::string> statements, tables;
  int row = 0;
  for (const Pair& p : pairs) {
    for (const std::string& table : {p.first, p.second}) {
      statements.push_back("CREATE TABLE " + Backticked(table) + " (id INT PRIMARY KEY)");
      statements.push_back("INSERT INTO " + Backticked(table) + " VALUES (" + std::to_string(++row) + ")");
      tables.push_back(table);
    }
  }
  Source(statements);
  ASSERT_EQ(Convert(tables).outcome, RunOutcome::Completed) << window.messages.back();

  row = 0;
  for (const Pair& p : pairs) {
    // The first keeps its name; the second, which SQL Server takes for it, is numbered.
    EXPECT_EQ(Target("SELECT id FROM " + Bracketed(p.first)), (std::vector<OdbcRow>{{std::to_string(++row)}}));
    EXPECT_EQ(Target("SELECT id FROM " + Bracketed(p.second + "_2")),
              (std::vector<OdbcRow>{{std::to_string(++row)}}));
    // The server itself refuses the second name as it stands.
    EXPECT_EQ(OnTarget("CREATE TABLE " + Bracketed(p.second) + " (x INT)"), 2714) << p.second;
    const std::string line = "\n- table " + p.second + " was created as " + p.second +
                             "_2: SQL Server takes its name for that of table " + p.first;
    EXPECT_THAT(window.messages.back(), HasSubstr(line));
    ASSERT_EQ(window.keptReports.size(), 1u);
    EXPECT_THAT(window.keptReports[0].text, HasSubstr(line));
  }
  EXPECT_EQ(Target("SELECT COUNT(*) FROM sys.tables"), (std::vector<OdbcRow>{{"10"}}));
}

TEST_F(SchemaEndToEnd, KeysAndIndexesOneToTheCollationAllArriveAndAreNamed) {
  Source({"CREATE TABLE straße (id INT PRIMARY KEY, a INT NOT NULL, b INT, "
          "UNIQUE KEY ärzte (a), KEY ｉｘ (b), KEY ix (b, a))",
          "CREATE TABLE gasse (id INT PRIMARY KEY, a INT NOT NULL, UNIQUE KEY ÄRZTE (a))",
          "INSERT INTO straße VALUES (1, 1, 1)", "INSERT INTO gasse VALUES (1, 1)"});
  ASSERT_EQ(Convert({"gasse", "straße"}).outcome, RunOutcome::Completed) << window.messages.back();
  const auto names = [&](const std::string& table) {
    return Target("SELECT name FROM sys.indexes WHERE object_id = OBJECT_ID(" + Quoted(table) +
                  ") AND is_primary_key = 0 AND index_id <> 0 ORDER BY name");
  };
  EXPECT_EQ(names("gasse"), (std::vector<OdbcRow>{{"ÄRZTE"}}));
  // In the collation's order: ｉｘ is ix to it.
  EXPECT_EQ(names("straße"), (std::vector<OdbcRow>{{"ｉｘ"}, {"ix_2"}, {"straße_ärzte"}}));
  EXPECT_THAT(window.messages.back(),
              HasSubstr("\n- key ärzte of table straße was created as straße_ärzte: SQL Server "
                        "takes its name for that of constraint ÄRZTE of table gasse"));
  EXPECT_THAT(window.keptReports.at(0).text,
              HasSubstr("\n- index ix of table straße was created as ix_2: SQL Server takes its "
                        "name for that of the key or index ｉｘ of that table"));
}

}  // namespace
}  // namespace morvane
