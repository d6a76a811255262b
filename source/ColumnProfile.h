#pragma once
// What one query per column tells about the values a MySQL table holds, where the field record
// alone cannot choose the SQL Server type or the column's nullability.

#include <cstdint>

#include "source/FieldRecord.h"

namespace morvane {

struct ColumnProfile {
  // ENUM and SET: UTF-16 code units of the longest value the column can hold (for SET, every
  // member joined by commas).
  std::uint32_t longestValue = 0;
  // TIME: a value below 00:00:00 or of 24 hours or more is stored.
  bool timeBeyondDay = false;
  // DECIMAL wider than 38 digits: the longest integer part and the most fraction digits (trailing
  // zeros not counted) that the stored values use.
  std::uint32_t integerDigits = 0;
  std::uint32_t fractionDigits = 0;
  // DATE, DATETIME, TIMESTAMP: stored zero or partial dates ('0000-00-00', '2024-00-15').
  std::uint64_t zeroDates = 0;
  // TIMESTAMP: stored instants whose wall time in the session's time zone names another instant
  // too (the repeated hour when the clocks go back), so that the wall time alone is not exact.
  std::uint64_t repeatedWallTimes = 0;
};

// MySQL's widest DECIMAL has 65 digits; SQL Server's 38.
inline constexpr std::uint32_t MaxSqlServerPrecision = 38;

// The MySQL precision M of a DECIMAL column from its field record (length = M + 1 for the point
// when there are decimals + 1 for the sign unless unsigned).
inline long DecimalPrecision(const FieldRecord& f) {
  return static_cast<long>(f.length) - (f.decimals > 0 ? 1 : 0) -
         (f.Has(mysql_flag::Unsigned) ? 0 : 1);
}

enum class ProfileQuery { NoQuery, EnumValues, SetValues, TimeRange, DecimalDigits, ZeroDates };

// Which query, if any, the column needs before its type can be chosen.
inline ProfileQuery ProfileQueryOf(const FieldRecord& f) {
  namespace t = mysql_type;
  if (f.type == t::Enum || (f.type == t::String && f.Has(mysql_flag::Enum)))
    return ProfileQuery::EnumValues;
  if (f.type == t::Set || (f.type == t::String && f.Has(mysql_flag::Set)))
    return ProfileQuery::SetValues;
  switch (f.type) {
    case t::Time: return ProfileQuery::TimeRange;
    case t::Decimal:
    case t::NewDecimal:
      return DecimalPrecision(f) > static_cast<long>(MaxSqlServerPrecision) ? ProfileQuery::DecimalDigits
                                                                           : ProfileQuery::NoQuery;
    case t::Date:
    case t::DateTime:
    case t::Timestamp:
    case t::NewDate: return ProfileQuery::ZeroDates;
    default: return ProfileQuery::NoQuery;
  }
}

}  // namespace morvane
