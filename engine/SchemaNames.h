#pragma once
// Names on the target database that must not collide: tables and constraints are objects of
// one schema, index names are unique per table, and the database (collation
// Latin1_General_100_CI_AS_SC) compares names as that collation compares texts: regardless of
// letter case in every script, of character width and of kana (see NameKey).

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// The key under which the target database compares a name: two names are one name to it when
// their keys are equal. Folded:
// - letter case, in every script that has it: Latin (Latin-1 Supplement, Extended-A to -E and
//   Additional), Greek (final ς as σ, the symbol forms ϐ ϑ ϕ ϖ ϰ ϱ ϵ as their letters, Greek
//   Extended), Cyrillic, Armenian, Georgian, Cherokee, Glagolitic, Coptic, the circled letters
//   and Roman numerals, and beyond the BMP Deseret, Osage, Old Hungarian, Adlam and the like;
//   each character becomes the lower case of its upper case (Unicode's simple mappings), so
//   ſ is s, K (Kelvin) is k, µ (micro) is μ, and İ and ı are i;
// - width: the full-width forms U+FF01..U+FF5E are their ASCII characters, U+3000 a blank;
// - kana: katakana U+30A1..U+30F6 are their hiragana;
// - ß and ẞ are "ss";
// - trailing blanks and U+0000 do not count.
// Accents count (_AS). Other expansions (æ, œ) and canonically equivalent sequences (é as e
// and a combining accent) are not folded. Characters beyond the BMP stay themselves (_SC).
std::u32string NameKey(std::string_view utf8);

// A name the run gave an object other than its own, for the report.
struct RenamedObject {
  std::string table;  // the target table it belongs to (the table's own, for a table)
  std::string text;   // one line naming the object, its new name and why
};

class SchemaNames {
 public:
  // The target names of the run's tables, in the order given: each table keeps its own name
  // unless an earlier one (or another table's own name) already holds it as the database
  // compares names; such a table gets its name followed by "_2", "_3", ... instead.
  std::vector<std::string> ClaimTables(const std::vector<std::string>& tables);

  // Marks a table's name as taken (a table created outside ClaimTables).
  void HoldTable(const std::string& table) { objects_.emplace(NameKey(table), "table " + table); }

  // A constraint name on `table` (a target name): `wanted` when free, else prefixed with the
  // table's name, else numbered. Held from then on. A primary key or unique constraint is also
  // an index of the table (`isIndex`) and must not share a name with another; a foreign key is not.
  std::string ClaimConstraint(const std::string& table, const std::string& wanted,
                              bool isIndex = true);

  // An index name on `table`: `wanted` when the table has no index or constraint of that name.
  std::string ClaimIndex(const std::string& table, const std::string& wanted);

  // The line that names a table created under another name (from ClaimTables).
  std::string TableRenamedText(const std::string& table, const std::string& target) const;

  // The constraints and indexes given another name since the last call, in order.
  std::vector<RenamedObject> TakeRenamed();

 private:
  bool ObjectFree(const std::string& name) const;
  bool IndexFree(const std::string& table, const std::string& name) const;
  // What holds a name already ("table Users", "constraint uq of table t"), for the report:
  // in the schema (schemaWide) or else among the indexes of `table`.
  std::string Holder(const std::string& table, const std::string& name, bool schemaWide) const;

  std::map<std::u32string, std::string> objects_;  // key -> what holds it
  std::map<std::u32string, std::map<std::u32string, std::string>> indexes_;  // table key -> key -> name
  std::map<std::string, std::string> renamedTables_;                 // table -> whose name it is
  std::vector<RenamedObject> renamed_;
};

}  // namespace morvane
