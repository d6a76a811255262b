#pragma once
// The per-column queries of one table, asked before its CREATE TABLE.

#include <optional>
#include <string>
#include <vector>

#include "source/SourceDatabase.h"

namespace morvane {

// One profile per column of `fields`: asked of the source for the columns whose field record
// cannot tell their type or nullability (ProfileQueryOf), empty for the others. Nothing when a
// query fails.
std::optional<std::vector<ColumnProfile>> ProfileColumns(SourceDatabase& source,
                                                         const std::string& table,
                                                         const std::vector<FieldRecord>& fields);

}  // namespace morvane
