#pragma once
// A source database that hands out prepared field records, for engine tests.

#include <map>
#include <string>
#include <vector>

#include "source/SourceDatabase.h"

namespace morvane::test {

class FakeSource : public SourceDatabase {
 public:
  std::map<std::string, std::vector<FieldRecord>> tables;
  int listings = 0;

  std::optional<std::vector<FieldRecord>> FieldListing(const std::string& table) override {
    ++listings;
    auto it = tables.find(table);
    if (it == tables.end()) return std::nullopt;
    return it->second;
  }
};

// A field record: name, type code, length, decimals, charset number, flags.
inline FieldRecord Field(std::string name, int type, std::uint32_t length, std::uint32_t decimals,
                         int charsetnr, std::uint32_t flags) {
  return FieldRecord{std::move(name), type, length, decimals, charsetnr, flags};
}

// The orders table that the documentation's examples use.
inline std::vector<FieldRecord> OrdersFields() {
  using namespace mysql_flag;
  return {Field("id", mysql_type::Long, 11, 0, 63, NotNull | PriKey | AutoIncrement),
          Field("customer", mysql_type::VarString, 40, 0, 8, MultipleKey),
          Field("code", mysql_type::String, 10, 0, 8, NotNull | UniqueKey),
          Field("total", mysql_type::NewDecimal, 12, 2, 63, 0),
          Field("note", mysql_type::Blob, 65535, 0, 8, 0)};
}

}  // namespace morvane::test
