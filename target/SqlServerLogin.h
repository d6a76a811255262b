#pragma once
// The login to SQL Server that the Next button of page one performs.

#include <functional>
#include <memory>
#include <string>

#include "target/TargetServer.h"

namespace morvane {

enum class Authentication { WindowsAuthentication, SqlServerAuthentication };

inline constexpr char kMessageBoxCaption[] = "MySQL to MSSQL";

// What the login needs of the window: a message box owned by it, caption kMessageBoxCaption,
// OK button only, no icon; returns when the user has closed it.
class TargetMessageBox {
 public:
  virtual ~TargetMessageBox() = default;
  virtual void ShowMessage(const std::string& text) = 0;
};

// Makes a new server object that is not logged in; nullptr (or a throw) when none can be made.
using TargetServerFactory = std::function<std::shared_ptr<TargetServerObject>()>;

// The ODBC server objects of target/OdbcServer.h.
TargetServerFactory OdbcTargetServerFactory();

// Releases the server object of an earlier attempt, creates a new one into TargetServer and
// logs it in: LoginSecure(true) and Connect(name) without login and password for Windows
// authentication; LoginSecure(false) and Connect(name, login, password) otherwise. Returns 1
// when logged in. Returns 0 without a message when no server object can be made, and 0 after
// showing the report of the TargetError when the login fails (TargetServer then keeps the
// object that failed).
int ConnectSqlServer(TargetConnection& connection, const std::string& sqlServerName,
                     const std::string& sqlServerLogin, const std::string& sqlServerPassword,
                     Authentication authentication, TargetMessageBox& messageBox,
                     const TargetServerFactory& factory = OdbcTargetServerFactory());

}  // namespace morvane
