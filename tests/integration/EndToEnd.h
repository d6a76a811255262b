#pragma once
// Both sides of a conversion for end-to-end tests: a source database on the MariaDB test server
// and a login to the SQL Server test server through the product's own ODBC layer.

#include <gtest/gtest.h>
#include <mysql.h>

#include <string>
#include <vector>

#include "engine/ConversionRun.h"
#include "engine/SourceProfiles.h"
#include "engine/TableDefinition.h"
#include "source/MySqlSource.h"
#include "target/SqlServerLogin.h"
#include "target/TargetServer.h"
#include "tests/support/FakeWizardWindow.h"
#include "tests/support/MariaDbTestClient.h"
#include "tests/support/OdbcTestClient.h"

namespace morvane::test {

class FailOnMessage : public TargetMessageBox {
 public:
  void ShowMessage(const std::string& text) override { ADD_FAILURE() << "message: " << text; }
  // The shared test server has no TLS, as a user who agreed once.
  bool AllowUnencryptedLogin(const std::string&) override { return true; }
};

// "host,port" of the SQL Server test server, as a user types it.
inline std::string SqlServerAddress() {
  const auto s = SqlServer();
  return s.host + "," + std::to_string(s.port);
}

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    sourceName = mariadb.CreateDatabase("src");
    OpenSourceDatabase(mysql, sourceName);
    const auto s = SqlServer();
    FailOnMessage box;
    ASSERT_EQ(ConnectSqlServer(target, SqlServerAddress(), s.user, s.password,
                               Authentication::SqlServerAuthentication, box),
              1);
    targetName = UniqueName("dst");
  }

  // Creates the target database and looks it up, as the run does.
  void CreateTargetDatabase() {
    for (const std::string& statement :
         {"CREATE DATABASE [" + targetName + "]", "USE [" + targetName + "]"}) {
      target.TargetServer->ExecuteWithResults(statement, static_cast<std::int32_t>(statement.size()));
    }
    LookUpTargetDatabase(target, targetName);
  }

  // Creates `table` on the target from its MySQL definition and what its values need (kept in
  // `profiles` for the copy), with its index.
  void CreateTargetTable(const std::string& table) {
    PendingIndex pending;
    const auto fields = source.FieldListing(table);
    ASSERT_TRUE(fields.has_value()) << table;
    auto profiled = ProfileColumns(source, table, *fields);
    ASSERT_TRUE(profiled.has_value()) << table;
    profiles = std::move(*profiled);
    const std::string create = CreateTableStatement(table, GetColumnList(source, table, &profiles),
                                                    GetKeyClause(source, table, table, pending, &profiles));
    target.TargetDatabase->ExecuteWithResults(create, static_cast<std::int32_t>(create.size()));
    for (const auto& s : pending.IndexStatements) {
      target.TargetDatabase->ExecuteWithResults(
          s.IndexStatement, static_cast<std::int32_t>(s.IndexStatement.size()));
    }
  }

  void Source(const std::vector<std::string>& statements) {
    mariadb.Execute({"USE " + Backticked(sourceName)});
    mariadb.Execute(statements);
  }

  // A second, independent look at the target through the FreeTDS ODBC driver.
  std::vector<OdbcRow> Target(const std::string& query) {
    OdbcTestClient client(SqlServer(), targetName);
    return client.Query(query);
  }

  MariaDbTestClient mariadb;
  std::string sourceName, targetName;
  MySqlHandle mysql;
  MySqlSourceDatabase source{mysql};
  TargetConnection target;
  std::vector<ColumnProfile> profiles;  // of the table CreateTargetTable created last
};

// Whole runs, as the Convert button starts them, on a window that records what it is told.
class RunEndToEnd : public EndToEnd {
 protected:
  // Converts the tables, in the list's sorted order, into a new database.
  RunSummary Convert(std::vector<std::string> tables) {
    window.tables = std::move(tables);
    window.selected.clear();
    for (int i = 0; i < static_cast<int>(window.tables.size()); ++i) window.selected.push_back(i);
    window.targetName = targetName;
    ConversionContext context{window, source, target, pending, stop, std::chrono::milliseconds(0)};
    return ConvertDatabase(context);
  }
  const std::string& FinalMessage() const { return window.messages.back(); }

  TargetJournal journal;
  FakeWizardWindow window{journal};
  PendingIndex pending;
  StopSignal stop;
};

}  // namespace morvane::test
