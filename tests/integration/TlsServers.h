#pragma once
// Servers with TLS for the encryption tests: a TDS test server of the test's own with its
// encryption setting and its log of how each connection is protected, and the MariaDB server
// of the fixture MariaDBTls.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/integration/TdsServerProcess.h"
#include "tests/support/TestServers.h"

namespace morvane::test {

inline constexpr char kTlsLogin[] = "sa";
inline constexpr char kTlsPassword[] = "Tls-Test-1";

// A TDS test server of this test's own, with its encryption setting, its log in a file.
class TdsServer {
 public:
  // `more`: further options of the server ("--packet-size", "512").
  explicit TdsServer(const std::string& encryption, const std::vector<std::string>& more = {}) {
    char folder[] = "/tmp/morvane-tls-XXXXXX";
    if (mkdtemp(folder) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = folder;
    log_ = dir_ + "/server.log";
    std::vector<std::string> options{"--port", "0", "--encryption", encryption, "--login",
                                     std::string(kTlsLogin) + ":" + kTlsPassword};
    options.insert(options.end(), more.begin(), more.end());
    port_ = StartTdsServerProcess(options, log_, pid_);
  }
  ~TdsServer() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    std::remove(log_.c_str());
    rmdir(dir_.c_str());
  }
  TdsServer(const TdsServer&) = delete;
  TdsServer& operator=(const TdsServer&) = delete;

  std::string Name() const { return "127.0.0.1," + std::to_string(port_); }
  SqlServerSettings Settings() const { return {"127.0.0.1", port_, kTlsLogin, kTlsPassword}; }
  // "connection 51: session encrypted (TLSv1.2 ...)", one line per connection that got as
  // far as its login, in order.
  std::vector<std::string> Connections() const {
    std::ifstream in(log_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("connection ", 0) == 0) lines.push_back(line);
    }
    return lines;
  }

 private:
  std::string dir_, log_;
  pid_t pid_ = 0;
  unsigned port_ = 0;
};

// The MariaDB test server started with a certificate (fixture MariaDBTls).
inline MariaDbSettings TlsMariaDb() {
  auto s = ServerSettings("mariadb-tls");
  return {s["host"], static_cast<unsigned>(std::stoul(s["port"])), s["socket"], s["user"],
          s["password"]};
}

}  // namespace morvane::test
