#pragma once
// Names on the target database that must not collide: tables and constraints are objects of
// one schema, index names are unique per table, and the database compares names without case.

#include <map>
#include <set>
#include <string>
#include <vector>

namespace morvane {

class SchemaNames {
 public:
  // The target names of the run's tables, in the order given: each table keeps its own name
  // unless an earlier one (or another table's own name) already holds it without regard to
  // case; such a table gets its name followed by "_2", "_3", ... instead.
  std::vector<std::string> ClaimTables(const std::vector<std::string>& tables);

  // Marks a table's name as taken (a table created outside ClaimTables).
  void HoldTable(const std::string& table) { objects_.insert(Folded(table)); }

  // A constraint name on `table` (a target name): `wanted` when free, else prefixed with the
  // table's name, else numbered. Held from then on. A primary key or unique constraint is also
  // an index of the table (`isIndex`) and must not share a name with another; a foreign key is not.
  std::string ClaimConstraint(const std::string& table, const std::string& wanted,
                              bool isIndex = true);

  // An index name on `table`: `wanted` when the table has no index or constraint of that name.
  std::string ClaimIndex(const std::string& table, const std::string& wanted);

 private:
  static std::string Folded(const std::string& name);
  bool ObjectFree(const std::string& name) const;
  bool IndexFree(const std::string& table, const std::string& name) const;

  std::set<std::string> objects_;                       // folded
  std::map<std::string, std::set<std::string>> indexes_;  // folded table -> folded names
};

}  // namespace morvane
