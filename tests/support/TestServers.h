#pragma once
// Settings of the servers that the test fixtures start for one test run.

#include <map>
#include <string>

namespace morvane::test {

// The key=value lines of test-servers/<server>/server.env in the build tree (or of the file
// named by MORVANE_<SERVER>_ENV). Fails the calling test when the server is not running.
std::map<std::string, std::string> ServerSettings(const std::string& server);

struct MariaDbSettings {
  std::string host;
  unsigned port = 0;
  std::string socket;
  std::string user;
  std::string password;
};

// The MariaDB test server (fixture MariaDB).
MariaDbSettings MariaDb();

struct SqlServerSettings {
  std::string host;
  unsigned port = 0;
  std::string user;
  std::string password;
};

// The TDS test server of tests/sqlserver (fixture SqlServer).
SqlServerSettings SqlServer();

// A name no other test of this run uses: prefix + process id + a counter.
std::string UniqueName(const std::string& prefix);

}  // namespace morvane::test
