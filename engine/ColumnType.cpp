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

// Lengths of character and binary columns from which SQL Server's large-object types serve.
constexpr std::uint32_t LargeLength = 255;

std::string Sized(const char* name, std::uint32_t size) {
  return std::string(name) + "(" + std::to_string(std::max<std::uint32_t>(size, 1)) + ")";
}

std::string CharacterType(bool fixed, std::uint32_t length, int charsetnr) {
  if (charsetnr == BinaryCharset) {
    return length < LargeLength ? Sized(fixed ? "BINARY" : "VARBINARY", length) : "IMAGE";
  }
  const std::uint32_t maxBytes = MaxBytesPerCharacter(charsetnr);
  const std::uint32_t characters = std::max<std::uint32_t>(length / maxBytes, 1);
  if (characters >= LargeLength) return "NTEXT";
  // SQL Server counts N types in UTF-16 code units: a character beyond the Basic Multilingual
  // Plane (an emoji), which only the four-byte character sets hold, takes two.
  const std::uint32_t units = maxBytes == 4 ? 2 * characters : characters;
  return Sized(fixed ? "NCHAR" : "NVARCHAR", units);
}

// MySQL reports DECIMAL(M, D) with length M + (1 for the point when D > 0) + (1 for the sign
// unless unsigned). SQL Server takes a precision of 1 to 38 and a scale of at most that.
std::string DecimalType(std::uint32_t length, std::uint32_t decimals, bool isUnsigned) {
  long precision = static_cast<long>(length) - (decimals > 0 ? 1 : 0) - (isUnsigned ? 0 : 1);
  precision = std::clamp(precision, 1L, 38L);
  const long scale = std::min(static_cast<long>(decimals), precision);
  return "DECIMAL(" + std::to_string(precision) + ", " + std::to_string(scale) + ")";
}

}  // namespace

std::uint32_t MaxBytesPerCharacter(int charsetnr) {
  for (const auto& range : MultiByteCharsets) {
    if (charsetnr >= range.first && charsetnr <= range.last) return range.maxBytes;
  }
  return 1;
}

std::string GetColumnType(int type, std::uint32_t length, std::uint32_t decimals, int charsetnr,
                          std::uint32_t flags) {
  namespace t = mysql_type;
  const bool isUnsigned = (flags & mysql_flag::Unsigned) != 0;
  switch (type) {
    case t::Tiny: return isUnsigned ? "TINYINT" : "SMALLINT";
    case t::Short: return isUnsigned ? "INT" : "SMALLINT";
    case t::Long: return isUnsigned ? "BIGINT" : "INT";
    case t::Int24: return "INT";
    case t::LongLong: return isUnsigned ? "DECIMAL(20, 0)" : "BIGINT";
    case t::Float: return "FLOAT";
    case t::Double: return "FLOAT";
    case t::Decimal:
    case t::NewDecimal: return DecimalType(length, decimals, isUnsigned);
    case t::String: return CharacterType(true, length, charsetnr);
    case t::VarString:
    case t::VarChar: return CharacterType(false, length, charsetnr);
    case t::Bit:
      if (length <= 1) return "BIT";
      return length < 64 ? "BIGINT" : "DECIMAL(20, 0)";
    case t::TinyBlob:
    case t::MediumBlob:
    case t::LongBlob:
    case t::Blob: return charsetnr == BinaryCharset ? "IMAGE" : "NTEXT";
    case t::Json: return "NTEXT";
    case t::DateTime:
    case t::Timestamp:
    case t::Date:
    case t::Time: return "DATETIME";
    case t::Year: return "SMALLDATETIME";
    case t::Null: return "NULL";
    default: return "";  // NEWDATE, ENUM, SET, GEOMETRY and unknown codes
  }
}

}  // namespace morvane
