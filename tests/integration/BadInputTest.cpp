// Input meant to break the statements: names and values of every awkward kind, chosen at random
// from a fixed seed, go through whole conversions and arrive as exactly what they were.
#include <gmock/gmock.h>

#include <algorithm>
#include <random>
#include <cmath>
#include <cstdio>
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
  // A server of its own: other tests create databases on the shared one meanwhile.
  test::PrivateServer sqlserver("sqlserver");
  const auto s = sqlserver.AsSqlServer();
  TargetConnection target;
  test::FailOnMessage box;
  ASSERT_EQ(ConnectSqlServer(target, s.host + "," + std::to_string(s.port), s.user, s.password,
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

namespace morvane {
namespace {

std::string Hex(const std::string& bytes, const char* digits = "0123456789ABCDEF") {
  std::string out;
  for (char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// A random text of up to `max` characters: ASCII, quotes, backslashes, Latin, Cyrillic, CJK and
// emoji, as UTF-8.
std::string RandomText(std::mt19937& random, int max) {
  static const std::vector<std::string> pieces = {"a", "Z", " ", "'", "''", "\"", "\\", "%", "_",
                                                  ";", "--", "é", "ß", "Ж", "中", "😀", "🎉", "N'"};
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, max);
  std::string text;
  for (int n = length(random), i = 0; i < n; ++i) {
    const auto& p = pieces[piece(random)];
    if (Characters(text) + Characters(p) > static_cast<std::size_t>(max)) break;
    text += p;
  }
  return text;
}

TEST_F(BadInput, ValuesArriveAsMariaDbHeldThemOrAreReportedRefusals) {
  std::mt19937 random(42);
  test::MariaDbTestClient mariadb;
  const std::string db = mariadb.CreateDatabase("values");
  mariadb.Execute({"USE " + test::Backticked(db),
                   "CREATE TABLE v (id INT PRIMARY KEY, i INT, bi BIGINT, biu BIGINT UNSIGNED, "
                   "d DOUBLE, n DECIMAL(10,4), t VARCHAR(20), b VARBINARY(16), dt DATETIME, "
                   "da DATE, tm TIME, bits BIT(8), y YEAR)"});
  auto between = [&](long long lo, long long hi) {
    return std::uniform_int_distribution<long long>(lo, hi)(random);
  };
  const int rows = 300;
  int expectedRefusals = 0;
  std::vector<bool> refused(rows + 1, false);
  for (int id = 1; id <= rows; ++id) {
    std::string bytes;
    for (long long k = between(0, 16); k > 0; --k) bytes += static_cast<char>(between(0, 255));
    const long long dtYear = between(1000, 9999), daYear = between(1000, 9999), year = between(1901, 2155);
    // DATETIME2, DATE and SMALLINT hold every year MySQL does: nothing is refused.
    refused[static_cast<std::size_t>(id)] = false;
    char dates[160];
    std::snprintf(dates, sizeof dates, "'%04lld-%02lld-%02lld %02lld:%02lld:%02lld', '%04lld-%02lld-%02lld', '%02lld:%02lld:%02lld'",
                  dtYear, between(1, 12), between(1, 28), between(0, 23), between(0, 59), between(0, 59),
                  daYear, between(1, 12), between(1, 28), between(0, 23), between(0, 59), between(0, 59));
    const double d = std::ldexp(static_cast<double>(between(-(1LL << 52), 1LL << 52)),
                                static_cast<int>(between(-950, 900)));  // normal doubles only
    char number[64];
    std::snprintf(number, sizeof number, "%.17g", d);
    char decimal[32];
    std::snprintf(decimal, sizeof decimal, "%lld.%04lld", between(-999999, 999999), between(0, 9999));
    mariadb.Execute({"INSERT INTO v VALUES (" + std::to_string(id) + ", " +
                     std::to_string(between(INT32_MIN, INT32_MAX)) + ", " +
                     std::to_string(between(INT64_MIN, INT64_MAX)) + ", " +
                     std::to_string(std::uniform_int_distribution<unsigned long long>()(random)) + ", " +
                     number + ", " + decimal + ", CONVERT(X'" + Hex(RandomText(random, 20)) +
                     "' USING utf8mb4), X'" + Hex(bytes) + "', " + dates + ", " +
                     std::to_string(between(0, 255)) + ", " + std::to_string(year) + ")"});
  }

  MySqlHandle mysql;
  test::OpenSourceDatabase(mysql, db);
  MySqlSourceDatabase source(mysql);
  TargetConnection target;
  test::FailOnMessage box;
  const auto s = test::SqlServer();
  ASSERT_EQ(ConnectSqlServer(target, test::SqlServerAddress(), s.user, s.password,
                             Authentication::SqlServerAuthentication, box),
            1);
  window.tables = {"v"};
  window.selected = {0};
  window.targetName = test::UniqueName("values");
  ConversionContext context{window, source, target, pending, stop, std::chrono::milliseconds(0)};
  const RunSummary summary = ConvertDatabase(context);
  EXPECT_EQ(summary.rowsRefused, static_cast<std::uint64_t>(expectedRefusals));
  EXPECT_EQ(window.messages.back(), "MySQL to MS SQL Database Conversion successfully completed.");

  const auto held = mariadb.Query("SELECT id, i, bi, biu, d, n, t, b, dt, da, tm, bits + 0, y FROM v ORDER BY id");
  test::OdbcTestClient look(s);
  look.Run("USE " + Bracketed(window.targetName));
  const auto arrived = look.Query("SELECT * FROM [v] ORDER BY [id]");
  ASSERT_EQ(arrived.size(), static_cast<std::size_t>(rows - expectedRefusals));
  std::size_t a = 0;
  for (const auto& h : held) {
    const int id = std::stoi(*h[0]);
    if (refused[static_cast<std::size_t>(id)]) continue;
    const auto& r = arrived.at(a++);
    SCOPED_TRACE("row " + *h[0]);
    ASSERT_EQ(r.size(), 13u);
    EXPECT_EQ(r[0], h[0]);
    EXPECT_EQ(r[1], h[1]);
    EXPECT_EQ(r[2], h[2]);
    EXPECT_EQ(r[3], h[3]);
    EXPECT_EQ(std::strtod(r[4]->c_str(), nullptr), std::strtod(h[4]->c_str(), nullptr)) << *h[4];
    EXPECT_EQ(r[5], h[5]);
    EXPECT_EQ(r[6], h[6]);
    EXPECT_EQ(r[7], Hex(*h[7], "0123456789abcdef"));
    EXPECT_EQ(r[8], h[8]);
    EXPECT_EQ(r[9], h[9]);
    EXPECT_EQ(r[10], h[10]);
    EXPECT_EQ(r[11], h[11]);
    EXPECT_EQ(r[12], h[12]);
  }
}

}  // namespace
}  // namespace morvane
