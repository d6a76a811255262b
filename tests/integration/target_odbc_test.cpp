// The ODBC target objects where no server is needed: the driver manager, the driver choice,
// an unreachable server, and what is refused before anything is sent.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/TargetTestSupport.h"
#include "target/OdbcServer.h"
#include "target/SqlServerLogin.h"

namespace morvane {
namespace {

using test::NewFreeTdsServer;
using test::RecordingMessageBox;

using testing::HasSubstr;

// A port on 127.0.0.1 that was free a moment ago: nothing answers there.
unsigned ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  EXPECT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
  close(fd);
  return ntohs(address.sin_port);
}

TEST(OdbcTarget, TheDriverManagerListsFreeTds) {
  const auto installed = InstalledOdbcDrivers();
  EXPECT_NE(std::find(installed.begin(), installed.end(), "FreeTDS"), installed.end());
  EXPECT_TRUE(ChooseSqlServerDriver(installed).has_value());
}

TEST(OdbcTarget, NoInstalledDriverIsReportedAtConnect) {
  OdbcServerOptions options;
  options.drivers = {"Morvane Test Driver That Is Not Installed"};
  auto server = CreateOdbcTargetServer(options);
  ASSERT_NE(server, nullptr);
  server->LoginSecure(false);
  try {
    server->Connect("127.0.0.1", std::string("sa"), std::string("x"));
    FAIL() << "no error raised";
  } catch (const TargetError& error) {
    EXPECT_EQ(error.Code(), target_code::kDriverMissing);
    EXPECT_THAT(FormatTargetError(error),
                HasSubstr("\"Morvane Test Driver That Is Not Installed\""));
    EXPECT_THAT(FormatTargetError(error), HasSubstr("The specified module could not be found."));
  }
}

TEST(OdbcTarget, AnUnreachablePortIsReportedAndReturnsZero) {
  const std::string serverName = "127.0.0.1," + std::to_string(ClosedPort());
  for (auto authentication :
       {Authentication::SqlServerAuthentication, Authentication::WindowsAuthentication}) {
    TargetConnection connection;
    RecordingMessageBox messageBox;
    EXPECT_EQ(
        ConnectSqlServer(connection, serverName, "sa", "x", authentication, messageBox, NewFreeTdsServer),
        0);
    ASSERT_EQ(messageBox.shown.size(), 1u);
    const std::string& report = messageBox.shown[0];
    EXPECT_THAT(report, testing::StartsWith("\n[FreeTDS][SQL Server] SQLSTATE 08S01"));
    EXPECT_THAT(report, HasSubstr(" Error: -2147467259\r\n"));
    EXPECT_THAT(report, HasSubstr("Unable to connect"));
    EXPECT_THAT(report, testing::EndsWith("\r\nUnspecified error\r\n"));
    EXPECT_THAT(report, testing::Not(HasSubstr("Kerberos")));
    EXPECT_FALSE(connection.TargetServer.Empty());
  }
}

// FreeTDS here is 1.3 (its version read from its library): "};" cannot be passed. No server
// listens: the message is the refusal, not a failed connection.
TEST(OdbcTarget, APasswordThatFreeTdsCannotTakeIsReportedBeforeConnecting) {
  TargetConnection connection;
  RecordingMessageBox messageBox;
  EXPECT_EQ(
      ConnectSqlServer(connection, "127.0.0.1," + std::to_string(ClosedPort()), "sa", "pa};ss",
                       Authentication::SqlServerAuthentication, messageBox, NewFreeTdsServer),
      0);
  ASSERT_EQ(messageBox.shown.size(), 1u);
  EXPECT_EQ(messageBox.shown[0],
            "\nMorvane Error: -2147024809\r\nThe login or password holds \"};\", which the "
            "FreeTDS driver before version 1.4 cannot take. Please choose another password, or "
            "name an ODBC data source in the SQL Server box (DSN=name), whose login takes any "
            "password.\r\nThe parameter is incorrect.\r\n");
}

TEST(OdbcTarget, StatementsBeforeTheLoginAreRefused) {
  auto server = CreateOdbcTargetServer();
  ASSERT_NE(server, nullptr);
  try {
    server->ExecuteWithResults("USE master", 10);
    FAIL() << "no error raised";
  } catch (const TargetError& error) {
    EXPECT_EQ(error.Code(), target_code::kNotConnected);
    EXPECT_FALSE(error.ConnectionLost());
  }
  EXPECT_THROW(server->Databases()->Refresh(), TargetError);
}

TEST(OdbcTarget, LengthsOutsideTheStatementAndBadTextAreRefused) {
  auto server = CreateOdbcTargetServer();
  ASSERT_NE(server, nullptr);
  for (auto [text, length] : std::vector<std::pair<std::string, std::int32_t>>{
           {"USE master", 11}, {"USE master", -1}, {"SELECT 'caf\xC3'", 13}}) {
    try {
      server->ExecuteWithResults(text, length);
      ADD_FAILURE() << "no error raised for " << text << " " << length;
    } catch (const TargetError& error) {
      EXPECT_EQ(error.Code(), target_code::kInvalidArgument) << text << " " << length;
      EXPECT_THAT(FormatTargetError(error), HasSubstr("The parameter is incorrect."));
    }
  }
}

}  // namespace
}  // namespace morvane
