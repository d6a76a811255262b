// The source connection after Stop: a MariaDB that has gone away crashes nothing and is not
// reconnected to for ending the run, and Cancel never waits for a connect in progress.
#include <gmock/gmock.h>
#include <mysql.h>
#include <sys/socket.h>

#include <atomic>
#include <future>
#include <thread>

#include "engine/ConversionRun.h"
#include "tests/integration/EndToEnd.h"
#include "tests/integration/LoopbackSockets.h"
#include "tests/integration/PrivateServers.h"
#include "tests/support/FakeWizardWindow.h"

namespace morvane {
namespace {

using testing::HasSubstr;
using namespace std::chrono_literals;

// Generous: only the order of events is asserted, never a speed.
constexpr auto kBound = 120s;

// Page two's boxes, as the listings fill them.
struct Boxes : ListingWindow {
  void AddDatabase(const std::string& name) override { databases.push_back(name); }
  int DatabaseCount() const override { return static_cast<int>(databases.size()); }
  void SelectFirstDatabase() override {}
  std::string SelectedDatabase() const override { return databases.at(0); }
  void SetTargetName(const std::string&) override {}
  void ClearTables() override { tables.clear(); }
  void AddTable(const std::string& name) override { tables.push_back(name); }
  std::vector<std::string> databases, tables;
};

void Exec(MySqlHandle& connection, const std::string& statement) {
  ASSERT_EQ(mysql_query(connection.get(), statement.c_str()), 0) << mysql_error(connection.get());
}

TEST(SourceAfterStop, AStopAfterMariaDbWentAwayEndsTheRunTruthfullyWithoutAReconnect) {
  test::PrivateServer mariadb("mariadb");
  const auto m = mariadb.AsMariaDb();
  MySqlHandle mysql;
  ASSERT_NE(OpenMySqlConnection(mysql, m.host + ":" + std::to_string(m.port), m.user, m.password), 0);
  // Far more rows than the network buffers hold, so the run is still streaming at the stop.
  Exec(mysql, "CREATE DATABASE lost");
  ASSERT_TRUE(mysql.SelectDatabase("lost"));
  Exec(mysql, "CREATE TABLE big (id INT PRIMARY KEY, pad VARCHAR(2000))");
  Exec(mysql, "INSERT INTO big SELECT seq, REPEAT('x', 2000) FROM seq_1_to_20000");
  MySqlSourceDatabase source(mysql);

  TargetConnection target;
  {
    const auto s = test::SqlServer();
    test::FailOnMessage box;
    ASSERT_EQ(ConnectSqlServer(target, test::SqlServerAddress(), s.user, s.password,
                               Authentication::SqlServerAuthentication, box),
              1);
  }
  test::TargetJournal journal;
  test::FakeWizardWindow window{journal};
  window.tables = {"big"};
  window.selected = {0};
  window.targetName = test::UniqueName("lost");
  PendingIndex pending;
  ConvertWorker worker;
  worker.SetCancel([&] {
    mysql.Cancel();
    if (const auto& server = target.TargetServer.Get()) server->Cancel();
  });
  // The server goes while the first rows arrive, then the user presses Stop: the stop finds a
  // cancelled connection whose server cannot be reached any more.
  bool stopped = false;
  window.onOperation = [&](const std::string& operation) {
    if (!stopped && operation.rfind("status: Converting Table: big", 0) == 0) {
      stopped = true;
      mariadb.Kill();
      worker.RequestStop();
    }
  };
  ASSERT_TRUE(worker.Start(window, source, target, pending, 0ms));
  ASSERT_TRUE(worker.WaitFor(kBound)) << "the run did not end";
  worker.Join();

  ASSERT_TRUE(stopped);
  ASSERT_FALSE(window.messages.empty());
  EXPECT_THAT(window.messages.back(), HasSubstr("The conversion was stopped. Table big was cut short."));
  EXPECT_FALSE(window.locked);
  // Ending the run needed no connection: nothing tried to open one.
  EXPECT_EQ(mysql.ConnectFailure(), "");

  // Each next use tries again, fails, and says why; none crashes on the missing connection.
  const auto fields = source.FieldListing("big");
  EXPECT_FALSE(fields.has_value());
  EXPECT_NE(mysql.ConnectFailure(), "");
  std::string error;
  EXPECT_FALSE(source.BeginSnapshot(error));
  EXPECT_THAT(error, HasSubstr("could not be opened again"));
  source.EndSnapshot();
  EXPECT_EQ(source.CountRows("big"), std::nullopt);
  EXPECT_EQ(source.Schema("big"), std::nullopt);
  EXPECT_EQ(source.ReadRows("big", error), nullptr);
  EXPECT_THAT(error, HasSubstr("could not be opened again"));
  EXPECT_TRUE(source.TablesOutsideSnapshot({"big"}).empty());
  Boxes boxes;
  ListDatabases(mysql, boxes);
  ListTables(mysql, boxes, "lost");
  EXPECT_TRUE(boxes.databases.empty());
  EXPECT_TRUE(boxes.tables.empty());
}

// A host that takes the connection and then says nothing, with its accepted socket at hand.
class QuietHost {
 public:
  QuietHost() : listener_(test::ListenOnLoopback(port_)) {
    if (listener_ < 0) throw std::runtime_error("cannot listen");
  }
  ~QuietHost() {
    test::CloseFd(accepted_);
    test::CloseFd(listener_);
  }
  unsigned Port() const { return port_; }
  void WaitForClient() { accepted_ = accept(listener_, nullptr, nullptr); }
  void Hangup() { test::CloseFd(accepted_); }

 private:
  unsigned port_ = 0;
  int listener_ = -1;
  int accepted_ = -1;
};

TEST(SourceReconnect, CancelDuringAReconnectToASilentHostDoesNotWaitForIt) {
  const auto s = test::MariaDb();
  MySqlHandle connection;
  ASSERT_NE(OpenMySqlConnection(connection, test::MariaDbAddress(), s.user, s.password), 0);
  // The server is now one that accepts and never greets, with a bound far beyond the test.
  QuietHost quiet;
  MySqlConnectOptions slow;
  slow.connectTimeoutSeconds = 60;  // a Cancel that waited for the connect returns after it
  connection.Remember({"127.0.0.1:" + std::to_string(quiet.Port()), s.user, s.password, slow});
  connection.Cancel();

  std::atomic<bool> getReturned{false};
  auto reconnect = std::async(std::launch::async, [&] {
    MYSQL* handle = connection.get();
    getReturned = true;
    return handle;
  });
  quiet.WaitForClient();  // the reconnect is now waiting for the greeting
  connection.Cancel();    // as Stop, Esc, the close box or Exit do
  EXPECT_FALSE(getReturned) << "Cancel waited for the connect to end";
  quiet.Hangup();
  ASSERT_EQ(reconnect.wait_for(kBound), std::future_status::ready);
  EXPECT_EQ(reconnect.get(), nullptr) << "a connect cancelled on the way is not used";

  // The next use opens the connection again, to the server it is told.
  connection.Remember({test::MariaDbAddress(), s.user, s.password, {}});
  EXPECT_NE(connection.get(), nullptr) << connection.ConnectFailure();
}

}  // namespace
}  // namespace morvane
