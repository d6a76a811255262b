#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "target/ConnectionString.h"
#include "target/TargetError.h"

namespace morvane {
namespace {

struct AddressCase {
  std::string typed;
  std::string host;
  std::string instance;
  std::string port;
};

TEST(ParseSqlServerName, TheFormsUsersType) {
  const std::vector<AddressCase> cases{
      {"db.example.org", "db.example.org", "", ""},
      {"db\\SQLEXPRESS", "db", "SQLEXPRESS", ""},
      {"db,1444", "db", "", "1444"},
      {" db , 1444 ", "db", "", "1444"},
      {"db\\inst,1500", "db", "inst", "1500"},
      {"tcp:db,1433", "db", "", "1433"},
      {"TCP:db", "db", "", ""},
      {"", "localhost", "", ""},
      {".", "localhost", "", ""},
      {"(local)", "localhost", "", ""},
      {".\\SQLEXPRESS", "localhost", "SQLEXPRESS", ""},
      {"(local)\\inst", "localhost", "inst", ""},
      {"127.0.0.1,51000", "127.0.0.1", "", "51000"},
      // A port that is not a number stays part of the name, for the driver to refuse.
      {"db,abc", "db,abc", "", ""},
  };
  for (const auto& c : cases) {
    const SqlServerAddress address = ParseSqlServerName(c.typed);
    EXPECT_EQ(address.host, c.host) << c.typed;
    EXPECT_EQ(address.instance, c.instance) << c.typed;
    EXPECT_EQ(address.port, c.port) << c.typed;
  }
}

TEST(ConnectionStringValue, BracesOnlyWhereNeeded) {
  struct Case {
    std::string value;
    std::optional<std::string> odbc;     // Microsoft's drivers: "}" doubled inside
    std::optional<std::string> freeTds;  // FreeTDS: up to the first "};", "}}" kept as is
  };
  const std::vector<Case> cases{
      {"sa", "sa", "sa"},
      {"", "", ""},
      {"p@ss", "{p@ss}", "{p@ss}"},
      {"a;b", "{a;b}", "{a;b}"},
      {"a}b", "{a}}b}", "{a}b}"},
      {"}", "{}}}", "{}}"},
      {"ends}", "{ends}}}", "{ends}}"},
      {"{x", "{{x}", "{{x}"},
      {"k=v", "{k=v}", "{k=v}"},
      {"p;w}", "{p;w}}}", "{p;w}}"},
      {"a};b", "{a}};b}", std::nullopt},
      {" lead", "{ lead}", "{ lead}"},
      {"trail ", "{trail }", "{trail }"},
      {"in side", "in side", "in side"},
      {"caf\xC3\xA9", "caf\xC3\xA9", "caf\xC3\xA9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConnectionStringValue(c.value, BraceStyle::Odbc), c.odbc) << c.value;
    EXPECT_EQ(ConnectionStringValue(c.value, BraceStyle::FreeTds), c.freeTds) << c.value;
    // Either reading: the same text where both agree, refused where they would not.
    EXPECT_EQ(ConnectionStringValue(c.value, BraceStyle::EitherWay),
              c.value.find('}') == std::string::npos ? c.odbc : std::nullopt)
        << c.value;
  }
}

TEST(DriverBraceStyle, ByDriverAndVersion) {
  struct Case {
    std::string driver, version;
    BraceStyle style;
  };
  const std::vector<Case> cases{
      {"FreeTDS", "1.3.17", BraceStyle::FreeTds}, {"FreeTDS", "1.2", BraceStyle::FreeTds},
      {"FreeTDS", "0.91", BraceStyle::FreeTds},   {"FreeTDS", "1.4", BraceStyle::Odbc},
      {"FreeTDS", "1.4.22", BraceStyle::Odbc},    {"FreeTDS", "1.10.1", BraceStyle::Odbc},
      {"FreeTDS", "2.0", BraceStyle::Odbc},       {"FreeTDS", "", BraceStyle::EitherWay},
      {"FreeTDS", "dev", BraceStyle::EitherWay},  {kDriver18, "", BraceStyle::Odbc},
      {kDriver17, "17.10.5.1", BraceStyle::Odbc},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DriverBraceStyle(c.driver, c.version), c.style) << c.driver << " " << c.version;
  }
}

TEST(FreeTdsVersionIn, TheLibrarysOwnText) {
  using namespace std::string_literals;
  EXPECT_EQ(FreeTdsVersionIn("\x7f" "ELF\0...\0freetds v1.3.17\0more"s), "1.3.17");
  EXPECT_EQ(FreeTdsVersionIn("freetds v\0freetds v1.4.22"s), "1.4.22");
  EXPECT_EQ(FreeTdsVersionIn("no version here"), "");
  EXPECT_EQ(FreeTdsVersionIn("freetds vx"), "");
}

TEST(BuildConnectionString, RefusesBeforeLoginWhatTheDriverCannotTake) {
  auto refusal = [](const std::string& version, const std::string& password) -> std::string {
    try {
      BuildConnectionString({"FreeTDS", "db", false, "sa", password, Encryption::DriverSettings,
                             version});
    } catch (const TargetError& error) {
      EXPECT_EQ(error.Code(), target_code::kInvalidArgument);
      return error.Description().value_or("");
    }
    return "";
  };
  EXPECT_THAT(refusal("1.3.17", "pa};ss"),
              testing::StartsWith("The login or password holds \"};\", which the FreeTDS driver "
                                  "before version 1.4 cannot take."));
  // A version that could not be found out: only what both readings take alike.
  EXPECT_THAT(refusal("", "pa}ss"),
              testing::StartsWith("The login or password holds \"}\", which the FreeTDS driver "
                                  "reads one way before version 1.4 and another way from then "
                                  "on"));
  EXPECT_THAT(refusal("", "pa}ss"), testing::HasSubstr("(DSN=name)"));
  EXPECT_EQ(refusal("", "pa{ ;ss"), "");
  EXPECT_EQ(refusal("1.3.17", "pa}ss"), "");
  // FreeTDS 1.4 and Microsoft's drivers read it ODBC's way; with integrated security it is not
  // passed at all.
  EXPECT_EQ(BuildConnectionString({"FreeTDS", "db", false, "sa", "pa};ss",
                                   Encryption::DriverSettings, "1.4.2"}),
            "DRIVER={FreeTDS};SERVER=db;PORT=1433;TDS_Version=7.4;ClientCharset=UTF-8;UID=sa;"
            "PWD={pa}};ss};");
  EXPECT_EQ(BuildConnectionString({kDriver17, "db", false, "sa", "pa};ss"}),
            "DRIVER={ODBC Driver 17 for SQL Server};SERVER=tcp:db;UID=sa;PWD={pa}};ss};");
  EXPECT_NO_THROW(BuildConnectionString({"FreeTDS", "db", true, "sa", "pa};ss"}));
}

TEST(ChooseSqlServerDriver, TakesTheFirstInstalledOfThePreferred) {
  EXPECT_EQ(ChooseSqlServerDriver({"FreeTDS", kDriver17, kDriver18}), kDriver18);
  EXPECT_EQ(ChooseSqlServerDriver({"FreeTDS", kDriver17}), kDriver17);
  EXPECT_EQ(ChooseSqlServerDriver({"MariaDB Unicode", "FreeTDS"}), "FreeTDS");
  EXPECT_EQ(ChooseSqlServerDriver({"MariaDB Unicode", "SQL Server"}), std::nullopt);
  EXPECT_EQ(ChooseSqlServerDriver({}), std::nullopt);
  EXPECT_EQ(ChooseSqlServerDriver({"A", "B"}, {"B", "A"}), "B");
}

struct BuildCase {
  const char* name;
  ConnectionStringRequest request;
  std::string expected;
};

void PrintTo(const BuildCase& c, std::ostream* os) { *os << c.name; }

class BuildConnectionStringTest : public testing::TestWithParam<BuildCase> {};

TEST_P(BuildConnectionStringTest, Builds) {
  EXPECT_EQ(BuildConnectionString(GetParam().request), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BuildConnectionStringTest,
    testing::Values(
        BuildCase{"FreeTdsSqlLogin",
                  {"FreeTDS", "db", false, "sa", "secret"},
                  "DRIVER={FreeTDS};SERVER=db;PORT=1433;TDS_Version=7.4;ClientCharset=UTF-8;"
                  "UID=sa;PWD=secret;"},
        BuildCase{"FreeTdsPort",
                  {"FreeTDS", "127.0.0.1,51000", false, "sa", ""},
                  "DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=51000;TDS_Version=7.4;"
                  "ClientCharset=UTF-8;UID=sa;PWD=;"},
        BuildCase{"FreeTdsInstanceThroughTheBrowser",
                  {"FreeTDS", "db\\SQLEXPRESS", false, "sa", "x"},
                  "DRIVER={FreeTDS};SERVER=db\\SQLEXPRESS;TDS_Version=7.4;ClientCharset=UTF-8;"
                  "UID=sa;PWD=x;"},
        BuildCase{"FreeTdsInstanceWithPort",
                  {"FreeTDS", "db\\SQLEXPRESS,1500", false, "sa", "x"},
                  "DRIVER={FreeTDS};SERVER=db;PORT=1500;TDS_Version=7.4;ClientCharset=UTF-8;"
                  "UID=sa;PWD=x;"},
        BuildCase{"FreeTdsLocalDefault",
                  {"FreeTDS", "", false, "sa", "x"},
                  "DRIVER={FreeTDS};SERVER=localhost;PORT=1433;TDS_Version=7.4;"
                  "ClientCharset=UTF-8;UID=sa;PWD=x;"},
        BuildCase{"FreeTdsIntegratedIgnoresLoginAndPassword",
                  {"FreeTDS", "db", true, "typed", "left over"},
                  "DRIVER={FreeTDS};SERVER=db;PORT=1433;TDS_Version=7.4;ClientCharset=UTF-8;"
                  "Trusted_Connection=yes;"},
        BuildCase{"BracedLoginAndPasswordForFreeTdsBefore14",
                  {"FreeTDS", "db", false, "dom=ain;user", "p;w}{=", Encryption::DriverSettings,
                   "1.3.17"},
                  "DRIVER={FreeTDS};SERVER=db;PORT=1433;TDS_Version=7.4;ClientCharset=UTF-8;"
                  "UID={dom=ain;user};PWD={p;w}{=};"},
        BuildCase{"BracedLoginAndPasswordForFreeTds14",
                  {"FreeTDS", "db", false, "dom=ain;user", "p;w}{=", Encryption::DriverSettings,
                   "1.4.0"},
                  "DRIVER={FreeTDS};SERVER=db;PORT=1433;TDS_Version=7.4;ClientCharset=UTF-8;"
                  "UID={dom=ain;user};PWD={p;w}}{=};"},
        BuildCase{"BracedLoginAndPasswordForMicrosoftsDriver",
                  {kDriver18, "db", false, "dom=ain;user", "p;w}{="},
                  "DRIVER={ODBC Driver 18 for SQL Server};SERVER=tcp:db;Encrypt=yes;"
                  "UID={dom=ain;user};PWD={p;w}}{=};"},
        BuildCase{"Driver18KeepsEncryption",
                  {kDriver18, "db,1444", false, "sa", "x"},
                  "DRIVER={ODBC Driver 18 for SQL Server};SERVER=tcp:db,1444;Encrypt=yes;"
                  "UID=sa;PWD=x;"},
        BuildCase{"Driver18Instance",
                  {kDriver18, "db\\inst", true, "", ""},
                  "DRIVER={ODBC Driver 18 for SQL Server};SERVER=tcp:db\\inst;Encrypt=yes;"
                  "Trusted_Connection=yes;"},
        BuildCase{"Driver17LocalDefault",
                  {kDriver17, "(local)", false, "sa", "x"},
                  "DRIVER={ODBC Driver 17 for SQL Server};SERVER=tcp:localhost;UID=sa;PWD=x;"},
        BuildCase{"ServerNameCannotAddKeywords",
                  {kDriver17, "db;UID=other", false, "sa", "x"},
                  "DRIVER={ODBC Driver 17 for SQL Server};SERVER={tcp:db;UID=other};UID=sa;"
                  "PWD=x;"}),
    [](const testing::TestParamInfo<BuildCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace morvane
