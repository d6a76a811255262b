#pragma once
// The SQL Server data type that holds the values of one MySQL column.

#include <cstdint>
#include <string>

#include "source/ColumnProfile.h"

namespace morvane {

// The upper-case SQL Server type text for a column described by the client library's field
// members and what its per-column query told (ENUM values, TIME range, DECIMAL digits), or the
// empty text when the type has no mapping. Pure: no state, no failure.
std::string GetColumnType(int type, std::uint32_t length, std::uint32_t decimals, int charsetnr,
                          std::uint32_t flags, const ColumnProfile& profile = {});
std::string GetColumnType(const FieldRecord& field, const ColumnProfile& profile = {});

// The most bytes one character takes in the character set with this number (1 when the
// number is unknown, so that a column is never declared narrower than its data).
std::uint32_t MaxBytesPerCharacter(int charsetnr);

}  // namespace morvane
