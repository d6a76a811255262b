#pragma once
// The target objects over ODBC: one server object owns one ODBC connection, which its
// databases collection and database objects share. Every use of the connection is serialised,
// so the objects may be used from any thread, one call at a time per connection.

#include <memory>
#include <string>
#include <vector>

#include "target/ConnectionString.h"
#include "target/TargetServer.h"

namespace morvane {

struct OdbcServerOptions {
  // The drivers to try, the preferred first; the first one installed is used.
  std::vector<std::string> drivers = SqlServerDrivers();
  // Seconds that a login may take before it fails.
  int loginTimeoutSeconds = 15;
};

// A server object that is not yet logged in; nullptr when no ODBC environment can be had.
std::shared_ptr<TargetServerObject> CreateOdbcTargetServer(const OdbcServerOptions& options = {});

// The names of the ODBC drivers that the driver manager knows.
std::vector<std::string> InstalledOdbcDrivers();

}  // namespace morvane
