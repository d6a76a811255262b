// Input meant to break the statements: names and values of every awkward kind, chosen at random
// from a fixed seed, go through whole conversions and arrive as exactly what they were.
#include <gmock/gmock.h>

#include <algorithm>
#include <random>
#include <set>

#include "engine/ConversionRun.h"
#include "engine/SqlNames.h"
#include "tests/integration/EndToEnd.h"
#include "tests/integration/PrivateServers.h"
#include "tests/support/FakeWizardWindow.h"

namespace morvane {
namespace {

using test::OdbcRow;

// Pieces of names: blanks, quotes, brackets, backticks, semicolons, comment starters, non-Latin
// letters and reserved words. MariaDB refuses "/", "\" and "." in database and table names and
// a blank at the end of any name; its identifiers hold no character beyond the BMP.
const std::vector<std::string> NamePieces = {
    "a", "Z", "7", "_", " ", "'", "''", "\"", "[", "]", "]]", "`", ";", "--", "/*", "*/", "-", "(",
    ")", ",", "=", "é", "Ж", "中", "ß", "order", "key", "user", "desc", "select", "GO", "DROP",
    "'); DROP TABLE t; --", "] ; DROP DATABASE x; --"};

std::size_t Characters(const std::string& s) {
  return static_cast<std::size_t>(std::count_if(
      s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string RandomName(std::mt19937& random, const std::string& first) {
  std::uniform_int_distribution<std::size_t> piece(0, NamePieces.size() - 1);
  std::uniform_int_distribution<int> length(1, 64);
  const std::size_t target = static_cast<std::size_t>(length(random));
  std::string name = first;
  while (true) {
    const std::string& next = NamePieces[piece(random)];
    if (Characters(name) + Characters(next) > target) break;
    name += next;
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  if (Characters(name) < 2) name += "x";
  return name;
}

class BadInput : public testing::Test {
 protected:
  test::TargetJournal journal;
  test::FakeWizardWindow window{journal};
  PendingIndex pending;
  StopSignal stop;
};

TEST_F(BadInput, NamesCreateExactlyTheirObjects) {
  std::mt19937 random(20261210);
  test::MariaDbTestClient mariadb;
  const auto m = test::MariaDb();
  MySqlHandle mysql;
  ASSERT_NE(OpenMySqlConnection(mysql, test::MariaDbAddress(), m.user, m.password), 0);
  MySqlSourceDatabase source(mysql);
  TargetConnection target;
  test::FailOnMessage box;
  const auto s = test::SqlServer();
  ASSERT_EQ(ConnectSqlServer(target, test::SqlServerAddress(), s.user, s.password,
                             Authentication::SqlServerAuthentication, box),
            1);
  test::OdbcTestClient look(s);
  auto databases = [&] {
    std::set<std::string> names;
    for (const auto& row : look.Query("SELECT name FROM sys.databases")) names.insert(*row[0]);
    return names;
  };

  // Databases are the server's own, whatever case: a name comes once (letter case ignored).
  std::set<std::string> used;
  auto fresh = [&](const std::string& first) {
    while (true) {
      std::string name = RandomName(random, first), folded = name;
      std::transform(folded.begin(), folded.end(), folded.begin(),
                     [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
      if (used.insert(folded).second) return name;
    }
  };

  for (int i = 0; i < 200; ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    // Letters in front keep names of one case apart from each other under any collation.
    const std::string db = fresh("d");
    const std::string table = RandomName(random, "t");
    const std::string a = RandomName(random, "a"), b = RandomName(random, "b");
    mariadb.CreateDatabaseNamed(db);
    mariadb.Execute({"CREATE TABLE " + test::Backticked(db) + "." + test::Backticked(table) + " (" +
                         test::Backticked(a) + " INT PRIMARY KEY, " + test::Backticked(b) +
                         " VARCHAR(10), KEY (" + test::Backticked(b) + "))",
                     "INSERT INTO " + test::Backticked(db) + "." + test::Backticked(table) +
                         " VALUES (" + std::to_string(i) + ", 'v')"});
    ASSERT_EQ(mysql_select_db(mysql.get(), db.c_str()), 0);

    const std::string targetName = fresh("s");
    const auto before = databases();
    window.tables = {table};
    window.selected = {0};
    window.targetName = targetName;
    window.messages.clear();
    ConversionContext context{window, source, target, pending, stop, std::chrono::milliseconds(0)};
    const RunSummary summary = ConvertDatabase(context);
    ASSERT_EQ(summary.outcome, RunOutcome::Completed)
        << "database " << targetName << ", table " << table << ", columns " << a << " / " << b
        << ": " << window.messages.back();

    // Exactly one new database, of exactly that name, holding exactly that table.
    auto after = databases();
    for (const auto& name : before) after.erase(name);
    EXPECT_EQ(after, std::set<std::string>{targetName});
    look.Run("USE " + Bracketed(targetName));
    auto& inside = look;
    EXPECT_EQ(inside.Query("SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES"),
              (std::vector<OdbcRow>{{table}}));
    EXPECT_EQ(inside.Query("SELECT COLUMN_NAME FROM INFORMATION_SCHEMA.COLUMNS ORDER BY "
                           "ORDINAL_POSITION"),
              (std::vector<OdbcRow>{{a}, {b}}));
    EXPECT_EQ(inside.Query("SELECT * FROM " + Bracketed(table)),
              (std::vector<OdbcRow>{{std::to_string(i), "v"}}));
  }
}

TEST_F(BadInput, CredentialsReachBothServersAsTyped) {
  // Quotes, semicolons, braces and an equals sign, which a connection string must brace.
  const std::string login = "o'n;e{x}=1", password = "p;w}{'\"=x}}";
  test::MariaDbTestClient mariadb;
  mariadb.Execute({"CREATE USER 'o''n;e{x}=1'@'%' IDENTIFIED BY 'p;w}{''\"=x}}'"});
  const auto m = test::MariaDb();
  MySqlHandle mysql;
  EXPECT_NE(OpenMySqlConnection(mysql, test::MariaDbAddress(), login, password), 0);
  EXPECT_EQ(OpenMySqlConnection(mysql, test::MariaDbAddress(), login, password + "x"), 0);
  mariadb.Execute({"DROP USER 'o''n;e{x}=1'@'%'"});

  test::PrivateServer sqlserver("sqlserver", {login + ":" + password});
  const auto s = sqlserver.AsSqlServer();
  const std::string server = s.host + "," + std::to_string(s.port);
  TargetConnection target;
  test::FailOnMessage box;
  EXPECT_EQ(ConnectSqlServer(target, server, login, password,
                             Authentication::SqlServerAuthentication, box),
            1);
}

}  // namespace
}  // namespace morvane
