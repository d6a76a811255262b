#pragma once
// How a constant of a batch becomes a value of a column, with SQL Server's conversion rules and
// error numbers: ranges (220, 8115), strings that are not numbers or dates (241, 244, 245, 248,
// 8114), out-of-range dates (242), truncation (2628), code page 1252 for the non-Unicode types,
// rounding of DECIMAL, REAL, DATETIME (1/300 s) and SMALLDATETIME (minute).

#include <string>

#include "tests/sqlserver/server/Statements.h"
#include "tests/sqlserver/server/Types.h"

namespace morvane::tds {

// SET DATEFORMAT / SET LANGUAGE: the order of day, month and year in dashed and slashed dates.
struct DateSettings {
  std::string order = "mdy";
};

enum class Purpose { Store, Compare };

// Where a value goes, for the text of error 2628.
struct ConversionTarget {
  std::string table;   // db.dbo.t
  std::string column;
};

// Throws SqlError. For Compare, lengths are not checked and CHAR/BINARY are not padded.
Value ConvertLiteral(const Literal& literal, const ColumnType& type, const DateSettings& dates,
                     Purpose purpose = Purpose::Store, const ConversionTarget* target = nullptr);

// DATE, TIME or DATETIME2 (the type's kind and scale) from a string; throws 241 or 242.
Date2Value ParseDate2(const std::string& text, const ColumnType& type, const DateSettings& dates);

// DATETIMEOFFSET(scale) from a string: 'yyyy-mm-dd hh:mm:ss[.fffffff] [{+|-}hh:mm]', the ISO 8601
// 'yyyy-mm-ddThh:mm:ss[.fffffff]{{+|-}hh:mm|Z}' and the other forms of DATETIME2 with an offset
// after them (none: +00:00). Throws 241 (no such value, an offset beyond +-14:00) or 242.
DateTimeOffsetValue ParseDateTimeOffset(const std::string& text, int scale, const DateSettings& dates);

// A value of a date and time type (DATE, TIME, DATETIME2, DATETIME, SMALLDATETIME,
// DATETIMEOFFSET) or a text, converted to another date and time type or to text, as CAST and
// CONVERT (without a style) do: DATETIMEOFFSET to the others keeps its local date and time, the
// others to DATETIMEOFFSET get +00:00 (a TIME on 1900-01-01), its text is
// "yyyy-mm-dd hh:mm:ss[.fffffff] {+|-}hh:mm". Throws 241, 242 or 50000 for the pairs not modelled.
Value ConvertDateValue(const Value& value, const ColumnType& from, const ColumnType& to,
                       const DateSettings& dates);

// DATETIME (or SMALLDATETIME) from a string; throws 241 or 242.
DateTimeValue ParseDateTime(const std::string& text, bool smalldatetime, const DateSettings& dates,
                            const std::string& sourceType);

// The order of keys in indexes and of ORDER BY; strings compare under the collation (empty: the
// server's default collation). NULL sorts first.
int CompareValues(const Value& a, const Value& b, const std::string& collation = {});
// A byte string that is equal for equal keys under that comparison.
std::string KeyOf(const Value& v, const std::string& collation = {});

}  // namespace morvane::tds
