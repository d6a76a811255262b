#pragma once
// Remote procedure calls: the server runs sp_executesql with its statement and no parameters
// (what drivers send for a prepared statement without markers); it refuses every other call.

#include <cstdint>
#include <string>
#include <variant>

#include "tests/sqlserver/server/SqlError.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {

// The statement text of an sp_executesql call, or the error to answer.
std::variant<std::string, SqlMessage> ParseExecuteSql(const Bytes& payload, std::uint32_t tdsVersion);

}  // namespace morvane::tds
