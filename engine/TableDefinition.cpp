#include "engine/TableDefinition.h"

#include <vector>

#include "engine/ColumnDefaults.h"
#include "engine/ColumnType.h"
#include "engine/SqlNames.h"

namespace morvane {
namespace {

const ColumnInfo* ColumnOf(const std::optional<TableSchema>& schema, const std::string& name) {
  return schema ? schema->Column(name) : nullptr;
}

}  // namespace

bool RelaxedForZeroDates(const FieldRecord& field, const ColumnProfile& profile) {
  return profile.zeroDates > 0 && field.Has(mysql_flag::NotNull) && !field.Has(mysql_flag::PriKey);
}

std::string GetColumnList(SourceDatabase& source, const std::string& table, PendingIndex& pending,
                          const std::vector<ColumnProfile>* profiles) {
  const auto fields = source.FieldListing(table);
  if (!fields) return "";
  const auto schema = source.Schema(table);
  const bool profiled = profiles != nullptr && profiles->size() == fields->size();
  std::string list;
  for (std::size_t j = 0; j < fields->size(); ++j) {
    const FieldRecord& f = (*fields)[j];
    const ColumnProfile profile = profiled ? (*profiles)[j] : ColumnProfile{};
    const std::string type = GetColumnType(f, profile);
    const ColumnInfo* column = ColumnOf(schema, f.org_name);
    if (!list.empty()) list += ", ";
    list += Bracketed(f.org_name) + " " + type + CollateClause(type, column);
    if (f.Has(mysql_flag::AutoIncrement)) list += " IDENTITY";
    list += f.Has(mysql_flag::NotNull) && !RelaxedForZeroDates(f, profile) ? " NOT NULL" : " NULL";
    list += DefaultClause(table, f, type, column, pending.LeftOut);
  }
  return list;
}

std::string GetColumnList(SourceDatabase& source, const std::string& table,
                          const std::vector<ColumnProfile>* profiles) {
  PendingIndex unused;
  return GetColumnList(source, table, unused, profiles);
}

std::string GetKeyClause(SourceDatabase& source, const std::string& table,
                         const std::string& target, PendingIndex& pending,
                         const std::vector<ColumnProfile>* profiles) {
  const auto fields = source.FieldListing(table);
  if (!fields) return "";
  const auto schema = source.Schema(table);
  if (!schema) {
    pending.LeftOut.push_back(table + ": its keys and indexes could not be read from MySQL");
    return "";
  }
  // The types the table is created with: they decide which columns can be key members and how
  // wide a key can grow.
  const bool profiled = profiles != nullptr && profiles->size() == fields->size();
  std::vector<std::string> types;
  for (std::size_t j = 0; j < fields->size(); ++j)
    types.push_back(GetColumnType((*fields)[j], profiled ? (*profiles)[j] : ColumnProfile{}));
  TableKeys keys = BuildTableKeys(table, target, *fields, types, *schema, pending.Names);
  for (auto& s : keys.statements) pending.IndexStatements.push_back(std::move(s));
  for (auto& l : keys.leftOut) pending.LeftOut.push_back(std::move(l));

  for (const auto& key : schema->foreignKeys) pending.ForeignKeys.push_back({table, target, key});
  for (const auto& check : schema->checkConstraints)
    pending.LeftOut.push_back(table + ": CHECK constraint " + check + " was not carried");
  for (const auto& trigger : schema->triggers)
    pending.LeftOut.push_back(table + ": trigger " + trigger + " was not carried");
  if (schema->isView)
    pending.LeftOut.push_back(table + " is a view in MySQL; it arrived as a table of its rows");
  if (schema->autoIncrementAhead)
    pending.LeftOut.push_back(table + ": the AUTO_INCREMENT counter (next value " +
                              std::to_string(*schema->autoIncrementAhead) +
                              ") was not carried; new rows continue after the largest value");
  return keys.keyClause;
}

std::string GetKeyClause(SourceDatabase& source, const std::string& table, PendingIndex& pending) {
  return GetKeyClause(source, table, table, pending);
}

std::string CreateTableStatement(const std::string& table, const std::string& columns,
                                 const std::string& keys) {
  return "CREATE TABLE " + Bracketed(table) + " (" + columns + keys + ");";
}

}  // namespace morvane
