// TIMESTAMP values read from a server whose time zone has daylight saving: in the repeated hour
// of the autumn change two stored instants show one wall time, and both arrive, each with its
// offset from UTC; a table without such values keeps DATETIME2.
#include <gmock/gmock.h>
#include <mysql.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>

#include "tests/integration/EndToEnd.h"
#include "tests/integration/PrivateServers.h"

namespace morvane {
namespace {

using testing::HasSubstr;
using testing::Not;

void Exec(MySqlHandle& connection, const std::string& statement) {
  ASSERT_EQ(mysql_query(connection.get(), statement.c_str()), 0)
      << statement << ": " << mysql_error(connection.get());
}

// The cells of a query's rows as text ("NULL" for none).
std::vector<std::vector<std::string>> Rows(MySqlHandle& connection, const std::string& query) {
  std::vector<std::vector<std::string>> rows;
  EXPECT_EQ(mysql_query(connection.get(), query.c_str()), 0) << mysql_error(connection.get());
  MYSQL_RES* result = mysql_store_result(connection.get());
  if (result == nullptr) return rows;
  const unsigned n = mysql_num_fields(result);
  while (MYSQL_ROW row = mysql_fetch_row(result)) {
    auto& out = rows.emplace_back();
    for (unsigned i = 0; i < n; ++i) out.push_back(row[i] != nullptr ? row[i] : "NULL");
  }
  mysql_free_result(result);
  return rows;
}

// Seconds since 1970 of the instant a DATETIMEOFFSET value names.
long long InstantOf(const test::OdbcValue& v) {
  std::tm tm{};
  tm.tm_year = v.year - 1900;
  tm.tm_mon = v.month - 1;
  tm.tm_mday = v.day;
  tm.tm_hour = v.hour;
  tm.tm_min = v.minute;
  tm.tm_sec = v.second;
  return static_cast<long long>(timegm(&tm)) - 60LL * v.offsetMinutes;
}

class DaylightSaving : public test::RunEndToEnd {
 protected:
  // A server whose SYSTEM time zone is Berlin's: CEST (+02:00) until 2024-10-27 01:00 UTC,
  // then CET (+01:00), so that 02:00 to 03:00 local time comes twice.
  static void SetUpTestSuite() {
    ASSERT_TRUE(std::filesystem::exists("/usr/share/zoneinfo/Europe/Berlin"))
        << "the time zone data (tzdata) is missing";
    const char* was = std::getenv("TZ");
    const std::optional<std::string> before = was ? std::optional<std::string>(was) : std::nullopt;
    setenv("TZ", "Europe/Berlin", 1);
    server = std::make_unique<test::PrivateServer>("mariadb");
    if (before) setenv("TZ", before->c_str(), 1);
    else unsetenv("TZ");
  }
  static void TearDownTestSuite() { server.reset(); }

  void SetUp() override {
    RunEndToEnd::SetUp();
    const auto s = server->AsMariaDb();
    const std::string address = s.host + ":" + std::to_string(s.port);
    ASSERT_NE(OpenMySqlConnection(admin, address, s.user, s.password), 0);
    // The fixture's source is read from the private server instead.
    ASSERT_NE(OpenMySqlConnection(mysql, address, s.user, s.password), 0);
  }
  void UseDatabase(const std::string& database) { ASSERT_TRUE(mysql.SelectDatabase(database)); }

  static inline std::unique_ptr<test::PrivateServer> server;
  MySqlHandle admin;
};

TEST_F(DaylightSaving, TwoInstantsOfOneWallTimeBothArriveWithTheirOffsets) {
  // The server shows TIMESTAMPs in its SYSTEM zone, which is Berlin's.
  ASSERT_EQ(Rows(admin, "SELECT @@session.time_zone, @@system_time_zone")[0][0], "SYSTEM");
  Exec(admin, "CREATE DATABASE fold");
  Exec(admin, "CREATE TABLE fold.t (id INT PRIMARY KEY, ts TIMESTAMP NULL UNIQUE, "
              "ts6 TIMESTAMP(6) NULL)");
  Exec(admin, "CREATE TABLE fold.plain (id INT PRIMARY KEY, ts TIMESTAMP(3) NULL)");
  // Inserted by their instants in UTC: the first two an hour apart, both shown as 02:30:00.
  Exec(admin, "SET time_zone = '+00:00'");
  Exec(admin, "SET sql_mode = ''");  // for the zero date
  Exec(admin, "INSERT INTO fold.t VALUES (1, '2024-10-27 00:30:00', '2024-10-27 00:59:59.25'), "
              "(2, '2024-10-27 01:30:00', '2024-10-27 01:00:00.75'), "
              "(3, '2024-07-01 10:00:00', NULL), (4, '2024-12-01 10:00:00', NULL), (5, NULL, NULL), "
              "(6, '0000-00-00 00:00:00', NULL)");
  Exec(admin, "INSERT INTO fold.plain VALUES (1, '2024-07-01 10:00:00.125'), "
              "(2, '2024-12-01 10:00:00'), (3, NULL)");
  Exec(admin, "SET time_zone = DEFAULT");
  const auto mysqlRows = Rows(admin, "SELECT ts, UNIX_TIMESTAMP(ts) FROM fold.t ORDER BY id");
  ASSERT_EQ(mysqlRows.size(), 6u);
  ASSERT_EQ(mysqlRows[0][0], "2024-10-27 02:30:00");  // one wall time, two instants
  ASSERT_EQ(mysqlRows[1][0], "2024-10-27 02:30:00");

  UseDatabase("fold");
  Convert({"plain", "t"});
  const std::string& report = FinalMessage();
  EXPECT_THAT(report, HasSubstr("t, column ts: created DATETIMEOFFSET(0): 1 value(s) whose wall "
                                "time in MySQL's session time zone names another instant too"));
  EXPECT_THAT(report, Not(HasSubstr("plain, column ts")));

  test::OdbcTestClient client(test::SqlServer(), targetName);
  const auto types = client.Query(
      "SELECT TABLE_NAME, DATA_TYPE, DATETIME_PRECISION FROM INFORMATION_SCHEMA.COLUMNS "
      "WHERE COLUMN_NAME = 'ts' ORDER BY TABLE_NAME");
  ASSERT_EQ(types.size(), 2u);
  EXPECT_EQ(types[0][1], "datetime2");
  EXPECT_EQ(types[0][2], "3");
  EXPECT_EQ(types[1][1], "datetimeoffset");
  EXPECT_EQ(types[1][2], "0");

  // Each value read back typed: MySQL's wall time, and an offset that gives MySQL's instant.
  const auto rows = client.TypedQuery("SELECT id, ts, ts6 FROM t ORDER BY id");
  ASSERT_EQ(rows.size(), mysqlRows.size());
  const int offsets[] = {120, 60, 120, 60};
  for (std::size_t i = 0; i < 4; ++i) {
    const test::OdbcValue& v = rows[i][1];
    ASSERT_EQ(v.kind, test::OdbcValue::Kind::TimestampOffset) << i;
    EXPECT_EQ(v.DateText().substr(0, 19), mysqlRows[i][0]) << i;
    EXPECT_EQ(v.offsetMinutes, offsets[i]) << i;
    EXPECT_EQ(InstantOf(v), std::stoll(mysqlRows[i][1])) << i;
  }
  EXPECT_TRUE(rows[4][1].IsNull());
  EXPECT_TRUE(rows[5][1].IsNull());  // the zero date, in a column created NULL

  // Fractions of a second on both sides of the change: 02:59:59.25 summer time, then
  // 02:00:00.75 winter time.
  EXPECT_EQ(rows[0][2].DateText(), "2024-10-27 02:59:59.250000000 +02:00");
  EXPECT_EQ(rows[1][2].DateText(), "2024-10-27 02:00:00.750000000 +01:00");

  // The table without a repeated wall time keeps each wall time in DATETIME2.
  const auto plain = client.TypedQuery("SELECT ts FROM plain ORDER BY id");
  ASSERT_EQ(plain.size(), 3u);
  ASSERT_EQ(plain[0][0].kind, test::OdbcValue::Kind::Timestamp);
  EXPECT_EQ(plain[0][0].DateText(), "2024-07-01 12:00:00.125000000");
  EXPECT_EQ(plain[1][0].DateText(), "2024-12-01 11:00:00.000000000");
  EXPECT_TRUE(plain[2][0].IsNull());
}

}  // namespace
}  // namespace morvane
