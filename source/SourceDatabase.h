#pragma once
// What the conversion engine reads from the source database: the field listing of a table
// (and, for the row copy, its rows). The MySQL connection offers it; tests hand the engine
// prepared records through the same interface.

#include <optional>
#include <string>
#include <vector>

#include "source/FieldRecord.h"

namespace morvane {

class SourceDatabase {
 public:
  virtual ~SourceDatabase() = default;

  // One record per column of the table, in the table's column order; nothing when the
  // listing cannot be obtained (the table is gone, the connection is lost).
  virtual std::optional<std::vector<FieldRecord>> FieldListing(const std::string& table) = 0;
};

}  // namespace morvane
