#pragma once
// Reads a whole T-SQL batch into statements before any of them runs, as SQL Server compiles a
// batch first: a syntax error anywhere means nothing of the batch runs.

#include <string>
#include <vector>

#include "tests/sqlserver/server/Statements.h"

namespace morvane::tds {

// Throws SqlError (102, 156, 103, 105, ...) for text it cannot read.
std::vector<Statement> ParseBatch(const std::string& batch, bool quotedIdentifiers);

}  // namespace morvane::tds
