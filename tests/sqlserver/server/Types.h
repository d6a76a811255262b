#pragma once
// Column types and stored values of the TDS test server.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

enum class Kind {
  TinyInt, SmallInt, Int, BigInt, Decimal, Float, Real, Bit,
  Char, VarChar, NChar, NVarChar, Text, NText, Image, Binary, VarBinary,
  DateTime, SmallDateTime, Timestamp, Date, Time, DateTime2, DateTimeOffset,
};

struct ColumnType {
  ColumnType(Kind k = Kind::Int, int n = 0, int p = 0, int s = 0)
      : kind(k), length(n), precision(p), scale(s) {}
  Kind kind = Kind::Int;
  int length = 0;     // characters for the character types, bytes for the binary types
  int precision = 0;  // DECIMAL
  int scale = 0;      // DECIMAL; fractional second digits of TIME, DATETIME2 and DATETIMEOFFSET
  bool max = false;   // NVARCHAR(MAX), VARCHAR(MAX), VARBINARY(MAX)
  std::string collation;  // character types: the column's collation
};

// The type name as INFORMATION_SCHEMA and error texts spell it ("int", "nvarchar", ...).
std::string TypeName(Kind kind);
bool IsInteger(Kind kind);
bool IsCharacter(Kind kind);   // CHAR, VARCHAR, TEXT
bool IsNCharacter(Kind kind);  // NCHAR, NVARCHAR, NTEXT
bool IsBinary(Kind kind);      // BINARY, VARBINARY, IMAGE
bool IsLarge(Kind kind);       // TEXT, NTEXT, IMAGE
bool IsDate2(Kind kind);       // DATE, TIME, DATETIME2
// TEXT, NTEXT, IMAGE and the (MAX) types: no index key, no length limit.
inline bool IsLargeValue(const ColumnType& t) { return IsLarge(t.kind) || t.max; }
// Bytes of a TIME of the given fractional digits (3, 4 or 5), as stored and sent.
int TimeBytes(int scale);
// Bytes of a DATETIMEOFFSET: the time, three of date and two of offset.
inline int DateTimeOffsetBytes(int scale) { return TimeBytes(scale) + 5; }
std::optional<Int128> IntegerRangeMax(Kind kind);
Int128 IntegerRangeMin(Kind kind);

struct DecimalValue {
  Int128 units = 0;  // value * 10^scale
  int scale = 0;
};

// Days since 1900-01-01 and 1/300 s since midnight (both DATETIME and SMALLDATETIME).
struct DateTimeValue {
  std::int32_t days = 0;
  std::int32_t ticks = 0;
};

// DATE, TIME and DATETIME2: days since 0001-01-01 and 100 ns units since midnight (DATE has
// no time, TIME no days), already rounded to the column's fractional digits.
struct Date2Value {
  std::int32_t days = 0;
  std::int64_t time = 0;
};
constexpr std::int64_t kTimeUnitsPerDay = 864000000000LL;

// DATETIMEOFFSET: the instant in UTC (days since 0001-01-01 and 100 ns units since midnight,
// rounded to the column's fractional digits) and the offset it was written with, in minutes
// (-840..840). Values compare by the instant alone.
struct DateTimeOffsetValue {
  std::int32_t days = 0;
  std::int64_t time = 0;
  std::int16_t offset = 0;
};
constexpr int kMaxOffsetMinutes = 14 * 60;

// A stored cell: NULL, integer (and BIT), decimal, float (and REAL), text (UTF-8), bytes, date.
using Value = std::variant<std::monostate, std::int64_t, DecimalValue, double, std::string, Bytes,
                           DateTimeValue, Date2Value, DateTimeOffsetValue>;

inline bool IsNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// A text for messages ("The duplicate key value is (7)").
std::string DisplayValue(const Value& v);
std::string DecimalText(const DecimalValue& d);
Int128 Pow10(int n);
int DigitCount(Int128 magnitude);

// Civil date helpers.
std::int32_t DaysFromCivil(int year, int month, int day);  // relative to 1900-01-01
// Days from 0001-01-01 to 1900-01-01.
constexpr std::int32_t kDaysTo1900 = 693595;
// "yyyy-mm-dd", "hh:mm:ss[.fffffff]" (as many digits as `scale`) or both, as SQL Server writes them.
std::string Date2Text(Kind kind, int scale, const Date2Value& v);
void CivilFromDays(std::int32_t days, int& year, int& month, int& day);
// The local date and time of a DATETIMEOFFSET (its UTC instant moved by its offset).
Date2Value LocalOf(const DateTimeOffsetValue& v);
// "yyyy-mm-dd hh:mm:ss[.fffffff] {+|-}hh:mm", in local time, as SQL Server writes it.
std::string DateTimeOffsetText(int scale, const DateTimeOffsetValue& v);
bool ValidDate(int year, int month, int day);

}  // namespace morvane::tds
