#pragma once
// A connection to the MariaDB test server for setting up and inspecting test databases.

#include <optional>
#include <string>
#include <vector>

#include "source/MySqlSource.h"
#include "tests/support/TestServers.h"

namespace morvane::test {

using Cell = std::optional<std::string>;
using Rows = std::vector<std::vector<Cell>>;

class MariaDbTestClient {
 public:
  MariaDbTestClient();  // connects as the test login, in utf8mb4; fails the test otherwise

  // Runs each statement; fails the calling test with the server's message on an error.
  void Execute(const std::vector<std::string>& statements);
  Rows Query(const std::string& statement);

  // A new database with a name unique to this test; dropped again by the destructor.
  std::string CreateDatabase(const std::string& prefix);
  std::string CreateDatabaseNamed(const std::string& name);

  ~MariaDbTestClient();
  MariaDbTestClient(const MariaDbTestClient&) = delete;
  MariaDbTestClient& operator=(const MariaDbTestClient&) = delete;

 private:
  MySqlHandle handle_;
  std::vector<std::string> created_;
};

// Connects as the test login to the test server, in utf8mb4, with `database` current; throws
// when either fails.
void OpenSourceDatabase(MySqlHandle& connection, const std::string& database);

// "host:port" of the test server, as a user types it into the server box.
std::string MariaDbAddress();

using morvane::Backticked;

}  // namespace morvane::test
