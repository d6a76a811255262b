#pragma once
// ConnectionSettings: what page one of the main window collects, owned by the window. The six
// texts are exchanged with their edit boxes as a block; the authentication mode is read from the
// radio buttons whenever the texts are copied in.

#include <string>

#include "target/SqlServerLogin.h"

namespace morvane::ui {

struct ConnectionSettings {
  std::string sqlServerName;      // edit 1000
  std::string sqlServerPassword;  // edit 1002
  std::string sqlServerLogin;     // edit 1001
  std::string mysqlServer;        // edit 1003
  std::string mysqlPassword;      // edit 1005
  std::string mysqlLogin;         // edit 1004
  Authentication authentication = Authentication::WindowsAuthentication;
};

}  // namespace morvane::ui
