// A SQL Server that answers that it cannot encrypt gets the login only after the user has
// answered Yes in a box that says so; the answer holds for that server.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <wx/msgdlg.h>

#include "tests/integration/TlsServers.h"
#include "tests/support/MariaDbTestClient.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/ui/WizardDriving.h"
#include "ui/MorvaneDlg.h"

namespace morvane::ui {
namespace {

using testing::HasSubstr;
using testing::Not;

constexpr int kNextButton = 1039;
constexpr int kDatabaseCombo = 1011;

class ConsentBox : public test::MainWindowTest {
 protected:
  // Types page one with the good MySQL login and a TDS server of the test's own without TLS.
  void TypeFor(const test::TdsServer& server) {
    test::PageOne p = test::GoodLogins();
    p.sqlServerName = server.Name();
    p.sqlServerLogin = test::kTlsLogin;
    p.sqlServerPassword = test::kTlsPassword;
    test::TypePageOne(*dialog, p, /*agreeToUnencryptedLogin=*/false);
  }
};

TEST_F(ConsentBox, NoSendsNothingAndIsKeptYesLogsIn) {
  test::TdsServer declined("not-sup");
  TypeFor(declined);
  {
    test::MessageBoxes boxes;
    boxes.Answer(wxID_NO);
    Press(kNextButton);
    ASSERT_GE(boxes.Boxes().size(), 2u);
    const auto& question = boxes.Boxes()[0];
    EXPECT_EQ(question.caption, "MySQL to MSSQL");
    EXPECT_EQ(question.parent, dialog);
    EXPECT_TRUE((question.style & wxYES_NO) != 0);
    EXPECT_THAT(question.message, HasSubstr("the connection will not be encrypted"));
    EXPECT_THAT(question.message, HasSubstr(declined.Name()));
    EXPECT_THAT(boxes.Boxes()[1].message, HasSubstr("the login name and password were not sent"));
    EXPECT_FALSE(dialog->Control(kDatabaseCombo)->IsShown());
    EXPECT_TRUE(declined.Connections().empty());  // no LOGIN7 reached it

    // Next again: the answer holds, no box asks, still nothing sent.
    const auto before = boxes.Boxes().size();
    Press(kNextButton);
    ASSERT_GT(boxes.Boxes().size(), before);
    EXPECT_THAT(boxes.Boxes()[before].message, Not(HasSubstr("will not be encrypted")));
    EXPECT_TRUE(declined.Connections().empty());
  }

  test::MariaDbTestClient mariadb;
  mariadb.CreateDatabase("consent");  // page two has a database to show
  test::TdsServer agreed("not-sup");
  TypeFor(agreed);
  test::MessageBoxes boxes;
  boxes.Answer(wxID_YES);
  Press(kNextButton);
  ASSERT_EQ(boxes.Boxes().size(), 1u) << boxes.Boxes().back().message;
  EXPECT_THAT(boxes.Boxes()[0].message, HasSubstr("the connection will not be encrypted"));
  EXPECT_TRUE(dialog->Control(kDatabaseCombo)->IsShown());
  const auto lines = agreed.Connections();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], HasSubstr("in clear"));
}

}  // namespace
}  // namespace morvane::ui
