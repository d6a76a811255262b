// FOREIGN KEY and DEFAULT constraints: ALTER TABLE ... ADD CONSTRAINT, the checks of new rows
// against their parents, and DELETE with the referential actions.

#include <algorithm>
#include <cstdio>
#include <functional>

#include "tests/sqlserver/server/Session.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {
namespace {

SqlError Err(int number, std::string text) { return SqlError(number, 16, std::move(text)); }

// The rows of a table that a WHERE of `column = / <> constant` and `IS [NOT] NULL` selects.
std::vector<bool> Selected(const Table& t, const std::vector<Condition>& where,
                           const std::function<Value(const Literal&, const ColumnType&)>& convert,
                           const std::function<Literal(const Expression&)>& evaluate) {
  struct Filter {
    std::size_t column;
    std::string op;
    Value value;
  };
  std::vector<Filter> filters;
  for (const auto& c : where) {
    const Expression* column = &c.left;
    const Expression* constant = &c.right;
    if (column->kind != Expression::Kind::Column) std::swap(column, constant);
    if (column->kind != Expression::Kind::Column) throw NotModelled("WHERE without a column");
    auto at = t.ColumnIndex(column->name);
    if (!at) throw SqlError(207, 16, "Invalid column name '" + column->name + "'.", ErrorScope::Batch);
    if (c.op.starts_with("IS")) {
      filters.push_back({*at, c.op, Value{}});
      continue;
    }
    if (constant->kind == Expression::Kind::Column) throw NotModelled("comparing two columns");
    filters.push_back({*at, c.op, convert(evaluate(*constant), t.columns[*at].type)});
  }
  std::vector<bool> out;
  for (const Row& row : t.rows) {
    bool keep = true;
    for (const auto& f : filters) {
      const Value& v = row[f.column];
      const std::string& collation = t.columns[f.column].type.collation;
      if (f.op == "IS NULL") keep = keep && IsNull(v);
      else if (f.op == "IS NOT NULL") keep = keep && !IsNull(v);
      else if (IsNull(v) || IsNull(f.value)) keep = false;
      else if (f.op == "=") keep = keep && CompareValues(v, f.value, collation) == 0;
      else keep = keep && CompareValues(v, f.value, collation) != 0;
    }
    out.push_back(keep);
  }
  return out;
}

// The key of a row's foreign key columns in the referenced index, or nullopt when one is NULL
// (such a row is not checked).
std::optional<std::string> ChildKey(const Table& child, const ForeignKey& fk, const Row& row,
                                    const Table& parent) {
  std::string key;
  for (std::size_t i = 0; i < fk.columns.size(); ++i) {
    const Value& v = row[fk.columns[i]];
    if (IsNull(v)) return std::nullopt;
    std::string part = KeyOf(v, parent.columns[fk.referencedColumns[i]].type.collation);
    key += std::to_string(part.size()) + ":" + part;
  }
  (void)child;
  return key;
}

// The referenced index's key of a parent row, in the foreign key's column order.
std::string ParentKey(const Table& parent, const ForeignKey& fk, const Row& row) {
  std::string key;
  for (std::size_t c : fk.referencedColumns) {
    std::string part = KeyOf(row[c], parent.columns[c].type.collation);
    key += std::to_string(part.size()) + ":" + part;
  }
  return key;
}

std::string ColumnPart(const Table& t, const std::vector<std::size_t>& columns) {
  return columns.size() == 1 ? ", column '" + t.columns[columns[0]].name + "'" : std::string();
}

// Whether the cascading foreign keys of a database (with `added`) let some table be reached
// twice from one table, or from itself (error 1785).
bool MultiplePaths(const Database& db, const ForeignKey& added, const std::string& addedTable, bool onDelete) {
  struct Edge {
    std::string from, to;
  };
  std::vector<Edge> edges;
  auto cascading = [&](const ForeignKey& fk) {
    return (onDelete ? fk.onDelete : fk.onUpdate) != "NO_ACTION";
  };
  for (const auto& [name, t] : db.tables) {
    for (const auto& fk : t.foreignKeys) {
      if (cascading(fk)) edges.push_back({fk.referencedTable, t.name});
    }
  }
  if (!cascading(added)) return false;
  edges.push_back({added.referencedTable, addedTable});
  const std::string& collation = db.collation;
  for (const auto& [start, t] : db.tables) {
    std::vector<std::string> reached;
    std::function<bool(const std::string&, int)> walk = [&](const std::string& from, int depth) {
      if (depth > 64) return true;
      for (const auto& e : edges) {
        if (!NamesEqual(e.from, from, collation)) continue;
        for (const auto& r : reached) {
          if (NamesEqual(r, e.to, collation)) return true;
        }
        if (NamesEqual(e.to, t.name, collation)) return true;  // a cycle
        reached.push_back(e.to);
        if (walk(e.to, depth + 1)) return true;
      }
      return false;
    };
    if (walk(t.name, 0)) return true;
  }
  return false;
}

}  // namespace

DefaultConstraint Session::MakeDefault(Database& db, const Table& t, const Column& c, const std::string& name,
                                       const Expression& value) {
  if (c.identity) {
    throw Err(1754, "Defaults cannot be created on columns with an identity property. Table '" + t.name +
                        "', column '" + c.name + "'.");
  }
  if (c.type.kind == Kind::Timestamp) {
    throw Err(1755, "Defaults cannot be created on columns of data type timestamp. Table '" + t.name +
                        "', column '" + c.name + "'.");
  }
  DefaultConstraint d;
  d.objectId = catalogue_.nextObjectId;
  catalogue_.nextObjectId += 16007;
  d.name = name.empty() ? GeneratedName("DF", t.name, c.name, d.objectId) : name;
  d.value = value;
  // "DEFAULT": only constants, constant expressions and functions; no column names.
  ForEachColumn(value, [](const std::string& column) {
    throw SqlError(128, 15,
                   "The name \"" + column + "\" is not permitted in this context. Valid expressions are "
                   "constants, constant expressions, and (in some contexts) variables. Column names are not "
                   "permitted.",
                   ErrorScope::Batch);
  });
  CheckFunctions(value, ExpressionScope());
  d.definition = "(" + DefinitionText(value) + ")";
  if (db.objectNames.count(d.name)) {
    throw Err(2714, "There is already an object named '" + d.name + "' in the database.");
  }
  return d;
}

Value Session::DefaultOf(const Column& c, const std::string& qualifiedTable) {
  if (!c.defaultConstraint) return Value{};
  const ConversionTarget target{qualifiedTable, c.name};
  return ConvertLiteral(Evaluate(c.defaultConstraint->value), c.type, options_.dates, Purpose::Store, &target);
}

void Session::CheckParents(Database& db, const Table& t, const std::vector<Row>& newRows, const char* statement) {
  for (const auto& fk : t.foreignKeys) {
    auto it = db.tables.find(fk.referencedTable);
    if (it == db.tables.end()) continue;
    const Table& parent = it->second;
    std::set<std::string> keys;
    for (const Row& row : parent.rows) keys.insert(ParentKey(parent, fk, row));
    if (&parent == &t) {
      for (const Row& row : newRows) keys.insert(ParentKey(parent, fk, row));  // the statement's own rows
    }
    for (const Row& row : newRows) {
      auto key = ChildKey(t, fk, row, parent);
      if (!key || keys.count(*key)) continue;
      throw SqlError(547, 16,
                     std::string("The ") + statement + " statement conflicted with the FOREIGN KEY constraint \"" +
                         fk.name + "\". The conflict occurred in database \"" + db.name + "\", table \"dbo." +
                         parent.name + "\"" + ColumnPart(parent, fk.referencedColumns) + ".");
    }
  }
}

Session::Outcome Session::Alter(const AlterTable& s) {
  std::lock_guard lock(catalogue_.mutex);
  Database* db = nullptr;
  Table* t = FindTable(s.table, &db);
  if (!t) {
    throw SqlError(4902, 16, "Cannot find the object \"" + s.table.written +
                                 "\" because it does not exist or you do not have permissions.");
  }
  if (s.key) return AddKey(*db, *t, *s.key);
  if (s.check) return AddCheck(*db, *t, *s.check, s.noCheck);
  if (s.defaultValue) {
    auto at = t->ColumnIndex(s.defaultColumn);
    if (!at) throw Err(1911, "Column name '" + s.defaultColumn + "' does not exist in the target table or view.");
    Column& c = t->columns[*at];
    if (c.defaultConstraint) throw Err(1781, "Column already has a DEFAULT bound to it.");
    c.defaultConstraint = MakeDefault(*db, *t, c, s.defaultName, *s.defaultValue);
    db->objectNames.insert(c.defaultConstraint->name);
    return {};
  }
  const ForeignKeyDefinition& d = *s.foreignKey;
  ForeignKey fk;
  fk.objectId = catalogue_.nextObjectId;
  catalogue_.nextObjectId += 16007;
  fk.name = d.name.empty() ? GeneratedName("FK", t->name, d.referenced.name, fk.objectId) : d.name;
  fk.onDelete = d.onDelete;
  fk.onUpdate = d.onUpdate;
  fk.notTrusted = s.noCheck;
  if (db->objectNames.count(fk.name)) {
    throw Err(2714, "There is already an object named '" + fk.name + "' in the database.");
  }
  if (!d.referenced.database.empty() && !NamesEqual(d.referenced.database, db->name, db->collation)) {
    throw Err(1763, "Cross-database foreign key references are not supported. Foreign key '" + d.referenced.written + "'.");
  }
  Table* parent = FindTable(d.referenced);
  if (!parent) throw Err(1767, "Foreign key '" + fk.name + "' references invalid table '" + d.referenced.written + "'.");
  for (const auto& name : d.columns) {
    auto at = t->ColumnIndex(name);
    if (!at) {
      throw Err(1769, "Foreign key '" + fk.name + "' references invalid column '" + name +
                          "' in referencing table '" + t->name + "'.");
    }
    fk.columns.push_back(*at);
  }
  for (const auto& name : d.referencedColumns) {
    auto at = parent->ColumnIndex(name);
    if (!at) {
      throw Err(1770, "Foreign key '" + fk.name + "' references invalid column '" + name +
                          "' in referenced table '" + parent->name + "'.");
    }
    fk.referencedColumns.push_back(*at);
  }
  if (fk.columns.size() != fk.referencedColumns.size()) {
    throw Err(8139, "Number of referencing columns in foreign key differs from number of referenced columns, table '" +
                        t->name + "'.");
  }
  // The referenced columns must be those of a PRIMARY KEY, UNIQUE constraint or unfiltered
  // unique index, in any order.
  std::vector<std::size_t> wanted = fk.referencedColumns;
  std::sort(wanted.begin(), wanted.end());
  for (const auto& index : parent->indexes) {
    std::vector<std::size_t> have = index.columns;
    std::sort(have.begin(), have.end());
    if (index.unique && index.filterNotNull.empty() && have == wanted) {
      fk.keyIndexId = index.indexId;
      break;
    }
  }
  if (fk.keyIndexId == 0) {
    throw Err(1776, "There are no primary or candidate keys in the referenced table '" + parent->name +
                        "' that match the referencing column list in the foreign key '" + fk.name + "'.");
  }
  for (std::size_t i = 0; i < fk.columns.size(); ++i) {
    const Column& c = t->columns[fk.columns[i]];
    const Column& p = parent->columns[fk.referencedColumns[i]];
    const std::string pair = "Column '" + parent->name + "." + p.name + "' is not ";
    const std::string referencing = " referencing column '" + t->name + "." + c.name + "' in foreign key '" + fk.name + "'.";
    if (c.type.kind != p.type.kind) throw Err(1778, pair + "the same data type as" + referencing);
    if (c.type.length != p.type.length || c.type.max != p.type.max || c.type.precision != p.type.precision ||
        c.type.scale != p.type.scale) {
      throw Err(1753, pair + "the same length or scale as" + referencing +
                          " Columns participating in a foreign key relationship must be defined with the same length and scale.");
    }
    if (!NamesEqual(c.type.collation, p.type.collation, kDefaultCollation)) {
      throw Err(1757, pair + "of same collation as" + referencing);
    }
    if ((fk.onDelete == "SET_NULL" || fk.onUpdate == "SET_NULL") && !c.nullable) {
      throw Err(1761, "Cannot create the foreign key \"" + fk.name +
                          "\" with the SET NULL referential action, because one or more referencing columns are not nullable.");
    }
    if ((fk.onDelete == "SET_DEFAULT" || fk.onUpdate == "SET_DEFAULT") && !c.nullable && !c.defaultConstraint) {
      throw Err(1762, "Cannot create the foreign key \"" + fk.name +
                          "\" with the SET DEFAULT referential action, because one or more referencing not-nullable "
                          "columns lack a default constraint.");
    }
  }
  fk.referencedTable = parent->name;
  if (MultiplePaths(*db, fk, t->name, true) || MultiplePaths(*db, fk, t->name, false)) {
    throw Err(1785, "Introducing FOREIGN KEY constraint '" + fk.name + "' on table '" + t->name +
                        "' may cause cycles or multiple cascade paths. Specify ON DELETE NO ACTION or ON UPDATE NO "
                        "ACTION, or modify other FOREIGN KEY constraints.");
  }
  if (!s.noCheck) {
    std::set<std::string> keys;
    for (const Row& row : parent->rows) keys.insert(ParentKey(*parent, fk, row));
    for (const Row& row : t->rows) {
      auto key = ChildKey(*t, fk, row, *parent);
      if (!key || keys.count(*key)) continue;
      throw Err(547, "The ALTER TABLE statement conflicted with the FOREIGN KEY constraint \"" + fk.name +
                         "\". The conflict occurred in database \"" + db->name + "\", table \"dbo." + parent->name +
                         "\"" + ColumnPart(*parent, fk.referencedColumns) + ".");
    }
  }
  db->objectNames.insert(fk.name);
  t->foreignKeys.push_back(std::move(fk));
  return {};
}

Session::Outcome Session::DeleteRows(const Delete& s) {
  std::lock_guard lock(catalogue_.mutex);
  Database* db = nullptr;
  Table* t = FindTable(s.table, &db);
  if (!t) throw SqlError(208, 16, "Invalid object name '" + s.table.written + "'.", ErrorScope::Batch);
  auto convert = [&](const Literal& l, const ColumnType& type) {
    return ConvertLiteral(l, type, options_.dates, Purpose::Compare);
  };
  auto evaluate = [&](const Expression& e) { return Evaluate(e); };
  std::vector<bool> selected = Selected(*t, s.where, convert, evaluate);
  const std::uint64_t count = static_cast<std::uint64_t>(std::count(selected.begin(), selected.end(), true));

  // The referential actions run on copies; nothing changes unless every one succeeds.
  std::map<std::string, std::vector<Row>, NameLess> rows{NameLess{db->collation}};
  for (const auto& [name, table] : db->tables) rows.emplace(name, table.rows);
  std::function<void(const Table&, const std::vector<Row>&, int)> removed = [&](const Table& parent,
                                                                                const std::vector<Row>& gone,
                                                                                int depth) {
    if (gone.empty() || depth > 32) return;
    for (auto& [childName, child] : db->tables) {
      for (const auto& fk : child.foreignKeys) {
        if (!NamesEqual(fk.referencedTable, parent.name, db->collation)) continue;
        std::set<std::string> goneKeys, keptKeys;
        for (const Row& row : gone) goneKeys.insert(ParentKey(parent, fk, row));
        for (const Row& row : rows[parent.name]) keptKeys.insert(ParentKey(parent, fk, row));
        std::vector<Row>& childRows = rows[childName];
        std::vector<Row> kept, cascaded;
        for (Row& row : childRows) {
          auto key = ChildKey(child, fk, row, parent);
          if (!key || !goneKeys.count(*key) || keptKeys.count(*key)) {
            kept.push_back(row);
            continue;
          }
          if (fk.onDelete == "NO_ACTION") {
            throw SqlError(547, 16,
                           "The DELETE statement conflicted with the REFERENCE constraint \"" + fk.name +
                               "\". The conflict occurred in database \"" + db->name + "\", table \"dbo." +
                               child.name + "\"" + ColumnPart(child, fk.columns) + ".");
          }
          if (fk.onDelete == "CASCADE") {
            cascaded.push_back(row);
            continue;
          }
          for (std::size_t c : fk.columns) {
            const Column& col = child.columns[c];
            row[c] = fk.onDelete == "SET_NULL" ? Value{} : DefaultOf(col, db->name + ".dbo." + child.name);
            if (IsNull(row[c]) && !col.nullable) {
              throw SqlError(515, 16, "Cannot insert the value NULL into column '" + col.name + "', table '" +
                                          db->name + ".dbo." + child.name +
                                          "'; column does not allow nulls. UPDATE fails.");
            }
          }
          kept.push_back(row);
        }
        childRows = std::move(kept);
        removed(child, cascaded, depth + 1);
      }
    }
  };
  std::vector<Row> gone, kept;
  for (std::size_t i = 0; i < t->rows.size(); ++i) (selected[i] ? gone : kept).push_back(t->rows[i]);
  rows[t->name] = std::move(kept);
  removed(*t, gone, 0);
  // SET NULL and SET DEFAULT give rows that must still find their parents and keep unique keys.
  for (auto& [name, table] : db->tables) {
    std::swap(table.rows, rows[name]);
  }
  try {
    for (auto& [name, table] : db->tables) {
      CheckParents(*db, table, table.rows, "DELETE");
      std::set<std::string> seen;
      for (const auto& index : table.indexes) {
        if (!index.unique) continue;
        seen.clear();
        for (const Row& row : table.rows) {
          if (InIndex(index, row) && !seen.insert(IndexKey(table, index, row)).second) {
            throw SqlError(2627, 14, "Violation of UNIQUE KEY constraint '" + index.name +
                                         "'. Cannot insert duplicate key in object 'dbo." + table.name +
                                         "'. The duplicate key value is " + KeyDisplay(index, row) + ".");
          }
        }
      }
    }
  } catch (...) {
    for (auto& [name, table] : db->tables) std::swap(table.rows, rows[name]);
    throw;
  }
  for (auto& [name, table] : db->tables) table.RebuildKeys();
  return {true, count, 0xC4};
}

}  // namespace morvane::tds
