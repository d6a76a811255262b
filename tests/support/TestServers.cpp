#include "tests/support/TestServers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace morvane::test {

std::map<std::string, std::string> ServerSettings(const std::string& server) {
  std::string variable = "MORVANE_";
  for (char c : server) variable += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  variable += "_ENV";
  std::string path;
  if (const char* given = std::getenv(variable.c_str()); given && *given) {
    path = given;
  } else {
    path = std::string(MORVANE_TEST_SERVERS_DIR) + "/" + server + "/server.env";
  }
  std::ifstream in(path);
  if (!in) {
    throw std::runtime_error("the " + server + " test server is not running (no " + path +
                             "); run the tests through ctest or scripts/test");
  }
  std::map<std::string, std::string> settings;
  for (std::string line; std::getline(in, line);) {
    auto eq = line.find('=');
    if (eq != std::string::npos) settings[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return settings;
}

MariaDbSettings MariaDb() {
  auto s = ServerSettings("mariadb");
  return {s["host"], static_cast<unsigned>(std::stoul(s["port"])), s["socket"], s["user"],
          s["password"]};
}

SqlServerSettings SqlServer() {
  auto s = ServerSettings("sqlserver");
  return {s["host"], static_cast<unsigned>(std::stoul(s["port"])), s["user"], s["password"]};
}

std::string UniqueName(const std::string& prefix) {
  static std::atomic<unsigned> counter{0};
  return prefix + "_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

}  // namespace morvane::test
