// A table converted with both connections encrypted: the MySQL source over TLS from the
// MariaDB server that offers it, the SQL Server target over TLS to a TDS test server that offers
// it as SQL Server does by default. The values read back from the target are those MySQL holds.

#include <gtest/gtest.h>
#include <mysql.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/RowCopy.h"
#include "engine/TableDefinition.h"
#include "source/MySqlSource.h"
#include "source/MySqlTls.h"
#include "target/ConnectionString.h"
#include "target/OdbcServer.h"
#include "target/SqlServerLogin.h"
#include "tests/integration/TlsServers.h"
#include "tests/support/OdbcTestClient.h"

namespace morvane {
namespace {

class NoMessages : public TargetMessageBox, public RowCopyWindow {
 public:
  void ShowMessage(const std::string& text) override { ADD_FAILURE() << "message: " << text; }
  bool AllowUnencryptedLogin(const std::string&) override { return true; }
  void SetStatusText(const std::string&) override {}
  MessageAnswer ShowMessage(const std::string& text, MessageButtons) override {
    ADD_FAILURE() << "message: " << text;
    return MessageAnswer::Ok;
  }
};

void MySql(MySqlHandle& connection, const std::string& statement) {
  ASSERT_EQ(mysql_real_query(connection.get(), statement.data(), statement.size()), 0)
      << statement << ": " << mysql_error(connection.get());
}

void Target(TargetConnection& target, const std::string& statement, bool onDatabase = false) {
  const auto length = static_cast<std::int32_t>(statement.size());
  if (onDatabase) {
    target.TargetDatabase->ExecuteWithResults(statement, length);
  } else {
    target.TargetServer->ExecuteWithResults(statement, length);
  }
}

TEST(TlsConversion, ATableCrossesBothEncryptedConnectionsUnchanged) {
  const auto s = test::TlsMariaDb();
  const std::string db = test::UniqueName("tlsconv");
  MySqlHandle admin;
  ASSERT_NE(OpenMySqlConnection(admin, s.socket, s.user, s.password), 0);
  MySql(admin, "CREATE DATABASE " + Backticked(db));
  MySql(admin, "USE " + Backticked(db));
  MySql(admin,
        "CREATE TABLE items (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, name VARCHAR(50), "
        "price DECIMAL(10,2), made DATETIME, data VARBINARY(20), note TEXT) "
        "CHARACTER SET utf8mb4");
  MySql(admin,
        "INSERT INTO items (name, price, made, data, note) VALUES "
        "('Zoë', 12.50, '2024-02-29 23:59:59', 0x00FF10, REPEAT('long ', 2000)), "
        "(NULL, -0.01, NULL, NULL, NULL)");

  MySqlHandle source;
  ASSERT_NE(OpenMySqlConnection(source, s.host + ":" + std::to_string(s.port), s.user,
                                s.password),
            0);
  ASSERT_NE(TlsCipher(source.get()), "");
  ASSERT_TRUE(source.SelectDatabase(db));
  MySqlSourceDatabase reader(source);

  test::TdsServer server("off");
  TargetConnection target;
  NoMessages box;
  ASSERT_EQ(ConnectSqlServer(target, server.Name(), test::kTlsLogin, test::kTlsPassword,
                             Authentication::SqlServerAuthentication, box, [] {
                               return CreateOdbcTargetServer(OdbcServerOptions{{kFreeTdsDriver}, 15});
                             }),
            1);
  const auto lines = server.Connections();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("session encrypted"), std::string::npos) << lines[0];

  const std::string targetName = test::UniqueName("tlsdst");
  Target(target, "CREATE DATABASE [" + targetName + "]");
  Target(target, "USE [" + targetName + "]");
  LookUpTargetDatabase(target, targetName);
  PendingIndex pending;
  Target(target,
         CreateTableStatement("items", GetColumnList(reader, "items"),
                              GetKeyClause(reader, "items", pending)),
         true);
  for (const auto& index : pending.IndexStatements) Target(target, index.IndexStatement, true);
  const CopyResult result =
      CopyTableRows(reader, target, box, "items", {std::chrono::milliseconds(0), nullptr});
  EXPECT_EQ(result.outcome, CopyOutcome::Completed);
  EXPECT_EQ(result.rowsCopied, 2u);

  test::OdbcTestClient check(server.Settings(), targetName);
  const auto rows = check.TypedQuery("SELECT id, name, price, made, data, note FROM items ORDER BY id");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0].integer, 1);
  EXPECT_EQ(rows[0][1].text, "Zoë");
  EXPECT_EQ(rows[0][2].text, "12.50");
  EXPECT_EQ(rows[0][3].DateText(), "2024-02-29 23:59:59.000000000");
  EXPECT_EQ(rows[0][4].bytes, (std::vector<std::uint8_t>{0x00, 0xFF, 0x10}));
  std::string longNote;
  for (int i = 0; i < 2000; ++i) longNote += "long ";
  EXPECT_EQ(rows[0][5].text, longNote);
  EXPECT_EQ(rows[1][0].integer, 2);
  EXPECT_TRUE(rows[1][1].IsNull());
  EXPECT_EQ(rows[1][2].text, "-0.01");
  EXPECT_TRUE(rows[1][3].IsNull());
  EXPECT_TRUE(rows[1][4].IsNull());
  EXPECT_TRUE(rows[1][5].IsNull());

  MySql(admin, "DROP DATABASE " + Backticked(db));
}

}  // namespace
}  // namespace morvane
