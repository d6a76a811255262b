#pragma once
// DSN-less ODBC connection strings for SQL Server, and the choice of the driver.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "target/Encryption.h"

namespace morvane {

inline constexpr char kDriver18[] = "ODBC Driver 18 for SQL Server";
inline constexpr char kDriver17[] = "ODBC Driver 17 for SQL Server";
inline constexpr char kFreeTdsDriver[] = "FreeTDS";

// The drivers the target side can use, the preferred first.
const std::vector<std::string>& SqlServerDrivers();

// The first of `preferred` that is installed, or nullopt.
std::optional<std::string> ChooseSqlServerDriver(
    const std::vector<std::string>& installed,
    const std::vector<std::string>& preferred = SqlServerDrivers());

// A server name as users type it: "host", "host\instance", "host,port" (also
// "host\instance,port", and "tcp:" before any of them). An empty host, "." and "(local)" mean
// the local machine.
struct SqlServerAddress {
  std::string host;
  std::string instance;  // empty: the default instance
  std::string port;      // empty: the instance's port (1433 for the default instance)
};
SqlServerAddress ParseSqlServerName(const std::string& typed);

// "DSN=name" (the keyword in any letter case, blanks around the name ignored): a data source of
// the machine's odbc.ini, which holds the driver, server and any further settings (encryption,
// certificates, TDS version). The name, or nullopt for every other form.
std::optional<std::string> DataSourceName(const std::string& typed);

// How a driver reads a braced value: the ODBC rule ("}" doubled inside: Microsoft's drivers,
// FreeTDS from 1.4 on), or that of FreeTDS before 1.4, which ends the value at the first "};"
// and keeps "}}" as two characters. EitherWay: a driver that may read it either way (FreeTDS
// whose version is not known), which takes only what both read alike: no "}" in a braced value.
enum class BraceStyle { Odbc, FreeTds, EitherWay };

// The style of a driver of that version ("1.3.17"; empty when not known).
BraceStyle DriverBraceStyle(const std::string& driver, const std::string& driverVersion);

// The version that a FreeTDS library's own text names ("freetds v1.3.17" gives "1.3.17"); empty
// when it names none.
std::string FreeTdsVersionIn(std::string_view libraryBytes);

// A connection string value as the driver wants it: braced when it holds any character that
// would end or change the value, unchanged otherwise. nullopt when the driver cannot take the
// value at all (FreeTDS before 1.4 and a value holding "};"; EitherWay and one holding "}").
std::optional<std::string> ConnectionStringValue(const std::string& value,
                                                 BraceStyle style = BraceStyle::Odbc);

struct ConnectionStringRequest {
  std::string driver;      // one of SqlServerDrivers(), or another driver name
  std::string serverName;  // as typed; "DSN=name" names a data source and ignores `driver`
  bool integratedSecurity = false;
  std::string login;     // not used with integrated security
  std::string password;  // not used with integrated security
  // How the session is encrypted (target/Encryption.h); nothing is written for
  // DriverSettings.
  Encryption encryption = Encryption::DriverSettings;
  // The driver's version, for how it reads braced values; empty when not known.
  std::string driverVersion = {};
};
// Throws TargetError (kInvalidArgument) for a login or password that the driver cannot take.
// A data source's login and password go to SQLConnect instead (no connection string to read).
std::string BuildConnectionString(const ConnectionStringRequest& request);

}  // namespace morvane
