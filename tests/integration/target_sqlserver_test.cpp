// The target objects against the SQL Server test server, through the FreeTDS driver.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TargetTestSupport.h"
#include "target/OdbcServer.h"
#include "target/SqlServerLogin.h"
#include "target/TargetServer.h"
#include "tests/integration/target_tds_relay.h"
#include "tests/support/TestServers.h"

namespace morvane {
namespace {

using test::NewFreeTdsServer;
using test::RecordingMessageBox;

using testing::HasSubstr;

std::int32_t Length(const std::string& statement) {
  return static_cast<std::int32_t>(statement.size());
}

void Send(TargetServerObject& server, const std::string& statement) {
  server.ExecuteWithResults(statement, Length(statement));
}
void Send(TargetDatabaseObject& database, const std::string& statement) {
  database.ExecuteWithResults(statement, Length(statement));
}

// The error that `operation` raises; fails the test when it raises none.
template <class Operation>
TargetError Raised(Operation&& operation) {
  try {
    operation();
  } catch (const TargetError& error) {
    return error;
  }
  ADD_FAILURE() << "no error raised";
  return TargetError(0);
}

class SqlServerTarget : public testing::Test {
 protected:
  void SetUp() override {
    auto settings = test::ServerSettings("sqlserver");
    host = settings["host"];
    port = static_cast<unsigned>(std::stoul(settings["port"]));
    user = settings["user"];
    password = settings["password"];
  }

  std::string ServerName() const { return host + "," + std::to_string(port); }

  int Login(const std::string& serverName, const std::string& withPassword,
            Authentication authentication = Authentication::SqlServerAuthentication) {
    return ConnectSqlServer(connection, serverName, user, withPassword, authentication, messageBox,
                            NewFreeTdsServer);
  }

  // Logs in and creates a database of its own for the test, current on the connection.
  std::string LoginWithDatabase(const std::string& serverName) {
    EXPECT_EQ(Login(serverName, password), 1);
    const std::string name = test::UniqueName("target");
    Send(*connection.TargetServer, "CREATE DATABASE " + name);
    Send(*connection.TargetServer, "USE " + name);
    return name;
  }

  std::string host;
  unsigned port = 0;
  std::string user;
  std::string password;
  TargetConnection connection;
  RecordingMessageBox messageBox;
};

TEST_F(SqlServerTarget, SqlServerAuthenticationWithTheRightPasswordLogsIn) {
  EXPECT_EQ(Login(ServerName(), password), 1);
  EXPECT_TRUE(messageBox.shown.empty());
  EXPECT_NO_THROW(Send(*connection.TargetServer, "USE master"));
}

TEST_F(SqlServerTarget, AWrongPasswordIsReportedWithTheServersNumberAndText) {
  EXPECT_EQ(Login(ServerName(), password + "-wrong"), 0);
  ASSERT_EQ(messageBox.shown.size(), 1u);
  const std::string& report = messageBox.shown[0];
  EXPECT_THAT(report,
              testing::StartsWith("\n[FreeTDS][SQL Server] SQLSTATE 42000 Error: " +
                                  std::to_string(target_code::kServerErrorBase + 18456) + "\r\n"));
  EXPECT_THAT(report, HasSubstr("Login failed for user '" + user + "'."));
  EXPECT_THAT(report, testing::EndsWith("\r\nIDispatch error #18456\r\n"));
  EXPECT_FALSE(connection.TargetServer.Empty());
}

TEST_F(SqlServerTarget, WindowsAuthenticationIsRefusedByTheTestServer) {
  EXPECT_EQ(Login(ServerName(), password, Authentication::WindowsAuthentication), 0);
  ASSERT_EQ(messageBox.shown.size(), 1u);
  const std::string& report = messageBox.shown[0];
  EXPECT_THAT(report, testing::StartsWith("\n[FreeTDS]"));
  // Without a Kerberos ticket FreeTDS gives up before the server can answer 18452; with one,
  // the test server refuses the integrated login.
  if (report.find("18452") == std::string::npos) {
    EXPECT_THAT(report, HasSubstr("Windows authentication could not be used."));
  }
  EXPECT_THAT(report, testing::EndsWith("\r\n"));
}

TEST_F(SqlServerTarget, ASecondAttemptReleasesTheFailedObjectAndLogsIn) {
  std::vector<std::weak_ptr<TargetServerObject>> made;
  auto factory = [&made]() {
    auto server = NewFreeTdsServer();
    made.push_back(server);
    return server;
  };
  EXPECT_EQ(ConnectSqlServer(connection, ServerName(), user, "not the password",
                             Authentication::SqlServerAuthentication, messageBox, factory),
            0);
  EXPECT_EQ(ConnectSqlServer(connection, ServerName(), user, password,
                             Authentication::SqlServerAuthentication, messageBox, factory),
            1);
  ASSERT_EQ(made.size(), 2u);
  EXPECT_TRUE(made[0].expired());
  EXPECT_EQ(made[1].lock(), connection.TargetServer.Get());
  EXPECT_EQ(messageBox.shown.size(), 1u);
  EXPECT_NO_THROW(Send(*connection.TargetServer, "USE master"));
}

TEST_F(SqlServerTarget, RunsOnTheServerAndOnADatabaseLookedUpByName) {
  const std::string name = LoginWithDatabase(ServerName());
  LookUpTargetDatabase(connection, name);
  ASSERT_FALSE(connection.TargetDatabase.Empty());
  TargetDatabaseObject& database = *connection.TargetDatabase;

  Send(database, "CREATE TABLE [t] (a INT NOT NULL)");
  Send(*connection.TargetServer, "USE master");
  // On the server the statement runs in master, where [t] does not exist...
  const TargetError inMaster =
      Raised([&] { Send(*connection.TargetServer, "INSERT INTO [t] VALUES (1)"); });
  EXPECT_EQ(inMaster.Code(), target_code::kServerErrorBase + 208);
  // ...on the database object in its own database, wherever the connection was.
  EXPECT_NO_THROW(Send(database, "INSERT INTO [t] VALUES (1)"));
  // Rows of a result are read and thrown away; the connection is free again afterwards.
  EXPECT_NO_THROW(Send(database, "SELECT * FROM [t]"));
  EXPECT_NO_THROW(Send(database, "INSERT INTO [t] VALUES (2)"));
  // Only the given length of the text is sent.
  const std::string withTail = "INSERT INTO [t] VALUES (3) and what follows is not sent";
  EXPECT_NO_THROW(database.ExecuteWithResults(withTail, Length("INSERT INTO [t] VALUES (3)")));
  // The lookup compares names as the server does, without regard to case.
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_NO_THROW(LookUpTargetDatabase(connection, upper));
  EXPECT_NO_THROW(Send(*connection.TargetDatabase, "INSERT INTO [t] VALUES (4)"));
}

TEST_F(SqlServerTarget, ALookupOfAnUnknownNameRaises) {
  EXPECT_EQ(Login(ServerName(), password), 1);
  const std::string name = test::UniqueName("absent");
  const TargetError error = Raised([&] { LookUpTargetDatabase(connection, name); });
  EXPECT_EQ(error.Code(), target_code::kNotFound);
  EXPECT_THAT(FormatTargetError(error),
              HasSubstr("The name '" + name + "' was not found in the Databases collection."));
  EXPECT_TRUE(connection.TargetDatabase.Empty());
}

TEST_F(SqlServerTarget, AnEmptyDatabaseHolderRaisesInvalidPointerWithoutErrorInformation) {
  EXPECT_EQ(Login(ServerName(), password), 1);
  const TargetError error =
      Raised([&] { Send(*connection.TargetDatabase, "CREATE TABLE [x] (a INT)"); });
  EXPECT_EQ(error.Code(), target_code::kInvalidPointer);
  EXPECT_EQ(FormatTargetError(error),
            "\n(null) Error: -2147467261\r\n(null)\r\nInvalid pointer\r\n");
}

TEST_F(SqlServerTarget, RefusedStatementsAreReportedWithTheServersNumberAndMessage) {
  const std::string name = LoginWithDatabase(ServerName());
  LookUpTargetDatabase(connection, name);
  const TargetError missingTable =
      Raised([&] { Send(*connection.TargetDatabase, "INSERT INTO nope VALUES (1)"); });
  EXPECT_EQ(FormatTargetError(missingTable),
            "\n[FreeTDS][SQL Server] SQLSTATE 42S02 Error: " +
                std::to_string(target_code::kServerErrorBase + 208) +
                "\r\nInvalid object name 'nope'.\r\nIDispatch error #208\r\n");
  EXPECT_FALSE(missingTable.ConnectionLost());

  // A failure later in a batch is found while its results are read.
  const TargetError later = Raised([&] {
    Send(*connection.TargetDatabase, "CREATE TABLE [u] (a INT)\nINSERT INTO [nope] VALUES (1)");
  });
  EXPECT_EQ(later.Code(), target_code::kServerErrorBase + 208);

  // An unknown database is the server's refusal, not a broken connection.
  const TargetError unknown =
      Raised([&] { Send(*connection.TargetServer, "USE " + test::UniqueName("nowhere")); });
  EXPECT_EQ(unknown.Code(), target_code::kServerErrorBase + 911);
  EXPECT_FALSE(unknown.ConnectionLost());
  EXPECT_THAT(FormatTargetError(unknown), HasSubstr("does not exist"));
}

TEST_F(SqlServerTarget, TextArrivesAsTyped) {
  const std::string name = LoginWithDatabase(ServerName());
  LookUpTargetDatabase(connection, name);
  TargetDatabaseObject& database = *connection.TargetDatabase;
  const std::string text = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 it''s";
  Send(database, "CREATE TABLE [u] (s NVARCHAR(40) NULL)");
  Send(database, "INSERT INTO [u] VALUES (N'" + text + "')");
  // Fails with 208 exactly when no row holds the text.
  auto check = [&](const std::string& wanted) {
    Send(database, "IF NOT EXISTS (SELECT * FROM [u] WHERE s = N'" + wanted +
                       "') SELECT * FROM [no_such_table]");
  };
  EXPECT_NO_THROW(check(text));
  EXPECT_THROW(check("caf\xC3\xA9 \xE2\x82\xAC"), TargetError);
}

TEST_F(SqlServerTarget, TheDatabaseObjectSwitchesOnlyWhenTheConnectionIsElsewhere) {
  test::TdsRelay relay(host, port);
  const std::string name = LoginWithDatabase("127.0.0.1," + std::to_string(relay.Port()));
  LookUpTargetDatabase(connection, name);
  TargetDatabaseObject& database = *connection.TargetDatabase;
  Send(database, "CREATE TABLE [t] (a INT)");

  int before = relay.SqlBatches();
  for (int i = 0; i < 3; ++i) Send(database, "INSERT INTO [t] VALUES (" + std::to_string(i) + ")");
  EXPECT_EQ(relay.SqlBatches() - before, 3);

  Send(*connection.TargetServer, "USE master");
  before = relay.SqlBatches();
  Send(database, "INSERT INTO [t] VALUES (9)");
  Send(database, "INSERT INTO [t] VALUES (10)");
  EXPECT_EQ(relay.SqlBatches() - before, 3);  // one USE, then the two rows
}

TEST_F(SqlServerTarget, ABrokenConnectionIsALostConnection) {
  test::TdsRelay relay(host, port);
  const std::string name = LoginWithDatabase("127.0.0.1," + std::to_string(relay.Port()));
  LookUpTargetDatabase(connection, name);
  relay.Cut();
  for (int attempt = 0; attempt < 2; ++attempt) {
    const TargetError error =
        Raised([&] { Send(*connection.TargetDatabase, "CREATE TABLE [t] (a INT)"); });
    EXPECT_TRUE(error.ConnectionLost()) << FormatTargetError(error);
    EXPECT_EQ(error.Code(), target_code::kConnectionLost);
    EXPECT_THAT(FormatTargetError(error),
                HasSubstr("\r\nThe specified network name is no longer available.\r\n"));
  }
  EXPECT_TRUE(Raised([&] { Send(*connection.TargetServer, "USE master"); }).ConnectionLost());
}

TEST_F(SqlServerTarget, TwoThreadsShareTheConnectionOneCallAtATime) {
  const std::string name = LoginWithDatabase(ServerName());
  LookUpTargetDatabase(connection, name);
  Send(*connection.TargetDatabase, "CREATE TABLE [t] (a INT NOT NULL PRIMARY KEY)");
  std::vector<std::string> failures;
  std::thread worker([&] {
    for (int i = 0; i < 150; ++i) {
      try {
        Send(*connection.TargetDatabase, "INSERT INTO [t] VALUES (" + std::to_string(i) + ")");
      } catch (const TargetError& error) {
        failures.push_back(FormatTargetError(error));
      }
    }
  });
  // Meanwhile the other thread moves the connection away, again and again.
  std::vector<std::string> serverFailures;
  for (int i = 0; i < 150; ++i) {
    try {
      Send(*connection.TargetServer, "USE master");
    } catch (const TargetError& error) {
      serverFailures.push_back(FormatTargetError(error));
    }
  }
  worker.join();
  EXPECT_THAT(failures, testing::IsEmpty());
  EXPECT_THAT(serverFailures, testing::IsEmpty());
  // Every row arrived once: a second copy of any of them is refused by the key.
  for (int i : {0, 74, 149}) {
    EXPECT_EQ(Raised([&] {
                Send(*connection.TargetDatabase,
                     "INSERT INTO [t] VALUES (" + std::to_string(i) + ")");
              }).Code(),
              target_code::kServerErrorBase + 2627);
  }
}

}  // namespace
}  // namespace morvane
