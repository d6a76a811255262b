#pragma once
// A source database that hands out prepared field records and rows, for engine tests.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "source/SourceDatabase.h"

namespace morvane::test {

using OwnedCell = std::optional<std::string>;
using OwnedRow = std::vector<OwnedCell>;

struct FakeTable {
  std::vector<FieldRecord> fields;
  std::vector<OwnedRow> rows;
  std::optional<std::string> errorAfterRows = std::nullopt;  // reading fails with this text after the rows
  // What MySQL defines beside the fields; without it, one made from the field flags (below).
  std::optional<TableSchema> schema = std::nullopt;
  bool schemaUnreadable = false;
  std::map<std::string, ColumnProfile> profiles = {};  // by column name; others get an empty one
  std::optional<std::uint64_t> count = std::nullopt;   // COUNT(*); the number of rows when unset
  std::string engine = "InnoDB";  // MyISAM, Aria, MEMORY: outside the snapshot
};

// The schema a table of these fields has when every key is as its flags suggest: the
// PRI_KEY columns form the primary key, each UNIQUE_KEY column its own unique key and each
// MULTIPLE_KEY column its own index, named after the column.
inline TableSchema SchemaFromFlags(const std::vector<FieldRecord>& fields) {
  using namespace mysql_flag;
  TableSchema schema;
  IndexInfo primary{"PRIMARY", true, "BTREE", {}};
  std::vector<IndexInfo> others;
  for (const auto& f : fields) {
    const bool nullable = !f.Has(NotNull);
    schema.columns.push_back({f.org_name, DefaultKind::Absent, "", "", "", "", nullable});
    if (f.Has(PriKey)) primary.columns.push_back({f.org_name, std::nullopt, false});
    else if (f.Has(UniqueKey)) others.push_back({f.org_name, true, "BTREE", {{f.org_name, std::nullopt, nullable}}});
    else if (f.Has(MultipleKey)) others.push_back({f.org_name, false, "BTREE", {{f.org_name, std::nullopt, nullable}}});
  }
  if (!primary.columns.empty()) schema.indexes.push_back(primary);
  for (auto& i : others) schema.indexes.push_back(std::move(i));
  return schema;
}

class FakeSource : public SourceDatabase {
 public:
  using SourceDatabase::ReadRows;
  std::map<std::string, FakeTable> tables;
  int listings = 0;
  // "snapshot", "profile t.c", "count t", "end snapshot", in the order they were asked for.
  std::vector<std::string> reads;
  std::optional<std::string> snapshotRefusal;  // BeginSnapshot fails with this text

  bool BeginSnapshot(std::string& errorText) override {
    reads.push_back("snapshot");
    if (snapshotRefusal) errorText = *snapshotRefusal;
    return !snapshotRefusal;
  }
  void EndSnapshot() override { reads.push_back("end snapshot"); }

  // The tables asked about, each time it is asked.
  std::vector<std::vector<std::string>> outsideAsked;
  std::vector<TableEngine> TablesOutsideSnapshot(const std::vector<std::string>& names) override {
    outsideAsked.push_back(names);
    std::vector<TableEngine> outside;
    for (const auto& name : names) {
      auto it = tables.find(name);
      if (it == tables.end()) continue;
      const std::string& engine = it->second.engine;
      if (engine == "MyISAM" || engine == "Aria" || engine == "MEMORY")
        outside.push_back({name, engine});
    }
    return outside;
  }

  std::optional<ColumnProfile> ProfileColumn(const std::string& table,
                                             const FieldRecord& field) override {
    reads.push_back("profile " + table + "." + field.org_name);
    auto it = tables.find(table);
    if (it == tables.end()) return std::nullopt;
    auto p = it->second.profiles.find(field.org_name);
    return p == it->second.profiles.end() ? ColumnProfile{} : p->second;
  }

  std::optional<std::uint64_t> CountRows(const std::string& table) override {
    reads.push_back("count " + table);
    auto it = tables.find(table);
    if (it == tables.end()) return std::nullopt;
    return it->second.count.value_or(it->second.rows.size());
  }

  // Whether no two rows are equal in these columns, NULLs counting as equal.
  std::optional<bool> ValuesUnique(const std::string& table,
                                   const std::vector<std::string>& columns) override {
    reads.push_back("unique " + table);
    auto it = tables.find(table);
    if (it == tables.end()) return std::nullopt;
    std::vector<std::size_t> at;
    for (const auto& c : columns) {
      for (std::size_t j = 0; j < it->second.fields.size(); ++j) {
        if (it->second.fields[j].org_name == c) at.push_back(j);
      }
    }
    if (at.size() != columns.size()) return std::nullopt;
    std::set<OwnedRow> seen;
    for (const auto& row : it->second.rows) {
      OwnedRow key;
      for (std::size_t j : at) key.push_back(row[j]);
      if (!seen.insert(key).second) return false;
    }
    return true;
  }

  std::optional<std::vector<FieldRecord>> FieldListing(const std::string& table) override {
    ++listings;
    auto it = tables.find(table);
    if (it == tables.end()) return std::nullopt;
    return it->second.fields;
  }

  std::optional<TableSchema> Schema(const std::string& table) override {
    auto it = tables.find(table);
    if (it == tables.end() || it->second.schemaUnreadable) return std::nullopt;
    return it->second.schema ? *it->second.schema : SchemaFromFlags(it->second.fields);
  }

  std::unique_ptr<RowReader> ReadRows(const std::string& table, std::string& errorText) override {
    auto it = tables.find(table);
    if (it == tables.end()) {
      errorText = "Table '" + table + "' doesn't exist";
      return nullptr;
    }
    return std::make_unique<Reader>(it->second);
  }

 private:
  class Reader : public RowReader {
   public:
    explicit Reader(const FakeTable& table) : table_(table) {}
    const std::vector<Cell>* Next() override {
      if (next_ == table_.rows.size()) {
        error_ = table_.errorAfterRows;
        return nullptr;
      }
      cells_.clear();
      for (const auto& c : table_.rows[next_]) cells_.push_back(c ? Cell(*c) : Cell());
      ++next_;
      return &cells_;
    }
    std::optional<std::string> Error() const override { return error_; }

   private:
    const FakeTable& table_;
    std::size_t next_ = 0;
    std::vector<Cell> cells_;
    std::optional<std::string> error_;
  };
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
