#include "tests/sqlserver/server/Catalogue.h"

#include <cstdio>

#include "tests/sqlserver/server/Convert.h"

namespace morvane::tds {

std::string GeneratedName(const std::string& prefix, const std::string& table, const std::string& column,
                          int objectId) {
  char hex[12];
  std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(objectId) * 2654435761u);
  std::u16string t = Utf8ToUtf16(table), c = Utf8ToUtf16(column);
  if (t.size() > 9) t.resize(9);
  if (c.size() > 9) c.resize(9);
  if (c.empty()) return prefix + "__" + Utf16ToUtf8(t) + "__" + hex;
  return prefix + "__" + Utf16ToUtf8(t) + "__" + Utf16ToUtf8(c) + "__" + hex;
}

std::optional<std::size_t> Table::ColumnIndex(const std::string& column) const {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (NamesEqual(columns[i].name, column, collation)) return i;
  }
  return std::nullopt;
}

const Index* Table::IndexById(int indexId) const {
  for (const auto& index : indexes) {
    if (index.indexId == indexId) return &index;
  }
  return nullptr;
}

void Table::RebuildKeys() {
  for (auto& index : indexes) {
    index.keys.clear();
    if (!index.unique) continue;
    for (const Row& row : rows) {
      if (InIndex(index, row)) index.keys.insert(IndexKey(*this, index, row));
    }
  }
}

Catalogue::Catalogue() {
  const char* system[] = {"master", "tempdb", "model", "msdb"};
  int id = 1;
  for (const char* name : system) {
    Database db;
    db.name = name;
    db.id = id++;
    databases.emplace(name, std::move(db));
  }
}

Database* Catalogue::Find(const std::string& name) {
  auto it = databases.find(name);
  return it == databases.end() ? nullptr : &it->second;
}

bool InIndex(const Index& index, const Row& row) {
  for (std::size_t c : index.filterNotNull) {
    if (IsNull(row[c])) return false;
  }
  return true;
}

int KeyLimit(const Index& index) { return index.clustered ? 900 : 1700; }

int MaxKeyBytes(const ColumnType& t) {
  switch (t.kind) {
    case Kind::TinyInt: case Kind::Bit: return 1;
    case Kind::SmallInt: return 2;
    case Kind::Int: case Kind::Real: case Kind::SmallDateTime: return 4;
    case Kind::BigInt: case Kind::Float: case Kind::DateTime: case Kind::Timestamp: return 8;
    case Kind::Decimal: return t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    case Kind::NChar: case Kind::NVarChar: return 2 * t.length;
    case Kind::Date: return 3;
    case Kind::Time: return TimeBytes(t.scale);
    case Kind::DateTime2: return TimeBytes(t.scale) + 3;
    default: return t.length;
  }
}

int MinKeyBytes(const ColumnType& t) {
  return t.kind == Kind::VarChar || t.kind == Kind::NVarChar || t.kind == Kind::VarBinary ? 0 : MaxKeyBytes(t);
}

int KeyBytes(const Table& table, const Index& index, const Row& row) {
  int total = 0;
  for (std::size_t c : index.columns) {
    const ColumnType& t = table.columns[c].type;
    const Value& v = row[c];
    if (IsNull(v)) continue;
    if (t.kind == Kind::VarChar) total += static_cast<int>(ToCodePage1252(std::get<std::string>(v)).size());
    else if (t.kind == Kind::NVarChar) total += 2 * static_cast<int>(Utf16Length(std::get<std::string>(v)));
    else if (t.kind == Kind::VarBinary) total += static_cast<int>(std::get<Bytes>(v).size());
    else total += MaxKeyBytes(t);
  }
  return total;
}

std::string IndexKey(const Table& table, const Index& index, const Row& row) {
  std::string key;
  for (std::size_t c : index.columns) {
    std::string part = KeyOf(row[c], table.columns[c].type.collation);
    key += std::to_string(part.size()) + ":" + part;
  }
  return key;
}

std::string KeyDisplay(const Index& index, const Row& row) {
  std::string out = "(";
  for (std::size_t i = 0; i < index.columns.size(); ++i) {
    if (i) out += ", ";
    out += DisplayValue(row[index.columns[i]]);
  }
  return out + ")";
}

}  // namespace morvane::tds
