// Logging in and querying with clients nobody here wrote: the FreeTDS ODBC driver at each TDS
// version, FreeTDS's tsql, and the npm package tedious.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane::test {
namespace {

std::string RunCommand(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return {};
  std::string out;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) out.append(buffer, n);
  return out;
}

bool HasNative(const std::vector<OdbcDiagnostic>& d, long native) {
  for (const auto& x : d) {
    if (x.native == native) return true;
  }
  return false;
}

class TdsVersions : public ::testing::TestWithParam<const char*> {};

TEST_P(TdsVersions, LogInRunBatchesAndReportErrors) {
  auto server = SqlServer();
  OdbcTestClient client(server, "", GetParam());
  std::string db = UniqueName("ver");
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]");
  client.Run("CREATE TABLE t (a INT, b NVARCHAR(10), c DECIMAL(20, 0), d DATETIME, e NTEXT)");
  OdbcResult insert = client.Execute(
      "INSERT INTO t VALUES(1, N'één', 12345678901234567890, '2004-05-06T12:34:56.123', N'long'), "
      "(2, NULL, NULL, NULL, NULL)");
  ASSERT_TRUE(insert.ok);
  EXPECT_EQ(insert.rowCounts, std::vector<long>{2});
  auto rows = client.Query("SELECT * FROM t ORDER BY a");
  std::vector<OdbcRow> expected = {
      {"1", "één", "12345678901234567890", "2004-05-06 12:34:56.123", "long"},
      {"2", OdbcCell{}, OdbcCell{}, OdbcCell{}, OdbcCell{}}};
  EXPECT_EQ(rows, expected);
  OdbcResult error = client.Execute("\n\nINSERT INTO t (a) VALUES('x')");
  ASSERT_EQ(error.FirstError(), 245);
  EXPECT_EQ(error.errors.front().message,
            "Conversion failed when converting the varchar value 'x' to data type int.");
  client.Run("USE master; DROP DATABASE [" + db + "]");
}

INSTANTIATE_TEST_SUITE_P(Odbc, TdsVersions, ::testing::Values("7.1", "7.2", "7.3", "7.4"),
                         [](const auto& param) {
                           std::string n = param.param;
                           return "Tds" + n.replace(1, 1, "");
                         });

TEST(Logins, WrongPasswordOrUserIsError18456) {
  auto server = SqlServer();
  auto wrongPassword = server;
  wrongPassword.password += "x";
  auto d = OdbcTestClient::ConnectErrors(OdbcTestClient::ConnectionString(wrongPassword, "", "7.4"));
  EXPECT_TRUE(HasNative(d, 18456));
  auto wrongUser = server;
  wrongUser.user = "nobody";
  auto e = OdbcTestClient::ConnectErrors(OdbcTestClient::ConnectionString(wrongUser, "", "7.4"));
  ASSERT_TRUE(HasNative(e, 18456));
  bool named = false;
  for (const auto& x : e) named = named || x.message == "Login failed for user 'nobody'.";
  EXPECT_TRUE(named);
}

TEST(Logins, WindowsLoginIsFromAnUntrustedDomain) {
  auto server = SqlServer();
  auto d = OdbcTestClient::ConnectErrors("DRIVER=FreeTDS;SERVER=127.0.0.1;PORT=" + std::to_string(server.port) +
                                         ";TDS_Version=7.4;UID=WORKGROUP\\someone;PWD=secret;ClientCharset=UTF-8");
  EXPECT_TRUE(HasNative(d, 18452));
}

TEST(Logins, MissingLoginDatabaseIsError4060) {
  auto server = SqlServer();
  auto d = OdbcTestClient::ConnectErrors(OdbcTestClient::ConnectionString(server, "no_such_db", "7.4"));
  EXPECT_TRUE(HasNative(d, 4060));
}

TEST(Logins, CommaFormOfServerAndPort) {
  auto server = SqlServer();
  OdbcTestClient client("DRIVER=FreeTDS;SERVER=127.0.0.1," + std::to_string(server.port) +
                        ";TDS_Version=7.4;UID=" + server.user + ";PWD=" + server.password +
                        ";ClientCharset=UTF-8");
  EXPECT_EQ(client.Scalar("SELECT DB_NAME()"), "master");
}

TEST(Tsql, LogsInAndQueries) {
  auto server = SqlServer();
  std::string db = UniqueName("tsql");
  std::string script = testing::TempDir() + "/" + db + ".sql";
  {
    std::ofstream out(script);
    out << "CREATE DATABASE [" << db << "]\ngo\nUSE [" << db << "]\ngo\n"
        << "CREATE TABLE t (id INT, word NVARCHAR(20))\ngo\n"
        << "INSERT INTO t VALUES(7, N'Grüße')\ngo\n"
        << "SELECT word FROM t WHERE id = 7\ngo\n"
        << "SELECT COUNT(*) FROM nothing_here\ngo\n"
        << "USE master\ngo\nDROP DATABASE [" << db << "]\ngo\nexit\n";
  }
  std::string output = RunCommand("TDSVER=7.4 tsql -H " + server.host + " -p " + std::to_string(server.port) +
                                  " -U " + server.user + " -P '" + server.password + "' < " + script + " 2>&1");
  EXPECT_NE(output.find("Grüße"), std::string::npos) << output;
  EXPECT_NE(output.find("Msg 208"), std::string::npos) << output;
  EXPECT_NE(output.find("Invalid object name 'nothing_here'."), std::string::npos) << output;
}

TEST(Tsql, ReadsTheNewTypes) {
  auto server = SqlServer();
  std::string db = UniqueName("tsqlnew");
  std::string script = testing::TempDir() + "/" + db + ".sql";
  {
    std::ofstream out(script);
    out << "CREATE DATABASE [" << db << "]\ngo\nUSE [" << db << "]\ngo\n"
        << "CREATE TABLE t (d DATE, dt DATETIME2(7), n NVARCHAR(MAX), b VARBINARY(MAX))\ngo\n"
        << "INSERT INTO t VALUES('9999-12-31', '0001-01-01 00:00:00.0000001', N'Grüße " << std::string(5000, 'z')
        << "!', 0xCAFE)\ngo\n"
        << "SELECT d, dt, n, b FROM t\ngo\n"
        << "USE master\ngo\nDROP DATABASE [" << db << "]\ngo\nexit\n";
  }
  std::string output = RunCommand("TDSVER=7.4 tsql -H " + server.host + " -p " + std::to_string(server.port) +
                                  " -U " + server.user + " -P '" + server.password + "' < " + script + " 2>&1");
  // tsql writes dates in its own default format.
  EXPECT_NE(output.find("Dec 31 9999 12:00AM\tJan  1 1 12:00AM\tGrüße"), std::string::npos) << output.substr(0, 400);
  EXPECT_NE(output.find("Grüße " + std::string(5000, 'z') + "!"), std::string::npos) << output.substr(0, 2000);
  EXPECT_NE(output.find("cafe"), std::string::npos) << output;
}

// unixODBC's isql prepares each statement: FreeTDS sends sp_prepexec over RPC.
TEST(Isql, PreparedStatementsRunThroughSpPrepExec) {
  auto server = SqlServer();
  std::string db = UniqueName("isql");
  std::string script = testing::TempDir() + "/" + db + ".isql";
  {
    std::ofstream out(script);
    out << "CREATE DATABASE [" << db << "]\nUSE [" << db << "]\n"
        << "CREATE TABLE t (id INT, word NVARCHAR(20))\n"
        << "INSERT INTO t VALUES(7, N'prepared')\n"
        << "SELECT word FROM t WHERE id = 7\n"
        << "SELECT * FROM nothing_here\n"
        << "USE master\nDROP DATABASE [" << db << "]\n";
  }
  std::string output = RunCommand("isql -v -b -k 'DRIVER=FreeTDS;SERVER=" + server.host + ";PORT=" +
                                  std::to_string(server.port) + ";TDS_Version=7.4;UID=" + server.user +
                                  ";PWD=" + server.password + ";ClientCharset=UTF-8' < " + script + " 2>&1");
  EXPECT_NE(output.find("| prepared"), std::string::npos) << output;
  EXPECT_NE(output.find("Invalid object name 'nothing_here'."), std::string::npos) << output;
  OdbcTestClient client(server);
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM sys.databases WHERE name = '" + db + "'"), "0");
}

TEST(Tedious, LogsInAndReadsEveryResultType) {
  auto server = SqlServer();
  std::string dir = MORVANE_TEDIOUS_DIR;
  std::string env = "TDS_HOST=" + server.host + " TDS_PORT=" + std::to_string(server.port) +
                    " TDS_USER=" + server.user + " TDS_PASSWORD='" + server.password + "' TDS_DATABASE=" +
                    UniqueName("tedious");
  std::string output = RunCommand("cd " + dir + " && " + env + " node check.js 2>&1");
  // check.js prints one line per row value as name=JSON, and the login failure number.
  const std::vector<std::string> lines = {
      "i=42", "b=\"9007199254740993\"", "d=-12.5", "f=100000000000000000000", "n=\"Grüße 😀\"",
      "v=\"00ff10\"", "t=\"2004-05-06T12:34:56.123Z\"", "x=true", "nul=null", "c=\"Größe €\"", "nt=\"lang 😀\"", "im=\"cafe\"",
      "sd=\"2004-05-06T12:35:00.000Z\"", "r=0.5", "ti=255",
      "dt2=\"2004-05-06T12:34:56.789Z\"", "dd=\"0001-01-01T00:00:00.000Z\"",
      "tm=\"1970-01-01T23:59:59.999Z\"", "nm=\"9002:abab😀\"", "bm=\"30000:c0ffee\"", "nmnull=null",
      "dto=\"2024-10-27T00:30:00.123Z\"", "dtow=\"2024-10-28T05:00:00.500Z\"", "rpc=1", "rpcerror=208",
      "badlogin=ELOGIN Login failed for user '" + server.user + "'.", "done"};
  for (const std::string& expected : lines) {
    EXPECT_NE(output.find("\n" + expected + "\n"), std::string::npos)
        << expected << " missing in:\n" << output;
  }
}

}  // namespace
}  // namespace morvane::test
