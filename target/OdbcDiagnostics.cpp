#include "target/OdbcDiagnostics.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "target/ConnectionString.h"

namespace morvane {

namespace {

bool IsLinkLevelState(const std::string& state) {
  return IsLostConnectionState(state) || state == "08001" || state == "HYT00" || state == "HYT01";
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool AnyMessageHolds(const std::vector<OdbcDiagnostic>& records, const std::string& what) {
  return std::any_of(records.begin(), records.end(), [&](const OdbcDiagnostic& record) {
    return Lower(record.message).find(what) != std::string::npos;
  });
}

// What to tell the user first when Microsoft's driver refused a login over encryption; the
// connection stays encrypted either way.
std::optional<std::string> EncryptionExplanation(const std::vector<OdbcDiagnostic>& records) {
  if (AnyMessageHolds(records, "encryption not supported on sql server") ||
      AnyMessageHolds(records, "server does not support encryption")) {
    return std::string(
        "The server offers no encrypted connection, and this program connects only with "
        "encryption. Ask the server's administrator to enable encryption (a TLS certificate) "
        "on SQL Server.");
  }
  if (AnyMessageHolds(records, "certificate")) {
    return std::string(
        "The server's certificate could not be checked, and this program connects only to "
        "servers whose certificate it trusts. Install the certificate of the issuing "
        "authority on this computer, or ask the server's administrator for a trusted "
        "certificate.");
  }
  return std::nullopt;
}

}  // namespace

std::pair<std::string, std::string> SplitComponent(const std::string& message) {
  std::size_t end = 0;
  while (end < message.size() && message[end] == '[') {
    const std::size_t close = message.find(']', end);
    if (close == std::string::npos) break;
    end = close + 1;
  }
  return {message.substr(0, end), message.substr(end)};
}

bool IsLostConnectionState(const std::string& sqlState) {
  return sqlState == "08S01" || sqlState == "08003";
}

TargetError TargetErrorFromDiagnostics(const std::vector<OdbcDiagnostic>& all,
                                       OdbcOperation operation, const std::string& driver,
                                       bool connectionDead) {
  std::vector<OdbcDiagnostic> records;
  std::copy_if(all.begin(), all.end(), std::back_inserter(records),
               [](const OdbcDiagnostic& r) { return r.sqlState.rfind("01", 0) != 0; });
  if (records.empty()) records = all;
  const bool statement = operation == OdbcOperation::Statement;
  if (records.empty()) {
    if (statement && connectionDead) {
      return TargetError(target_code::kConnectionLost, "[" + driver + "]",
                         std::string(kConnectionLostText));
    }
    return TargetError(target_code::kUnspecified, "[" + driver + "]",
                       std::string("The ODBC driver reported a failure without saying why."));
  }

  auto leading = std::find_if(records.begin(), records.end(), [](const OdbcDiagnostic& r) {
    return r.nativeError > 0 && !IsLinkLevelState(r.sqlState);
  });
  if (leading == records.end()) leading = records.begin();

  const bool lostState = std::any_of(records.begin(), records.end(), [](const OdbcDiagnostic& r) {
    return IsLostConnectionState(r.sqlState);
  });
  const bool lost = statement && (lostState || connectionDead);
  std::int32_t code = target_code::kUnspecified;
  bool codeCarriesNumber = false;
  if (lost) {
    code = target_code::kConnectionLost;
  } else if (leading->sqlState == "IM002" || leading->sqlState == "IM003") {
    code = target_code::kDriverMissing;
  } else if (!IsLinkLevelState(leading->sqlState)) {
    if (auto serverCode = target_code::ServerErrorCode(leading->nativeError)) {
      code = *serverCode;
      codeCarriesNumber = true;
    }
  }

  auto [component, text] = SplitComponent(leading->message);
  std::string source = component;
  if (!source.empty()) source += ' ';
  source += "SQLSTATE " + leading->sqlState;
  if (!codeCarriesNumber && leading->nativeError > 0) {
    source += ", native error " + std::to_string(leading->nativeError);
  }

  std::vector<std::string> lines;
  if (lost && !lostState) lines.push_back(kConnectionLostText);
  if (operation == OdbcOperation::Connect && (driver == kDriver18 || driver == kDriver17)) {
    if (auto why = EncryptionExplanation(records)) lines.push_back(*why);
  }
  lines.push_back(text);
  for (const auto& record : records) {
    std::string other = SplitComponent(record.message).second;
    if (std::find(lines.begin(), lines.end(), other) == lines.end()) lines.push_back(other);
  }
  std::string description;
  for (const auto& line : lines) {
    if (!description.empty()) description += "\r\n";
    description += line;
  }
  return TargetError(code, source, description);
}

}  // namespace morvane
