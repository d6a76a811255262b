// Next against a host that accepts and never answers: the window comes back with the failure
// message once the login's time-out (15 s) has passed, for either server.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/integration/SilentHost.h"
#include "tests/support/MariaDbTestClient.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WizardDriving.h"
#include "ui/MorvaneDlg.h"
#include "ui/Templates.h"

namespace morvane::ui {
namespace {

class SilentHostNext : public test::MainWindowTest {
 protected:
  void Next(const std::string& mysqlServer, const std::string& sqlServer) {
    test::PageOne logins = test::GoodLogins();
    logins.mysqlServer = mysqlServer;
    logins.sqlServerName = sqlServer;
    test::TypePageOne(*dialog, logins);
    Press(kNextButton);
  }
  test::SilentHost silent;
  test::MessageBoxes boxes;
};

TEST_F(SilentHostNext, ASilentMySqlServerGivesTheMySqlMessage) {
  const auto s = test::SqlServer();
  Next("127.0.0.1:" + std::to_string(silent.Port()), s.host + "," + std::to_string(s.port));
  // The fixed text, then the library's reason on a line of its own.
  ASSERT_EQ(boxes.Messages().size(), 1u);
  EXPECT_EQ(boxes.Messages()[0].substr(0, boxes.Messages()[0].find('\n')),
            "There is an error to connect with MySQL. Please check your input parameters or "
            "server configuration.");
  EXPECT_TRUE(dialog->Control(1003)->IsShown());  // still page one
}

TEST_F(SilentHostNext, ASilentSqlServerGivesTheMsSqlMessage) {
  Next(test::MariaDbAddress(), "127.0.0.1," + std::to_string(silent.Port()));
  const auto messages = boxes.Messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), "There is an error to connect with MS SQL. Please check your input "
                             "parameters or server configuration.");
  EXPECT_TRUE(dialog->Control(1003)->IsShown());
}

}  // namespace
}  // namespace morvane::ui
