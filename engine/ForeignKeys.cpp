#include "engine/ForeignKeys.h"

#include "engine/CascadeActions.h"
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
  // The keys carried, by their tables' names on SQL Server, for the decision on their actions.
  std::vector<CascadeKey> cascading;
  std::vector<std::size_t> carried;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const PendingForeignKey& pending = keys[i];
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
      cascading.push_back({pending.target, key.name, referenced->second, key.onDelete,
                           key.onUpdate});
      carried.push_back(i);
    }
    statements.push_back(std::move(out));
  }
  const std::vector<CascadeDecision> decisions = DecideCascadeActions(cascading);
  for (std::size_t k = 0; k < carried.size(); ++k) {
    const PendingForeignKey& pending = keys[carried[k]];
    const ForeignKeyInfo& key = pending.key;
    const CascadeDecision& decision = decisions[k];
    ForeignKeyStatement& out = statements[carried[k]];
    const std::string name = names.ClaimConstraint(pending.target, key.name, false);
    const std::string head = "ALTER TABLE " + Bracketed(pending.target) + " ADD CONSTRAINT " +
                             Bracketed(name) + " FOREIGN KEY (" + ColumnList(key.columns) +
                             ") REFERENCES " + Bracketed(cascading[k].referencedTable) + " (" +
                             ColumnList(key.referencedColumns) + ")";
    out.statement = head + " ON DELETE " + decision.onDelete + " ON UPDATE " +
                    decision.onUpdate + ";";
    for (const auto& [action, rule] : {std::pair{"ON DELETE ", &decision.onDelete},
                                       std::pair{"ON UPDATE ", &decision.onUpdate}}) {
      if (*rule == "NO ACTION") continue;
      if (!out.actions.empty()) out.actions += " and ";
      out.actions += action + *rule;
    }
    if (!out.actions.empty())
      out.noActionStatement = head + " ON DELETE NO ACTION ON UPDATE NO ACTION;";
    out.lostActions = decision.lost;
  }
  return statements;
}

}  // namespace morvane
