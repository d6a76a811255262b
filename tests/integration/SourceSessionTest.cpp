// The MySQL session as the source sets it up, whatever the server's own settings: texts in
// utf8mb4 although init_connect sets another character set, one snapshot for every table
// although the server reads READ COMMITTED, and FLOAT values to their last bit.
#include <gmock/gmock.h>
#include <mysql.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "source/MySqlSource.h"
#include "tests/integration/PrivateServers.h"
#include "tests/support/MariaDbTestClient.h"

namespace morvane {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

std::string Tcp(const test::MariaDbSettings& s) { return s.host + ":" + std::to_string(s.port); }

void Exec(MySqlHandle& connection, const std::string& statement) {
  ASSERT_EQ(mysql_query(connection.get(), statement.c_str()), 0)
      << statement << ": " << mysql_error(connection.get());
}

// Every row the source reads from the table, each cell as text ("NULL" for none).
std::vector<std::vector<std::string>> ReadAll(MySqlSourceDatabase& source, const std::string& table) {
  std::string error;
  auto reader = source.ReadRows(table, error);
  EXPECT_NE(reader, nullptr) << error;
  std::vector<std::vector<std::string>> rows;
  if (!reader) return rows;
  while (const auto* row = reader->Next()) {
    auto& out = rows.emplace_back();
    for (const auto& cell : *row) out.push_back(cell ? std::string(*cell) : "NULL");
  }
  EXPECT_EQ(reader->Error(), std::nullopt);
  return rows;
}

// One private server for the suite: its global settings are the test's own.
class PrivateSession : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = std::make_unique<test::PrivateServer>("mariadb");
    admin = std::make_unique<MySqlHandle>();
    const auto s = server->AsMariaDb();
    ASSERT_NE(OpenMySqlConnection(*admin, Tcp(s), s.user, s.password), 0);
  }
  static void TearDownTestSuite() {
    admin.reset();
    server.reset();
  }
  // Runs the statements as the administrator, then opens the source on the database as the
  // test login.
  void Prepare(const std::vector<std::string>& statements, const std::string& database) {
    for (const auto& statement : statements) Exec(*admin, statement);
    const auto s = server->AsMariaDb();
    ASSERT_NE(OpenMySqlConnection(connection, Tcp(s), s.user, s.password), 0);
    ASSERT_TRUE(connection.SelectDatabase(database));
  }

  static inline std::unique_ptr<test::PrivateServer> server;
  static inline std::unique_ptr<MySqlHandle> admin;
  MySqlHandle connection;
  MySqlSourceDatabase source{connection};
};

// A login without SUPER, for which the server runs init_connect.
constexpr char kPlainUser[] = "plain";
constexpr char kPlainPassword[] = "Plain-Test-1";

TEST_F(PrivateSession, TextsArriveExactlyAlthoughInitConnectSetsLatin1) {
  Exec(*admin, "CREATE DATABASE letters");
  Exec(*admin, "CREATE TABLE letters.t (id INT PRIMARY KEY, v VARCHAR(40) CHARACTER SET utf8mb4)");
  Exec(*admin, "INSERT INTO letters.t VALUES (1, _utf8mb4 0x" +
                  std::string("F09F9880CEB1CEB2CEB3E6BCA2E5AD97C582C3B3") + ")");
  Exec(*admin, std::string("CREATE USER ") + kPlainUser + "@'%' IDENTIFIED BY '" + kPlainPassword + "'");
  Exec(*admin, std::string("GRANT SELECT ON letters.* TO ") + kPlainUser + "@'%'");
  Exec(*admin, "SET GLOBAL init_connect = 'SET NAMES latin1'");
  const std::string expected = "\xF0\x9F\x98\x80\xCE\xB1\xCE\xB2\xCE\xB3\xE6\xBC\xA2\xE5\xAD\x97"
                               "\xC5\x82\xC3\xB3";  // 😀αβγ漢字łó

  // The server does override the handshake for this login: a client that only asks in the
  // handshake gets latin1 results.
  const auto s = server->AsMariaDb();
  {
    MYSQL* raw = mysql_init(nullptr);
    mysql_options(raw, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    ASSERT_NE(mysql_real_connect(raw, s.host.c_str(), kPlainUser, kPlainPassword, "", s.port,
                                 nullptr, 0),
              nullptr)
        << mysql_error(raw);
    ASSERT_EQ(mysql_query(raw, "SELECT @@character_set_results"), 0);
    MYSQL_RES* result = mysql_store_result(raw);
    MYSQL_ROW row = mysql_fetch_row(result);
    EXPECT_STREQ(row[0], "latin1");
    mysql_free_result(result);
    mysql_close(raw);
  }

  ASSERT_NE(OpenMySqlConnection(connection, Tcp(s), kPlainUser, kPlainPassword), 0)
      << connection.ConnectFailure();
  ASSERT_TRUE(connection.SelectDatabase("letters"));
  EXPECT_THAT(ReadAll(source, "t"), ElementsAre(ElementsAre("1", expected)));
  // The same after the connection is opened again.
  connection.Cancel();
  EXPECT_THAT(ReadAll(source, "t"), ElementsAre(ElementsAre("1", expected)));
  Exec(*admin, "SET GLOBAL init_connect = ''");
}

TEST_F(PrivateSession, OneSnapshotAlthoughTheServerReadsReadCommitted) {
  Prepare({"SET GLOBAL TRANSACTION ISOLATION LEVEL READ COMMITTED", "CREATE DATABASE snap",
           "CREATE TABLE snap.t (id INT PRIMARY KEY) ENGINE=InnoDB",
           "INSERT INTO snap.t VALUES (1), (2)"},
          "snap");
  std::string error;
  ASSERT_TRUE(source.BeginSnapshot(error)) << error;
  // The snapshot exists from here on: what another connection commits now is not seen.
  ASSERT_EQ(source.CountRows("t"), std::optional<std::uint64_t>(2));
  Exec(*admin, "INSERT INTO snap.t VALUES (3)");
  EXPECT_EQ(source.CountRows("t"), std::optional<std::uint64_t>(2));
  EXPECT_THAT(ReadAll(source, "t"), ElementsAre(ElementsAre("1"), ElementsAre("2")));
  source.EndSnapshot();
  EXPECT_EQ(source.CountRows("t"), std::optional<std::uint64_t>(3));
  Exec(*admin, "SET GLOBAL TRANSACTION ISOLATION LEVEL REPEATABLE READ");
}

TEST_F(PrivateSession, TablesWhoseEngineTakesNoPartInTheSnapshotAreNamed) {
  Prepare({"CREATE DATABASE engines", "CREATE TABLE engines.inno (id INT) ENGINE=InnoDB",
           "CREATE TABLE engines.my (id INT) ENGINE=MyISAM",
           "CREATE TABLE engines.aria (id INT) ENGINE=Aria",
           "CREATE TABLE engines.mem (id INT) ENGINE=MEMORY",
           "CREATE VIEW engines.v AS SELECT id FROM engines.my"},
          "engines");

  const auto outside = source.TablesOutsideSnapshot({"inno", "my", "aria", "mem", "v"});
  std::vector<std::string> named;
  for (const auto& t : outside) named.push_back(t.table + " " + t.engine);
  EXPECT_THAT(named, ElementsAre("aria Aria", "mem MEMORY", "my MyISAM"));
  // Only the tables asked about.
  EXPECT_TRUE(source.TablesOutsideSnapshot({"inno"}).empty());
}

// FLOAT cells read through the source are the stored single-precision values, bit for bit,
// without CAST(... AS DOUBLE), which MySQL before 8.0.17 does not have.
TEST(FloatValues, EveryEdgeValueArrivesExactly) {
  test::MariaDbTestClient mariadb;
  const std::string db = mariadb.CreateDatabase("floats");
  const std::vector<float> values = {
      FLT_MIN, -FLT_MIN, FLT_MAX, -FLT_MAX, FLT_TRUE_MIN, -FLT_TRUE_MIN,
      std::nextafter(FLT_MIN, 0.0f),  // the largest subnormal
      16777216.0f, 16777215.0f, 16777218.0f, 1.23456789f, 0.1f, -3.14159274f, 1e-10f, 1.0f,
      0.0f, -0.0f, 123456789.0f, 2.5e-40f};
  std::string insert = "INSERT INTO " + test::Backticked(db) + ".t VALUES ";
  for (std::size_t i = 0; i < values.size(); ++i) {
    char literal[64];
    std::snprintf(literal, sizeof literal, "%.17g", static_cast<double>(values[i]));
    // A DOUBLE literal always ("-0" alone would be the integer 0).
    const std::string number = std::strchr(literal, 'e') ? literal : std::string(literal) + "e0";
    insert += (i ? ", (" : "(") + std::to_string(i) + ", " + number + ")";
  }
  mariadb.Execute({"CREATE TABLE " + test::Backticked(db) + ".t (id INT PRIMARY KEY, f FLOAT)",
                   insert});

  MySqlHandle connection;
  test::OpenSourceDatabase(connection, db);
  MySqlSourceDatabase source(connection);
  const auto rows = ReadAll(source, "t");
  ASSERT_EQ(rows.size(), values.size());
  // MariaDB's own widening, which MySQL before 8.0.17 does not have, as the second witness.
  const auto cast = mariadb.Query("SELECT CAST(f AS DOUBLE) FROM " + test::Backticked(db) +
                                  ".t ORDER BY id");
  ASSERT_EQ(cast.size(), values.size());
  for (const auto& row : rows) {
    const std::size_t id = std::stoul(row[0]);
    const float stored = values.at(id);
    const double read = std::strtod(row[1].c_str(), nullptr);
    // The text is the stored float itself widened to double, not a shortened decimal of it.
    EXPECT_EQ(read, static_cast<double>(stored)) << row[1];
    EXPECT_EQ(row[1], cast.at(id).at(0).value_or("NULL"));
  }
}

}  // namespace
}  // namespace morvane
