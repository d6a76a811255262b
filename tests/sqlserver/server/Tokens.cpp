#include "tests/sqlserver/server/Tokens.h"

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

void TokenWriter::ColumnMetadata(const std::vector<ResultColumn>& columns) {
  U8(0x81);
  U16(static_cast<std::uint16_t>(columns.size()));
  for (const auto& c : columns) {
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
        U16(static_cast<std::uint16_t>(c.type.length));
        out_.insert(out_.end(), kCollation.begin(), kCollation.end());
        break;
      case Kind::NChar: case Kind::NVarChar:
        U8(k == Kind::NChar ? 0xEF : 0xE7);
        U16(static_cast<std::uint16_t>(c.type.length * 2));
        out_.insert(out_.end(), kCollation.begin(), kCollation.end());
        break;
      case Kind::Binary: case Kind::VarBinary: case Kind::Timestamp:
        U8(k == Kind::VarBinary ? 0xA5 : 0xAD);
        U16(static_cast<std::uint16_t>(k == Kind::Timestamp ? 8 : c.type.length));
        break;
      case Kind::Text: case Kind::NText: case Kind::Image:
        U8(k == Kind::Text ? 0x23 : k == Kind::NText ? 0x63 : 0x22);
        U32(k == Kind::NText ? 0x7FFFFFFE : 0x7FFFFFFF);
        if (k != Kind::Image) out_.insert(out_.end(), kCollation.begin(), kCollation.end());
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
    const Kind k = columns[i].type.kind;
    const Value& v = row[i];
    const bool null = IsNull(v);
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

}  // namespace morvane::tds
