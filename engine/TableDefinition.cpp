#include "engine/TableDefinition.h"

#include <vector>

#include "engine/ColumnDefaults.h"
#include "engine/ColumnType.h"
#include "engine/SqlNames.h"

namespace morvane {

bool RelaxedForZeroDates(const FieldRecord& field, const ColumnProfile& profile) {
  return profile.zeroDates > 0 && field.Has(mysql_flag::NotNull) && !field.Has(mysql_flag::PriKey);
}

std::vector<ColumnPlan> PlanColumns(const std::vector<FieldRecord>& fields,
                                    const std::vector<ColumnProfile>* profiles,
                                    const TableSchema* schema) {
  const bool profiled = profiles != nullptr && profiles->size() == fields.size();
  std::vector<ColumnPlan> columns;
  columns.reserve(fields.size());
  for (std::size_t j = 0; j < fields.size(); ++j) {
    ColumnPlan c;
    c.field = fields[j];
    if (profiled) c.profile = (*profiles)[j];
    if (schema != nullptr) {
      if (const ColumnInfo* info = schema->Column(c.field.org_name)) c.info = *info;
    }
    c.type = GetColumnType(c.field, c.profile, c.info ? &*c.info : nullptr);
    c.nullable = !c.field.Has(mysql_flag::NotNull) || RelaxedForZeroDates(c.field, c.profile);
    columns.push_back(std::move(c));
  }
  return columns;
}

void FinishColumns(const std::string& table, std::vector<ColumnPlan>& columns,
                   std::vector<std::string>& leftOut) {
  for (auto& c : columns)
    c.defaultClause = DefaultClause(table, c.field, c.type, c.info ? &*c.info : nullptr, leftOut);
}

std::string ColumnListOf(const std::vector<ColumnPlan>& columns,
                         std::optional<std::uint64_t> identitySeed) {
  std::string list;
  for (const auto& c : columns) {
    if (!list.empty()) list += ", ";
    list += Bracketed(c.field.org_name) + " " + c.type +
            CollateClause(c.type, c.info ? &*c.info : nullptr);
    if (c.field.Has(mysql_flag::AutoIncrement)) {
      list += identitySeed && *identitySeed != 1
                  ? " IDENTITY(" + std::to_string(*identitySeed) + ", 1)"
                  : std::string(" IDENTITY");
    }
    list += c.nullable ? " NULL" : " NOT NULL";
    list += c.defaultClause;
  }
  return list;
}

std::string GetColumnList(SourceDatabase& source, const std::string& table, PendingIndex& pending,
                          const std::vector<ColumnProfile>* profiles) {
  const auto fields = source.FieldListing(table);
  if (!fields) return "";
  const auto schema = source.Schema(table);
  auto columns = PlanColumns(*fields, profiles, schema ? &*schema : nullptr);
  FinishColumns(table, columns, pending.LeftOut);
  return ColumnListOf(columns);
}

std::string GetColumnList(SourceDatabase& source, const std::string& table,
                          const std::vector<ColumnProfile>* profiles) {
  PendingIndex unused;
  return GetColumnList(source, table, unused, profiles);
}

TableKeys PlanKeys(const std::string& table, const std::string& target,
                   const std::vector<FieldRecord>& fields, const std::vector<std::string>& types,
                   const TableSchema& schema, SchemaNames& names, const KeyChoices& choices) {
  TableKeys keys = BuildTableKeys(table, target, fields, types, schema, names, choices);
  for (const auto& check : schema.checkConstraints)
    keys.leftOut.push_back(table + ": CHECK constraint " + check + " was not carried");
  for (const auto& trigger : schema.triggers)
    keys.leftOut.push_back(table + ": trigger " + trigger + " was not carried");
  if (schema.isView)
    keys.leftOut.push_back(table + " is a view in MySQL; it arrived as a table of its rows");
  if (schema.tableType == "SYSTEM VERSIONED")
    keys.leftOut.push_back(table + " is a system-versioned table in MariaDB; its current rows "
                                   "arrived, its history did not");
  if (schema.tableType == "SEQUENCE")
    keys.leftOut.push_back(table + " is a sequence in MariaDB; it arrived as a table of its one "
                                   "row (its current state), not as a SQL Server sequence");
  return keys;
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
  std::vector<std::string> types;
  for (const auto& c : PlanColumns(*fields, profiles, &*schema)) types.push_back(c.type);
  TableKeys keys = PlanKeys(table, target, *fields, types, *schema, pending.Names);
  for (auto& s : keys.statements) pending.IndexStatements.push_back(std::move(s));
  for (auto& l : keys.leftOut) pending.LeftOut.push_back(std::move(l));
  for (const auto& key : schema->foreignKeys) pending.ForeignKeys.push_back({table, target, key, {}});
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
