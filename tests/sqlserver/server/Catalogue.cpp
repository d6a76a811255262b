#include "tests/sqlserver/server/Catalogue.h"

#include "tests/sqlserver/server/Convert.h"

namespace morvane::tds {

std::optional<std::size_t> Table::ColumnIndex(const std::string& column) const {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (EqualsIgnoringCase(columns[i].name, column)) return i;
  }
  return std::nullopt;
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

std::string IndexKey(const Index& index, const Row& row) {
  std::string key;
  for (std::size_t c : index.columns) {
    std::string part = KeyOf(row[c]);
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
