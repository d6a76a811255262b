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
  DateTime, SmallDateTime, Timestamp,
};

struct ColumnType {
  Kind kind = Kind::Int;
  int length = 0;     // characters for the character types, bytes for the binary types
  int precision = 0;  // DECIMAL
  int scale = 0;      // DECIMAL
};

// The type name as INFORMATION_SCHEMA and error texts spell it ("int", "nvarchar", ...).
std::string TypeName(Kind kind);
bool IsInteger(Kind kind);
bool IsCharacter(Kind kind);   // CHAR, VARCHAR, TEXT
bool IsNCharacter(Kind kind);  // NCHAR, NVARCHAR, NTEXT
bool IsBinary(Kind kind);      // BINARY, VARBINARY, IMAGE
bool IsLarge(Kind kind);       // TEXT, NTEXT, IMAGE
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

// A stored cell: NULL, integer (and BIT), decimal, float (and REAL), text (UTF-8), bytes, date.
using Value = std::variant<std::monostate, std::int64_t, DecimalValue, double, std::string, Bytes,
                           DateTimeValue>;

inline bool IsNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// A text for messages ("The duplicate key value is (7)").
std::string DisplayValue(const Value& v);
std::string DecimalText(const DecimalValue& d);
Int128 Pow10(int n);
int DigitCount(Int128 magnitude);

// Civil date helpers.
std::int32_t DaysFromCivil(int year, int month, int day);  // relative to 1900-01-01
void CivilFromDays(std::int32_t days, int& year, int& month, int& day);
bool ValidDate(int year, int month, int day);

}  // namespace morvane::tds
