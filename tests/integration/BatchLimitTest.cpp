// A row whose INSERT statement would be larger than the largest batch the server takes (65 536
// times the network packet size it granted) is refused before it is sent and named; the rows
// before and after it arrive. A TDS test server of the test's own grants 512-byte packets: a
// limit of 32 MiB.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>

#include "engine/ConversionRun.h"
#include "source/MySqlSource.h"
#include "target/SqlServerLogin.h"
#include "tests/integration/TlsServers.h"
#include "tests/support/FakeWizardWindow.h"
#include "tests/support/MariaDbTestClient.h"
#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane {
namespace {

using testing::HasSubstr;
using namespace std::chrono_literals;

constexpr std::size_t kLimit = 65536u * 512u;

class AgreeingBox : public TargetMessageBox {
 public:
  void ShowMessage(const std::string& text) override { ADD_FAILURE() << text; }
  bool AllowUnencryptedLogin(const std::string&) override { return true; }  // no TLS here
};

TEST(BatchLimit, ARowOverTheGrantedLimitIsRefusedBeforeItIsSentAndNamed) {
  // Values of 16 MiB and more need a larger max_allowed_packet than MariaDB's default; the
  // setting applies to connections made after it.
  {
    test::MariaDbTestClient admin;
    admin.Execute({"SET GLOBAL max_allowed_packet = 67108864"});
  }
  test::MariaDbTestClient mariadb;
  const std::string sourceName = mariadb.CreateDatabase("batch");
  // UTF-16 takes two bytes a character here: the statement of row 2 is just over the limit,
  // that of row 3 just under it.
  const std::size_t over = kLimit / 2, under = kLimit / 2 - 200;
  mariadb.Execute({"USE `" + sourceName + "`",
                   "CREATE TABLE notes (id INT PRIMARY KEY, title VARCHAR(20), body LONGTEXT)",
                   "INSERT INTO notes VALUES (1, 'small', 'short'), (2, 'large', REPEAT('x', " +
                       std::to_string(over) + ")), (3, 'fits', REPEAT('y', " +
                       std::to_string(under) + "))"});
  ASSERT_EQ(mariadb.Query("SELECT LENGTH(body) FROM `" + sourceName + "`.notes WHERE id = 2")
                .at(0)
                .at(0),
            std::optional<std::string>(std::to_string(over)));

  test::TdsServer server("not-sup", {"--packet-size", "512"});
  const auto m = test::MariaDb();
  MySqlHandle mysql;
  ASSERT_NE(OpenMySqlConnection(mysql, test::MariaDbAddress(), m.user, m.password), 0);
  ASSERT_TRUE(mysql.SelectDatabase(sourceName));
  MySqlSourceDatabase source(mysql);
  TargetConnection target;
  AgreeingBox box;
  ASSERT_EQ(ConnectSqlServer(target, server.Name(), test::kTlsLogin, test::kTlsPassword,
                             Authentication::SqlServerAuthentication, box),
            1);
  // The size the server granted, not the one asked for.
  EXPECT_EQ(target.TargetServer->BatchLimit(), std::optional<std::uint64_t>(kLimit));

  test::TargetJournal journal;
  test::FakeWizardWindow window(journal);
  window.tables = {"notes"};
  window.selected = {0};
  window.targetName = test::UniqueName("batch");
  PendingIndex pending;
  StopSignal stop;
  ConversionContext context{window, source, target, pending, stop, 0ms};
  ConvertDatabase(context);

  ASSERT_FALSE(window.messages.empty());
  const std::string& last = window.messages.back();
  EXPECT_THAT(last, HasSubstr("notes, column body: the value 'xxxx"));
  EXPECT_THAT(last, HasSubstr("makes the row's INSERT statement larger than the " +
                              std::to_string(kLimit) + " bytes that SQL Server takes in one batch"));
  // Nothing over the limit reached the server; the connection stayed and took row 3.
  for (const auto& line : server.Connections()) {
    EXPECT_THAT(line, testing::Not(HasSubstr("batch longer than")));
  }
  test::OdbcTestClient reader(server.Settings(), window.targetName);
  const auto rows = reader.TypedQuery("SELECT id, title FROM notes ORDER BY id");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0].integer, 1);
  EXPECT_EQ(rows[0][1].text, "small");
  EXPECT_EQ(rows[1][0].integer, 3);
  EXPECT_EQ(reader.Scalar("SELECT body FROM notes WHERE id = 3"),
            std::optional<std::string>(std::string(under, 'y')));
}

}  // namespace
}  // namespace morvane
