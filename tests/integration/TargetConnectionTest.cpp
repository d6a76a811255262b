// The SQL Server login: an empty login refused before anything is sent, a silent host given up
// in time, a data source named in the server box, and the overwrite probe for a name outside
// Latin-1.

#include <gmock/gmock.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <utility>

#include "engine/ConversionRun.h"
#include "target/OdbcServer.h"
#include "tests/integration/EndToEnd.h"
#include "tests/integration/SilentHost.h"
#include "tests/support/FakeWizardWindow.h"

namespace morvane {
namespace {

using testing::HasSubstr;

class RecordingBox : public TargetMessageBox {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  // The shared test server has no TLS, as a user who agreed once.
  bool AllowUnencryptedLogin(const std::string&) override { return true; }
  std::vector<std::string> messages;
};

TargetServerFactory WithLoginTimeout(int seconds) {
  return [seconds] {
    OdbcServerOptions options;
    options.loginTimeoutSeconds = seconds;
    return CreateOdbcTargetServer(options);
  };
}

TEST(TargetLogin, AnEmptyLoginIsRefusedBeforeAnythingIsSent) {
  // Were anything sent to this host, the login would wait out its 15 s and fail otherwise.
  test::SilentHost silent;
  TargetConnection target;
  RecordingBox box;
  EXPECT_EQ(ConnectSqlServer(target, "127.0.0.1," + std::to_string(silent.Port()), "", "secret",
                             Authentication::SqlServerAuthentication, box),
            0);
  ASSERT_EQ(box.messages.size(), 1u);
  EXPECT_THAT(box.messages[0], HasSubstr("SQL Server authentication needs a login name"));
}

TEST(TargetLogin, ASilentHostFailsTheLoginWithinItsTimeOut) {
  test::SilentHost silent;
  TargetConnection target;
  RecordingBox box;
  EXPECT_EQ(ConnectSqlServer(target, "127.0.0.1," + std::to_string(silent.Port()), "sa", "secret",
                             Authentication::SqlServerAuthentication, box, WithLoginTimeout(2)),
            0);
  EXPECT_EQ(box.messages.size(), 1u);
}

TEST(TargetLogin, TheLoginTimeOutIsFifteenSeconds) {
  EXPECT_EQ(OdbcServerOptions{}.loginTimeoutSeconds, 15);
}

TEST(DataSourceName, TheFormsOfTheServerBox) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"DSN=shop", "shop"},         {" dsn = my source ", "my source"}, {"Dsn=a;b", "a;b"},
      {"DSN=", std::nullopt},       {"DSNHOST", std::nullopt},          {"dsnserver,1433", std::nullopt},
      {"host\\inst", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& [typed, name] : cases) EXPECT_EQ(DataSourceName(typed), name) << typed;
}

TEST(DataSourceName, TheConnectionStringNamesTheSourceAndPageOnesLogin) {
  EXPECT_EQ(BuildConnectionString({"FreeTDS", "DSN=shop", false, "sa", "p;w"}),
            "DSN=shop;UID=sa;PWD={p;w};");
  EXPECT_EQ(BuildConnectionString({"FreeTDS", "DSN=shop", true, "", ""}),
            "DSN=shop;Trusted_Connection=yes;");
}

// A data source of the test's own, in an odbc.ini that ODBCINI points to.
class DataSource : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    const auto s = test::SqlServer();
    const std::string ini = testing::TempDir() + "/morvane-odbc-" + test::UniqueName("ini") + ".ini";
    std::ofstream(ini) << "[morvane test source]\nDriver = FreeTDS\nServer = " << s.host
                       << "\nPort = " << s.port << "\nTDS_Version = 7.4\nClientCharset = UTF-8\n";
    setenv("ODBCINI", ini.c_str(), 1);
  }
  RecordingBox box;
  TargetConnection target;
};

TEST_F(DataSource, TheServerBoxNamesADataSourceAndPageOnesLoginIsUsed) {
  const auto s = test::SqlServer();
  ASSERT_EQ(ConnectSqlServer(target, "DSN=morvane test source", s.user, s.password,
                             Authentication::SqlServerAuthentication, box),
            1)
      << (box.messages.empty() ? "" : box.messages[0]);
  const std::string use = "USE [master]";
  EXPECT_NO_THROW(target.TargetServer->ExecuteWithResults(use, static_cast<std::int32_t>(use.size())));
}

TEST_F(DataSource, AWrongPasswordIsRefusedByTheServer) {
  const auto s = test::SqlServer();
  EXPECT_EQ(ConnectSqlServer(target, " dsn = morvane test source ", s.user, s.password + "x",
                             Authentication::SqlServerAuthentication, box),
            0);
  ASSERT_EQ(box.messages.size(), 1u);
  EXPECT_THAT(box.messages[0], HasSubstr("18456"));
}

TEST_F(DataSource, AnUnknownDataSourceIsReported) {
  const auto s = test::SqlServer();
  EXPECT_EQ(ConnectSqlServer(target, "DSN=no such source", s.user, s.password,
                             Authentication::SqlServerAuthentication, box),
            0);
  EXPECT_EQ(box.messages.size(), 1u);
}

class OverwriteProbe : public test::EndToEnd {
 protected:
  RunSummary Convert() {
    ConversionContext context{window, source, target, pending, stop, std::chrono::milliseconds(0)};
    return ConvertDatabase(context);
  }
  test::TargetJournal journal;
  test::FakeWizardWindow window{journal};
  PendingIndex pending;
  StopSignal stop;
};

TEST_F(OverwriteProbe, AnExistingDatabaseNamedOutsideLatin1IsFoundAndReplaced) {
  Source({"CREATE TABLE t (id INT PRIMARY KEY)", "INSERT INTO t VALUES (1), (2)"});
  window.tables = {"t"};
  window.targetName = test::UniqueName("数据库");
  targetName = window.targetName;
  window.selected = {0};
  ASSERT_EQ(Convert().outcome, RunOutcome::Completed) << window.messages.back();
  window.selected = {0};
  window.overwriteAnswer = MessageAnswer::Yes;
  window.messages.clear();
  EXPECT_EQ(Convert().outcome, RunOutcome::Completed) << window.messages.back();
  EXPECT_EQ(Target("SELECT COUNT(*) FROM [t]"), (std::vector<test::OdbcRow>{{"2"}}));
}

}  // namespace
}  // namespace morvane
