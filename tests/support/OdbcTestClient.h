#pragma once
// A small ODBC client for tests: connects through the FreeTDS driver (unixODBC) with a DSN-less
// string, sends statements with SQLExecDirectW and gives back rows as UTF-8 strings.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/TestServers.h"

namespace morvane::test {

using OdbcCell = std::optional<std::string>;  // nullopt for NULL
using OdbcRow = std::vector<OdbcCell>;

// A cell read with the C type that fits its SQL type: integers (BIT, TINYINT .. BIGINT) as
// SQL_C_SBIGINT, REAL and FLOAT as SQL_C_DOUBLE, DECIMAL/NUMERIC as the driver's exact text,
// binary types as SQL_C_BINARY (any length), DATE as SQL_C_TYPE_DATE, DATETIME, SMALLDATETIME and
// DATETIME2 as SQL_C_TYPE_TIMESTAMP, TIME as the driver's text "hh:mm:ss[.fffffff]" (SQL_C_TYPE_TIME
// has no fraction), DATETIMEOFFSET (SQL_SS_TIMESTAMPOFFSET) as its date, time and offset parsed
// from the driver's text (unixODBC refuses the C type SQL_C_SS_TIMESTAMPOFFSET), everything else
// as text (SQL_C_WCHAR, any length).
struct OdbcValue {
  enum class Kind { Null, Integer, Real, Decimal, Text, Binary, Date, Time, Timestamp, TimestampOffset };
  Kind kind = Kind::Null;
  std::int64_t integer = 0;
  double real = 0;
  std::string text;                // Decimal, Text (UTF-8), Time
  std::vector<std::uint8_t> bytes;  // Binary
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;  // Date, Timestamp
  long nanoseconds = 0;                                                 // Timestamp
  int offsetMinutes = 0;                                                // TimestampOffset
  short sqlType = 0;  // the column's SQL type as SQLDescribeCol gives it

  bool IsNull() const { return kind == Kind::Null; }
  // "yyyy-mm-dd" (Date), "yyyy-mm-dd hh:mm:ss.fffffffff" (Timestamp, nine fraction digits) or
  // that and " {+|-}hh:mm" (TimestampOffset).
  std::string DateText() const;
};
using OdbcTypedRow = std::vector<OdbcValue>;

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
  // The rows of the batch's first result set read as typed values; throws OdbcError when it fails.
  std::vector<OdbcTypedRow> TypedQuery(const std::string& sql);

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
