#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "target/ConnectionString.h"
#include "target/OdbcDiagnostics.h"

namespace morvane {
namespace {

struct MappingCase {
  const char* name;
  std::vector<OdbcDiagnostic> records;
  OdbcOperation operation;
  std::string driver;
  std::int32_t code;
  std::string source;
  std::string description;
  bool connectionDead = false;
};

void PrintTo(const MappingCase& c, std::ostream* os) { *os << c.name; }

class DiagnosticMappingTest : public testing::TestWithParam<MappingCase> {};

TEST_P(DiagnosticMappingTest, Maps) {
  const MappingCase& c = GetParam();
  const TargetError error =
      TargetErrorFromDiagnostics(c.records, c.operation, c.driver, c.connectionDead);
  EXPECT_EQ(error.Code(), c.code);
  EXPECT_EQ(error.Source(), c.source);
  EXPECT_EQ(error.Description(), c.description);
  EXPECT_EQ(error.ConnectionLost(), c.code == target_code::kConnectionLost);
}

constexpr auto kStatement = OdbcOperation::Statement;
constexpr auto kConnect = OdbcOperation::Connect;

INSTANTIATE_TEST_SUITE_P(
    Cases, DiagnosticMappingTest,
    testing::Values(
        MappingCase{"InvalidObject",
                    {{"42S02", 208, "[FreeTDS][SQL Server]Invalid object name 'x'."}},
                    kStatement,
                    kFreeTdsDriver,
                    target_code::kServerErrorBase + 208,
                    "[FreeTDS][SQL Server] SQLSTATE 42S02",
                    "Invalid object name 'x'."},
        MappingCase{"LoginFailed",
                    {{"42000", 18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."},
                     {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}},
                    kConnect,
                    kFreeTdsDriver,
                    target_code::kServerErrorBase + 18456,
                    "[FreeTDS][SQL Server] SQLSTATE 42000",
                    "Login failed for user 'sa'.\r\nUnable to connect to data source"},
        MappingCase{"ConnectionRefused",
                    {{"08S01", 20009,
                      "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable "
                      "or does not exist"},
                     {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}},
                    kConnect,
                    kFreeTdsDriver,
                    target_code::kUnspecified,
                    "[FreeTDS][SQL Server] SQLSTATE 08S01, native error 20009",
                    "Unable to connect: Adaptive Server is unavailable or does not exist\r\n"
                    "Unable to connect to data source"},
        MappingCase{"LinkBrokeDuringAStatement",
                    {{"08S01", 20004, "[FreeTDS][SQL Server]Read from the server failed"}},
                    kStatement,
                    kFreeTdsDriver,
                    target_code::kConnectionLost,
                    "[FreeTDS][SQL Server] SQLSTATE 08S01, native error 20004",
                    "Read from the server failed"},
        MappingCase{"ConnectionNotOpen",
                    {{"08003", 0, "[unixODBC][Driver Manager]Connection not open"}},
                    kStatement,
                    kFreeTdsDriver,
                    target_code::kConnectionLost,
                    "[unixODBC][Driver Manager] SQLSTATE 08003",
                    "Connection not open"},
        MappingCase{"UnknownDatabaseIsNotALostLink",
                    {{"08004", 911,
                      "[FreeTDS][SQL Server]Database 'nope' does not exist. Make sure that the "
                      "name is entered correctly."}},
                    kStatement,
                    kFreeTdsDriver,
                    target_code::kServerErrorBase + 911,
                    "[FreeTDS][SQL Server] SQLSTATE 08004",
                    "Database 'nope' does not exist. Make sure that the name is entered "
                    "correctly."},
        MappingCase{"WarningsAreLeftAside",
                    {{"01000", 5701, "[FreeTDS][SQL Server]Changed database context to 'master'."},
                     {"42000", 102, "[FreeTDS][SQL Server]Incorrect syntax near 'x'."}},
                    kStatement,
                    kFreeTdsDriver,
                    target_code::kServerErrorBase + 102,
                    "[FreeTDS][SQL Server] SQLSTATE 42000",
                    "Incorrect syntax near 'x'."},
        MappingCase{"NumberBeyondTheScheme",
                    {{"42000", 70000, "[FreeTDS][SQL Server]Custom failure"}},
                    kStatement,
                    kFreeTdsDriver,
                    target_code::kUnspecified,
                    "[FreeTDS][SQL Server] SQLSTATE 42000, native error 70000",
                    "Custom failure"},
        MappingCase{"DriverCouldNotBeLoaded",
                    {{"IM002", 0,
                      "[unixODBC][Driver Manager]Data source name not found and no default "
                      "driver specified"}},
                    kConnect,
                    kFreeTdsDriver,
                    target_code::kDriverMissing,
                    "[unixODBC][Driver Manager] SQLSTATE IM002",
                    "Data source name not found and no default driver specified"},
        MappingCase{"ServerWithoutEncryption",
                    {{"08001", 0,
                      "[Microsoft][ODBC Driver 18 for SQL Server]Encryption not supported on SQL "
                      "Server."},
                     {"08001", 0,
                      "[Microsoft][ODBC Driver 18 for SQL Server]Client unable to establish "
                      "connection"}},
                    kConnect,
                    kDriver18,
                    target_code::kUnspecified,
                    "[Microsoft][ODBC Driver 18 for SQL Server] SQLSTATE 08001",
                    "The server offers no encrypted connection, and this program connects only "
                    "with encryption. Ask the server's administrator to enable encryption (a TLS "
                    "certificate) on SQL Server.\r\nEncryption not supported on SQL Server.\r\n"
                    "Client unable to establish connection"},
        MappingCase{"UntrustedCertificate",
                    {{"08001", -1,
                      "[Microsoft][ODBC Driver 18 for SQL Server]SSL Provider: "
                      "[error:0A000086:SSL routines::certificate verify failed:self-signed "
                      "certificate]"}},
                    kConnect,
                    kDriver18,
                    target_code::kUnspecified,
                    "[Microsoft][ODBC Driver 18 for SQL Server] SQLSTATE 08001",
                    "The server's certificate could not be checked, and this program connects "
                    "only to servers whose certificate it trusts. Install the certificate of the "
                    "issuing authority on this computer, or ask the server's administrator for a "
                    "trusted certificate.\r\nSSL Provider: [error:0A000086:SSL "
                    "routines::certificate verify failed:self-signed certificate]"},
        MappingCase{"DeadConnectionWithoutALinkState",
                    {{"HY000", 0, "[FreeTDS][SQL Server]Unknown error"}},
                    kStatement,
                    kFreeTdsDriver,
                    target_code::kConnectionLost,
                    "[FreeTDS][SQL Server] SQLSTATE HY000",
                    "The connection to the server was lost.\r\nUnknown error",
                    true},
        MappingCase{"DeadConnectionWithALinkState",
                    {{"08S01", 0, "[FreeTDS][SQL Server]Communication link failure"}},
                    kStatement,
                    kFreeTdsDriver,
                    target_code::kConnectionLost,
                    "[FreeTDS][SQL Server] SQLSTATE 08S01",
                    "Communication link failure",
                    true},
        MappingCase{"DeadConnectionWithoutRecords",
                    {},
                    kStatement,
                    kFreeTdsDriver,
                    target_code::kConnectionLost,
                    "[FreeTDS]",
                    "The connection to the server was lost.",
                    true},
        MappingCase{"NoRecordsAtAll",
                    {},
                    kStatement,
                    kFreeTdsDriver,
                    target_code::kUnspecified,
                    "[FreeTDS]",
                    "The ODBC driver reported a failure without saying why."}),
    [](const testing::TestParamInfo<MappingCase>& param) { return std::string(param.param.name); });

TEST(SplitComponent, SplitsTheLeadingBrackets) {
  using Pair = std::pair<std::string, std::string>;
  EXPECT_EQ(SplitComponent("[FreeTDS][SQL Server]Invalid object name 'x'."),
            Pair("[FreeTDS][SQL Server]", "Invalid object name 'x'."));
  EXPECT_EQ(SplitComponent("No component [here]"), Pair("", "No component [here]"));
  EXPECT_EQ(SplitComponent("[Open"), Pair("", "[Open"));
  EXPECT_EQ(SplitComponent(""), Pair("", ""));
}

}  // namespace
}  // namespace morvane
