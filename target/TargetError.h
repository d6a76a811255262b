#pragma once
// The error record of the target side: every failing target operation throws one (by value;
// catch it by reference), and FormatTargetError turns it into the text that the user sees.

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace morvane {

// The HRESULT codes that the target side raises. The names are not those of <winerror.h>, whose
// macros (E_POINTER, E_FAIL, ...) would otherwise replace them when this is built for Windows.
//
// Code scheme (see also TargetErrorFromDiagnostics in target/OdbcDiagnostics.h):
//   - a statement or login refused by the server with error number n, 1 <= n <= 65023:
//       kServerErrorBase + n (0x80040200 + n), so that the report's fallback system message
//       reads "IDispatch error #n";
//   - a server error whose number does not fit that range, or a failure without a server
//       number (connection refused, unknown host, driver manager errors): kUnspecified;
//   - the connection to the server broke (SQLSTATE 08S01 or 08003 after the login):
//       kConnectionLost, and TargetError::ConnectionLost() is true;
//   - no ODBC driver for SQL Server installed: kDriverMissing;
//   - a holder reached while empty: kInvalidPointer, without error information;
//   - a database name not found in the databases collection: kNotFound;
//   - a statement length outside the statement, or text that is not UTF-8: kInvalidArgument;
//   - an operation out of order (statements before the login, a second login): kNotConnected
//     or kUnexpected.
namespace target_code {
inline constexpr std::int32_t Code(std::uint32_t bits) { return static_cast<std::int32_t>(bits); }

inline constexpr std::int32_t kNotImplemented = Code(0x80004001u);     // E_NOTIMPL
inline constexpr std::int32_t kNoInterface = Code(0x80004002u);        // E_NOINTERFACE
inline constexpr std::int32_t kInvalidPointer = Code(0x80004003u);     // E_POINTER
inline constexpr std::int32_t kAborted = Code(0x80004004u);            // E_ABORT
inline constexpr std::int32_t kUnspecified = Code(0x80004005u);        // E_FAIL
inline constexpr std::int32_t kUnexpected = Code(0x8000FFFFu);         // E_UNEXPECTED
inline constexpr std::int32_t kAccessDenied = Code(0x80070005u);       // E_ACCESSDENIED
inline constexpr std::int32_t kOutOfMemory = Code(0x8007000Eu);        // E_OUTOFMEMORY
inline constexpr std::int32_t kInvalidArgument = Code(0x80070057u);    // E_INVALIDARG
inline constexpr std::int32_t kParameterNotFound = Code(0x80020004u);  // DISP_E_PARAMNOTFOUND
// HRESULT_FROM_WIN32(ERROR_NETNAME_DELETED): the code a broken SQL Server link gives on Windows.
inline constexpr std::int32_t kConnectionLost = Code(0x80070040u);
// HRESULT_FROM_WIN32(ERROR_NOT_CONNECTED).
inline constexpr std::int32_t kNotConnected = Code(0x800708CAu);
// HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND).
inline constexpr std::int32_t kDriverMissing = Code(0x8007007Eu);
// HRESULT_FROM_WIN32(ERROR_NOT_FOUND).
inline constexpr std::int32_t kNotFound = Code(0x80070490u);

// Server error n is reported as kServerErrorBase + n for 1 <= n <= kLargestServerError.
inline constexpr std::int32_t kServerErrorBase = Code(0x80040200u);
inline constexpr std::int32_t kLargestServerError = 0xFFFF - 0x0200;  // 65023

// The code for server error number n, or nullopt when n does not fit the scheme.
std::optional<std::int32_t> ServerErrorCode(std::int64_t number);
}  // namespace target_code

// Where the system message of a code comes from: the operating system's message table on the
// original platform; here a small table of our own (BuiltInSystemMessages). A text is returned
// as the table holds it, line ends included; nullopt when the table has no text for the code.
class SystemMessageSource {
 public:
  virtual ~SystemMessageSource() = default;
  virtual std::optional<std::string> Lookup(std::int32_t code) const = 0;
};

// The texts of the standard codes that the target side raises, each ending in CR LF as the
// operating system's table holds them.
const SystemMessageSource& BuiltInSystemMessages();

// The system message of a code: the looked-up text (one line feed at its end removed, and a
// carriage return before it, when the text is longer than one character), else the
// "IDispatch error #%d" / "Unknown error 0x%0lX" fallback.
std::string SystemMessageText(std::int32_t code, const SystemMessageSource& messages);

class TargetError : public std::exception {
 public:
  // messages must outlive the record; the built-in table does.
  explicit TargetError(std::int32_t code, std::optional<std::string> source = std::nullopt,
                       std::optional<std::string> description = std::nullopt,
                       const SystemMessageSource& messages = BuiltInSystemMessages());

  std::int32_t Code() const { return code_; }
  // The error information; both absent for an error without it (an empty holder, for one).
  const std::optional<std::string>& Source() const { return source_; }
  const std::optional<std::string>& Description() const { return description_; }
  bool HasErrorInfo() const { return source_.has_value() || description_.has_value(); }

  // True when the connection to the server is gone: nothing more can be sent on it.
  bool ConnectionLost() const { return code_ == target_code::kConnectionLost; }

  // Made the first time it is asked for, then kept in the record.
  const std::string& SystemMessage() const;

  // For logs and test output: source, code in hexadecimal and description on one line.
  const char* what() const noexcept override { return summary_.c_str(); }

 private:
  std::int32_t code_;
  std::optional<std::string> source_;
  std::optional<std::string> description_;
  const SystemMessageSource* messages_;
  mutable std::optional<std::string> systemMessage_;
  std::string summary_;
};

// The report: "\n%s Error: %ld\r\n%s\r\n%s\r\n" with source, code (signed decimal), description
// and system message; "(null)" for absent texts.
std::string FormatTargetError(const TargetError& error);

}  // namespace morvane
