// Logins and passwords that hold the connection string's own characters arrive as typed: a
// TDS test server of this test's own, whose only login has such a name and password.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/TargetTestSupport.h"
#include "target/OdbcServer.h"
#include "target/SqlServerLogin.h"

extern char** environ;

namespace morvane {
namespace {

using test::NewFreeTdsServer;
using test::RecordingMessageBox;

// Runs the test server binary with one login until the end of the test.
class OwnTdsServer {
 public:
  OwnTdsServer(const std::string& login, const std::string& password) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string binary = MORVANE_TDS_SERVER;
    std::string portOption = "--port", portValue = "0", loginOption = "--login";
    std::string loginValue = login + ":" + password;
    std::vector<char*> argv{binary.data(),      portOption.data(), portValue.data(),
                            loginOption.data(), loginValue.data(), nullptr};
    const int spawned = posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
      close(out[0]);
      throw std::runtime_error("cannot start " + binary);
    }
    FILE* lines = fdopen(out[0], "r");
    char line[128] = {};
    unsigned port = 0;
    if (lines && std::fgets(line, sizeof line, lines)) {
      std::sscanf(line, "listening on 127.0.0.1:%u", &port);
    }
    if (lines) std::fclose(lines);
    if (port == 0) throw std::runtime_error("the test server did not start");
    port_ = port;
  }
  ~OwnTdsServer() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  OwnTdsServer(const OwnTdsServer&) = delete;
  OwnTdsServer& operator=(const OwnTdsServer&) = delete;

  std::string ServerName() const { return "127.0.0.1," + std::to_string(port_); }

 private:
  pid_t pid_ = 0;
  unsigned port_ = 0;
};

TEST(TargetCredentials, LoginAndPasswordWithConnectionStringCharactersArriveAsTyped) {
  const std::string login = "odd;user={x}=y";
  const std::string password = "p;w}=d{:}} ;";
  OwnTdsServer server(login, password);

  TargetConnection connection;
  RecordingMessageBox messageBox;
  EXPECT_EQ(ConnectSqlServer(connection, server.ServerName(), login, password,
                             Authentication::SqlServerAuthentication, messageBox, NewFreeTdsServer),
            1);
  EXPECT_THAT(messageBox.shown, testing::IsEmpty());

  // A password cut at its first ";" (what an unbraced string would pass) is refused.
  EXPECT_EQ(ConnectSqlServer(connection, server.ServerName(), login, "p",
                             Authentication::SqlServerAuthentication, messageBox, NewFreeTdsServer),
            0);
  ASSERT_EQ(messageBox.shown.size(), 1u);
  EXPECT_THAT(messageBox.shown[0], testing::HasSubstr("IDispatch error #18456"));
  EXPECT_THAT(messageBox.shown[0], testing::HasSubstr("Login failed for user '" + login + "'."));
}

TEST(TargetCredentials, NonAsciiLoginAndPasswordArriveAsTyped) {
  const std::string login = "m\xC3\xBCller";
  const std::string password = "p\xC3\xA4ss \xE2\x82\xAC \xF0\x9F\x98\x80";
  OwnTdsServer server(login, password);
  TargetConnection connection;
  RecordingMessageBox messageBox;
  EXPECT_EQ(ConnectSqlServer(connection, server.ServerName(), login, password,
                             Authentication::SqlServerAuthentication, messageBox, NewFreeTdsServer),
            1);
  EXPECT_THAT(messageBox.shown, testing::IsEmpty());
}

// Passwords with the characters that a connection string reads specially, each through the
// FreeTDS driver here (its version read from its library) to a server of its own.
TEST(TargetCredentials, PasswordsWithBracesSemicolonsAndSpacesThroughFreeTds) {
  for (const std::string password : {"p}w", "}", "ends}", "{pw", "{p}w}", "a}}b", "p;w", "p w",
                                     " lead", "trail ", "{;} ={", "x;}y"}) {
    OwnTdsServer server("sa", password);
    TargetConnection connection;
    RecordingMessageBox messageBox;
    EXPECT_EQ(ConnectSqlServer(connection, server.ServerName(), "sa", password,
                               Authentication::SqlServerAuthentication, messageBox,
                               NewFreeTdsServer),
              1)
        << "[" << password << "]";
    EXPECT_THAT(messageBox.shown, testing::IsEmpty()) << "[" << password << "]";
  }
}

// A data source of a private odbc.ini (ODBCINI): SQLConnect takes login and password as they
// are, "};" included.
TEST(TargetCredentials, ThroughADataSourceEveryPasswordArrivesAsTyped) {
  const std::string login = "odd;user}";
  const std::string password = "a};b {c}} ;";
  OwnTdsServer server(login, password);
  char folder[] = "/tmp/morvane-dsn-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string ini = std::string(folder) + "/odbc.ini";
  {
    std::ofstream out(ini);
    out << "[MorvaneCredentials]\nDriver = FreeTDS\nServer = 127.0.0.1\nPort = "
        << server.ServerName().substr(10)
        << "\nTDS_Version = 7.4\nClientCharset = UTF-8\n";
  }
  setenv("ODBCINI", ini.c_str(), 1);
  TargetConnection connection;
  RecordingMessageBox messageBox;
  EXPECT_EQ(ConnectSqlServer(connection, "DSN=MorvaneCredentials", login, password,
                             Authentication::SqlServerAuthentication, messageBox,
                             NewFreeTdsServer),
            1);
  EXPECT_THAT(messageBox.shown, testing::IsEmpty());
  // The password cut short is refused: the server compared what arrived.
  EXPECT_EQ(ConnectSqlServer(connection, "DSN=MorvaneCredentials", login, "a",
                             Authentication::SqlServerAuthentication, messageBox,
                             NewFreeTdsServer),
            0);
  ASSERT_EQ(messageBox.shown.size(), 1u);
  EXPECT_THAT(messageBox.shown[0], testing::HasSubstr("Login failed for user '" + login + "'."));
  unsetenv("ODBCINI");
  std::remove(ini.c_str());
  rmdir(folder);
}

}  // namespace
}  // namespace morvane
