#pragma once
// A client library result set, freed when it goes out of scope.

#include <mysql.h>

#include <memory>

namespace morvane {

struct FreeMySqlResult {
  void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
};
using MySqlResult = std::unique_ptr<MYSQL_RES, FreeMySqlResult>;

}  // namespace morvane
