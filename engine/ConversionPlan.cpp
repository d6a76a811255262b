#include "engine/ConversionPlan.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "engine/ColumnType.h"
#include "engine/ColumnDefaults.h"
#include "engine/SqlNames.h"
#include "source/AsciiText.h"

namespace morvane {
namespace {

std::string BaseName(const std::string& type) { return type.substr(0, type.find('(')); }

// The numbers in "TYPE(a)" or "TYPE(a, b)"; `fallback` for a missing one, -1 for MAX.
std::pair<long, long> SizesIn(const std::string& type, long fallback) {
  const auto open = type.find('(');
  if (open == std::string::npos) return {fallback, 0};
  if (type.compare(open + 1, 3, "MAX") == 0) return {-1, 0};
  char* end = nullptr;
  const long a = std::strtol(type.c_str() + open + 1, &end, 10);
  long b = 0;
  if (end != nullptr && *end == ',') b = std::strtol(end + 1, nullptr, 10);
  return {a, b};
}

std::uint32_t TimeBytes(long scale) { return scale <= 2 ? 3u : scale <= 4 ? 4u : 5u; }

// The bytes a column of this type takes in the fixed part of a row (0 for variable-length
// types and BIT, which is counted apart).
std::uint32_t FixedBytes(const std::string& type) {
  const std::string base = BaseName(type);
  const auto [a, b] = SizesIn(type, 1);
  if (base == "TINYINT") return 1;
  if (base == "SMALLINT") return 2;
  if (base == "INT" || base == "REAL" || base == "SMALLDATETIME") return 4;
  if (base == "BIGINT" || base == "DATETIME" || base == "TIMESTAMP") return 8;
  if (base == "FLOAT") return a > 0 && a <= 24 ? 4 : 8;
  if (base == "DECIMAL" || base == "NUMERIC") {
    const long p = type.find('(') == std::string::npos ? 18 : a;
    return p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17;
  }
  if (base == "CHAR" || base == "BINARY") return static_cast<std::uint32_t>(std::max(a, 1L));
  if (base == "NCHAR") return 2 * static_cast<std::uint32_t>(std::max(a, 1L));
  if (base == "DATE") return 3;
  const long scale = type.find('(') == std::string::npos ? 7 : a;
  if (base == "TIME") return TimeBytes(scale);
  if (base == "DATETIME2") return TimeBytes(scale) + 3;
  if (base == "DATETIMEOFFSET") return TimeBytes(scale) + 5;
  (void)b;
  return 0;
}

bool SameName(const std::string& a, const std::string& b) {
  return AsciiLowerText(a) == AsciiLowerText(b);
}

ColumnPlan* ColumnNamed(TablePlan& table, const std::string& name) {
  for (auto& c : table.columns) {
    if (SameName(c.field.org_name, name)) return &c;
  }
  return nullptr;
}

std::string ColumnList(const std::vector<std::string>& columns) {
  std::string list;
  for (const auto& c : columns) list += (list.empty() ? "" : ", ") + c;
  return list;
}

// How a foreign key can reference its columns on SQL Server, which needs a primary key, a
// UNIQUE constraint or an unfiltered unique index on exactly those columns.
enum class Reference {
  Usable,           // the primary key or a unique key without a nullable member
  NeedsUnfiltered,  // a unique key with a nullable member (created as a filtered index)
  NeedsUnique,      // an index that is not unique, or the first columns of a longer one
};
struct ReferenceChoice {
  Reference kind = Reference::NeedsUnique;
  const IndexInfo* index = nullptr;
};

ReferenceChoice ReferenceOf(const ForeignKeyInfo& key, const TableSchema& referenced) {
  auto sameColumns = [&](const IndexInfo& index) {
    if (index.columns.size() != key.referencedColumns.size()) return false;
    return std::all_of(index.columns.begin(), index.columns.end(), [&](const IndexColumn& c) {
      return std::any_of(key.referencedColumns.begin(), key.referencedColumns.end(),
                         [&](const std::string& r) { return SameName(r, c.name); });
    });
  };
  ReferenceChoice found;
  for (const auto& index : referenced.indexes) {
    if (!index.unique || !sameColumns(index)) continue;
    const bool nullable = std::any_of(index.columns.begin(), index.columns.end(),
                                      [](const IndexColumn& c) { return c.nullable; });
    if (index.Primary() || !nullable) return {Reference::Usable, &index};
    if (found.index == nullptr) found = {Reference::NeedsUnfiltered, &index};
  }
  return found;
}

const TableRead* ReadOf(const std::vector<TableRead>& tables, const std::string& table) {
  for (const auto& t : tables) {
    if (t.table == table) return &t;
  }
  return nullptr;
}

void AddItem(TablePlan& t, ReportTopic topic, std::string text) {
  t.items.push_back({topic, t.table, std::move(text)});
}

// The widest NCHAR(n) and BINARY(n) columns become NVARCHAR(n) / VARBINARY(n) until the fixed
// part of a row fits; a table that still does not fit, or has too many columns, is left out.
void FitRow(TablePlan& t, std::vector<std::string>& notes) {
  if (!t.readable || !t.leftOut.empty()) return;
  if (t.columns.size() > MaxTableColumns) {
    t.leftOut = "table " + t.table + " was not created: it has " +
                std::to_string(t.columns.size()) +
                " columns, more than the 1 024 SQL Server allows in a table";
    return;
  }
  while (true) {
    const std::uint32_t bytes = FixedRowBytes(t.Types());
    if (bytes <= MaxRowBytes) return;
    ColumnPlan* widest = nullptr;
    for (auto& c : t.columns) {
      const std::string base = BaseName(c.type);
      if (base != "NCHAR" && base != "BINARY") continue;
      if (widest == nullptr || FixedBytes(c.type) > FixedBytes(widest->type)) widest = &c;
    }
    if (widest == nullptr) {
      t.leftOut = "table " + t.table + " was not created: the fixed part of its rows would take " +
                  std::to_string(bytes) +
                  " bytes, more than the 8 060 SQL Server allows, with every NCHAR and BINARY "
                  "column already of variable length";
      return;
    }
    widest->type = (BaseName(widest->type) == "NCHAR" ? "NVARCHAR" : "VARBINARY") +
                   widest->type.substr(widest->type.find('('));
    notes.push_back(t.table + ", column " + widest->field.org_name + ": created " + widest->type +
                    ": the row's fixed part would exceed SQL Server's 8 060 bytes");
  }
}

std::string CollationOf(const ColumnPlan& c) {
  return CollateClause(c.type, c.info ? &*c.info : nullptr);
}

}  // namespace

std::uint32_t FixedRowBytes(const std::vector<std::string>& types) {
  std::uint32_t fixed = 0, bits = 0;
  for (const auto& type : types) {
    if (type == "BIT") ++bits;
    else fixed += FixedBytes(type);
  }
  const auto columns = static_cast<std::uint32_t>(types.size());
  return fixed + (bits + 7) / 8 + 4 + 2 + (columns + 7) / 8;
}

bool TypeHolds(const std::string& wide, const std::string& narrow) {
  if (wide == narrow) return true;
  const std::string w = BaseName(wide), n = BaseName(narrow);
  auto units = [](const std::string& type) {
    const long long size = SizesIn(type, 1).first;  // (MAX): larger than any width
    return size < 0 ? 1LL << 40 : size;
  };
  auto among = [](const std::string& base, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* x) { return base == x; });
  };
  if (among(w, {"NCHAR", "NVARCHAR"}) && among(n, {"NCHAR", "NVARCHAR"}))
    return units(wide) >= units(narrow);
  if (among(w, {"BINARY", "VARBINARY"}) && among(n, {"BINARY", "VARBINARY"}))
    return units(wide) >= units(narrow);
  if (w == n && among(w, {"DATETIME2", "TIME"})) return units(wide) >= units(narrow);
  // Whole and decimal numbers: the digits before the point, the digits after it, and whether
  // negative values exist; TINYINT is 0 to 255.
  struct Range {
    long integer = -1, fraction = 0;
    bool negative = true;
  };
  auto range = [](const std::string& type, const std::string& base) {
    if (base == "TINYINT") return Range{3, 0, false};
    if (base == "SMALLINT") return Range{5, 0, true};
    if (base == "INT") return Range{10, 0, true};
    if (base == "BIGINT") return Range{19, 0, true};
    if (base == "DECIMAL") {
      const auto [p, s] = SizesIn(type, 18);
      return Range{p - s, s, true};
    }
    return Range{};
  };
  const Range rw = range(wide, w), rn = range(narrow, n);
  if (rw.integer < 0 || rn.integer < 0) return false;
  if (rn.negative && !rw.negative) return false;
  if (rw.fraction < rn.fraction) return false;
  // A decimal holds an integer type with as many digits; an integer type holds a decimal of
  // fewer digits (BIGINT's 19 digits hold every DECIMAL(18, 0), not every DECIMAL(19, 0)).
  const bool wideInteger = w != "DECIMAL", narrowInteger = n != "DECIMAL";
  if (wideInteger && narrowInteger) return rw.integer > rn.integer || (rw.integer == rn.integer && w == n);
  if (wideInteger) return rw.integer > rn.integer;
  return rw.integer >= rn.integer;
}

std::string ReseedStatement(const std::string& target, std::uint64_t value) {
  return "DBCC CHECKIDENT (" + Quoted(Bracketed(target)) + ", RESEED, " + std::to_string(value) +
         ");";
}

std::vector<FieldRecord> TablePlan::Fields() const {
  std::vector<FieldRecord> fields;
  for (const auto& c : columns) fields.push_back(c.field);
  return fields;
}

std::vector<std::string> TablePlan::Types() const {
  std::vector<std::string> types;
  for (const auto& c : columns) types.push_back(c.type);
  return types;
}

const TablePlan* ConversionPlan::Find(const std::string& table) const {
  for (const auto& t : tables) {
    if (t.table == table) return &t;
  }
  return nullptr;
}

std::vector<UniqueQuestion> UniqueQuestions(const std::vector<TableRead>& tables) {
  std::vector<UniqueQuestion> questions;
  for (const auto& t : tables) {
    if (!t.schema) continue;
    for (const auto& key : t.schema->foreignKeys) {
      const TableRead* referenced = ReadOf(tables, key.referencedTable);
      if (!key.sameDatabase || referenced == nullptr || !referenced->schema) continue;
      if (ReferenceOf(key, *referenced->schema).kind == Reference::Usable) continue;
      UniqueQuestion q{key.referencedTable, key.referencedColumns};
      if (std::find(questions.begin(), questions.end(), q) == questions.end())
        questions.push_back(std::move(q));
    }
  }
  return questions;
}

ConversionPlan PlanConversion(const SourceRead& read, SchemaNames& names) {
  ConversionPlan plan;
  std::vector<std::string> tableNames;
  for (const auto& r : read.tables) tableNames.push_back(r.table);
  const std::vector<std::string> targets = names.ClaimTables(tableNames);

  // Each column's type from what was read of its own table.
  std::map<std::string, std::vector<std::string>> notes;  // column changes, by table
  for (std::size_t i = 0; i < read.tables.size(); ++i) {
    const TableRead& r = read.tables[i];
    TablePlan t;
    t.table = r.table;
    t.target = targets[i];
    t.readable = r.fields.has_value() && r.profiles.has_value() && !r.fields->empty();
    t.sourceRows = r.rowCount;
    if (t.readable) t.columns = PlanColumns(*r.fields, &*r.profiles, r.schema ? &*r.schema : nullptr);
    plan.tables.push_back(std::move(t));
  }
  auto planOf = [&](const std::string& table) -> TablePlan* {
    for (auto& t : plan.tables) {
      if (t.table == table) return &t;
    }
    return nullptr;
  };
  auto created = [](const TablePlan* t) { return t != nullptr && t->readable && t->leftOut.empty(); };

  for (auto& t : plan.tables) FitRow(t, notes[t.table]);

  // A foreign key's columns take the referenced columns' types where those hold every value:
  // SQL Server requires the same type, length, scale and collation (1753, 1778, 1757). A chain
  // of keys takes a few rounds.
  std::map<std::pair<std::string, std::string>, std::string> keyWhyNot;  // (table, key)
  for (int round = 0; round < 4; ++round) {
    bool changed = false;
    for (std::size_t i = 0; i < read.tables.size(); ++i) {
      TablePlan& t = plan.tables[i];
      const TableRead& r = read.tables[i];
      if (!created(&t) || !r.schema) continue;
      for (const auto& key : r.schema->foreignKeys) {
        TablePlan* referenced = planOf(key.referencedTable);
        if (!key.sameDatabase || !created(referenced)) continue;
        for (std::size_t k = 0; k < key.columns.size() && k < key.referencedColumns.size(); ++k) {
          ColumnPlan* c = ColumnNamed(t, key.columns[k]);
          const ColumnPlan* rc = ColumnNamed(*referenced, key.referencedColumns[k]);
          if (c == nullptr || rc == nullptr || c == rc) continue;
          if (c->type == rc->type && CollationOf(*c) == CollationOf(*rc)) continue;
          if (!TypeHolds(rc->type, c->type)) {
            keyWhyNot[{t.table, key.name}] =
                "its column " + c->field.org_name + " is " + c->type + " and the column " +
                rc->field.org_name + " it references in table " + referenced->table + " is " +
                rc->type + ", which does not hold every value of the former; SQL Server requires "
                "both to have the same type";
            continue;
          }
          const std::string was = c->type + CollationOf(*c);
          c->type = rc->type;
          if (c->info && rc->info) c->info->collation = rc->info->collation;
          notes[t.table].push_back(t.table + ", column " + c->field.org_name + ": created " +
                                   c->type + CollationOf(*c) + " instead of " + was +
                                   ", the type of column " + rc->field.org_name + " of table " +
                                   referenced->table + " that foreign key " + key.name +
                                   " references (SQL Server requires the same type)");
          changed = true;
        }
      }
    }
    if (!changed) break;
  }
  for (auto& t : plan.tables) FitRow(t, notes[t.table]);

  // Foreign keys that reference what SQL Server cannot reference as MySQL defines it.
  std::map<std::string, KeyChoices> choices;
  std::vector<PendingForeignKey> keys;
  for (std::size_t i = 0; i < read.tables.size(); ++i) {
    TablePlan& t = plan.tables[i];
    const TableRead& r = read.tables[i];
    if (!t.readable || !r.schema) continue;
    for (const auto& key : r.schema->foreignKeys) {
      PendingForeignKey pending{t.table, t.target, key, {}};
      TablePlan* referenced = planOf(key.referencedTable);
      const TableRead* referencedRead = ReadOf(read.tables, key.referencedTable);
      const std::string what = "foreign key " + key.name + " of table " + t.table;
      const std::string columns = ColumnList(key.referencedColumns);
      if (!t.leftOut.empty()) {
        pending.whyNot = "its table " + t.table + " was not created";
      } else if (const auto it = keyWhyNot.find({t.table, key.name}); it != keyWhyNot.end()) {
        pending.whyNot = it->second;
      } else if (key.sameDatabase && referenced != nullptr && !created(referenced)) {
        pending.whyNot = "its table " + key.referencedTable + " was not created";
      } else if (key.sameDatabase && created(referenced) && referencedRead->schema) {
        const ReferenceChoice choice = ReferenceOf(key, *referencedRead->schema);
        const auto answer = read.uniqueValues.find({key.referencedTable, key.referencedColumns});
        const bool unique = answer != read.uniqueValues.end() && answer->second;
        KeyChoices& made = choices[key.referencedTable];
        if (choice.kind == Reference::NeedsUnfiltered) {
          if (!unique) {
            pending.whyNot = "it references unique key " + choice.index->name + " of table " +
                             referenced->table + ", which holds more than one row with NULL in (" +
                             columns + "); SQL Server can reference only a key that admits at "
                             "most one";
          } else if (std::find(made.unfiltered.begin(), made.unfiltered.end(),
                               choice.index->name) == made.unfiltered.end()) {
            made.unfiltered.push_back(choice.index->name);
            AddItem(*referenced, ReportTopic::SchemaLeftOut,
                    referenced->table + ": unique key " + choice.index->name +
                        " was created as a UNIQUE constraint so that " + what +
                        " can reference it: it admits only one row with NULL in (" + columns +
                        "), where MySQL admits any number");
          }
        } else if (choice.kind == Reference::NeedsUnique) {
          if (!unique) {
            pending.whyNot = "the columns (" + columns + ") it references in table " +
                             referenced->table + " are not a primary or unique key and hold " +
                             "equal values in more than one row; SQL Server can reference only "
                             "a primary key or a unique key";
          } else {
            const bool already = std::any_of(made.added.begin(), made.added.end(), [&](const auto& a) {
              return a.columns == key.referencedColumns;
            });
            if (!already) {
              made.added.push_back({key.referencedColumns, what});
              AddItem(*referenced, ReportTopic::SchemaLeftOut,
                      referenced->table + ": a UNIQUE constraint on (" + columns +
                          ") was added so that " + what +
                          " can reference it (MySQL lets a foreign key reference columns that "
                          "are only indexed); it admits only one row with NULL");
            }
          }
        }
      }
      keys.push_back(std::move(pending));
    }
  }

  // Each table's statements, with the names its keys and indexes take in order.
  std::map<std::string, std::string> converted;
  for (std::size_t i = 0; i < read.tables.size(); ++i) {
    TablePlan& t = plan.tables[i];
    const TableRead& r = read.tables[i];
    if (t.target != t.table)
      AddItem(t, ReportTopic::TableRenamed, names.TableRenamedText(t.table, t.target));
    if (!t.readable) continue;
    if (!t.leftOut.empty()) {
      AddItem(t, ReportTopic::SchemaLeftOut, t.leftOut);
      continue;
    }
    converted[t.table] = t.target;
    std::vector<std::string> leftOut;
    FinishColumns(t.table, t.columns, leftOut);
    if (r.schema) {
      TableKeys built = PlanKeys(t.table, t.target, *r.fields, t.Types(), *r.schema, names,
                                 choices[t.table]);
      t.keyClause = built.keyClause;
      t.indexStatements = std::move(built.statements);
      for (auto& l : built.leftOut) leftOut.push_back(std::move(l));
      const bool identity = std::any_of(t.columns.begin(), t.columns.end(), [](const auto& c) {
        return c.field.Has(mysql_flag::AutoIncrement);
      });
      if (identity && r.schema->autoIncrement) {
        // An empty table starts its identity at the counter; one with rows is set to it after
        // them.
        if (t.sourceRows && *t.sourceRows == 0) t.identitySeed = *r.schema->autoIncrement;
        else t.nextIdentity = *r.schema->autoIncrement;
      }
    } else {
      names.HoldTable(t.target);
      leftOut.push_back(t.table + ": its keys and indexes could not be read from MySQL");
    }
    // What the report items already name keeps its place before what FitRow or the foreign
    // keys changed.
    std::vector<ReportItem> earlier = std::move(t.items);
    t.items.clear();
    for (auto& l : leftOut) AddItem(t, ReportTopic::SchemaLeftOut, std::move(l));
    for (auto& item : earlier) t.items.push_back(std::move(item));
    for (const auto& c : t.columns) {
      const std::string column = t.table + ", column " + c.field.org_name + ": ";
      if (RelaxedForZeroDates(c.field, c.profile)) {
        AddItem(t, ReportTopic::ColumnChanged,
                column + "created NULL although NOT NULL in MySQL; its " +
                    std::to_string(c.profile.zeroDates) +
                    " zero or partial date(s) arrive as NULL");
      }
      if (c.field.type == mysql_type::Time && c.profile.timeBeyondDay) {
        AddItem(t, ReportTopic::ColumnChanged,
                column + "TIME values beyond one day; created " + c.type +
                    ", each value the moment that far from 1900-01-01 00:00:00 "
                    "(25:00:00 is 1900-01-02 01:00:00, -01:00:00 is 1899-12-31 23:00:00)");
      }
      if (c.field.type == mysql_type::Timestamp && c.profile.repeatedWallTimes > 0) {
        AddItem(t, ReportTopic::ColumnChanged,
                column + "created " + c.type + ": " +
                    std::to_string(c.profile.repeatedWallTimes) +
                    " value(s) whose wall time in MySQL's session time zone names another instant "
                    "too (the repeated hour of a daylight-saving change); each value keeps its "
                    "wall time with its offset from UTC at that instant");
      }
      if (c.field.type == mysql_type::Geometry) {
        AddItem(t, ReportTopic::ColumnChanged,
                column + "GEOMETRY created VARBINARY(MAX), holding MySQL's own bytes "
                         "(a 4-byte SRID, then the WKB)");
      }
      if (DecimalAsText(c.field, c.profile)) {
        AddItem(t, ReportTopic::ColumnChanged,
                column + "its values need " +
                    std::to_string(c.profile.integerDigits + c.profile.fractionDigits) +
                    " digits, more than the 38 of SQL Server's DECIMAL; created " + c.type +
                    ", each value its exact decimal text");
      }
    }
    for (auto& note : notes[t.table]) AddItem(t, ReportTopic::ColumnChanged, std::move(note));
    t.columnList = ColumnListOf(t.columns, t.identitySeed);
    t.createStatement = CreateTableStatement(t.target, t.columnList, t.keyClause);
  }
  plan.foreignKeys = ForeignKeyStatements(keys, converted, names);
  return plan;
}

}  // namespace morvane
