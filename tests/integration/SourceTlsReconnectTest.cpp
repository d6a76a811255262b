// A MySQL connection opened again after Cancel keeps the protection of the first one: TLS, and
// the certificate the server showed first; otherwise it is not opened, and the user is told.
#include <gmock/gmock.h>

#include "source/MySqlSource.h"
#include "source/MySqlTls.h"
#include "tests/integration/PrivateServers.h"
#include "tests/support/TestServers.h"

namespace morvane {
namespace {

using testing::HasSubstr;

// The MariaDB test server started with a certificate (fixture MariaDBTls).
test::MariaDbSettings TlsMariaDb() {
  auto s = test::ServerSettings("mariadb-tls");
  return {s["host"], static_cast<unsigned>(std::stoul(s["port"])), s["socket"], s["user"],
          s["password"]};
}

std::string Tcp(const test::MariaDbSettings& s) { return s.host + ":" + std::to_string(s.port); }

struct Reconnect : testing::Test {
  // Opened over TLS; then the address is made to lead to `other` (as a changed route would),
  // and the connection cancelled, to be opened again on its next use.
  void OpenTlsThenLeadTo(const test::MariaDbSettings& other) {
    const auto s = TlsMariaDb();
    ASSERT_NE(OpenMySqlConnection(connection, Tcp(s), s.user, s.password), 0)
        << connection.ConnectFailure();
    ASSERT_NE(TlsCipher(connection.get()), "");
    connection.Remember({Tcp(other), other.user, other.password, {}});
    connection.Cancel();
  }
  MySqlHandle connection;
};

TEST_F(Reconnect, ToTheSameServerIsEncryptedAgain) {
  OpenTlsThenLeadTo(TlsMariaDb());
  ASSERT_NE(connection.get(), nullptr) << connection.ConnectFailure();
  EXPECT_NE(TlsCipher(connection.get()), "");
}

TEST_F(Reconnect, ToAServerWithoutTlsIsRefused) {
  OpenTlsThenLeadTo(test::MariaDb());
  EXPECT_EQ(connection.get(), nullptr);
  EXPECT_THAT(connection.ConnectFailure(), HasSubstr("no longer answered with TLS"));
}

TEST_F(Reconnect, ToAServerWithAnotherCertificateIsRefused) {
  test::PrivateServer other("mariadb", {}, true);
  OpenTlsThenLeadTo(other.AsMariaDb());
  EXPECT_EQ(connection.get(), nullptr);
  EXPECT_THAT(connection.ConnectFailure(), HasSubstr("the certificate it showed first"));
}

TEST(FirstConnection, TakesTheCertificateItsGreetingShowed) {
  const auto s = TlsMariaDb();
  const auto address = ParseMySqlServer(Tcp(s));
  ASSERT_TRUE(address);
  const ServerGreeting greeting = ReadServerGreeting(*address, 15);
  EXPECT_EQ(greeting.failure, "");
  EXPECT_TRUE(greeting.offersTls);
  EXPECT_EQ(greeting.fingerprint.size(), 40u);
  const auto plain = ParseMySqlServer(Tcp(test::MariaDb()));
  const ServerGreeting none = ReadServerGreeting(*plain, 15);
  EXPECT_FALSE(none.offersTls);
  EXPECT_EQ(none.fingerprint, "");
}

}  // namespace
}  // namespace morvane
