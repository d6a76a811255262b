#include "target/TargetServer.h"

namespace morvane {

void LookUpTargetDatabase(TargetConnection& connection, const std::string& name) {
  connection.TargetDatabases = connection.TargetServer->Databases();
  connection.TargetDatabases->Refresh();
  connection.TargetDatabase = connection.TargetDatabases->Item(name);
}

}  // namespace morvane
