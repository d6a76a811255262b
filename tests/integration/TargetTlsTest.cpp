// The SQL Server connection through FreeTDS encrypts the whole session when the server offers
// TLS (as SQL Server's default installation does, and when it forces it), and falls back to a
// session in clear when the server has none. The TDS test server says for each connection, on
// its error output, how that connection is protected.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "target/ConnectionString.h"
#include "target/OdbcServer.h"
#include "target/SqlServerLogin.h"
#include "target/TargetServer.h"
#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"
#include "tests/integration/TlsServers.h"

namespace morvane {
namespace {

using test::TdsServer;
constexpr const char* kLogin = test::kTlsLogin;
constexpr const char* kPassword = test::kTlsPassword;

class FailOnMessage : public TargetMessageBox {
 public:
  void ShowMessage(const std::string& text) override { ADD_FAILURE() << "message: " << text; }
  // Servers without TLS: as a user who agreed.
  bool AllowUnencryptedLogin(const std::string&) override { return true; }
};

TargetServerFactory FreeTds() {
  return [] { return CreateOdbcTargetServer(OdbcServerOptions{{kFreeTdsDriver}, 15}); };
}

void Execute(TargetConnection& target, const std::string& statement) {
  target.TargetServer->ExecuteWithResults(statement, static_cast<std::int32_t>(statement.size()));
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Case {
  const char* serverSetting;
  const char* expected;  // what the server says of the product's connection
};

void PrintTo(const Case& c, std::ostream* out) { *out << "--encryption " << c.serverSetting; }

class TargetTls : public testing::TestWithParam<Case> {};

// The product logs in, creates a database and a table and writes rows over its session; a
// second connection reads them back.
TEST_P(TargetTls, TheProductsSessionIsProtectedAsTheServerAllowsAndWorks) {
  TdsServer server(GetParam().serverSetting);
  TargetConnection target;
  FailOnMessage box;
  ASSERT_EQ(ConnectSqlServer(target, server.Name(), kLogin, kPassword,
                             Authentication::SqlServerAuthentication, box, FreeTds()),
            1);
  const auto lines = server.Connections();
  ASSERT_EQ(lines.size(), 1u) << (lines.empty() ? "" : lines.back());
  EXPECT_TRUE(Contains(lines[0], GetParam().expected)) << lines[0];

  Execute(target, "CREATE DATABASE tls_check");
  Execute(target, "USE tls_check");
  Execute(target, "CREATE TABLE t (id INT NOT NULL, name NVARCHAR(4000) NULL)");
  const std::string longText(3000, 'x');
  Execute(target, "INSERT INTO t (id, name) VALUES (1, N'Zoë'), (2, N'" + longText + "'), (3, NULL)");
  test::OdbcTestClient reader(server.Settings(), "tls_check");
  const auto rows = reader.TypedQuery("SELECT id, name FROM t ORDER BY id");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0].integer, 1);
  EXPECT_EQ(rows[0][1].text, "Zoë");
  EXPECT_EQ(rows[1][1].text, longText);
  EXPECT_TRUE(rows[2][1].IsNull());
}

INSTANTIATE_TEST_SUITE_P(
    Servers, TargetTls,
    testing::Values(
        // SQL Server's default installation: TLS offered, not forced.
        Case{"off", "session encrypted (TLS"},
        // Force Encryption.
        Case{"on", "session encrypted (TLS"},
        // No TLS: the second attempt, in clear.
        Case{"not-sup", "in clear"}),
    [](const testing::TestParamInfo<Case>& param) {
      std::string name = param.param.serverSetting;
      return name == "not-sup" ? std::string("NoTls") : name == "on" ? std::string("Forced")
                                                                     : std::string("Offered");
    });

// What the product's choice replaces: FreeTDS's "request" against a server that offers TLS
// without forcing it encrypts the login packet only.
TEST(TargetTlsServer, ARequestThatIsNotRequiredEncryptsTheLoginOnly) {
  TdsServer server("off");
  const auto s = server.Settings();
  test::OdbcTestClient client("DRIVER=FreeTDS;SERVER=127.0.0.1;PORT=" + std::to_string(s.port) +
                              ";TDS_Version=7.4;UID=" + s.user + ";PWD=" + s.password +
                              ";Encryption=request;ClientCharset=UTF-8");
  EXPECT_EQ(client.Query("SELECT 1").size(), 1u);
  const auto lines = server.Connections();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(Contains(lines[0], "login encrypted, session in clear (TLS")) << lines[0];
}

// A server that forces TLS refuses a client that has none.
TEST(TargetTlsServer, AForcedServerEndsAClientWithoutTls) {
  TdsServer server("on");
  const auto s = server.Settings();
  EXPECT_THROW(test::OdbcTestClient("DRIVER=FreeTDS;SERVER=127.0.0.1;PORT=" +
                                    std::to_string(s.port) + ";TDS_Version=7.4;UID=" + s.user +
                                    ";PWD=" + s.password + ";Encryption=off"),
               std::exception);
  EXPECT_TRUE(server.Connections().empty());
}

// A server that answers that it has no TLS (as a program pretending to be SQL Server may, to
// learn the password) gets the login only after the user has agreed; the answer holds for that
// server while the program runs.
class AnsweringBox : public TargetMessageBox {
 public:
  explicit AnsweringBox(bool answer) : answer_(answer) {}
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AllowUnencryptedLogin(const std::string& serverName) override {
    questions.push_back(serverName);
    return answer_;
  }
  std::vector<std::string> messages, questions;

 private:
  bool answer_;
};

int LogIn(const std::string& typed, AnsweringBox& box) {
  TargetConnection target;
  return ConnectSqlServer(target, typed, kLogin, kPassword,
                          Authentication::SqlServerAuthentication, box, FreeTds());
}

TEST(UnencryptedLogin, DeclinedNothingOfTheLoginIsSentAndTheAnswerHolds) {
  TdsServer server("not-sup");
  AnsweringBox box(false);
  EXPECT_EQ(LogIn(server.Name(), box), 0);
  EXPECT_EQ(box.questions, std::vector<std::string>{server.Name()});
  ASSERT_EQ(box.messages.size(), 1u);
  EXPECT_TRUE(Contains(box.messages[0], "the login name and password were not sent"))
      << box.messages[0];
  // No LOGIN7 reached the server, in clear or otherwise.
  EXPECT_TRUE(server.Connections().empty());

  // Typed again (another way of naming the same server): not asked, still nothing sent.
  EXPECT_EQ(LogIn(" tcp:127.0.0.1," + server.Name().substr(10), box), 0);
  EXPECT_EQ(box.questions.size(), 1u);
  EXPECT_TRUE(server.Connections().empty());
}

TEST(UnencryptedLogin, AgreedTheLoginGoesInClearAndTheAnswerHolds) {
  TdsServer server("not-sup");
  AnsweringBox box(true);
  EXPECT_EQ(LogIn(server.Name(), box), 1);
  EXPECT_EQ(box.questions, std::vector<std::string>{server.Name()});
  EXPECT_TRUE(box.messages.empty());
  auto lines = server.Connections();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(Contains(lines[0], "in clear")) << lines[0];

  EXPECT_EQ(LogIn(server.Name(), box), 1);
  EXPECT_EQ(box.questions.size(), 1u);
  EXPECT_EQ(server.Connections().size(), 2u);
}

TEST(UnencryptedLogin, AServerWithTlsIsNotAsked) {
  TdsServer server("off");
  AnsweringBox box(false);
  EXPECT_EQ(LogIn(server.Name(), box), 1);
  EXPECT_TRUE(box.questions.empty());
}

}  // namespace
}  // namespace morvane
