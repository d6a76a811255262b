#pragma once
// The login to SQL Server that the Next button of page one performs.

#include <functional>
#include <memory>
#include <optional>
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
  // The server answered that it cannot encrypt the connection: may the login go to it
  // unencrypted? The window asks the user (Yes and No, caption kMessageBoxCaption) with
  // UnencryptedLoginQuestion's text; true for Yes.
  virtual bool AllowUnencryptedLogin(const std::string& sqlServerName) = 0;
};

// The question for AllowUnencryptedLogin.
std::string UnencryptedLoginQuestion(const std::string& sqlServerName);

// The answer given for a server (as typed; "host", "host,port" and "tcp:host" name the same
// one), which holds until the program ends; nullopt before the first.
std::optional<bool> RememberedUnencryptedLoginAnswer(const std::string& sqlServerName);
void RememberUnencryptedLoginAnswer(const std::string& sqlServerName, bool allowed);

// Makes a new server object that is not logged in; nullptr (or a throw) when none can be made.
using TargetServerFactory = std::function<std::shared_ptr<TargetServerObject>()>;

// The ODBC server objects of target/OdbcServer.h.
TargetServerFactory OdbcTargetServerFactory();

// Releases the server object of an earlier attempt, creates a new one into TargetServer and
// logs it in: LoginSecure(true) and Connect(name) without login and password for Windows
// authentication; LoginSecure(false) and Connect(name, login, password) otherwise. Should the
// server answer that it cannot encrypt, the login goes on unencrypted only with the user's
// consent (AllowUnencryptedLogin, asked once per server while the program runs). Returns 1
// when logged in. Returns 0 without a message when no server object can be made, and 0 after
// showing the report of the TargetError when the login fails (TargetServer then keeps the
// object that failed).
int ConnectSqlServer(TargetConnection& connection, const std::string& sqlServerName,
                     const std::string& sqlServerLogin, const std::string& sqlServerPassword,
                     Authentication authentication, TargetMessageBox& messageBox,
                     const TargetServerFactory& factory = OdbcTargetServerFactory());

}  // namespace morvane
