#pragma once
// Writes the tokens of a TDS reply: LOGINACK, ENVCHANGE, INFO/ERROR, COLMETADATA, ROW, DONE.
// The TDS version decides the widths that changed in 7.2 (row counts, line numbers, user types).

#include <cstdint>
#include <string>
#include <vector>

#include "tests/sqlserver/server/SqlError.h"
#include "tests/sqlserver/server/Types.h"

namespace morvane::tds {

constexpr std::uint32_t kTds71 = 0x71000001;
constexpr std::uint32_t kTds72 = 0x72090002;
constexpr std::uint32_t kTds73 = 0x730B0003;
constexpr std::uint32_t kTds74 = 0x74000004;

// DONE status bits.
constexpr std::uint16_t kDoneFinal = 0x00;
constexpr std::uint16_t kDoneMore = 0x01;
constexpr std::uint16_t kDoneError = 0x02;
constexpr std::uint16_t kDoneCount = 0x10;
constexpr std::uint16_t kDoneAttention = 0x20;

// SQL_Latin1_General_CP1_CI_AS: LCID 0x0409, case-insensitive, sort id 52 (code page 1252).
inline const Bytes kCollation = {0x09, 0x04, 0xD0, 0x00, 0x34};
// The five collation bytes of COLMETADATA for a collation name (empty: the server default).
Bytes CollationBytes(const std::string& collation);

struct ResultColumn {
  std::string name;
  ColumnType type;
  bool nullable = true;
  bool identity = false;
  std::string table;  // for TEXT, NTEXT and IMAGE columns
};

class TokenWriter {
 public:
  explicit TokenWriter(std::uint32_t tdsVersion) : version_(tdsVersion) {}

  void LoginAck(const std::string& program);
  void EnvChange(std::uint8_t type, const std::string& newValue, const std::string& oldValue);
  void EnvChangeCollation();
  void Message(bool error, const SqlMessage& message, const std::string& server);
  void Done(std::uint16_t status, std::uint16_t command, std::uint64_t rows,
            std::uint8_t token = 0xFD);
  void ReturnStatus(std::int32_t status);
  // RETURNVALUE of an INT output parameter.
  void ReturnValueInt(const std::string& name, std::int32_t value);
  void ColumnMetadata(const std::vector<ResultColumn>& columns);
  void Row(const std::vector<ResultColumn>& columns, const std::vector<Value>& row);

  const Bytes& Data() const { return out_; }
  Bytes Take() { return std::move(out_); }

 private:
  void U8(std::uint8_t v) { out_.push_back(v); }
  void U16(std::uint16_t v);
  void U32(std::uint32_t v);
  void U64(std::uint64_t v);
  void BVarChar(const std::string& utf8);
  void UsVarChar(const std::string& utf8);
  void PatchLength(std::size_t at);
  void Collation(const ColumnType& type);
  void Plp(Kind kind, const Value& value);
  // The type a column has on the wire for this client's TDS version.
  ColumnType WireType(const ColumnType& type) const;

  std::uint32_t version_;
  Bytes out_;
};

}  // namespace morvane::tds
