#pragma once
// Driving the main window as a user does: page one's logins typed, a source database chosen on
// page two. Shared by the window tests, the screenshots and the
// window benchmarks.

#include <string>

#include "ui/MorvaneDlg.h"

namespace morvane::test {

// What page one asks for; the SQL Server side with SQL Server authentication.
struct PageOne {
  std::string mysqlServer, mysqlLogin, mysqlPassword;
  std::string sqlServerName, sqlServerLogin, sqlServerPassword;
};

// The logins of this run's test servers (the SQL Server as "host,port").
PageOne GoodLogins();

// Types p into page one and chooses SQL Server authentication; Next is left to the caller.
// The test servers have no TLS: unless told otherwise, as a user who has already agreed to log
// in to that server without encryption.
void TypePageOne(ui::CMorvaneDlg& dialog, const PageOne& p, bool agreeToUnencryptedLogin = true);

// Chooses a database in page two's combo box as the user does (the selection and its event).
// False when the box does not list it.
bool ChooseDatabase(ui::CMorvaneDlg& dialog, const std::string& name);

}  // namespace morvane::test
