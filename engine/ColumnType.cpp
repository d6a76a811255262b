#include "engine/ColumnType.h"

#include <algorithm>
#include <array>

#include "source/FieldRecord.h"

namespace morvane {
namespace {

struct CharsetRange {
  int first;
  int last;
  std::uint32_t maxBytes;
};

// Every collation number of a multi-byte character set, as MariaDB 10.11 lists them
// (information_schema.COLLATIONS with CHARACTER_SETS.MAXLEN), plus MySQL 8's gb18030 and
// utf8mb4_0900 collations. Every other number is a single-byte set.
constexpr std::array<CharsetRange, 58> MultiByteCharsets{{
    {1, 1, 2},       {12, 12, 3},     {13, 13, 2},     {19, 19, 2},     {24, 24, 2},
    {28, 28, 2},     {33, 33, 3},     {35, 35, 2},     {45, 46, 4},     {54, 56, 4},
    {60, 62, 4},     {76, 76, 3},     {83, 83, 3},     {84, 88, 2},     {90, 90, 2},
    {91, 91, 3},     {95, 96, 2},     {97, 98, 3},     {101, 124, 4},   {128, 151, 2},
    {159, 159, 2},   {160, 183, 4},   {192, 215, 3},   {223, 223, 3},   {224, 247, 4},
    {248, 250, 4},   {255, 323, 4},   {576, 578, 3},   {608, 610, 4},   {640, 642, 2},
    {672, 674, 4},   {736, 738, 4},   {1025, 1025, 2}, {1036, 1036, 3}, {1037, 1037, 2},
    {1043, 1043, 2}, {1048, 1048, 2}, {1052, 1052, 2}, {1057, 1057, 3}, {1059, 1059, 2},
    {1069, 1070, 4}, {1078, 1080, 4}, {1084, 1086, 4}, {1107, 1107, 3}, {1108, 1112, 2},
    {1114, 1114, 2}, {1115, 1115, 3}, {1119, 1120, 2}, {1121, 1122, 3}, {1125, 1125, 4},
    {1147, 1147, 4}, {1152, 1152, 2}, {1174, 1174, 2}, {1184, 1184, 4}, {1206, 1206, 4},
    {1216, 1216, 3}, {1238, 1238, 3}, {1248, 1248, 4},
}};

// SQL Server's widest sized N types (in UTF-16 code units) and binary types (in bytes).
constexpr std::uint32_t MaxSizedUnits = 4000;
constexpr std::uint32_t MaxSizedBytes = 8000;

std::string Sized(const char* name, std::uint32_t size) {
  return std::string(name) + "(" + std::to_string(std::max<std::uint32_t>(size, 1)) + ")";
}

std::string CharacterType(bool fixed, std::uint32_t length, int charsetnr) {
  if (charsetnr == BinaryCharset) {
    if (length > MaxSizedBytes) return "VARBINARY(MAX)";
    return Sized(fixed ? "BINARY" : "VARBINARY", length);
  }
  const std::uint32_t maxBytes = MaxBytesPerCharacter(charsetnr);
  const std::uint32_t characters = std::max<std::uint32_t>(length / maxBytes, 1);
  // CHAR(n) keeps the declared width; a value that needs more than n UTF-16 code units is
  // refused by the row copy.
  if (fixed) return characters > MaxSizedUnits ? "NVARCHAR(MAX)" : Sized("NCHAR", characters);
  // SQL Server counts N types in UTF-16 code units: a character beyond the Basic Multilingual
  // Plane (an emoji), which only the four-byte character sets hold, takes two.
  const std::uint64_t units = maxBytes == 4 ? 2ull * characters : characters;
  if (units > MaxSizedUnits) return "NVARCHAR(MAX)";
  return Sized("NVARCHAR", static_cast<std::uint32_t>(units));
}

// DECIMAL(M, D). Up to 38 digits SQL Server holds it as declared. Wider columns whose values
// fit 38 digits get the precision 38: the integer digits the data uses, the rest for the
// fraction (at most D). Wider values keep their exact text: sign, M digits, point, and the "0"
// before the point of a column without integer digits.
std::string DecimalType(std::uint32_t length, std::uint32_t decimals, bool isUnsigned,
                        const ColumnProfile& profile) {
  long precision = static_cast<long>(length) - (decimals > 0 ? 1 : 0) - (isUnsigned ? 0 : 1);
  long scale = static_cast<long>(decimals);
  if (precision > static_cast<long>(MaxSqlServerPrecision) &&
      profile.integerDigits + profile.fractionDigits > MaxSqlServerPrecision) {
    const long units = precision + (isUnsigned ? 0 : 1) + (scale > 0 ? 1 : 0) +
                       (scale >= precision ? 1 : 0);
    return Sized("NVARCHAR", static_cast<std::uint32_t>(units));
  }
  if (precision > static_cast<long>(MaxSqlServerPrecision)) {
    precision = MaxSqlServerPrecision;
    const long integer = std::min(static_cast<long>(profile.integerDigits), precision);
    scale = std::min(scale, precision - integer);
  }
  precision = std::max(precision, 1L);
  scale = std::clamp(scale, 0L, precision);
  return "DECIMAL(" + std::to_string(precision) + ", " + std::to_string(scale) + ")";
}

// DATETIME(p), TIMESTAMP(p), TIME(p): p fraction digits (the client reports them in decimals).
std::uint32_t FractionDigits(std::uint32_t decimals) { return decimals <= 6 ? decimals : 6; }

}  // namespace

std::uint32_t MaxBytesPerCharacter(int charsetnr) {
  for (const auto& range : MultiByteCharsets) {
    if (charsetnr >= range.first && charsetnr <= range.last) return range.maxBytes;
  }
  return 1;
}

std::string GetColumnType(const FieldRecord& f, const ColumnProfile& profile) {
  return GetColumnType(f.type, f.length, f.decimals, f.charsetnr, f.flags, profile);
}

bool HoldsSupplementaryCharacters(const std::string& characterSet) {
  return characterSet == "utf8mb4" || characterSet == "utf16" || characterSet == "utf16le" ||
         characterSet == "utf32" || characterSet == "gb18030";
}

bool DecimalAsText(const FieldRecord& f, const ColumnProfile& profile) {
  return (f.type == mysql_type::Decimal || f.type == mysql_type::NewDecimal) &&
         DecimalPrecision(f) > static_cast<long>(MaxSqlServerPrecision) &&
         profile.integerDigits + profile.fractionDigits > MaxSqlServerPrecision;
}

std::string GetColumnType(const FieldRecord& f, const ColumnProfile& profile,
                          const ColumnInfo* column) {
  namespace t = mysql_type;
  const bool varying = f.type == t::VarString || f.type == t::VarChar;
  const bool enumOrSet = f.Has(mysql_flag::Enum) || f.Has(mysql_flag::Set);
  if (column == nullptr || column->characterSet.empty() || !column->maxCharacters ||
      f.charsetnr == BinaryCharset || !varying || enumOrSet) {
    return GetColumnType(f, profile);
  }
  // A character beyond the Basic Multilingual Plane (an emoji) takes two UTF-16 code units;
  // only the sets that hold such characters need room for them.
  const std::uint64_t units =
      *column->maxCharacters * (HoldsSupplementaryCharacters(column->characterSet) ? 2 : 1);
  if (units > MaxSizedUnits) return "NVARCHAR(MAX)";
  return Sized("NVARCHAR", static_cast<std::uint32_t>(units));
}

std::string GetColumnType(int type, std::uint32_t length, std::uint32_t decimals, int charsetnr,
                          std::uint32_t flags, const ColumnProfile& profile) {
  namespace t = mysql_type;
  const bool isUnsigned = (flags & mysql_flag::Unsigned) != 0;
  // ENUM and SET come as type 254 with their flag: as wide as their longest value, no padding.
  if (type == t::Enum || type == t::Set ||
      (type == t::String && (flags & (mysql_flag::Enum | mysql_flag::Set)) != 0)) {
    if (profile.longestValue > MaxSizedUnits) return "NVARCHAR(MAX)";
    return Sized("NVARCHAR", profile.longestValue);
  }
  const std::string p = std::to_string(FractionDigits(decimals));
  switch (type) {
    case t::Tiny: return isUnsigned ? "TINYINT" : "SMALLINT";
    case t::Short: return isUnsigned ? "INT" : "SMALLINT";
    case t::Long: return isUnsigned ? "BIGINT" : "INT";
    case t::Int24: return "INT";
    case t::LongLong: return isUnsigned ? "DECIMAL(20, 0)" : "BIGINT";
    case t::Float: return "REAL";  // four bytes: every MySQL FLOAT exactly
    case t::Double: return "FLOAT";
    case t::Decimal:
    case t::NewDecimal: return DecimalType(length, decimals, isUnsigned, profile);
    case t::String: return CharacterType(true, length, charsetnr);
    case t::VarString:
    case t::VarChar: return CharacterType(false, length, charsetnr);
    case t::Bit:
      if (length <= 1) return "BIT";
      return length < 64 ? "BIGINT" : "DECIMAL(20, 0)";
    case t::TinyBlob:
    case t::MediumBlob:
    case t::LongBlob:
    case t::Blob: return charsetnr == BinaryCharset ? "VARBINARY(MAX)" : "NVARCHAR(MAX)";
    case t::Json: return "NVARCHAR(MAX)";
    case t::DateTime: return "DATETIME2(" + p + ")";
    // A TIMESTAMP is an instant shown in the session's time zone: the wall time, exact unless
    // two stored instants share one; then each value keeps its offset from UTC as well.
    case t::Timestamp:
      return (profile.repeatedWallTimes > 0 ? "DATETIMEOFFSET(" : "DATETIME2(") + p + ")";
    case t::Date: return "DATE";
    // A TIME column holding a span beyond one day keeps it as the moment that far from
    // 1900-01-01 00:00:00.
    case t::Time: return (profile.timeBeyondDay ? "DATETIME2(" : "TIME(") + p + ")";
    case t::Year: return "SMALLINT";  // the year as a number; 0 stays 0
    case t::Null: return "NULL";
    case t::Geometry: return "VARBINARY(MAX)";  // MySQL's own bytes: SRID, then WKB
    default: return "";  // NEWDATE and unknown codes
  }
}

}  // namespace morvane
