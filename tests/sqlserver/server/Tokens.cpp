#include "tests/sqlserver/server/Tokens.h"

#include <algorithm>
#include <cstring>

#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {
namespace {

std::uint8_t DecimalSize(int precision) {
  if (precision <= 9) return 5;
  if (precision <= 19) return 9;
  if (precision <= 28) return 13;
  return 17;
}

std::uint8_t FixedSize(Kind k) {
  switch (k) {
    case Kind::TinyInt: return 1;
    case Kind::SmallInt: return 2;
    case Kind::Int: return 4;
    case Kind::BigInt: return 8;
    case Kind::Bit: return 1;
    case Kind::Float: return 8;
    case Kind::Real: return 4;
    case Kind::DateTime: return 8;
    case Kind::SmallDateTime: return 4;
    default: return 0;
  }
}

}  // namespace

Bytes CollationBytes(const std::string& collation) {
  // LCID (20 bits), then the flags ignore case 0x10, ignore accent 0x20, ignore width 0x40,
  // ignore kana 0x80 in the third byte; binary 0x01, binary2 0x02 and the version (4 bits:
  // 2 for the _100 collations) in the fourth; the SQL sort id last (0 for Windows collations).
  const std::string name = UpperAscii(collation);
  if (name == "LATIN1_GENERAL_100_CI_AS_SC") return {0x09, 0x04, 0xD0, 0x20, 0x00};
  if (name == "LATIN1_GENERAL_100_CS_AS_SC") return {0x09, 0x04, 0xC0, 0x20, 0x00};
  if (name == "LATIN1_GENERAL_100_BIN2") return {0x09, 0x04, 0x00, 0x22, 0x00};
  return kCollation;
}

void TokenWriter::U16(std::uint16_t v) {
  U8(static_cast<std::uint8_t>(v & 0xFF));
  U8(static_cast<std::uint8_t>(v >> 8));
}
void TokenWriter::U32(std::uint32_t v) {
  for (int i = 0; i < 4; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
}
void TokenWriter::U64(std::uint64_t v) {
  for (int i = 0; i < 8; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
}
void TokenWriter::BVarChar(const std::string& utf8) {
  std::u16string s = Utf8ToUtf16(utf8);
  if (s.size() > 255) s.resize(255);
  U8(static_cast<std::uint8_t>(s.size()));
  AppendUtf16Le(out_, s);
}
void TokenWriter::UsVarChar(const std::string& utf8) {
  std::u16string s = Utf8ToUtf16(utf8);
  U16(static_cast<std::uint16_t>(s.size()));
  AppendUtf16Le(out_, s);
}
void TokenWriter::PatchLength(std::size_t at) {
  auto len = static_cast<std::uint16_t>(out_.size() - at - 2);
  out_[at] = static_cast<std::uint8_t>(len & 0xFF);
  out_[at + 1] = static_cast<std::uint8_t>(len >> 8);
}

void TokenWriter::LoginAck(const std::string& program) {
  U8(0xAD);
  std::size_t at = out_.size();
  U16(0);
  U8(1);  // SQL_TSQL
  // The TDS version, most significant byte first.
  for (int i = 3; i >= 0; --i) U8(static_cast<std::uint8_t>(version_ >> (8 * i)));
  BVarChar(program);
  U8(16);  // server version 16.0.1000
  U8(0);
  U8(0x03);
  U8(0xE8);
  PatchLength(at);
}

void TokenWriter::EnvChange(std::uint8_t type, const std::string& newValue,
                            const std::string& oldValue) {
  U8(0xE3);
  std::size_t at = out_.size();
  U16(0);
  U8(type);
  BVarChar(newValue);
  BVarChar(oldValue);
  PatchLength(at);
}

void TokenWriter::EnvChangeCollation() {
  U8(0xE3);
  std::size_t at = out_.size();
  U16(0);
  U8(7);
  U8(static_cast<std::uint8_t>(kCollation.size()));
  out_.insert(out_.end(), kCollation.begin(), kCollation.end());
  U8(0);
  PatchLength(at);
}

void TokenWriter::Message(bool error, const SqlMessage& m, const std::string& server) {
  U8(error ? 0xAA : 0xAB);
  std::size_t at = out_.size();
  U16(0);
  U32(static_cast<std::uint32_t>(m.number));
  U8(static_cast<std::uint8_t>(m.state));
  U8(static_cast<std::uint8_t>(m.severity));
  UsVarChar(m.text);
  BVarChar(server);
  BVarChar("");
  if (version_ >= kTds72) {
    U32(static_cast<std::uint32_t>(m.line));
  } else {
    U16(static_cast<std::uint16_t>(m.line));
  }
  PatchLength(at);
}

void TokenWriter::Done(std::uint16_t status, std::uint16_t command, std::uint64_t rows,
                       std::uint8_t token) {
  U8(token);
  U16(status);
  U16(command);
  if (version_ >= kTds72) {
    U64(rows);
  } else {
    U32(static_cast<std::uint32_t>(rows));
  }
}

void TokenWriter::ReturnStatus(std::int32_t status) {
  U8(0x79);
  U32(static_cast<std::uint32_t>(status));
}

void TokenWriter::ReturnValueInt(const std::string& name, std::int32_t value) {
  U8(0xAC);
  U16(0);  // ordinal of the parameter
  BVarChar(name);
  U8(0x01);  // output parameter
  if (version_ >= kTds72) {
    U32(0);
  } else {
    U16(0);
  }
  U16(0x0001);  // nullable
  U8(0x26);
  U8(4);
  U8(4);
  U32(static_cast<std::uint32_t>(value));
}

ColumnType TokenWriter::WireType(const ColumnType& t) const {
  // Clients before TDS 7.3 get DATE, TIME, DATETIME2 and DATETIMEOFFSET as NVARCHAR text, and
  // clients before 7.2 the (MAX) types as NTEXT, TEXT and IMAGE ("Backward Compatibility for
  // Down-level Clients").
  if (version_ < kTds73 && (IsDate2(t.kind) || t.kind == Kind::DateTimeOffset)) {
    int n = t.kind == Kind::Date ? 10 : t.kind == Kind::Time ? 16 : t.kind == Kind::DateTime2 ? 27 : 34;
    return {Kind::NVarChar, n, 0, 0};
  }
  if (version_ < kTds72 && t.max) {
    Kind k = t.kind == Kind::NVarChar ? Kind::NText : t.kind == Kind::VarChar ? Kind::Text : Kind::Image;
    return {k, 0, 0, 0};
  }
  return t;
}

void TokenWriter::ColumnMetadata(const std::vector<ResultColumn>& columns) {
  U8(0x81);
  U16(static_cast<std::uint16_t>(columns.size()));
  for (const auto& column : columns) {
    ResultColumn c = column;
    c.type = WireType(column.type);
    std::uint32_t userType = c.type.kind == Kind::Timestamp ? 80 : 0;
    if (version_ >= kTds72) {
      U32(userType);
    } else {
      U16(static_cast<std::uint16_t>(userType));
    }
    std::uint16_t flags = 0;
    if (c.nullable) flags |= 0x0001;
    if (c.identity) flags |= 0x0010;
    if (c.type.kind != Kind::Timestamp && !c.identity) flags |= 0x0008;  // updateable
    U16(flags);
    const Kind k = c.type.kind;
    switch (k) {
      case Kind::TinyInt: case Kind::SmallInt: case Kind::Int: case Kind::BigInt:
        U8(0x26);
        U8(FixedSize(k));
        break;
      case Kind::Bit:
        U8(0x68);
        U8(1);
        break;
      case Kind::Decimal:
        U8(0x6A);
        U8(DecimalSize(c.type.precision));
        U8(static_cast<std::uint8_t>(c.type.precision));
        U8(static_cast<std::uint8_t>(c.type.scale));
        break;
      case Kind::Float: case Kind::Real:
        U8(0x6D);
        U8(FixedSize(k));
        break;
      case Kind::DateTime: case Kind::SmallDateTime:
        U8(0x6F);
        U8(FixedSize(k));
        break;
      case Kind::Char: case Kind::VarChar:
        U8(k == Kind::Char ? 0xAF : 0xA7);
        U16(c.type.max ? 0xFFFF : static_cast<std::uint16_t>(c.type.length));
        Collation(c.type);
        break;
      case Kind::NChar: case Kind::NVarChar:
        U8(k == Kind::NChar ? 0xEF : 0xE7);
        U16(c.type.max ? 0xFFFF : static_cast<std::uint16_t>(c.type.length * 2));
        Collation(c.type);
        break;
      case Kind::Binary: case Kind::VarBinary: case Kind::Timestamp:
        U8(k == Kind::VarBinary ? 0xA5 : 0xAD);
        U16(c.type.max ? 0xFFFF : static_cast<std::uint16_t>(k == Kind::Timestamp ? 8 : c.type.length));
        break;
      case Kind::Date:
        U8(0x28);
        break;
      case Kind::Time: case Kind::DateTime2: case Kind::DateTimeOffset:
        U8(k == Kind::Time ? 0x29 : k == Kind::DateTime2 ? 0x2A : 0x2B);
        U8(static_cast<std::uint8_t>(c.type.scale));
        break;
      case Kind::Text: case Kind::NText: case Kind::Image:
        U8(k == Kind::Text ? 0x23 : k == Kind::NText ? 0x63 : 0x22);
        U32(k == Kind::NText ? 0x7FFFFFFE : 0x7FFFFFFF);
        if (k != Kind::Image) Collation(c.type);
        if (version_ >= kTds72) {
          U8(1);
        }
        UsVarChar(c.table);
        break;
    }
    BVarChar(c.name);
  }
}

void TokenWriter::Row(const std::vector<ResultColumn>& columns, const std::vector<Value>& row) {
  U8(0xD1);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ColumnType type = WireType(columns[i].type);
    Value v = row[i];
    if (IsDate2(columns[i].type.kind) && !IsDate2(type.kind) && !IsNull(v)) {
      v = Date2Text(columns[i].type.kind, columns[i].type.scale, std::get<Date2Value>(v));
    }
    if (columns[i].type.kind == Kind::DateTimeOffset && type.kind != Kind::DateTimeOffset && !IsNull(v)) {
      v = DateTimeOffsetText(columns[i].type.scale, std::get<DateTimeOffsetValue>(v));
    }
    const Kind k = type.kind;
    const bool null = IsNull(v);
    if (type.max) {
      Plp(k, v);
      continue;
    }
    switch (k) {
      case Kind::TinyInt: case Kind::SmallInt: case Kind::Int: case Kind::BigInt: case Kind::Bit: {
        if (null) {
          U8(0);
          break;
        }
        std::uint8_t size = FixedSize(k);
        U8(size);
        auto x = static_cast<std::uint64_t>(std::get<std::int64_t>(v));
        for (int b = 0; b < size; ++b) U8(static_cast<std::uint8_t>(x >> (8 * b)));
        break;
      }
      case Kind::Decimal: {
        if (null) {
          U8(0);
          break;
        }
        std::uint8_t size = DecimalSize(columns[i].type.precision);
        U8(size);
        Int128 units = std::get<DecimalValue>(v).units;
        U8(units < 0 ? 0 : 1);
        auto m = static_cast<UInt128>(units < 0 ? -units : units);
        for (int b = 0; b < size - 1; ++b) U8(static_cast<std::uint8_t>(m >> (8 * b)));
        break;
      }
      case Kind::Float: case Kind::Real: {
        if (null) {
          U8(0);
          break;
        }
        double d = std::get<double>(v);
        if (k == Kind::Real) {
          U8(4);
          auto f = static_cast<float>(d);
          std::uint32_t bits;
          std::memcpy(&bits, &f, 4);
          U32(bits);
        } else {
          U8(8);
          std::uint64_t bits;
          std::memcpy(&bits, &d, 8);
          U64(bits);
        }
        break;
      }
      case Kind::DateTime: case Kind::SmallDateTime: {
        if (null) {
          U8(0);
          break;
        }
        auto dt = std::get<DateTimeValue>(v);
        if (k == Kind::DateTime) {
          U8(8);
          U32(static_cast<std::uint32_t>(dt.days));
          U32(static_cast<std::uint32_t>(dt.ticks));
        } else {
          U8(4);
          U16(static_cast<std::uint16_t>(dt.days));
          U16(static_cast<std::uint16_t>(dt.ticks / 18000));
        }
        break;
      }
      case Kind::Char: case Kind::VarChar: case Kind::NChar: case Kind::NVarChar:
      case Kind::Binary: case Kind::VarBinary: case Kind::Timestamp: {
        if (null) {
          U16(0xFFFF);
          break;
        }
        Bytes data;
        if (IsBinary(k) || k == Kind::Timestamp) {
          data = std::get<Bytes>(v);
        } else if (IsCharacter(k)) {
          data = ToCodePage1252(std::get<std::string>(v));
        } else {
          AppendUtf16Le(data, Utf8ToUtf16(std::get<std::string>(v)));
        }
        U16(static_cast<std::uint16_t>(data.size()));
        out_.insert(out_.end(), data.begin(), data.end());
        break;
      }
      case Kind::Date: case Kind::Time: case Kind::DateTime2: {
        if (null) {
          U8(0);
          break;
        }
        const auto& d = std::get<Date2Value>(v);
        const int timeBytes = TimeBytes(type.scale);
        U8(static_cast<std::uint8_t>((k == Kind::Date ? 0 : timeBytes) + (k == Kind::Time ? 0 : 3)));
        if (k != Kind::Date) {
          // The time in units of 10^-scale seconds.
          auto units = static_cast<std::uint64_t>(d.time / static_cast<std::int64_t>(Pow10(7 - type.scale)));
          for (int b = 0; b < timeBytes; ++b) U8(static_cast<std::uint8_t>(units >> (8 * b)));
        }
        if (k != Kind::Time) {
          for (int b = 0; b < 3; ++b) U8(static_cast<std::uint8_t>(static_cast<std::uint32_t>(d.days) >> (8 * b)));
        }
        break;
      }
      case Kind::DateTimeOffset: {
        // DATETIMEOFFSETN: the time and the date of the instant in UTC, then the offset in minutes.
        if (null) {
          U8(0);
          break;
        }
        const auto& o = std::get<DateTimeOffsetValue>(v);
        const int timeBytes = TimeBytes(type.scale);
        U8(static_cast<std::uint8_t>(DateTimeOffsetBytes(type.scale)));
        auto units = static_cast<std::uint64_t>(o.time / static_cast<std::int64_t>(Pow10(7 - type.scale)));
        for (int b = 0; b < timeBytes; ++b) U8(static_cast<std::uint8_t>(units >> (8 * b)));
        for (int b = 0; b < 3; ++b) U8(static_cast<std::uint8_t>(static_cast<std::uint32_t>(o.days) >> (8 * b)));
        U16(static_cast<std::uint16_t>(o.offset));
        break;
      }
      case Kind::Text: case Kind::NText: case Kind::Image: {
        if (null) {
          U8(0);
          break;
        }
        Bytes data;
        if (k == Kind::Image) {
          data = std::get<Bytes>(v);
        } else if (k == Kind::Text) {
          data = ToCodePage1252(std::get<std::string>(v));
        } else {
          AppendUtf16Le(data, Utf8ToUtf16(std::get<std::string>(v)));
        }
        U8(16);
        for (int b = 0; b < 16; ++b) U8(static_cast<std::uint8_t>(b + 1));  // text pointer
        for (int b = 0; b < 8; ++b) U8(0);                                 // text timestamp
        U32(static_cast<std::uint32_t>(data.size()));
        out_.insert(out_.end(), data.begin(), data.end());
        break;
      }
    }
  }
}

void TokenWriter::Collation(const ColumnType& type) {
  Bytes c = CollationBytes(type.collation);
  out_.insert(out_.end(), c.begin(), c.end());
}

// A (MAX) value as a PLP stream: its total length, chunks of at most 8000 bytes, a zero chunk.
void TokenWriter::Plp(Kind k, const Value& v) {
  if (IsNull(v)) {
    U64(0xFFFFFFFFFFFFFFFFULL);
    return;
  }
  Bytes data;
  if (k == Kind::VarBinary) {
    data = std::get<Bytes>(v);
  } else if (k == Kind::VarChar) {
    data = ToCodePage1252(std::get<std::string>(v));
  } else {
    AppendUtf16Le(data, Utf8ToUtf16(std::get<std::string>(v)));
  }
  U64(data.size());
  for (std::size_t at = 0; at < data.size(); at += 8000) {
    std::size_t n = std::min<std::size_t>(8000, data.size() - at);
    U32(static_cast<std::uint32_t>(n));
    out_.insert(out_.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                data.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  U32(0);
}

}  // namespace morvane::tds
