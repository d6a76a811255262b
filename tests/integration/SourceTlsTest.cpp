// The MySQL connection is encrypted whenever the server offers TLS over TCP, shown from the
// server's side (Ssl_cipher of the session); it still connects to a server without TLS, and
// the local socket stays plain.

#include <gtest/gtest.h>
#include <mysql.h>

#include <optional>
#include <string>
#include <vector>

#include "source/MySqlSource.h"
#include "source/MySqlTls.h"
#include "tests/support/MariaDbTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane {
namespace {

// The MariaDB test server started with a certificate.
test::MariaDbSettings TlsServer() {
  auto s = test::ServerSettings("mariadb-tls");
  return {s["host"], static_cast<unsigned>(std::stoul(s["port"])), s["socket"], s["user"],
          s["password"]};
}

std::string Tcp(const test::MariaDbSettings& s) { return s.host + ":" + std::to_string(s.port); }

// One value of the session as the server sees it.
std::string SessionStatus(MySqlHandle& connection, const std::string& name) {
  const std::string query = "SHOW SESSION STATUS LIKE '" + name + "'";
  EXPECT_EQ(mysql_real_query(connection.get(), query.data(), query.size()), 0)
      << mysql_error(connection.get());
  MYSQL_RES* result = mysql_store_result(connection.get());
  if (result == nullptr) return "(no result)";
  std::string value = "(no row)";
  if (MYSQL_ROW row = mysql_fetch_row(result)) value = row[1] != nullptr ? row[1] : "";
  mysql_free_result(result);
  return value;
}

std::string HostInfo(MySqlHandle& connection) {
  const char* info = mysql_get_host_info(connection.get());
  return info != nullptr ? info : "";
}

TEST(SourceTls, OverTcpTheSessionIsEncryptedWhenTheServerOffersTls) {
  const auto s = TlsServer();
  MySqlHandle connection;
  ASSERT_NE(OpenMySqlConnection(connection, Tcp(s), s.user, s.password), 0)
      << mysql_error(connection.get());
  const std::string cipher = SessionStatus(connection, "Ssl_cipher");
  EXPECT_NE(cipher, "") << "the server sees a session in clear";
  EXPECT_EQ(cipher, TlsCipher(connection.get()));
  EXPECT_NE(HostInfo(connection).find("TCP/IP"), std::string::npos) << HostInfo(connection);
}

TEST(SourceTls, AConnectionOpenedAgainAfterCancelIsEncryptedAsWell) {
  const auto s = TlsServer();
  MySqlHandle connection;
  ASSERT_NE(OpenMySqlConnection(connection, Tcp(s), s.user, s.password), 0)
      << mysql_error(connection.get());
  connection.Cancel();
  ASSERT_NE(connection.get(), nullptr);
  EXPECT_NE(SessionStatus(connection, "Ssl_cipher"), "");
}

TEST(SourceTls, AServerWithoutTlsIsReachedInClear) {
  const auto s = test::MariaDb();
  MySqlHandle connection;
  ASSERT_NE(OpenMySqlConnection(connection, Tcp(s), s.user, s.password), 0)
      << mysql_error(connection.get());
  EXPECT_EQ(SessionStatus(connection, "Ssl_cipher"), "");
  EXPECT_EQ(TlsCipher(connection.get()), "");
  EXPECT_NE(HostInfo(connection).find("TCP/IP"), std::string::npos) << HostInfo(connection);
}

TEST(SourceTls, TheLocalSocketStaysPlainAndWorksAlsoWhenTheServerOffersTls) {
  const auto s = TlsServer();
  MySqlHandle connection;
  ASSERT_NE(OpenMySqlConnection(connection, s.socket, s.user, s.password), 0)
      << mysql_error(connection.get());
  EXPECT_NE(HostInfo(connection).find("socket"), std::string::npos) << HostInfo(connection);
  EXPECT_EQ(SessionStatus(connection, "Ssl_cipher"), "");
  EXPECT_EQ(TlsCipher(connection.get()), "");
}

TEST(SourceTls, TheLocalSocketIsRecognisedInEveryForm) {
  struct Case {
    const char* typed;
    bool socket;
  };
  for (const Case c : {Case{"localhost", true}, Case{"", true}, Case{"/run/x.sock", true},
                       Case{"localhost:3306", false}, Case{"127.0.0.1", false},
                       Case{"db.example.com", false}, Case{"[::1]:3307", false}}) {
    const auto address = ParseMySqlServer(c.typed);
    ASSERT_TRUE(address) << c.typed;
    EXPECT_EQ(UsesLocalSocket(*address), c.socket) << c.typed;
  }
}

using Row = std::vector<std::optional<std::string>>;

std::vector<Row> ReadAll(MySqlHandle& connection, const std::string& table,
                         std::vector<FieldRecord>& fields) {
  MySqlSourceDatabase source(connection);
  auto listing = source.FieldListing(table);
  EXPECT_TRUE(listing);
  if (listing) fields = *listing;
  std::string error;
  auto reader = source.ReadRows(table, error);
  EXPECT_TRUE(reader) << error;
  std::vector<Row> rows;
  if (!reader) return rows;
  while (const auto* cells = reader->Next()) {
    Row row;
    for (const Cell& cell : *cells) {
      row.push_back(cell ? std::optional<std::string>(std::string(*cell)) : std::nullopt);
    }
    rows.push_back(std::move(row));
  }
  EXPECT_FALSE(reader->Error()) << *reader->Error();
  return rows;
}

// The conversion reads the same field records and the same bytes over TLS as in clear (zero
// bytes, NULLs, a text of many TLS records).
TEST(SourceTls, FieldListingAndRowsOverTlsAreThoseOfAPlainConnection) {
  const auto s = TlsServer();
  const std::string db = test::UniqueName("tls");
  MySqlHandle admin;
  ASSERT_NE(OpenMySqlConnection(admin, s.socket, s.user, s.password), 0);
  for (const std::string& statement :
       {"CREATE DATABASE " + Backticked(db), "USE " + Backticked(db),
        std::string("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20), data LONGBLOB, "
                    "note MEDIUMTEXT) CHARACTER SET utf8mb4"),
        std::string("INSERT INTO t VALUES (1, 'Zoë', 0x00FF00, NULL), "
                    "(2, NULL, REPEAT(0x41, 300000), REPEAT('é', 40000))")}) {
    ASSERT_EQ(mysql_real_query(admin.get(), statement.data(), statement.size()), 0)
        << statement << ": " << mysql_error(admin.get());
  }
  MySqlHandle overTls, inClear;
  ASSERT_NE(OpenMySqlConnection(overTls, Tcp(s), s.user, s.password), 0);
  ASSERT_NE(OpenMySqlConnection(inClear, s.socket, s.user, s.password), 0);
  ASSERT_TRUE(overTls.SelectDatabase(db));
  ASSERT_TRUE(inClear.SelectDatabase(db));
  ASSERT_NE(TlsCipher(overTls.get()), "");
  ASSERT_EQ(TlsCipher(inClear.get()), "");

  std::vector<FieldRecord> tlsFields, clearFields;
  const auto tlsRows = ReadAll(overTls, "t", tlsFields);
  const auto clearRows = ReadAll(inClear, "t", clearFields);
  ASSERT_EQ(tlsRows.size(), 2u);
  EXPECT_EQ(tlsRows, clearRows);
  EXPECT_EQ(tlsRows[0][2], std::string("\0\xFF\0", 3));
  EXPECT_EQ(tlsRows[1][2]->size(), 300000u);
  ASSERT_EQ(tlsFields.size(), clearFields.size());
  for (std::size_t i = 0; i < tlsFields.size(); ++i) {
    EXPECT_EQ(tlsFields[i].org_name, clearFields[i].org_name);
    EXPECT_EQ(tlsFields[i].type, clearFields[i].type);
    EXPECT_EQ(tlsFields[i].length, clearFields[i].length);
    EXPECT_EQ(tlsFields[i].flags, clearFields[i].flags);
  }
  const std::string drop = "DROP DATABASE " + Backticked(db);
  mysql_real_query(admin.get(), drop.data(), drop.size());
}

}  // namespace
}  // namespace morvane
