#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TargetTestSupport.h"
#include "target/SqlServerLogin.h"
#include "target/TargetServer.h"

namespace morvane {
namespace {

using test::NewFreeTdsServer;
using test::RecordingMessageBox;

using Log = std::vector<std::string>;

std::string Shown(const std::optional<std::string>& text) {
  return text ? "'" + *text + "'" : std::string("<omitted>");
}

class RecordingDatabase final : public TargetDatabaseObject {
 public:
  RecordingDatabase(std::shared_ptr<Log> log, std::string name)
      : log_(std::move(log)), name_(std::move(name)) {}
  ~RecordingDatabase() override { log_->push_back("~Database(" + name_ + ")"); }
  void ExecuteWithResults(const std::string& command, std::int32_t length) override {
    log_->push_back(name_ + ".ExecuteWithResults(" + command + ", " + std::to_string(length) + ")");
  }

 private:
  std::shared_ptr<Log> log_;
  std::string name_;
};

class RecordingDatabases final : public TargetDatabasesObject {
 public:
  explicit RecordingDatabases(std::shared_ptr<Log> log, bool offersDatabase)
      : log_(std::move(log)), offersDatabase_(offersDatabase) {}
  ~RecordingDatabases() override { log_->push_back("~Databases"); }
  void Refresh() override { log_->push_back("Refresh"); }
  std::shared_ptr<TargetDatabaseObject> Item(const std::string& name) override {
    log_->push_back("Item(" + name + ")");
    if (name == "missing") throw TargetError(target_code::kNotFound, "fake", "not there");
    if (!offersDatabase_) return nullptr;
    return std::make_shared<RecordingDatabase>(log_, name);
  }

 private:
  std::shared_ptr<Log> log_;
  bool offersDatabase_;
};

class RecordingServer final : public TargetServerObject {
 public:
  explicit RecordingServer(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  ~RecordingServer() override { log_->push_back("~Server"); }

  void LoginSecure(bool secure) override {
    log_->push_back(std::string("LoginSecure(") + (secure ? "1" : "0") + ")");
    if (failLoginSecure) throw *failLoginSecure;
  }
  void Connect(const std::string& serverName, const std::optional<std::string>& login,
               const std::optional<std::string>& password) override {
    log_->push_back("Connect('" + serverName + "', " + Shown(login) + ", " + Shown(password) + ")");
    if (failConnect) throw *failConnect;
  }
  void ExecuteWithResults(const std::string& command, std::int32_t length) override {
    log_->push_back("Server.ExecuteWithResults(" + command + ", " + std::to_string(length) + ")");
  }
  std::shared_ptr<TargetDatabasesObject> Databases() override {
    log_->push_back("Databases");
    return std::make_shared<RecordingDatabases>(log_, offersDatabase);
  }

  std::optional<TargetError> failLoginSecure;
  std::optional<TargetError> failConnect;
  bool offersDatabase = true;

 private:
  std::shared_ptr<Log> log_;
};

struct LoginFixture : testing::Test {
  std::shared_ptr<Log> log = std::make_shared<Log>();
  TargetConnection connection;
  RecordingMessageBox messageBox;
  std::optional<TargetError> failConnect;
  std::weak_ptr<RecordingServer> lastServer;
  std::vector<bool> previousReleasedAtCreation;

  TargetServerFactory Factory() {
    return [this] {
      previousReleasedAtCreation.push_back(lastServer.expired());
      auto server = std::make_shared<RecordingServer>(log);
      server->failConnect = failConnect;
      lastServer = server;
      log->push_back("Create");
      return server;
    };
  }
};

TEST_F(LoginFixture, WindowsAuthenticationPassesNeitherLoginNorPassword) {
  EXPECT_EQ(ConnectSqlServer(connection, "db\\inst", "typed", "left over",
                             Authentication::WindowsAuthentication, messageBox, Factory()),
            1);
  EXPECT_EQ(*log, (Log{"Create", "LoginSecure(1)", "Connect('db\\inst', <omitted>, <omitted>)"}));
  EXPECT_TRUE(messageBox.shown.empty());
  EXPECT_EQ(connection.TargetServer.Get(), lastServer.lock());
}

TEST_F(LoginFixture, SqlServerAuthenticationPassesLoginAndPassword) {
  EXPECT_EQ(ConnectSqlServer(connection, "db,1444", "sa", "p;w}",
                             Authentication::SqlServerAuthentication, messageBox, Factory()),
            1);
  EXPECT_EQ(*log, (Log{"Create", "LoginSecure(0)", "Connect('db,1444', 'sa', 'p;w}')"}));
  EXPECT_TRUE(messageBox.shown.empty());
}

TEST_F(LoginFixture, EmptyTextsArePassedAsEmptyTexts) {
  EXPECT_EQ(ConnectSqlServer(connection, "", "", "", Authentication::SqlServerAuthentication,
                             messageBox, Factory()),
            1);
  EXPECT_EQ(*log, (Log{"Create", "LoginSecure(0)", "Connect('', '', '')"}));
}

TEST_F(LoginFixture, RefusedLoginShowsTheReportAndKeepsTheObject) {
  failConnect = TargetError(target_code::kServerErrorBase + 18456,
                            std::string("[FreeTDS][SQL Server] SQLSTATE 42000"),
                            std::string("Login failed for user 'sa'."));
  EXPECT_EQ(ConnectSqlServer(connection, "db", "sa", "wrong",
                             Authentication::SqlServerAuthentication, messageBox, Factory()),
            0);
  ASSERT_EQ(messageBox.shown.size(), 1u);
  EXPECT_EQ(messageBox.shown[0],
            "\n[FreeTDS][SQL Server] SQLSTATE 42000 Error: -2147202536\r\n"
            "Login failed for user 'sa'.\r\nIDispatch error #18456\r\n");
  EXPECT_FALSE(connection.TargetServer.Empty());
  EXPECT_EQ(connection.TargetServer.Get(), lastServer.lock());
}

TEST_F(LoginFixture, FailingLoginSecureStopsBeforeConnect) {
  auto factory = [this] {
    auto server = std::make_shared<RecordingServer>(log);
    server->failLoginSecure = TargetError(target_code::kUnspecified);
    return server;
  };
  EXPECT_EQ(ConnectSqlServer(connection, "db", "", "", Authentication::WindowsAuthentication,
                             messageBox, factory),
            0);
  EXPECT_EQ(*log, (Log{"LoginSecure(1)"}));
  ASSERT_EQ(messageBox.shown.size(), 1u);
  EXPECT_EQ(messageBox.shown[0], "\n(null) Error: -2147467259\r\n(null)\r\nUnspecified error\r\n");
}

TEST_F(LoginFixture, NoServerObjectMeansZeroWithoutAMessage) {
  const std::vector<TargetServerFactory> failing{
      [] { return std::shared_ptr<TargetServerObject>(); },
      []() -> std::shared_ptr<TargetServerObject> { throw TargetError(target_code::kOutOfMemory); },
  };
  for (const auto& factory : failing) {
    connection.TargetServer = std::make_shared<RecordingServer>(log);
    EXPECT_EQ(ConnectSqlServer(connection, "db", "sa", "x", Authentication::SqlServerAuthentication,
                               messageBox, factory),
              0);
    EXPECT_TRUE(connection.TargetServer.Empty());
    EXPECT_TRUE(messageBox.shown.empty());
  }
}

TEST_F(LoginFixture, SecondAttemptReleasesTheFailedObjectFirst) {
  failConnect = TargetError(target_code::kUnspecified);
  EXPECT_EQ(ConnectSqlServer(connection, "db", "sa", "wrong",
                             Authentication::SqlServerAuthentication, messageBox, Factory()),
            0);
  failConnect.reset();
  EXPECT_EQ(ConnectSqlServer(connection, "db", "sa", "right",
                             Authentication::SqlServerAuthentication, messageBox, Factory()),
            1);
  EXPECT_EQ(*log, (Log{"Create", "LoginSecure(0)", "Connect('db', 'sa', 'wrong')", "~Server",
                       "Create", "LoginSecure(0)", "Connect('db', 'sa', 'right')"}));
  EXPECT_EQ(previousReleasedAtCreation, (std::vector<bool>{true, true}));
  EXPECT_EQ(messageBox.shown.size(), 1u);
}

TEST(Holder, EmptyHolderRaisesInvalidPointerBeforeAnythingIsSent) {
  TargetConnection connection;
  auto expectInvalidPointer = [](auto&& operation) {
    try {
      operation();
      ADD_FAILURE() << "no error raised";
    } catch (const TargetError& error) {
      EXPECT_EQ(error.Code(), target_code::kInvalidPointer);
      EXPECT_FALSE(error.HasErrorInfo());
      EXPECT_EQ(FormatTargetError(error),
                "\n(null) Error: -2147467261\r\n(null)\r\nInvalid pointer\r\n");
    }
  };
  expectInvalidPointer([&] { connection.TargetDatabase->ExecuteWithResults("INSERT", 6); });
  expectInvalidPointer([&] { connection.TargetDatabases->Refresh(); });
  expectInvalidPointer([&] { connection.TargetServer->ExecuteWithResults("USE x", 5); });
  expectInvalidPointer([&] { LookUpTargetDatabase(connection, "shop"); });
}

TEST(Holder, StoringReplacesAndReleasesThePrevious) {
  auto log = std::make_shared<Log>();
  Holder<TargetDatabaseObject> holder;
  holder = std::make_shared<RecordingDatabase>(log, "a");
  holder->ExecuteWithResults("x", 1);
  holder = std::make_shared<RecordingDatabase>(log, "b");
  EXPECT_EQ(*log, (Log{"a.ExecuteWithResults(x, 1)", "~Database(a)"}));
  holder = nullptr;
  EXPECT_TRUE(holder.Empty());
  EXPECT_EQ(log->back(), "~Database(b)");
}

TEST(TargetConnection, LooksUpTheDatabaseAndReleasesInOrder) {
  auto log = std::make_shared<Log>();
  {
    TargetConnection connection;
    connection.TargetServer = std::make_shared<RecordingServer>(log);
    LookUpTargetDatabase(connection, "shop");
    connection.TargetDatabase->ExecuteWithResults("CREATE TABLE [t] (a INT)", 24);
  }
  EXPECT_EQ(*log, (Log{"Databases", "Refresh", "Item(shop)",
                       "shop.ExecuteWithResults(CREATE TABLE [t] (a INT), 24)", "~Database(shop)",
                       "~Databases", "~Server"}));
}

TEST(TargetConnection, ADatabaseObjectWithoutTheInterfaceLeavesTheHolderEmpty) {
  auto log = std::make_shared<Log>();
  TargetConnection connection;
  auto server = std::make_shared<RecordingServer>(log);
  server->offersDatabase = false;
  connection.TargetServer = server;
  connection.TargetDatabase = std::make_shared<RecordingDatabase>(log, "old");
  LookUpTargetDatabase(connection, "shop");
  EXPECT_TRUE(connection.TargetDatabase.Empty());
  EXPECT_THROW(connection.TargetDatabase->ExecuteWithResults("INSERT", 6), TargetError);
}

TEST(TargetConnection, AFailedLookupRaisesAndKeepsTheCollection) {
  auto log = std::make_shared<Log>();
  TargetConnection connection;
  connection.TargetServer = std::make_shared<RecordingServer>(log);
  EXPECT_THROW(LookUpTargetDatabase(connection, "missing"), TargetError);
  EXPECT_FALSE(connection.TargetDatabases.Empty());
  EXPECT_TRUE(connection.TargetDatabase.Empty());
}

TEST(UnencryptedLogin, TheQuestionSaysWhatWouldHappen) {
  const std::string question = UnencryptedLoginQuestion("db.example,1433");
  EXPECT_NE(question.find("\"db.example,1433\""), std::string::npos) << question;
  EXPECT_NE(question.find("the connection will not be encrypted"), std::string::npos) << question;
  EXPECT_NE(question.find("password"), std::string::npos) << question;
  EXPECT_NE(question.find("Log in without encryption?"), std::string::npos) << question;
}

TEST(UnencryptedLogin, TheAnswerHoldsForEveryWayOfTypingTheServer) {
  EXPECT_EQ(RememberedUnencryptedLoginAnswer("answer-test,1500"), std::nullopt);
  RememberUnencryptedLoginAnswer("answer-test,1500", false);
  for (const char* typed : {"answer-test,1500", " tcp:Answer-Test,1500", "ANSWER-TEST ,1500"}) {
    EXPECT_EQ(RememberedUnencryptedLoginAnswer(typed), std::optional<bool>(false)) << typed;
  }
  // Another port, another instance, another data source: other servers.
  for (const char* typed : {"answer-test", "answer-test,1501", "answer-test\\x,1500",
                            "DSN=answer-test"}) {
    EXPECT_EQ(RememberedUnencryptedLoginAnswer(typed), std::nullopt) << typed;
  }
  RememberUnencryptedLoginAnswer("answer-test,1500", true);
  EXPECT_EQ(RememberedUnencryptedLoginAnswer("answer-test,1500"), std::optional<bool>(true));
}

}  // namespace
}  // namespace morvane
