#include "engine/ForeignKeys.h"

#include "engine/SqlNames.h"

namespace morvane {
namespace {

std::string ColumnList(const std::vector<std::string>& columns) {
  std::string list;
  for (const auto& c : columns) {
    if (!list.empty()) list += ",";
    list += Bracketed(c);
  }
  return list;
}

}  // namespace

std::string ForeignKeyRule(const std::string& mysqlRule) {
  if (mysqlRule == "CASCADE" || mysqlRule == "SET NULL" || mysqlRule == "SET DEFAULT")
    return mysqlRule;
  return "NO ACTION";
}

std::vector<ForeignKeyStatement> ForeignKeyStatements(
    const std::vector<PendingForeignKey>& keys, const std::map<std::string, std::string>& converted,
    SchemaNames& names) {
  std::vector<ForeignKeyStatement> statements;
  for (const auto& pending : keys) {
    const ForeignKeyInfo& key = pending.key;
    ForeignKeyStatement out;
    out.what = "foreign key " + key.name + " of table " + pending.table;
    const auto referenced = converted.find(key.referencedTable);
    if (!pending.whyNot.empty()) {
      out.whyNot = pending.whyNot;
    } else if (!key.sameDatabase) {
      out.whyNot = "it references table " + key.referencedTable + " of database " +
                   key.referencedSchema;
    } else if (referenced == converted.end()) {
      out.whyNot = "its table " + key.referencedTable + " was not converted in this run";
    } else {
      const std::string name = names.ClaimConstraint(pending.target, key.name, false);
      out.statement = "ALTER TABLE " + Bracketed(pending.target) + " ADD CONSTRAINT " +
                      Bracketed(name) + " FOREIGN KEY (" + ColumnList(key.columns) +
                      ") REFERENCES " + Bracketed(referenced->second) + " (" +
                      ColumnList(key.referencedColumns) + ") ON DELETE " +
                      ForeignKeyRule(key.onDelete) + " ON UPDATE " + ForeignKeyRule(key.onUpdate) +
                      ";";
    }
    statements.push_back(std::move(out));
  }
  return statements;
}

}  // namespace morvane
