#pragma once
// Servers of one test's own, for tests that stop a server in the middle of the work: started by
// the same scripts as the shared test servers, into a folder of their own.

#include <map>
#include <string>

#include "tests/support/TestServers.h"

namespace morvane::test {

class PrivateServer {
 public:
  // kind: "mariadb" or "sqlserver".
  explicit PrivateServer(std::string kind);
  ~PrivateServer();
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  const std::map<std::string, std::string>& Settings() const { return settings_; }
  MariaDbSettings AsMariaDb() const;
  SqlServerSettings AsSqlServer() const;

  // Ends the server at once, as a crash or a pulled cable would (SIGKILL).
  void Kill();

 private:
  std::string kind_, dir_;
  std::map<std::string, std::string> settings_;
};

}  // namespace morvane::test
