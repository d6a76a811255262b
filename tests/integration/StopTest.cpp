// Stop takes effect at once: in the middle of a large table that arrives over a slow link, and
// in the middle of a statement that the server holds. Nothing is sent after the stop but what
// the stop needs.

#include <gmock/gmock.h>

#include <future>
#include <random>
#include <thread>

#include "engine/ConversionRun.h"
#include "tests/integration/EndToEnd.h"
#include "tests/integration/StopRelay.h"
#include "tests/support/FakeWizardWindow.h"

namespace morvane {
namespace {

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;
using namespace std::chrono_literals;

// Generous: only the order of events is asserted, never a speed.
constexpr auto kBound = 120s;

class StopTest : public testing::Test {
 protected:
  void SetUp() override {
    sourceName = mariadb.CreateDatabase("stop");
    targetName = test::UniqueName("stopped");
    window.tables = {"t"};
    window.selected = {0};
    window.targetName = targetName;
    worker.SetCancel([this] {
      mysql.Cancel();
      if (const auto& server = target.TargetServer.Get()) server->Cancel();
    });
  }

  void OpenSource(const std::string& address) {
    const auto s = test::MariaDb();
    ASSERT_NE(OpenMySqlConnection(mysql, address, s.user, s.password), 0);
    ASSERT_TRUE(mysql.SelectDatabase(sourceName));
  }
  void OpenTarget(const std::string& address) {
    const auto s = test::SqlServer();
    test::FailOnMessage box;
    ASSERT_EQ(ConnectSqlServer(target, address, s.user, s.password,
                               Authentication::SqlServerAuthentication, box),
              1);
  }
  // Starts the run; `started` is kept when the first row has gone to the target.
  void Start() {
    window.onOperation = [this](const std::string& operation) {
      if (operation.rfind("status: Converting Table: ", 0) == 0 && !firstRowSeen.exchange(true)) {
        firstRow.set_value();
      }
    };
    ASSERT_TRUE(worker.Start(window, source, target, pending, 0ms));
  }
  void StopAndWait() {
    worker.RequestStop();
    ASSERT_TRUE(worker.WaitFor(kBound)) << "the run did not end";
    worker.Join();
  }

  test::MariaDbTestClient mariadb;
  std::string sourceName, targetName;
  MySqlHandle mysql;
  MySqlSourceDatabase source{mysql};
  TargetConnection target;
  test::TargetJournal journal;
  test::FakeWizardWindow window{journal};
  PendingIndex pending;
  std::atomic<bool> firstRowSeen{false};
  std::promise<void> firstRow;
  ConvertWorker worker;
};

TEST_F(StopTest, InTheMiddleOfATwoMillionRowTableOverASlowLink) {
  mariadb.Execute({"USE " + test::Backticked(sourceName),
                   "CREATE TABLE t AS SELECT seq FROM seq_1_to_2000000"});
  const auto s = test::MariaDb();
  test::StopRelay slowLink(s.host, s.port);
  slowLink.LimitTo(1'000'000);  // 1 MB/s: the whole table takes more than 20 s
  OpenSource("127.0.0.1:" + std::to_string(slowLink.Port()));
  OpenTarget(test::SqlServerAddress());
  Start();
  ASSERT_EQ(firstRow.get_future().wait_for(kBound), std::future_status::ready);
  StopAndWait();

  // The rest of the table was abandoned, not read out: far less than the table passed the link.
  EXPECT_LT(slowLink.BytesToClient(), 8'000'000u);
  EXPECT_THAT(window.messages.back(), HasSubstr("The conversion was stopped. Table t was cut short."));
  EXPECT_FALSE(window.locked);
  // The server is not left sending the rest to a connection nobody reads (holding the table's
  // locks until its net_write_timeout): the abandoned SELECT ends.
  const std::string running = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE DB = '" +
                              sourceName + "' AND INFO LIKE 'SELECT * FROM `t`%'";
  const auto giveUp = std::chrono::steady_clock::now() + kBound;
  while (mariadb.Query(running).at(0).at(0) != std::optional<std::string>("0") &&
         std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(mariadb.Query(running).at(0).at(0), std::optional<std::string>("0"));
  // The source connection is opened again, on its database, when it is next used.
  const auto fields = source.FieldListing("t");
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ(fields->size(), 1u);
}

class HeldStatement : public StopTest {
 protected:
  void SetUp() override {
    StopTest::SetUp();
    mariadb.Execute({"USE " + test::Backticked(sourceName),
                     "CREATE TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, v INT)",
                     "INSERT INTO t (v) SELECT seq FROM seq_1_to_10"});
    OpenSource(test::MariaDbAddress());
  }
  // Runs the conversion through the relay, which holds the batch with `text` (after `skip` such
  // batches); presses Stop once it is held and waits for the run's end.
  void StopWhileHeld(const std::string& text, int skip = 0) {
    heldLink.HoldBatch(text, skip);
    OpenTarget("127.0.0.1," + std::to_string(heldLink.Port()));
    Start();
    ASSERT_TRUE(heldLink.WaitUntilHolding(kBound));
    StopAndWait();
    EXPECT_TRUE(heldLink.HeldBatchCancelled());
  }
  test::StopRelay heldLink{test::SqlServer().host, test::SqlServer().port};
};

TEST_F(HeldStatement, ARowHeldByTheServerIsCancelledAndOnlyTheIdentityIsSwitchedOff) {
  StopWhileHeld("INSERT INTO", 2);
  EXPECT_EQ(heldLink.BatchesAfterTheHeldOne(),
            std::vector<std::string>{"SET IDENTITY_INSERT [t] OFF"});
  EXPECT_THAT(window.messages.back(), HasSubstr("The conversion was stopped. Table t was cut short."));
  test::OdbcTestClient client(test::SqlServer(), targetName);
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM [t]"), std::optional<std::string>("2"));
}

TEST_F(HeldStatement, AHeldCreateDatabaseIsCancelledAndNothingFollows) {
  StopWhileHeld("CREATE DATABASE");
  EXPECT_TRUE(heldLink.BatchesAfterTheHeldOne().empty());
  EXPECT_EQ(window.messages,
            std::vector<std::string>{
                "The conversion was stopped. 0 of 1 selected table(s) were converted completely."});
  EXPECT_FALSE(window.locked);
}

// A later run into another database, on the same session, converts its identity table: the
// stopped run left IDENTITY_INSERT off (else 8107 at its first SET IDENTITY_INSERT ... ON).
void ExpectASecondRunSucceeds(test::FakeWizardWindow& window, ConvertWorker& worker,
                              MySqlSourceDatabase& source, TargetConnection& target,
                              PendingIndex& pending, const std::string& name) {
  window.targetName = name;
  window.selected.resize(window.tables.size());  // every table
  for (std::size_t i = 0; i < window.tables.size(); ++i) window.selected[i] = static_cast<int>(i);
  window.messages.clear();
  ASSERT_TRUE(worker.Start(window, source, target, pending, 0ms));
  ASSERT_TRUE(worker.WaitFor(kBound)) << "the second run did not end";
  worker.Join();
  // Completed (with or without notes on what was adapted), not ended by a refusal.
  EXPECT_THAT(window.messages.back(), StartsWith("MySQL to MS SQL Database Conversion"));
  EXPECT_THAT(window.messages.back(), Not(HasSubstr("IDENTITY_INSERT")));
}

TEST_F(HeldStatement, AStopWhileIdentityInsertOffIsHeldStillLeavesItOff) {
  // The table's rows are in; the statement that switches the identity off again is held, as a
  // busy server would, when Stop is pressed: the cancel ends it unsent.
  StopWhileHeld("IDENTITY_INSERT [t] OFF");
  EXPECT_EQ(heldLink.BatchesAfterTheHeldOne(),
            std::vector<std::string>{"SET IDENTITY_INSERT [t] OFF"});
  ExpectASecondRunSucceeds(window, worker, source, target, pending,
                           test::UniqueName("after_held"));
}

TEST_F(StopTest, AtRandomPointsOfARunWithIdentityTablesNeverLeavesIdentityInsertOn) {
  std::vector<std::string> create{"USE " + test::Backticked(sourceName)};
  for (const char* t : {"a", "b", "c"}) {
    create.push_back(std::string("CREATE TABLE ") + t +
                     " (id INT AUTO_INCREMENT PRIMARY KEY, v VARCHAR(20))");
    create.push_back(std::string("INSERT INTO ") + t +
                     " (id, v) SELECT seq, CONCAT('v', seq) FROM seq_1_to_40");
  }
  mariadb.Execute(create);
  OpenSource(test::MariaDbAddress());
  OpenTarget(test::SqlServerAddress());
  window.tables = {"a", "b", "c"};

  // How long a whole run takes here: the stops fall anywhere within it.
  const auto begin = std::chrono::steady_clock::now();
  ExpectASecondRunSucceeds(window, worker, source, target, pending, test::UniqueName("whole"));
  const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - begin);

  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::int64_t> at(0, whole.count());
  for (int i = 0; i < 20; ++i) {
    window.targetName = test::UniqueName("stopped");
    window.selected = {0, 1, 2};
    ASSERT_TRUE(worker.Start(window, source, target, pending, 0ms));
    std::this_thread::sleep_for(std::chrono::microseconds(at(random)));
    StopAndWait();
    const std::string after = test::UniqueName("after_stop");
    ExpectASecondRunSucceeds(window, worker, source, target, pending, after);
    test::OdbcTestClient reader(test::SqlServer(), after);
    for (const char* t : {"a", "b", "c"}) {
      EXPECT_EQ(reader.Scalar(std::string("SELECT COUNT(*) FROM [") + t + "]"),
                std::optional<std::string>("40"));
    }
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace morvane
