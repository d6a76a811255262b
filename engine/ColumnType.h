#pragma once
// The SQL Server data type that holds the values of one MySQL column.

#include <cstdint>
#include <string>

#include "source/ColumnProfile.h"
#include "source/TableSchema.h"

namespace morvane {

// The upper-case SQL Server type text for a column described by the client library's field
// members and what its per-column query told (ENUM values, TIME range, DECIMAL digits), or the
// empty text when the type has no mapping. Pure: no state, no failure.
std::string GetColumnType(int type, std::uint32_t length, std::uint32_t decimals, int charsetnr,
                          std::uint32_t flags, const ColumnProfile& profile = {});
std::string GetColumnType(const FieldRecord& field, const ColumnProfile& profile = {});
// The same, with what information_schema says of the column (its character set and width in
// characters), which decides the width of a VARCHAR column: the field record reports the
// connection's character set, not the column's.
std::string GetColumnType(const FieldRecord& field, const ColumnProfile& profile,
                          const ColumnInfo* column);

// Whether one character of this character set (CHARACTER_SET_NAME) can need two UTF-16 code
// units: only the sets that hold characters beyond the Basic Multilingual Plane.
bool HoldsSupplementaryCharacters(const std::string& characterSet);

// DECIMAL(M, D) wider than 38 digits whose values need more than 38 digits: no DECIMAL of
// SQL Server holds them, and the column keeps each value's exact text.
bool DecimalAsText(const FieldRecord& field, const ColumnProfile& profile);

// The most bytes one character takes in the character set with this number (1 when the
// number is unknown, so that a column is never declared narrower than its data).
std::uint32_t MaxBytesPerCharacter(int charsetnr);

}  // namespace morvane
