#pragma once
// Servers of one test's own, for tests that stop a server in the middle of the work: started by
// the same scripts as the shared test servers, into a folder of their own.

#include <map>
#include <string>
#include <vector>

#include "tests/support/TestServers.h"

namespace morvane::test {

class PrivateServer {
 public:
  // kind: "mariadb" or "sqlserver"; a SQL Server test server may be given its logins
  // ("name:password", the first one in Settings()) instead of the fixture's own.
  // A MariaDB started with `tls` offers TLS with a certificate of its own, made at start.
  explicit PrivateServer(std::string kind, const std::vector<std::string>& logins = {},
                         bool tls = false);
  ~PrivateServer();
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  const std::map<std::string, std::string>& Settings() const { return settings_; }
  MariaDbSettings AsMariaDb() const;
  SqlServerSettings AsSqlServer() const;

  // Ends the server at once, as a crash or a pulled cable would (SIGKILL).
  void Kill();

 private:
  void StartTdsServer(const std::vector<std::string>& logins);

  std::string kind_, dir_;
  int pid_ = 0;  // a server started directly
  std::map<std::string, std::string> settings_;
};

}  // namespace morvane::test
