#pragma once
// From the ODBC diagnostic records of a failed call to the error record the user sees.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "target/TargetError.h"

namespace morvane {

struct OdbcDiagnostic {
  std::string sqlState;      // five characters, e.g. "42S02"
  std::int64_t nativeError;  // the server's error number for server messages
  std::string message;       // "[FreeTDS][SQL Server]Invalid object name 'x'."
};

enum class OdbcOperation { Connect, Statement };

// "[FreeTDS][SQL Server]Invalid object name 'x'." -> {"[FreeTDS][SQL Server]", "Invalid ..."}.
std::pair<std::string, std::string> SplitComponent(const std::string& message);

// True for the SQLSTATEs that mean the link to the server is gone.
bool IsLostConnectionState(const std::string& sqlState);

// The mapping (the codes are those of target_code in TargetError.h):
//   - records of class 01 (warnings, "Changed database context to ...") are left aside while
//     there are others;
//   - the leading record is the first that carries a server error number (native error > 0,
//     outside the link-level states 08S01, 08003, 08001, HYT00, HYT01), else the first record;
//   - code: kConnectionLost when a statement's records hold 08S01 or 08003, or when the driver
//     says that the connection is dead (FreeTDS reports the first statement after the server
//     went away as HY000 "Unknown error"); while connecting, the same states mean that the
//     server could not be reached: kUnspecified;
//     kDriverMissing for IM002/IM003 (the driver manager could not load the driver);
//     kServerErrorBase + number for a server error number from 1 to 65023; kUnspecified else;
//   - source: the leading message's components ("[FreeTDS][SQL Server]"), " SQLSTATE " and
//     the state, and ", native error n" when the code cannot carry a positive number;
//   - description: the leading message's text without its components, then the text of every
//     other record that says something else, each on a line of its own ("\r\n" between);
//   - a connection found dead without a record that says so gets a first line that says so;
//   - with Microsoft's drivers, a login that failed on encryption gets a first line that says
//     why: the server offers no encryption, or its certificate cannot be checked.
TargetError TargetErrorFromDiagnostics(const std::vector<OdbcDiagnostic>& records,
                                       OdbcOperation operation, const std::string& driver,
                                       bool connectionDead = false);

// The line that a lost connection's report starts with when the driver gave no reason.
inline constexpr char kConnectionLostText[] = "The connection to the server was lost.";

}  // namespace morvane
