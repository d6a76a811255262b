#include "bench/BenchSupport.h"

#include <mysql.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <utility>

#include "engine/ColumnType.h"
#include "engine/RowCopy.h"
#include "engine/SqlNames.h"
#include "engine/TableDefinition.h"
#include "target/SqlServerLogin.h"
#include "target/Utf16.h"

namespace morvane::bench {
namespace {

class ExitOnMessage : public TargetMessageBox {
 public:
  void ShowMessage(const std::string& text) override { Fail("SQL Server login: " + text); }
  // The benchmarks' test server has no TLS.
  bool AllowUnencryptedLogin(const std::string&) override { return true; }
};

void RunOnServer(TargetConnection& connection, const std::string& statement) {
  try {
    connection.TargetServer->ExecuteWithResults(statement,
                                                static_cast<std::int32_t>(statement.size()));
  } catch (const TargetError& error) {
    Fail(statement + ": " + FormatTargetError(error));
  }
}

SQLWCHAR* Wide(const std::u16string& text) {
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
  return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text.data()));
}

}  // namespace

void Fail(const std::string& what) {
  std::cerr << "benchmark failed: " << what << std::endl;
  std::exit(1);
}

std::map<std::string, std::string> ServerEnv(const char* variable) {
  const char* path = std::getenv(variable);
  if (path == nullptr) Fail(std::string(variable) + " is not set (bench/run sets it)");
  std::ifstream file(path);
  if (!file) Fail(std::string("cannot read ") + path);
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(file, line);) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

Servers ServersFromEnvironment() {
  auto m = ServerEnv("MORVANE_MARIADB_ENV");
  auto s = ServerEnv("MORVANE_SQLSERVER_ENV");
  Servers servers;
  servers.mysqlAddress = m["host"] + ":" + m["port"];
  servers.mysqlUser = m["user"];
  servers.mysqlPassword = m["password"];
  servers.sqlHost = s["host"];
  servers.sqlPort = static_cast<unsigned>(std::stoul(s["port"]));
  servers.sqlUser = s["user"];
  servers.sqlPassword = s["password"];
  return servers;
}

void MySqlExecute(MySqlHandle& connection, const std::vector<std::string>& statements) {
  for (const auto& statement : statements) {
    if (mysql_real_query(connection.get(), statement.data(), statement.size()) != 0) {
      Fail(statement.substr(0, 200) + ": " + mysql_error(connection.get()));
    }
    if (MYSQL_RES* result = mysql_store_result(connection.get())) mysql_free_result(result);
  }
}

void CreateSourceTable(MySqlHandle& connection, const std::string& database,
                       const std::string& table, std::uint64_t rows) {
  const std::string t = Backticked(table);
  const std::string n = std::to_string(rows);
  MySqlExecute(connection,
               {"CREATE DATABASE IF NOT EXISTS " + Backticked(database),
                "USE " + Backticked(database), "DROP TABLE IF EXISTS " + t,
                "CREATE TABLE " + t +
                    " (id INT NOT NULL PRIMARY KEY, qty BIGINT, flag BIT(1), price DECIMAL(10,2), "
                    "ratio DOUBLE, name VARCHAR(40), code CHAR(8), created DATETIME, born DATE, "
                    "data VARBINARY(16))"});
  if (rows == 0) return;
  // The sequence engine's seq_1_to_N gives the numbers; every column is a function of them.
  MySqlExecute(connection,
               {"INSERT INTO " + t + " SELECT seq, CAST(seq AS SIGNED) * 7919 - 500000, seq % 2, "
                "(seq % 1000000) / 100, seq / 7.0e3, "
                "IF(seq % 10 = 0, NULL, CONCAT(IF(seq % 3 = 0, 'Ελλάδα ', 'customer '), seq)), "
                "LPAD(HEX(seq), 8, '0'), '2020-01-01 00:00:00' + INTERVAL seq SECOND, "
                "'1950-01-01' + INTERVAL (seq % 20000) DAY, UNHEX(MD5(seq)) "
                "FROM seq_1_to_" + n});
}

Source::Source(const Servers& servers, const std::string& database) {
  if (OpenMySqlConnection(connection_, servers.mysqlAddress, servers.mysqlUser,
                          servers.mysqlPassword) == 0) {
    Fail("cannot connect to MariaDB at " + servers.mysqlAddress);
  }
  MySqlExecute(connection_, {"CREATE DATABASE IF NOT EXISTS " + Backticked(database)});
  if (mysql_select_db(connection_.get(), database.c_str()) != 0) {
    Fail("cannot select " + database + ": " + mysql_error(connection_.get()));
  }
}

Target::Target(const Servers& servers) {
  ExitOnMessage box;
  if (ConnectSqlServer(connection_, servers.sqlHost + "," + std::to_string(servers.sqlPort),
                       servers.sqlUser, servers.sqlPassword,
                       Authentication::SqlServerAuthentication, box) != 1) {
    Fail("cannot log in to the SQL Server test server");
  }
}

void Target::CreateDatabase(const std::string& name) {
  RunOnServer(connection_, "CREATE DATABASE " + Bracketed(name));
  RunOnServer(connection_, "USE " + Bracketed(name));
  try {
    LookUpTargetDatabase(connection_, name);
  } catch (const TargetError& error) {
    Fail("lookup of " + name + ": " + FormatTargetError(error));
  }
}

void Target::DropDatabase(const std::string& name) {
  connection_.TargetDatabase.Reset();
  RunOnServer(connection_, "USE master");
  RunOnServer(connection_, "DROP DATABASE " + Bracketed(name));
}

void Target::CreateTable(SourceDatabase& source, const std::string& table) {
  PendingIndex pending;
  const std::string columns = GetColumnList(source, table);
  const std::string key = GetKeyClause(source, table, pending);
  const std::string create = CreateTableStatement(table, columns, key);
  try {
    connection_.TargetDatabase->ExecuteWithResults(create, static_cast<std::int32_t>(create.size()));
    for (const auto& s : pending.IndexStatements) {
      connection_.TargetDatabase->ExecuteWithResults(
          s.IndexStatement, static_cast<std::int32_t>(s.IndexStatement.size()));
    }
  } catch (const TargetError& error) {
    Fail(create + ": " + FormatTargetError(error));
  }
}

std::vector<std::u16string> InsertStatements(SourceDatabase& source, const std::string& table) {
  const auto fields = source.FieldListing(table);
  if (!fields || fields->empty()) Fail("no field listing for " + table);
  std::vector<ColumnLiteral> forms;
  std::string prefix = "INSERT INTO " + Bracketed(table) + " (";
  for (const auto& f : *fields) {
    forms.push_back(ColumnLiteralOf(GetColumnType(f), f.type));
    if (&f != &fields->front()) prefix += ", ";
    prefix += Bracketed(f.org_name);
  }
  prefix += ") VALUES(";
  std::string errorText;
  const auto rows = source.ReadRows(table, errorText);
  if (!rows) Fail("cannot read " + table + ": " + errorText);
  std::vector<std::u16string> statements;
  std::string statement;
  while (const auto* row = rows->Next()) {
    statement.assign(prefix);
    for (std::size_t j = 0; j < forms.size(); ++j) {
      if (AppendValueLiteral(statement, (*row)[j], forms[j])) Fail("a refused value in " + table);
    }
    statement.back() = ')';
    statement += ';';
    statements.push_back(Utf8ToUtf16(statement).value());
  }
  if (rows->Error()) Fail("reading " + table + ": " + *rows->Error());
  return statements;
}

PlainOdbc::PlainOdbc(const Servers& servers, const std::string& database) {
  SQLHANDLE handle{};
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle))) Fail("ODBC env");
  environment_ = handle;
  SQLSetEnvAttr(environment_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment_, &handle))) Fail("ODBC dbc");
  connection_ = handle;
  const std::string text = "DRIVER=FreeTDS;SERVER=" + servers.sqlHost +
                           ";PORT=" + std::to_string(servers.sqlPort) +
                           ";TDS_Version=7.4;ClientCharset=UTF-8;UID=" + servers.sqlUser +
                           ";PWD={" + servers.sqlPassword + "};DATABASE=" + database + ";";
  const std::u16string wide = Utf8ToUtf16(text).value();
  SQLSMALLINT outLength = 0;
  if (!SQL_SUCCEEDED(SQLDriverConnectW(connection_, nullptr, Wide(wide),
                                       static_cast<SQLSMALLINT>(wide.size()), nullptr, 0,
                                       &outLength, SQL_DRIVER_NOPROMPT))) {
    statement_ = nullptr;
    Fail("plain ODBC connection: " + LastError());
  }
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_, &handle))) Fail("ODBC stmt");
  statement_ = handle;
}

PlainOdbc::~PlainOdbc() {
  if (statement_ != nullptr) {
    // Out of the database before the link goes: the driver closes it without a word, and the
    // server ends the session only when it notices, so a DROP DATABASE sent at once on another
    // connection could still find the database in use (3702). A batch the server has answered
    // has been done.
    SQLFreeStmt(statement_, SQL_CLOSE);
    Execute(u"USE master");
    SQLFreeHandle(SQL_HANDLE_STMT, statement_);
  }
  if (connection_ != nullptr) {
    SQLDisconnect(connection_);
    SQLFreeHandle(SQL_HANDLE_DBC, connection_);
  }
  if (environment_ != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, environment_);
}

bool PlainOdbc::Execute(const std::u16string& statement) {
  SQLRETURN rc = SQLExecDirectW(statement_, Wide(statement), static_cast<SQLINTEGER>(statement.size()));
  while (SQL_SUCCEEDED(rc)) rc = SQLMoreResults(statement_);
  if (rc == SQL_NO_DATA) return true;
  error_ = LastError();
  SQLFreeStmt(statement_, SQL_CLOSE);
  return false;
}

std::string PlainOdbc::LastError() {
  if (!error_.empty()) return std::exchange(error_, std::string());
  SQLHANDLE handle = statement_ != nullptr ? statement_ : connection_;
  const SQLSMALLINT type = statement_ != nullptr ? SQL_HANDLE_STMT : SQL_HANDLE_DBC;
  SQLCHAR state[8] = {};
  SQLCHAR message[1024] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagRecA(type, handle, 1, state, &native, message, sizeof message, &length))) {
    return "no diagnostics";
  }
  return std::string(reinterpret_cast<char*>(state)) + " " + std::to_string(native) + " " +
         reinterpret_cast<char*>(message);
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void ResultRow(const std::string& benchmark, const std::string& figure, const std::string& goal,
               const std::string& met) {
  std::cout << "row\t" << benchmark << '\t' << figure << '\t' << goal << '\t' << met << std::endl;
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace morvane::bench
