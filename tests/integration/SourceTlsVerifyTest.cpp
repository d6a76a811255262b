// A user who wants the MySQL server's certificate checked says so in the [client] group of the
// MySQL option files, which the connection reads over TCP. The client library finds the
// folder MYSQL_HOME once per process: this test sets it before anything else and writes the
// my.cnf there for each case.

#include <gtest/gtest.h>
#include <mysql.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "source/MySqlSource.h"
#include "source/MySqlTls.h"
#include "tests/support/TestServers.h"

namespace morvane {
namespace {

std::string gOptionFolder;

void WriteOptions(const std::string& text) {
  std::ofstream(gOptionFolder + "/my.cnf") << text;
}

test::MariaDbSettings TlsServer() {
  auto s = test::ServerSettings("mariadb-tls");
  return {s["host"], static_cast<unsigned>(std::stoul(s["port"])), s["socket"], s["user"],
          s["password"]};
}

// The fixture keeps the certificate beside the server's socket.
std::string TlsCertificate() {
  const std::string socket = TlsServer().socket;
  return socket.substr(0, socket.rfind('/')) + "/tls/cert.pem";
}

std::string Tcp(const test::MariaDbSettings& s) { return s.host + ":" + std::to_string(s.port); }

struct Case {
  const char* what;
  bool withAuthority;  // ssl-ca names the server's own certificate
  bool tlsServer;
  bool connects;
};

TEST(SourceTlsVerification, TheClientGroupOfTheOptionFilesDecidesWhetherTheCertificateIsChecked) {
  const Case cases[] = {
      {"no options: the self-signed certificate is not checked", false, true, true},
      {"checked, no authority: the self-signed certificate is refused", false, true, false},
      {"checked against its authority", true, true, true},
      {"checked, and the server has no TLS", true, false, false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    if (i == 0) {
      WriteOptions("[client]\n");
    } else {
      WriteOptions("[client]\nssl-verify-server-cert=1\n" +
                   (c.withAuthority ? "ssl-ca=" + TlsCertificate() + "\n" : std::string()));
    }
    const auto s = c.tlsServer ? TlsServer() : test::MariaDb();
    MySqlHandle connection;
    const bool opened = OpenMySqlConnection(connection, Tcp(s), s.user, s.password) != 0;
    EXPECT_EQ(opened, c.connects) << c.what << ": " << mysql_error(connection.get());
    if (opened) {
      EXPECT_NE(TlsCipher(connection.get()), "") << c.what;
    }
  }
}

// The local socket reads no option files: a certificate check asked for there does not stop
// it.
TEST(SourceTlsVerification, TheLocalSocketIsNotTouchedByTheTlsOptions) {
  WriteOptions("[client]\nssl-verify-server-cert=1\n");
  const auto s = TlsServer();
  MySqlHandle connection;
  EXPECT_NE(OpenMySqlConnection(connection, s.socket, s.user, s.password), 0)
      << mysql_error(connection.get());
  EXPECT_EQ(TlsCipher(connection.get()), "");
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
  char folder[] = "/tmp/morvane-mycnf-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  morvane::gOptionFolder = folder;
  setenv("MYSQL_HOME", folder, 1);
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::remove((morvane::gOptionFolder + "/my.cnf").c_str());
  rmdir(folder);
  return result;
}
