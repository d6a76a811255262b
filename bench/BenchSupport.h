#pragma once
// What the benchmarks share: the two test servers of one bench/run, the source tables they read,
// target databases made as the conversion makes them, a window that only counts, a plain ODBC
// loop, and the result rows that bench/run gathers into its table.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/WizardWindow.h"
#include "source/MySqlSource.h"
#include "target/TargetServer.h"

namespace morvane::bench {

// The key=value lines of the server.env file named by the environment variable (written by
// tests/fixtures/mariadb-server and tests/fixtures/sqlserver-server). Exits when it is missing.
std::map<std::string, std::string> ServerEnv(const char* variable);

struct Servers {
  std::string mysqlAddress;  // "127.0.0.1:port"
  std::string mysqlUser, mysqlPassword;
  std::string sqlHost;
  unsigned sqlPort = 0;
  std::string sqlUser, sqlPassword;
};

// From MORVANE_MARIADB_ENV and MORVANE_SQLSERVER_ENV.
Servers ServersFromEnvironment();

// Runs statements on the MariaDB server through the product's connection; exits on failure.
void MySqlExecute(MySqlHandle& connection, const std::vector<std::string>& statements);

// The benchmark table: ten mixed columns (INT key, BIGINT, BIT(1), DECIMAL, DOUBLE, VARCHAR
// with some non-Latin text and some NULLs, CHAR, DATETIME, DATE, VARBINARY), `rows` rows,
// created in database `database` (made when missing). The connection's current database
// becomes `database`.
void CreateSourceTable(MySqlHandle& connection, const std::string& database,
                       const std::string& table, std::uint64_t rows);

// The source side as the run has it: the product's connection with `database` selected.
class Source {
 public:
  Source(const Servers& servers, const std::string& database);
  MySqlHandle& Connection() { return connection_; }
  SourceDatabase& Database() { return database_; }

 private:
  MySqlHandle connection_;
  MySqlSourceDatabase database_{connection_};
};

// The target side as the run has it: the product's ODBC objects, logged in.
class Target {
 public:
  explicit Target(const Servers& servers);
  TargetConnection& Connection() { return connection_; }
  // CREATE DATABASE, USE, and the lookup of TargetDatabase, as the run does.
  void CreateDatabase(const std::string& name);
  // USE master, DROP DATABASE: the test server keeps every row in memory.
  void DropDatabase(const std::string& name);
  // CREATE TABLE (and its index) from the MySQL definition, in TargetDatabase.
  void CreateTable(SourceDatabase& source, const std::string& table);

 private:
  TargetConnection connection_;
};

// A window that shows nothing: counts status texts, keeps the first message.
class CountingWindow : public RowCopyWindow {
 public:
  void SetStatusText(const std::string&) override { ++statusTexts; }
  MessageAnswer ShowMessage(const std::string& text, MessageButtons) override {
    if (messages++ == 0) firstMessage = text;
    return MessageAnswer::Ok;
  }
  std::uint64_t statusTexts = 0;
  std::uint64_t messages = 0;
  std::string firstMessage;
};

// The statements the row copy sends for `table`, built in advance (UTF-16, as the driver gets
// them) from the rows MySQL returns, with the engine's own literals.
std::vector<std::u16string> InsertStatements(SourceDatabase& source, const std::string& table);

// One plain ODBC connection through the FreeTDS driver, the product's connection string form
// plus DATABASE=, and one statement handle reused for every statement.
class PlainOdbc {
 public:
  PlainOdbc(const Servers& servers, const std::string& database);
  ~PlainOdbc();
  PlainOdbc(const PlainOdbc&) = delete;
  PlainOdbc& operator=(const PlainOdbc&) = delete;
  // SQLExecDirectW, then SQLMoreResults until SQL_NO_DATA. False when the server refused.
  bool Execute(const std::u16string& statement);
  std::string LastError();

 private:
  void* environment_ = nullptr;
  void* connection_ = nullptr;
  void* statement_ = nullptr;
  std::string error_;
};

// Wall-clock seconds of a callable.
template <class F>
double Seconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values);

// One row of bench/run's table, on stdout: "row\t<benchmark>\t<figure>\t<goal>\t<met>", met
// being "yes", "no" or "-" (no goal). Every other line is detail for the log.
void ResultRow(const std::string& benchmark, const std::string& figure, const std::string& goal,
               const std::string& met);
inline const char* Met(bool met) { return met ? "yes" : "no"; }

std::string Fixed(double value, int decimals);

[[noreturn]] void Fail(const std::string& what);

}  // namespace morvane::bench
