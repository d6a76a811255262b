#include "target/SqlServerLogin.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "target/ConnectionString.h"
#include "target/OdbcServer.h"

namespace morvane {

namespace {

std::mutex answersMutex;
std::map<std::string, bool>& Answers() {
  static std::map<std::string, bool> answers;
  return answers;
}

// One key for every way of typing the same server.
std::string ServerKey(const std::string& sqlServerName) {
  if (const auto dataSource = DataSourceName(sqlServerName)) return "DSN=" + *dataSource;
  const SqlServerAddress address = ParseSqlServerName(sqlServerName);
  std::string key = address.host + "\\" + address.instance + "," + address.port;
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return key;
}

}  // namespace

std::string UnencryptedLoginQuestion(const std::string& sqlServerName) {
  return "The SQL Server \"" + sqlServerName +
         "\" answered that it cannot encrypt the connection.\n\n"
         "If you go on, the connection will not be encrypted: the login name, the password and "
         "every row converted will cross the network as they are, readable to anyone on the "
         "way. A real SQL Server (2016 and later) can always encrypt; a program that only "
         "pretends to be one may give this answer to learn the password.\n\n"
         "Log in without encryption?";
}

std::optional<bool> RememberedUnencryptedLoginAnswer(const std::string& sqlServerName) {
  std::lock_guard lock(answersMutex);
  const auto found = Answers().find(ServerKey(sqlServerName));
  if (found == Answers().end()) return std::nullopt;
  return found->second;
}

void RememberUnencryptedLoginAnswer(const std::string& sqlServerName, bool allowed) {
  std::lock_guard lock(answersMutex);
  Answers()[ServerKey(sqlServerName)] = allowed;
}

TargetServerFactory OdbcTargetServerFactory() {
  return [] { return CreateOdbcTargetServer(); };
}

int ConnectSqlServer(TargetConnection& connection, const std::string& sqlServerName,
                     const std::string& sqlServerLogin, const std::string& sqlServerPassword,
                     Authentication authentication, TargetMessageBox& messageBox,
                     const TargetServerFactory& factory) {
  connection.TargetServer.Reset();
  std::shared_ptr<TargetServerObject> server;
  try {
    server = factory ? factory() : nullptr;
  } catch (...) {
    return 0;
  }
  if (!server) return 0;
  connection.TargetServer = server;
  server->SetUnencryptedLoginConsent([&messageBox](const std::string& name) {
    if (const auto answer = RememberedUnencryptedLoginAnswer(name)) return *answer;
    const bool allowed = messageBox.AllowUnencryptedLogin(name);
    RememberUnencryptedLoginAnswer(name, allowed);
    return allowed;
  });
  // The box is the caller's: not asked after this login.
  struct Forget {
    TargetServerObject& server;
    ~Forget() { server.SetUnencryptedLoginConsent({}); }
  } forget{*server};

  try {
    if (authentication == Authentication::WindowsAuthentication) {
      connection.TargetServer->LoginSecure(true);
      connection.TargetServer->Connect(sqlServerName, std::nullopt, std::nullopt);
    } else {
      connection.TargetServer->LoginSecure(false);
      connection.TargetServer->Connect(sqlServerName, sqlServerLogin, sqlServerPassword);
    }
    return 1;
  } catch (const TargetError& error) {
    messageBox.ShowMessage(FormatTargetError(error));
    return 0;
  }
}

}  // namespace morvane
