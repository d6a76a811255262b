#include "target/Encryption.h"

#include <algorithm>

#include "target/ConnectionString.h"

namespace morvane {

Encryption FirstEncryption(const std::string& driver, bool dataSource) {
  if (dataSource) return Encryption::DriverSettings;
  if (driver == kFreeTdsDriver || driver == kDriver17) return Encryption::WholeSession;
  return Encryption::DriverSettings;
}

std::string EncryptionKeywords(const std::string& driver, Encryption encryption) {
  if (encryption == Encryption::DriverSettings) return "";
  const bool whole = encryption == Encryption::WholeSession;
  if (driver == kFreeTdsDriver) return whole ? "Encryption=require;" : "Encryption=request;";
  if (driver == kDriver17) return whole ? "Encrypt=yes;TrustServerCertificate=yes;" : "Encrypt=no;";
  return "";
}

bool ServerMayHaveNoTls(const std::vector<OdbcDiagnostic>& records) {
  if (records.empty()) return false;
  return std::none_of(records.begin(), records.end(), [](const OdbcDiagnostic& r) {
    const bool unreached = IsLostConnectionState(r.sqlState) || r.sqlState == "HYT00" ||
                           r.sqlState == "HYT01";
    // Server messages carry the server's error number; the drivers' own numbers are 0 or,
    // for FreeTDS, from 20000 up.
    const bool serverMessage = r.nativeError > 0 && r.nativeError < 20000;
    return unreached || serverMessage;
  });
}

}  // namespace morvane
