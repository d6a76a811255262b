#pragma once
// Servers with TLS for the encryption tests: a TDS test server of the test's own with its
// encryption setting and its log of how each connection is protected, and the MariaDB server
// of the fixture MariaDBTls.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/TestServers.h"

extern char** environ;

namespace morvane::test {

inline constexpr char kTlsLogin[] = "sa";
inline constexpr char kTlsPassword[] = "Tls-Test-1";

// A TDS test server of this test's own, with its encryption setting, its log in a file.
class TdsServer {
 public:
  explicit TdsServer(const std::string& encryption) {
    char folder[] = "/tmp/morvane-tls-XXXXXX";
    if (mkdtemp(folder) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = folder;
    log_ = dir_ + "/server.log";
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> args = {MORVANE_TDS_SERVER, "--port", "0", "--encryption",
                                     encryption, "--login",
                                     std::string(kTlsLogin) + ":" + kTlsPassword};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[256];
    while (spawned == 0 && text.find('\n') == std::string::npos) {
      const ssize_t n = read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    const auto colon = text.rfind(':');
    if (spawned != 0 || text.rfind("listening on 127.0.0.1:", 0) != 0) {
      throw std::runtime_error("the TDS test server did not start: " + text);
    }
    port_ = static_cast<unsigned>(std::stoul(text.substr(colon + 1)));
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
