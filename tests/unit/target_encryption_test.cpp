// How the SQL Server connection is encrypted: the keywords written for each driver, and which
// failed logins lead to the second attempt in clear.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "target/ConnectionString.h"
#include "target/Encryption.h"

namespace morvane {
namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Encryption, TheFirstChoiceEncryptsTheWholeSessionWhereTheConnectionStringCanSaySo) {
  EXPECT_EQ(FirstEncryption(kFreeTdsDriver, false), Encryption::WholeSession);
  EXPECT_EQ(FirstEncryption(kDriver17, false), Encryption::WholeSession);
  EXPECT_EQ(FirstEncryption(kDriver18, false), Encryption::DriverSettings);
  EXPECT_EQ(FirstEncryption("Some Other Driver", false), Encryption::DriverSettings);
  // A data source keeps its own settings, whatever its driver.
  EXPECT_EQ(FirstEncryption(kFreeTdsDriver, true), Encryption::DriverSettings);
}

struct StringCase {
  std::string driver;
  std::string server;
  Encryption encryption;
  std::vector<std::string> present;
  std::vector<std::string> absent;
};

TEST(Encryption, TheChoiceIsWrittenIntoTheConnectionString) {
  const std::vector<StringCase> cases{
      {kFreeTdsDriver, "db,1433", Encryption::WholeSession, {";Encryption=require;"},
       {"request", "Encrypt="}},
      {kFreeTdsDriver, "db", Encryption::Fallback, {";Encryption=request;"}, {"require"}},
      {kDriver17, "db", Encryption::WholeSession,
       {";Encrypt=yes;TrustServerCertificate=yes;"}, {"Encryption=", "Encrypt=no"}},
      {kDriver17, "db", Encryption::Fallback, {";Encrypt=no;"},
       {"TrustServerCertificate", "Encrypt=yes"}},
      // Driver 18 keeps encrypting and checking the certificate.
      {kDriver18, "db", Encryption::DriverSettings, {";Encrypt=yes;"},
       {"TrustServerCertificate", "Encryption="}},
      // A data source: nothing about encryption, also when asked.
      {kFreeTdsDriver, "DSN=mine", Encryption::WholeSession, {"DSN=mine;"},
       {"Encrypt", "Trust"}},
  };
  for (const auto& c : cases) {
    ConnectionStringRequest request{c.driver, c.server, false, "sa", "secret"};
    request.encryption = c.encryption;
    const std::string text = BuildConnectionString(request);
    for (const auto& part : c.present) EXPECT_TRUE(Has(text, part)) << text << " lacks " << part;
    for (const auto& part : c.absent) EXPECT_FALSE(Has(text, part)) << text << " has " << part;
    // The login stays at the end, after the choice.
    EXPECT_TRUE(Has(text, "UID=sa;PWD=secret;")) << text;
  }
}

struct RecordsCase {
  const char* what;
  std::vector<OdbcDiagnostic> records;
  bool secondAttempt;
};

TEST(Encryption, OnlyADriverThatGaveUpBeforeTheServerSpokeLeadsToTheSecondAttempt) {
  const std::vector<RecordsCase> cases{
      {"FreeTDS asked for TLS and the server has none",
       {{"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"},
        {"01000", 20002, "[FreeTDS][SQL Server]Adaptive Server connection failed"}},
       true},
      {"nothing listens",
       {{"08S01", 20009,
         "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or does not "
         "exist"},
        {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}},
       false},
      {"the server refused the login",
       {{"42000", 18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."},
        {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}},
       false},
      {"no answer in time", {{"HYT00", 0, "[FreeTDS][SQL Server]Login timeout expired"}}, false},
      {"no records at all", {}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(ServerMayHaveNoTls(c.records), c.secondAttempt) << c.what;
}

}  // namespace
}  // namespace morvane
