#include "tests/integration/PrivateServers.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <signal.h>
#include <stdexcept>

#include "tests/integration/TdsServerProcess.h"

namespace morvane::test {
namespace {

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

std::map<std::string, std::string> ReadSettings(const std::string& path) {
  std::map<std::string, std::string> settings;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) settings[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return settings;
}

}  // namespace

PrivateServer::PrivateServer(std::string kind, const std::vector<std::string>& logins, bool tls)
    : kind_(std::move(kind)) {
  char templ[] = "/tmp/morvane-private-XXXXXX";
  if (mkdtemp(templ) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = std::string(templ) + "/" + kind_;
  std::string command = std::string(MORVANE_FIXTURES_DIR) + "/" + kind_ + "-server start '" + dir_ + "'";
  if (kind_ == "sqlserver" && !logins.empty()) {
    StartTdsServer(logins);
    return;
  }
  if (kind_ == "sqlserver") command += " '" + std::string(MORVANE_TDS_SERVER) + "'";
  if (kind_ == "mariadb" && tls) command += " tls";
  Shell(command + " >/dev/null");
  settings_ = ReadSettings(dir_ + "/server.env");
}

// The server started directly, so that logins reach its command line without a shell.
void PrivateServer::StartTdsServer(const std::vector<std::string>& logins) {
  std::vector<std::string> options = {"--port", "0"};
  for (const auto& login : logins) {
    options.push_back("--login");
    options.push_back(login);
  }
  const unsigned port = StartTdsServerProcess(options, "", pid_);
  const auto login = logins.front();
  const auto split = login.find(':');
  settings_ = {{"host", "127.0.0.1"},
               {"port", std::to_string(port)},
               {"user", login.substr(0, split)},
               {"password", login.substr(split + 1)}};
}

PrivateServer::~PrivateServer() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  const std::string command =
      std::string(MORVANE_FIXTURES_DIR) + "/" + kind_ + "-server stop '" + dir_ + "' >/dev/null 2>&1";
  [[maybe_unused]] int ignored = std::system(command.c_str());
  const std::string parent = dir_.substr(0, dir_.rfind('/'));
  rmdir(parent.c_str());
}

void PrivateServer::Kill() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
    return;
  }
  std::ifstream in(dir_ + (kind_ == "mariadb" ? "/mariadbd.pid" : "/server.pid"));
  pid_t pid = 0;
  in >> pid;
  if (pid <= 0) throw std::runtime_error("no pid for the " + kind_ + " server");
  kill(pid, SIGKILL);
  for (int i = 0; i < 100 && kill(pid, 0) == 0; ++i) usleep(20000);
}

MariaDbSettings PrivateServer::AsMariaDb() const {
  auto s = settings_;
  return {s["host"], static_cast<unsigned>(std::stoul(s["port"])), s["socket"], s["user"], s["password"]};
}

SqlServerSettings PrivateServer::AsSqlServer() const {
  auto s = settings_;
  return {s["host"], static_cast<unsigned>(std::stoul(s["port"])), s["user"], s["password"]};
}

}  // namespace morvane::test
