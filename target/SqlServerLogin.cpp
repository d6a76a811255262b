#include "target/SqlServerLogin.h"

#include "target/OdbcServer.h"

namespace morvane {

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
