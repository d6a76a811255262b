// A server that goes away in the middle of a conversion: each run ends with the window back in
// its selection state, one message that says what happened, and no success reported.
#include <gmock/gmock.h>

#include "engine/ConversionRun.h"
#include "tests/integration/EndToEnd.h"
#include "tests/integration/PrivateServers.h"
#include "tests/support/FakeWizardWindow.h"

namespace morvane {
namespace {

using testing::Contains;
using testing::HasSubstr;
using testing::Not;

const char* const Success = "MySQL to MS SQL Database Conversion successfully completed.";

class Faults : public testing::Test {
 protected:
  RunSummary Convert(SourceDatabase& source, TargetConnection& target) {
    ConversionContext context{window, source, target, pending, stop, std::chrono::milliseconds(0)};
    return ConvertDatabase(context);
  }
  void ExpectSelectionStateAfterFailure(const RunSummary& summary) {
    EXPECT_EQ(summary.outcome, RunOutcome::TableFailed);
    EXPECT_FALSE(window.locked);
    EXPECT_FALSE(window.progressShown);
    EXPECT_TRUE(window.selected.empty());
    EXPECT_EQ(window.waitCursors, 0);
    EXPECT_THAT(window.messages, Not(Contains(Success)));
    EXPECT_THAT(std::vector<std::string>(journal.sent.end() - 3, journal.sent.end()),
                testing::ElementsAre("window: progress hidden", "window: selection cleared",
                                     "window: unlock"));
  }
  static void Login(TargetConnection& target, const test::SqlServerSettings& s) {
    test::FailOnMessage box;
    ASSERT_EQ(ConnectSqlServer(target, s.host + "," + std::to_string(s.port), s.user, s.password,
                               Authentication::SqlServerAuthentication, box),
              1);
  }
  static void Query(MySqlHandle& connection, const std::string& statement) {
    ASSERT_EQ(mysql_query(connection.get(), statement.c_str()), 0) << mysql_error(connection.get());
  }

  test::TargetJournal journal;
  test::FakeWizardWindow window{journal};
  PendingIndex pending;
  StopSignal stop;
};

TEST_F(Faults, MariaDbStopsInTheMiddleOfATable) {
  test::PrivateServer mariadb("mariadb");
  const auto m = mariadb.AsMariaDb();
  MySqlHandle mysql;
  ASSERT_NE(OpenMySqlConnection(mysql, m.host + ":" + std::to_string(m.port), m.user, m.password), 0);
  // Far more rows than the network buffers hold, so most are still on the server when it goes.
  Query(mysql, "CREATE DATABASE f1");
  Query(mysql, "USE f1");
  Query(mysql, "CREATE TABLE big (id INT PRIMARY KEY, pad VARCHAR(2000))");
  Query(mysql, "INSERT INTO big SELECT seq, REPEAT('x', 2000) FROM seq_1_to_20000");
  MySqlSourceDatabase source(mysql);

  TargetConnection target;
  Login(target, test::SqlServer());
  window.tables = {"big"};
  window.selected = {0};
  window.targetName = test::UniqueName("f1");
  window.onOperation = [&](const std::string& operation) {
    if (operation == "status: Converting Table: big  ....") mariadb.Kill();
  };

  const RunSummary summary = Convert(source, target);
  ExpectSelectionStateAfterFailure(summary);
  ASSERT_EQ(window.messages.size(), 3u);  // the count, the report, then how the run ended
  EXPECT_THAT(window.messages[1], HasSubstr("Reading the rows of table big from MySQL failed"));
  EXPECT_THAT(window.messages[1], HasSubstr("Lost connection"));
  EXPECT_THAT(window.messages[2], HasSubstr("Table big was cut short. 0 of 1 selected table(s)"));
}

TEST_F(Faults, SqlServerStopsInTheMiddleOfATable) {
  test::MariaDbTestClient mariadb;
  const std::string db = mariadb.CreateDatabase("f2");
  mariadb.Execute({"USE " + test::Backticked(db), "CREATE TABLE t (id INT PRIMARY KEY)",
                   "INSERT INTO t SELECT seq FROM seq_1_to_50"});
  MySqlHandle mysql;
  test::OpenSourceDatabase(mysql, db);
  MySqlSourceDatabase source(mysql);

  test::PrivateServer sqlserver("sqlserver");
  TargetConnection target;
  Login(target, sqlserver.AsSqlServer());
  window.tables = {"t"};
  window.selected = {0};
  window.targetName = "f2";
  int rows = 0;
  window.onOperation = [&](const std::string& operation) {
    if (operation.rfind("status: Converting Table: ", 0) == 0 && ++rows == 1) sqlserver.Kill();
  };
  journal.refuse = nullptr;

  const RunSummary summary = Convert(source, target);
  ExpectSelectionStateAfterFailure(summary);
  // One report, not one per remaining row, then how the run ended.
  ASSERT_EQ(window.messages.size(), 3u);
  EXPECT_THAT(window.messages[1], HasSubstr("connection"));
  EXPECT_THAT(window.messages[2], HasSubstr("The conversion ended early: a step failed"));
}

TEST_F(Faults, TableDroppedAfterItWasListed) {
  test::MariaDbTestClient mariadb;
  const std::string db = mariadb.CreateDatabase("f3");
  mariadb.Execute({"CREATE TABLE " + test::Backticked(db) + ".kept (id INT)",
                   "INSERT INTO " + test::Backticked(db) + ".kept VALUES (1)"});
  MySqlHandle mysql;
  test::OpenSourceDatabase(mysql, db);
  MySqlSourceDatabase source(mysql);
  TargetConnection target;
  Login(target, test::SqlServer());
  window.tables = {"gone", "kept"};  // "gone" was listed, then dropped
  window.selected = {0, 1};
  window.targetName = test::UniqueName("f3");

  const RunSummary summary = Convert(source, target);
  ExpectSelectionStateAfterFailure(summary);
  ASSERT_GE(window.messages.size(), 2u);
  EXPECT_EQ(window.messages.end()[-2], "The columns of table gone could not be read from MySQL.");
  for (const auto& s : journal.sent) EXPECT_THAT(s, Not(HasSubstr("CREATE TABLE")));
}

}  // namespace
}  // namespace morvane
