// The MySQL connection reaches the server the user named, gives up on a silent host, reads
// field listings without COM_FIELD_LIST, and keeps a streamed result through a long pause.

#include <gtest/gtest.h>
#include <mysql.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "source/MySqlSource.h"
#include "tests/integration/PrivateServers.h"
#include "tests/integration/SilentHost.h"
#include "tests/support/MariaDbTestClient.h"

namespace morvane {
namespace {

std::string HostInfo(MySqlHandle& connection) {
  const char* info = mysql_get_host_info(connection.get());
  return info != nullptr ? info : "";
}

// The client library reads its default socket from MYSQL_UNIX_PORT once, when it starts: here
// it is the test server's socket, so that a server answers on the default socket path and
// a port that was dropped would go unnoticed but for the protocol the connection used.
class TestServerOnTheDefaultSocket : public testing::Environment {
 public:
  void SetUp() override { setenv("MYSQL_UNIX_PORT", test::MariaDb().socket.c_str(), 1); }
};
const auto* const defaultSocket =
    testing::AddGlobalTestEnvironment(new TestServerOnTheDefaultSocket);

TEST(SourceConnection, LocalhostWithAPortGoesOverTcpToThatPort) {
  const auto s = test::MariaDb();
  MySqlHandle connection;
  ASSERT_NE(OpenMySqlConnection(connection, "localhost:" + std::to_string(s.port), s.user,
                                s.password),
            0)
      << mysql_error(connection.get());
  EXPECT_NE(HostInfo(connection).find("TCP/IP"), std::string::npos) << HostInfo(connection);
}

TEST(SourceConnection, PlainLocalhostKeepsTheLocalSocket) {
  const auto s = test::MariaDb();
  MySqlHandle connection;
  ASSERT_NE(OpenMySqlConnection(connection, "localhost", s.user, s.password), 0)
      << mysql_error(connection.get());
  EXPECT_NE(HostInfo(connection).find("socket"), std::string::npos) << HostInfo(connection);
}

TEST(SourceConnection, ASilentHostFailsTheConnectWithinItsTimeOut) {
  test::SilentHost silent;
  MySqlHandle connection;
  MySqlConnectOptions options;
  options.connectTimeoutSeconds = 2;
  EXPECT_EQ(OpenMySqlConnection(connection, "127.0.0.1:" + std::to_string(silent.Port()), "u",
                                "p", options),
            0);
  EXPECT_NE(connection.ConnectFailure(), "");
}

TEST(SourceConnection, TheDefaultConnectTimeOutIsTheLoginsFifteenSeconds) {
  EXPECT_EQ(MySqlConnectOptions{}.connectTimeoutSeconds, 15u);
}

class FieldListingBothWays : public testing::Test {
 protected:
  test::MariaDbTestClient admin;
};

TEST_F(FieldListingBothWays, TheEmptySelectGivesTheSameRecordsAsTheFieldListCommand) {
  const std::string db = admin.CreateDatabase("fields");
  admin.Execute({"CREATE TABLE " + Backticked(db) + ".`odd ``name``` ("
                 "id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY, "
                 "code CHAR(4) NOT NULL UNIQUE, note VARCHAR(200) CHARACTER SET latin1, "
                 "price DECIMAL(10,3), made DATETIME(3), data BLOB, e ENUM('a','b'), "
                 "flags BIT(5), f FLOAT, KEY (price))"});
  const auto s = test::MariaDb();
  std::vector<FieldRecord> listed[2];
  for (int way = 0; way < 2; ++way) {
    MySqlConnectOptions options;
    options.noFieldListCommand = way == 1;
    MySqlHandle connection;
    ASSERT_NE(OpenMySqlConnection(connection, test::MariaDbAddress(), s.user, s.password, options), 0);
    ASSERT_TRUE(connection.SelectDatabase(db));
    MySqlSourceDatabase source(connection);
    const auto fields = source.FieldListing("odd `name`");
    ASSERT_TRUE(fields.has_value());
    listed[way] = *fields;
  }
  ASSERT_EQ(listed[0].size(), 9u);
  ASSERT_EQ(listed[1].size(), listed[0].size());
  for (std::size_t i = 0; i < listed[0].size(); ++i) {
    SCOPED_TRACE(listed[0][i].org_name);
    EXPECT_EQ(listed[1][i].org_name, listed[0][i].org_name);
    EXPECT_EQ(listed[1][i].type, listed[0][i].type);
    EXPECT_EQ(listed[1][i].length, listed[0][i].length);
    EXPECT_EQ(listed[1][i].decimals, listed[0][i].decimals);
    EXPECT_EQ(listed[1][i].charsetnr, listed[0][i].charsetnr);
    EXPECT_EQ(listed[1][i].flags, listed[0][i].flags);
  }
}

TEST_F(FieldListingBothWays, AMissingTableHasNoListingEitherWay) {
  const std::string db = admin.CreateDatabase("fields");
  const auto s = test::MariaDb();
  MySqlConnectOptions options;
  options.noFieldListCommand = true;
  MySqlHandle connection;
  ASSERT_NE(OpenMySqlConnection(connection, test::MariaDbAddress(), s.user, s.password, options), 0);
  ASSERT_TRUE(connection.SelectDatabase(db));
  MySqlSourceDatabase source(connection);
  EXPECT_FALSE(source.FieldListing("nothing").has_value());
}

// A server whose own net_write_timeout is one second. The copy stops reading the streamed
// rows while a message box is open; the session's setting keeps the server waiting.
class LongPause : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = new test::PrivateServer("mariadb");
    const auto s = server->AsMariaDb();
    MySqlHandle admin;
    ASSERT_NE(OpenMySqlConnection(admin, s.host + ":" + std::to_string(s.port), s.user, s.password), 0);
    for (const char* statement :
         {"SET GLOBAL net_write_timeout=1", "CREATE DATABASE pause",
          "USE pause", "CREATE TABLE t AS SELECT seq FROM seq_1_to_2000000"}) {
      ASSERT_EQ(mysql_query(admin.get(), statement), 0) << mysql_error(admin.get());
    }
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }

  // Reads one row, stops reading for longer than the server's setting, then reads the rest.
  std::pair<std::uint64_t, std::optional<std::string>> ReadWithAPause(const MySqlConnectOptions& options) {
    const auto s = server->AsMariaDb();
    MySqlHandle connection;
    EXPECT_NE(OpenMySqlConnection(connection, s.host + ":" + std::to_string(s.port), s.user,
                                  s.password, options),
              0);
    EXPECT_TRUE(connection.SelectDatabase("pause"));
    MySqlSourceDatabase source(connection);
    std::string error;
    auto rows = source.ReadRows("t", error);
    if (!rows) return {0, error};
    std::uint64_t count = rows->Next() != nullptr ? 1 : 0;
    // Not a synchronisation: the pause must outlast the server's one second.
    std::this_thread::sleep_for(std::chrono::seconds(4));
    while (rows->Next() != nullptr) ++count;
    return {count, rows->Error()};
  }

  static test::PrivateServer* server;
};
test::PrivateServer* LongPause::server = nullptr;

TEST_F(LongPause, TheRestOfTheTableStillArrivesAfterAPauseLongerThanTheServersSetting) {
  const auto [rows, error] = ReadWithAPause({});
  EXPECT_EQ(rows, 2000000u);
  EXPECT_FALSE(error.has_value()) << *error;
}

TEST_F(LongPause, WithTheServersShortSettingTheSameReadIsCutOff) {
  MySqlConnectOptions shortWait;
  shortWait.netWriteTimeoutSeconds = 1;
  const auto [rows, error] = ReadWithAPause(shortWait);
  EXPECT_LT(rows, 2000000u);
  EXPECT_TRUE(error.has_value());
}

}  // namespace
}  // namespace morvane
