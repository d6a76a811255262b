#include "tests/integration/PrivateServers.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <signal.h>
#include <stdexcept>

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

PrivateServer::PrivateServer(std::string kind) : kind_(std::move(kind)) {
  char templ[] = "/tmp/morvane-private-XXXXXX";
  if (mkdtemp(templ) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = std::string(templ) + "/" + kind_;
  std::string command = std::string(MORVANE_FIXTURES_DIR) + "/" + kind_ + "-server start '" + dir_ + "'";
  if (kind_ == "sqlserver") command += " '" + std::string(MORVANE_TDS_SERVER) + "'";
  Shell(command + " >/dev/null");
  settings_ = ReadSettings(dir_ + "/server.env");
}

PrivateServer::~PrivateServer() {
  const std::string command =
      std::string(MORVANE_FIXTURES_DIR) + "/" + kind_ + "-server stop '" + dir_ + "' >/dev/null 2>&1";
  [[maybe_unused]] int ignored = std::system(command.c_str());
  const std::string parent = dir_.substr(0, dir_.rfind('/'));
  rmdir(parent.c_str());
}

void PrivateServer::Kill() {
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
