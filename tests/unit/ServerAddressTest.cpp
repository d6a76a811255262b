#include <gtest/gtest.h>

#include "source/MySqlSource.h"
#include "source/ServerAddress.h"

namespace morvane {
namespace {

struct AddressCase {
  const char* typed;
  bool valid;
  const char* host;
  unsigned port;
  const char* socket;
};

void PrintTo(const AddressCase& c, std::ostream* os) { *os << '"' << c.typed << '"'; }

class ServerAddressCase : public testing::TestWithParam<AddressCase> {};

TEST_P(ServerAddressCase, Parses) {
  const AddressCase& c = GetParam();
  const auto address = ParseMySqlServer(c.typed);
  ASSERT_EQ(address.has_value(), c.valid) << c.typed;
  if (!c.valid) return;
  EXPECT_EQ(address->host, c.host) << c.typed;
  EXPECT_EQ(address->port, c.port) << c.typed;
  EXPECT_EQ(address->socket, c.socket) << c.typed;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ServerAddressCase,
    testing::Values(AddressCase{"localhost", true, "localhost", 3306, ""},
                    AddressCase{"", true, "", 3306, ""},
                    AddressCase{"db.example.com:3307", true, "db.example.com", 3307, ""},
                    AddressCase{"127.0.0.1:65535", true, "127.0.0.1", 65535, ""},
                    AddressCase{"[::1]:3310", true, "::1", 3310, ""},
                    AddressCase{"[fe80::1]", true, "fe80::1", 3306, ""},
                    AddressCase{"::1", true, "::1", 3306, ""},
                    AddressCase{"/run/mysqld/mysqld.sock", true, "", 3306,
                                "/run/mysqld/mysqld.sock"},
                    AddressCase{"host:", false, "", 0, ""},
                    AddressCase{"host:0", false, "", 0, ""},
                    AddressCase{"host:65536", false, "", 0, ""},
                    AddressCase{"host:33o6", false, "", 0, ""},
                    AddressCase{":3306", false, "", 0, ""},
                    AddressCase{"[::1", false, "", 0, ""},
                    AddressCase{"[::1]3306", false, "", 0, ""},
                    AddressCase{"[]:3306", false, "", 0, ""}));

TEST(SystemDatabases, AreKnownInEveryLetterCase) {
  for (const char* name : {"mysql", "MySQL", "MYSQL", "information_schema", "Information_Schema",
                           "performance_schema", "PERFORMANCE_SCHEMA", "sys", "Sys"}) {
    EXPECT_TRUE(IsSystemDatabase(name)) << name;
  }
  for (const char* name : {"mysql2", "my_sql", "information", "sys2", "mysql ", "", "shop"}) {
    EXPECT_FALSE(IsSystemDatabase(name)) << name;
  }
}

}  // namespace
}  // namespace morvane
