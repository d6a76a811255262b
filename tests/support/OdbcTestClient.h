#pragma once
// A small ODBC client for tests: connects through the FreeTDS driver (unixODBC) with a DSN-less
// string, sends statements with SQLExecDirectW and gives back rows as UTF-8 strings.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/TestServers.h"

namespace morvane::test {

using OdbcCell = std::optional<std::string>;  // nullopt for NULL
using OdbcRow = std::vector<OdbcCell>;

struct OdbcDiagnostic {
  std::string sqlState;
  long native = 0;
  std::string message;  // without the "[FreeTDS][SQL Server]" prefix
};

// Everything one SQLExecDirectW call produced, all result sets drained.
struct OdbcResult {
  bool ok = true;                               // no SQL_ERROR from any result
  std::vector<std::vector<std::string>> columns; // column names of each result set
  std::vector<std::vector<OdbcRow>> sets;        // rows of each result set
  std::vector<long> rowCounts;                   // SQLRowCount of results without columns
  std::vector<OdbcDiagnostic> errors;            // diagnostics of failed results
  std::vector<OdbcDiagnostic> messages;          // diagnostics of results that succeeded with info

  // The first error's native number, 0 when there was none.
  long FirstError() const { return errors.empty() ? 0 : errors.front().native; }
};

class OdbcError : public std::runtime_error {
 public:
  OdbcError(const std::string& what, std::vector<OdbcDiagnostic> diagnostics)
      : std::runtime_error(what), diagnostics_(std::move(diagnostics)) {}
  const std::vector<OdbcDiagnostic>& Diagnostics() const { return diagnostics_; }
  long Native() const { return diagnostics_.empty() ? 0 : diagnostics_.front().native; }

 private:
  std::vector<OdbcDiagnostic> diagnostics_;
};

class OdbcTestClient {
 public:
  // DRIVER=FreeTDS;SERVER=host;PORT=port;TDS_Version=<version>;UID=..;PWD=..;ClientCharset=UTF-8
  // (plus DATABASE=.. when given). Throws OdbcError when the connection fails.
  explicit OdbcTestClient(const SqlServerSettings& server, const std::string& database = "",
                          const std::string& tdsVersion = "7.4");
  // Any connection string.
  explicit OdbcTestClient(const std::string& connectionString);
  ~OdbcTestClient();
  OdbcTestClient(const OdbcTestClient&) = delete;
  OdbcTestClient& operator=(const OdbcTestClient&) = delete;

  // Runs a batch and collects all of its results; never throws for server errors.
  OdbcResult Execute(const std::string& sql);
  // Runs a batch; throws OdbcError when it fails.
  void Run(const std::string& sql);
  // The rows of the batch's first result set; throws OdbcError when it fails.
  std::vector<OdbcRow> Query(const std::string& sql);
  // The single value of a one-row, one-column result.
  OdbcCell Scalar(const std::string& sql);

  // The diagnostics of a connection attempt that should fail (empty when it succeeded).
  static std::vector<OdbcDiagnostic> ConnectErrors(const std::string& connectionString);
  static std::string ConnectionString(const SqlServerSettings& server, const std::string& database,
                                      const std::string& tdsVersion);

 private:
  void Connect(const std::string& connectionString);
  void* env_ = nullptr;
  void* dbc_ = nullptr;
};

}  // namespace morvane::test
