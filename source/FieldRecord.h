#pragma once
// One column of a MySQL table as the client library describes it: the members of MYSQL_FIELD
// that the conversion reads, as a plain value, so that the engine can be built and tested
// without the client library.

#include <cstdint>
#include <string>

namespace morvane {

// Type codes of the client library's enum_field_types.
namespace mysql_type {
inline constexpr int Decimal = 0;
inline constexpr int Tiny = 1;
inline constexpr int Short = 2;
inline constexpr int Long = 3;
inline constexpr int Float = 4;
inline constexpr int Double = 5;
inline constexpr int Null = 6;
inline constexpr int Timestamp = 7;
inline constexpr int LongLong = 8;
inline constexpr int Int24 = 9;
inline constexpr int Date = 10;
inline constexpr int Time = 11;
inline constexpr int DateTime = 12;
inline constexpr int Year = 13;
inline constexpr int NewDate = 14;
inline constexpr int VarChar = 15;
inline constexpr int Bit = 16;
inline constexpr int Json = 245;
inline constexpr int NewDecimal = 246;
inline constexpr int Enum = 247;
inline constexpr int Set = 248;
inline constexpr int TinyBlob = 249;
inline constexpr int MediumBlob = 250;
inline constexpr int LongBlob = 251;
inline constexpr int Blob = 252;
inline constexpr int VarString = 253;
inline constexpr int String = 254;
inline constexpr int Geometry = 255;
}  // namespace mysql_type

// Bits of MYSQL_FIELD::flags.
namespace mysql_flag {
inline constexpr std::uint32_t NotNull = 1;
inline constexpr std::uint32_t PriKey = 2;
inline constexpr std::uint32_t UniqueKey = 4;
inline constexpr std::uint32_t MultipleKey = 8;
inline constexpr std::uint32_t Blob = 16;
inline constexpr std::uint32_t Unsigned = 32;
inline constexpr std::uint32_t ZeroFill = 64;
inline constexpr std::uint32_t Binary = 128;
inline constexpr std::uint32_t Enum = 256;
inline constexpr std::uint32_t AutoIncrement = 512;
inline constexpr std::uint32_t Timestamp = 1024;
inline constexpr std::uint32_t Set = 2048;
inline constexpr std::uint32_t PartKey = 16384;
}  // namespace mysql_flag

// The character set number of binary strings, BLOBs and numbers.
inline constexpr int BinaryCharset = 63;

struct FieldRecord {
  std::string org_name;
  int type = 0;
  std::uint32_t length = 0;
  std::uint32_t decimals = 0;
  int charsetnr = 0;
  std::uint32_t flags = 0;

  bool Has(std::uint32_t flag) const { return (flags & flag) != 0; }
};

}  // namespace morvane
