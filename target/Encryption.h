#pragma once
// How the connection to SQL Server is encrypted, written into the connection string rather than
// left to the machine's driver settings.

#include <string>
#include <vector>

#include "target/OdbcDiagnostics.h"

namespace morvane {

enum class Encryption {
  // Nothing written: the driver's or the data source's own settings (Microsoft's driver 18,
  // which encrypts and checks the certificate, other drivers, a data source typed by name).
  DriverSettings,
  // The whole session over TLS, the certificate not checked; the login fails when the server
  // has no TLS. FreeTDS: Encryption=require; driver 17: Encrypt=yes;TrustServerCertificate=yes.
  WholeSession,
  // The second attempt against a server without TLS: in clear. FreeTDS: Encryption=request
  // (which would still protect the login, should the server offer TLS after all); driver 17:
  // Encrypt=no.
  Fallback,
};

// The first choice for a driver (nullopt-free: a data source keeps its own settings).
Encryption FirstEncryption(const std::string& driver, bool dataSource);

// The connection string keywords of the choice for that driver ("" for DriverSettings and for
// drivers that have no such keywords), each ended by ";".
std::string EncryptionKeywords(const std::string& driver, Encryption encryption);

// After a failed login that asked for WholeSession: true when the records say that the driver
// gave up before the server said anything, which is how FreeTDS ("Adaptive Server connection
// failed") and driver 17 report a server that answered it has no TLS. False when the server
// could not be reached or did not answer in time (08S01, 08003, HYT00, HYT01), and when the
// server itself refused the login (a server error number, such as 18456).
bool ServerMayHaveNoTls(const std::vector<OdbcDiagnostic>& records);

}  // namespace morvane
