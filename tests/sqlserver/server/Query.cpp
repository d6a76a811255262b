// SELECT over one table or system view (sys.databases, sysdatabases, INFORMATION_SCHEMA.COLUMNS
// and TABLES, sys.tables, sys.columns, sys.types, sys.indexes, sys.index_columns,
// sys.foreign_keys, sys.foreign_key_columns, sys.default_constraints), the values of expressions,
// IF [NOT] EXISTS, and EXEC sp_helpindex.

#include <algorithm>
#include <chrono>
#include <utility>

#include "tests/sqlserver/server/Session.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {
namespace {

ColumnType NVarChar(int n) { return {Kind::NVarChar, n, 0, 0}; }
ColumnType VarChar(int n) { return {Kind::VarChar, n, 0, 0}; }
ColumnType IntType() { return {Kind::Int, 0, 0, 0}; }
ColumnType Of(Kind k) { return {k, 0, 0, 0}; }

ResultColumn Col(std::string name, ColumnType type, bool nullable = false) {
  ResultColumn c;
  c.name = std::move(name);
  c.type = type;
  c.nullable = nullable;
  return c;
}

Value Int(std::int64_t v) { return v; }
Value Text(std::string s) { return s; }
Value NullIf(bool null, Value v) { return null ? Value{} : v; }

// The SQL Server system type id of sys.columns.system_type_id.
std::int64_t SystemTypeId(Kind k) {
  switch (k) {
    case Kind::TinyInt: return 48;
    case Kind::SmallInt: return 52;
    case Kind::Int: return 56;
    case Kind::BigInt: return 127;
    case Kind::Decimal: return 106;
    case Kind::Float: return 62;
    case Kind::Real: return 59;
    case Kind::Bit: return 104;
    case Kind::Char: return 175;
    case Kind::VarChar: return 167;
    case Kind::NChar: return 239;
    case Kind::NVarChar: return 231;
    case Kind::Text: return 35;
    case Kind::NText: return 99;
    case Kind::Image: return 34;
    case Kind::Binary: return 173;
    case Kind::VarBinary: return 165;
    case Kind::DateTime: return 61;
    case Kind::SmallDateTime: return 58;
    case Kind::Timestamp: return 189;
    case Kind::Date: return 40;
    case Kind::Time: return 41;
    case Kind::DateTime2: return 42;
  }
  return 0;
}

std::int64_t MaxLength(const ColumnType& t) {
  if (t.max) return -1;
  switch (t.kind) {
    case Kind::Date: return 3;
    case Kind::Time: return TimeBytes(t.scale);
    case Kind::DateTime2: return TimeBytes(t.scale) + 3;
    case Kind::TinyInt: case Kind::Bit: return 1;
    case Kind::SmallInt: return 2;
    case Kind::Int: case Kind::Real: case Kind::SmallDateTime: return 4;
    case Kind::BigInt: case Kind::Float: case Kind::DateTime: case Kind::Timestamp: return 8;
    case Kind::Decimal: return t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    case Kind::NChar: case Kind::NVarChar: return t.length * 2;
    case Kind::Text: case Kind::NText: case Kind::Image: return 16;
    default: return t.length;
  }
}

// sys.types.user_type_id: the system type id, and 80 for timestamp (as in COLMETADATA).
std::int64_t UserTypeId(Kind k) { return k == Kind::Timestamp ? 80 : SystemTypeId(k); }

ColumnType NVarCharMax() {
  ColumnType t(Kind::NVarChar);
  t.max = true;
  t.collation = kDefaultCollation;
  return t;
}

// sys.foreign_keys: 0 NO_ACTION, 1 CASCADE, 2 SET_NULL, 3 SET_DEFAULT.
std::int64_t ActionCode(const std::string& action) {
  return action == "CASCADE" ? 1 : action == "SET_NULL" ? 2 : action == "SET_DEFAULT" ? 3 : 0;
}

// sys.columns.precision: of the numeric and date types, 0 for the others.
std::int64_t TypePrecision(const ColumnType& t) {
  const Kind k = t.kind;
  return k == Kind::TinyInt ? 3 : k == Kind::SmallInt ? 5 : k == Kind::Int ? 10
         : k == Kind::BigInt ? 19 : k == Kind::Float ? 53 : k == Kind::Real ? 24
         : k == Kind::Bit ? 1 : k == Kind::DateTime ? 23 : k == Kind::SmallDateTime ? 16
         : k == Kind::Date ? 10
         : k == Kind::Time ? 8 + t.scale + (t.scale > 0)
         : k == Kind::DateTime2 ? 19 + t.scale + (t.scale > 0)
         : t.precision;
}

void InformationSchemaColumns(const Database& db, Relation& r) {
  r.columns = {Col("TABLE_CATALOG", NVarChar(128), true), Col("TABLE_SCHEMA", NVarChar(128), true),
               Col("TABLE_NAME", NVarChar(128)), Col("COLUMN_NAME", NVarChar(128), true),
               Col("ORDINAL_POSITION", IntType(), true), Col("COLUMN_DEFAULT", NVarChar(4000), true),
               Col("IS_NULLABLE", VarChar(3), true), Col("DATA_TYPE", NVarChar(128), true),
               Col("CHARACTER_MAXIMUM_LENGTH", IntType(), true),
               Col("CHARACTER_OCTET_LENGTH", IntType(), true),
               Col("NUMERIC_PRECISION", Of(Kind::TinyInt), true),
               Col("NUMERIC_PRECISION_RADIX", Of(Kind::SmallInt), true),
               Col("NUMERIC_SCALE", IntType(), true), Col("DATETIME_PRECISION", Of(Kind::SmallInt), true),
               Col("CHARACTER_SET_NAME", NVarChar(128), true), Col("COLLATION_NAME", NVarChar(128), true)};
  for (const auto& [name, t] : db.tables) {
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
      const Column& c = t.columns[i];
      const Kind k = c.type.kind;
      Row row;
      row.push_back(Text(db.name));
      row.push_back(Text("dbo"));
      row.push_back(Text(t.name));
      row.push_back(Text(c.name));
      row.push_back(Int(static_cast<std::int64_t>(i + 1)));
      row.push_back(Value{});
      row.push_back(Text(c.nullable ? "YES" : "NO"));
      row.push_back(Text(TypeName(k)));
      bool character = IsCharacter(k) || IsNCharacter(k) || IsBinary(k);
      std::int64_t chars = k == Kind::Text || k == Kind::Image ? 2147483647
                           : k == Kind::NText                  ? 1073741823
                           : c.type.max                        ? -1
                                                               : c.type.length;
      std::int64_t octets = c.type.max ? -1
                            : IsNCharacter(k) ? (k == Kind::NText ? 2147483646 : 2LL * c.type.length)
                                              : chars;
      row.push_back(NullIf(!character, Int(chars)));
      row.push_back(NullIf(!character, Int(octets)));
      std::int64_t precision = k == Kind::TinyInt ? 3 : k == Kind::SmallInt ? 5 : k == Kind::Int ? 10
                               : k == Kind::BigInt ? 19 : k == Kind::Float ? 53 : k == Kind::Real ? 24
                               : c.type.precision;
      bool numeric = IsInteger(k) || k == Kind::Decimal || k == Kind::Float || k == Kind::Real;
      row.push_back(NullIf(!numeric, Int(precision)));
      row.push_back(NullIf(!numeric, Int(k == Kind::Float || k == Kind::Real ? 2 : 10)));
      row.push_back(NullIf(!(IsInteger(k) || k == Kind::Decimal), Int(k == Kind::Decimal ? c.type.scale : 0)));
      bool date = k == Kind::DateTime || k == Kind::SmallDateTime || IsDate2(k);
      row.push_back(NullIf(!date, Int(k == Kind::DateTime ? 3 : IsDate2(k) ? c.type.scale : 0)));
      bool text = IsCharacter(k) || IsNCharacter(k);
      row.push_back(NullIf(!text, Text(IsNCharacter(k) ? "UNICODE" : "iso_1")));
      row.push_back(NullIf(!text, Text(c.type.collation)));
      r.owned.push_back(std::move(row));
    }
  }
}

std::string IndexDescription(const Index& index) {
  std::string d = index.clustered ? "clustered" : "nonclustered";
  if (index.unique) d += ", unique";
  if (index.primaryKey) d += ", primary key";
  if (index.uniqueConstraint) d += ", unique key";
  return d + " located on PRIMARY";
}

std::vector<const Index*> IndexesInOrder(const Table& t) {
  std::vector<const Index*> out;
  for (const auto& index : t.indexes) out.push_back(&index);
  std::sort(out.begin(), out.end(), [](const Index* a, const Index* b) { return a->indexId < b->indexId; });
  return out;
}

}  // namespace

Literal Session::Evaluate(const Expression& e) { return LiteralOf(tds::Evaluate(e, ExpressionScope())); }

Scope Session::ExpressionScope() {
  Scope scope;
  scope.dates = options_.dates;
  if (const Database* db = catalogue_.Find(database_)) scope.collation = db->collation;
  scope.session = [this](const Expression& e) { return SessionValue(e); };
  return scope;
}

std::optional<Literal> Session::SessionValue(const Expression& e) {
  Literal l;
  if (e.kind == Expression::Kind::Function) {
    if (e.name == "OBJECT_ID" && e.arguments.size() == 1) {
      Literal name = Evaluate(e.arguments[0]);
      if (name.kind != Literal::Kind::String) return l;
      std::vector<std::string> parts;
      std::string part;
      bool bracket = false;
      for (char c : name.text) {
        if (c == '[' && !bracket) bracket = true;
        else if (c == ']' && bracket) bracket = false;
        else if (c == '.' && !bracket) parts.push_back(std::exchange(part, {}));
        else part += c;
      }
      parts.push_back(part);
      ObjectName n;
      n.name = parts.back();
      if (parts.size() > 1) n.schema = parts[parts.size() - 2];
      if (parts.size() > 2) n.database = parts[0];
      if (!n.database.empty() && !catalogue_.Find(n.database)) return l;
      if (Table* t = FindTable(n)) {
        l.kind = Literal::Kind::Integer;
        l.text = std::to_string(t->objectId);
      }
      return l;
    }
    if (e.name == "NCHAR" && e.arguments.size() == 1) {
      // NCHAR(code): the UTF-16 code unit of that number, NULL outside 0..65535.
      Literal code = Evaluate(e.arguments[0]);
      if (code.kind == Literal::Kind::Null) return l;
      if (code.kind != Literal::Kind::Integer) throw NotModelled("NCHAR of anything but an integer");
      long long n = std::stoll(code.text);
      if (n < 0 || n > 65535) return l;
      l.kind = Literal::Kind::String;
      l.unicode = true;
      std::u16string unit(1, static_cast<char16_t>(n));
      l.text = Utf16ToUtf8(unit);
      return l;
    }
    if (e.name == "DB_NAME" && e.arguments.empty()) {
      l.kind = Literal::Kind::String;
      l.unicode = true;
      l.text = database_;
      return l;
    }
    if (e.name == "SCOPE_IDENTITY" && e.arguments.empty()) {
      if (lastIdentity_) {
        l.kind = Literal::Kind::Integer;
        l.text = std::to_string(*lastIdentity_);
      }
      return l;
    }
    return std::nullopt;
  }
  if (e.kind != Expression::Kind::Variable) return std::nullopt;
  if (e.name == "@@SPID") {
    l.kind = Literal::Kind::Integer;
    l.text = std::to_string(spid_);
  } else if (e.name == "@@IDENTITY") {
    if (lastIdentity_) {
      l.kind = Literal::Kind::Integer;
      l.text = std::to_string(*lastIdentity_);
    }
  } else if (e.name == "@@TRANCOUNT") {
    l.kind = Literal::Kind::Integer;
    l.text = "0";
  } else if (e.name == "@@VERSION") {
    l.kind = Literal::Kind::String;
    l.unicode = true;
    l.text = "Morvane TDS test server 1.0, modelling Microsoft SQL Server 2022 (16.0.1000)";
  } else if (e.name == "@@SERVERNAME") {
    l.kind = Literal::Kind::String;
    l.unicode = true;
    l.text = kServerName;
  } else {
    return std::nullopt;
  }
  return l;
}

Relation Session::Resolve(const ObjectName& name) {
  Relation r;
  const std::string schema = UpperAscii(name.schema);
  const std::string table = UpperAscii(name.name);
  auto databaseFor = [&]() -> Database& { return DatabaseOf(name); };
  if ((schema == "SYS" && table == "DATABASES") ||
      (table == "SYSDATABASES" && (schema.empty() || schema == "DBO" || schema == "SYS"))) {
    if (!name.database.empty()) databaseFor();
    bool old = table == "SYSDATABASES";
    r.columns = {Col("name", NVarChar(128), old), Col(old ? "dbid" : "database_id",
                                                       old ? Of(Kind::SmallInt) : IntType())};
    if (!old) r.columns.push_back(Col("collation_name", NVarChar(128), true));
    std::vector<const Database*> dbs;
    for (const auto& [n, db] : catalogue_.databases) dbs.push_back(&db);
    std::sort(dbs.begin(), dbs.end(), [](auto* a, auto* b) { return a->id < b->id; });
    for (const Database* db : dbs) {
      r.owned.push_back({Text(db->name), Int(db->id)});
      if (!old) r.owned.back().push_back(Text(db->collation));
    }
  } else if (schema == "INFORMATION_SCHEMA" && table == "COLUMNS") {
    InformationSchemaColumns(databaseFor(), r);
  } else if (schema == "INFORMATION_SCHEMA" && table == "TABLES") {
    Database& db = databaseFor();
    r.columns = {Col("TABLE_CATALOG", NVarChar(128), true), Col("TABLE_SCHEMA", NVarChar(128), true),
                 Col("TABLE_NAME", NVarChar(128)), Col("TABLE_TYPE", VarChar(10), true)};
    for (const auto& [n, t] : db.tables) {
      r.owned.push_back({Text(db.name), Text("dbo"), Text(t.name), Text("BASE TABLE")});
    }
  } else if (schema == "SYS" && table == "TABLES") {
    Database& db = databaseFor();
    r.columns = {Col("name", NVarChar(128)), Col("object_id", IntType()), Col("schema_id", IntType())};
    for (const auto& [n, t] : db.tables) r.owned.push_back({Text(t.name), Int(t.objectId), Int(1)});
  } else if (schema == "SYS" && table == "COLUMNS") {
    Database& db = databaseFor();
    r.columns = {Col("object_id", IntType()), Col("name", NVarChar(128), true),
                 Col("column_id", IntType()), Col("system_type_id", Of(Kind::TinyInt)),
                 Col("max_length", Of(Kind::SmallInt)), Col("precision", Of(Kind::TinyInt)),
                 Col("scale", Of(Kind::TinyInt)), Col("is_nullable", Of(Kind::Bit), true),
                 Col("is_identity", Of(Kind::Bit)), Col("user_type_id", IntType()),
                 Col("collation_name", NVarChar(128), true), Col("default_object_id", IntType())};
    for (const auto& [n, t] : db.tables) {
      for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const Column& c = t.columns[i];
        const Kind k = c.type.kind;
        const std::int64_t precision = TypePrecision(c.type);
        std::int64_t scale = k == Kind::Decimal || k == Kind::Time || k == Kind::DateTime2 ? c.type.scale
                             : k == Kind::DateTime ? 3 : 0;
        const bool text = IsCharacter(k) || IsNCharacter(k);
        r.owned.push_back({Int(t.objectId), Text(c.name), Int(static_cast<std::int64_t>(i + 1)),
                           Int(SystemTypeId(k)), Int(MaxLength(c.type)), Int(precision), Int(scale),
                           Int(c.nullable), Int(c.identity), Int(UserTypeId(k)),
                           NullIf(!text, Text(c.type.collation)),
                           Int(c.defaultConstraint ? c.defaultConstraint->objectId : 0)});
      }
    }
  } else if (schema == "SYS" && table == "INDEXES") {
    Database& db = databaseFor();
    r.columns = {Col("object_id", IntType()), Col("name", NVarChar(128), true),
                 Col("index_id", IntType()), Col("type_desc", NVarChar(60), true),
                 Col("is_unique", Of(Kind::Bit), true), Col("is_primary_key", Of(Kind::Bit), true),
                 Col("is_unique_constraint", Of(Kind::Bit), true), Col("has_filter", Of(Kind::Bit), true),
                 Col("filter_definition", NVarCharMax(), true), Col("type", Of(Kind::TinyInt))};
    for (const auto& [n, t] : db.tables) {
      bool clustered = false;
      for (const auto& index : t.indexes) clustered = clustered || index.clustered;
      if (!clustered) {
        r.owned.push_back({Int(t.objectId), Value{}, Int(0), Text("HEAP"), Int(0), Int(0), Int(0), Int(0),
                           Value{}, Int(0)});
      }
      for (const Index* index : IndexesInOrder(t)) {
        r.owned.push_back({Int(t.objectId), Text(index->name), Int(index->indexId),
                           Text(index->clustered ? "CLUSTERED" : "NONCLUSTERED"), Int(index->unique),
                           Int(index->primaryKey), Int(index->uniqueConstraint),
                           Int(!index->filterNotNull.empty()),
                           NullIf(index->filterNotNull.empty(), Text(index->filterDefinition)),
                           Int(index->clustered ? 1 : 2)});
      }
    }
  } else if (schema == "SYS" && table == "INDEX_COLUMNS") {
    Database& db = databaseFor();
    r.columns = {Col("object_id", IntType()), Col("index_id", IntType()), Col("index_column_id", IntType()),
                 Col("column_id", IntType()), Col("key_ordinal", Of(Kind::TinyInt)),
                 Col("is_descending_key", Of(Kind::Bit), true), Col("is_included_column", Of(Kind::Bit), true)};
    for (const auto& [n, t] : db.tables) {
      for (const Index* index : IndexesInOrder(t)) {
        for (std::size_t i = 0; i < index->columns.size(); ++i) {
          r.owned.push_back({Int(t.objectId), Int(index->indexId), Int(static_cast<std::int64_t>(i + 1)),
                             Int(static_cast<std::int64_t>(index->columns[i] + 1)),
                             Int(static_cast<std::int64_t>(i + 1)), Int(index->descending[i]), Int(0)});
        }
      }
    }
  } else if (schema == "SYS" && table == "FOREIGN_KEYS") {
    Database& db = databaseFor();
    r.columns = {Col("name", NVarChar(128)), Col("object_id", IntType()), Col("schema_id", IntType()),
                 Col("parent_object_id", IntType()), Col("type", Of(Kind::Char), true),
                 Col("referenced_object_id", IntType(), true), Col("key_index_id", IntType(), true),
                 Col("is_disabled", Of(Kind::Bit)), Col("is_not_trusted", Of(Kind::Bit)),
                 Col("delete_referential_action", Of(Kind::TinyInt), true),
                 Col("delete_referential_action_desc", NVarChar(60), true),
                 Col("update_referential_action", Of(Kind::TinyInt), true),
                 Col("update_referential_action_desc", NVarChar(60), true)};
    r.columns[4].type = ColumnType(Kind::Char, 2);
    r.columns[4].type.collation = kDefaultCollation;
    for (const auto& [n, t] : db.tables) {
      for (const auto& fk : t.foreignKeys) {
        auto parent = db.tables.find(fk.referencedTable);
        int parentId = parent == db.tables.end() ? 0 : parent->second.objectId;
        r.owned.push_back({Text(fk.name), Int(fk.objectId), Int(1), Int(t.objectId), Text("F "), Int(parentId),
                           Int(fk.keyIndexId), Int(0), Int(fk.notTrusted), Int(ActionCode(fk.onDelete)),
                           Text(fk.onDelete), Int(ActionCode(fk.onUpdate)), Text(fk.onUpdate)});
      }
    }
  } else if (schema == "SYS" && table == "FOREIGN_KEY_COLUMNS") {
    Database& db = databaseFor();
    r.columns = {Col("constraint_object_id", IntType()), Col("constraint_column_id", IntType()),
                 Col("parent_object_id", IntType()), Col("parent_column_id", IntType()),
                 Col("referenced_object_id", IntType()), Col("referenced_column_id", IntType())};
    for (const auto& [n, t] : db.tables) {
      for (const auto& fk : t.foreignKeys) {
        auto parent = db.tables.find(fk.referencedTable);
        int parentId = parent == db.tables.end() ? 0 : parent->second.objectId;
        for (std::size_t i = 0; i < fk.columns.size(); ++i) {
          r.owned.push_back({Int(fk.objectId), Int(static_cast<std::int64_t>(i + 1)), Int(t.objectId),
                             Int(static_cast<std::int64_t>(fk.columns[i] + 1)), Int(parentId),
                             Int(static_cast<std::int64_t>(fk.referencedColumns[i] + 1))});
        }
      }
    }
  } else if (schema == "SYS" && table == "DEFAULT_CONSTRAINTS") {
    Database& db = databaseFor();
    r.columns = {Col("name", NVarChar(128)), Col("object_id", IntType()), Col("schema_id", IntType()),
                 Col("parent_object_id", IntType()), Col("type", ColumnType(Kind::Char, 2), true),
                 Col("parent_column_id", IntType()), Col("definition", NVarCharMax(), true)};
    r.columns[4].type.collation = kDefaultCollation;
    for (const auto& [n, t] : db.tables) {
      for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const auto& d = t.columns[i].defaultConstraint;
        if (!d) continue;
        r.owned.push_back({Text(d->name), Int(d->objectId), Int(1), Int(t.objectId), Text("D "),
                           Int(static_cast<std::int64_t>(i + 1)), Text(d->definition)});
      }
    }
  } else if (schema == "SYS" && table == "TYPES") {
    r.columns = {Col("name", NVarChar(128)), Col("system_type_id", Of(Kind::TinyInt)),
                 Col("user_type_id", IntType()), Col("max_length", Of(Kind::SmallInt)),
                 Col("precision", Of(Kind::TinyInt)), Col("scale", Of(Kind::TinyInt)),
                 Col("collation_name", NVarChar(128), true), Col("is_nullable", Of(Kind::Bit), true)};
    static const Kind kAll[] = {Kind::Image, Kind::Text, Kind::Date, Kind::Time, Kind::DateTime2,
                                Kind::TinyInt, Kind::SmallInt, Kind::Int, Kind::SmallDateTime, Kind::Real,
                                Kind::DateTime, Kind::Float, Kind::NText, Kind::Bit, Kind::Decimal,
                                Kind::BigInt, Kind::VarBinary, Kind::VarChar, Kind::Binary, Kind::Char,
                                Kind::Timestamp, Kind::NVarChar, Kind::NChar};
    for (Kind k : kAll) {
      ColumnType t(k, k == Kind::NVarChar || k == Kind::NChar ? 4000 : 8000,
                   k == Kind::Decimal ? 38 : 0, k == Kind::Decimal ? 38 : (k == Kind::Time || k == Kind::DateTime2) ? 7 : 0);
      const bool text = IsCharacter(k) || IsNCharacter(k);
      r.owned.push_back({Text(TypeName(k)), Int(SystemTypeId(k)), Int(UserTypeId(k)), Int(MaxLength(t)),
                         Int(TypePrecision(t)), Int(t.scale), NullIf(!text, Text(kDefaultCollation)), Int(1)});
    }
  } else if (schema == "SYS" || schema == "INFORMATION_SCHEMA") {
    throw NotModelled("the system view " + name.written);
  } else {
    Table* t = FindTable(name);
    if (!t) throw SqlError(208, 16, "Invalid object name '" + name.written + "'.", ErrorScope::Batch);
    for (const Column& c : t->columns) {
      ResultColumn rc = Col(c.name, c.type, c.nullable);
      rc.identity = c.identity;
      rc.table = t->name;
      r.columns.push_back(rc);
    }
    r.table = &t->rows;
  }
  return r;
}

Session::Outcome Session::Query(const Select& s, TokenWriter* out, bool* any) {
  std::lock_guard lock(catalogue_.mutex);
  Relation relation;
  if (s.from) {
    relation = Resolve(*s.from);
  } else {
    relation.owned = {Row{}};
  }
  auto columnAt = [&](const std::string& name) -> std::size_t {
    for (std::size_t i = 0; i < relation.columns.size(); ++i) {
      if (EqualsIgnoringCase(relation.columns[i].name, name)) return i;
    }
    throw SqlError(207, 16, "Invalid column name '" + name + "'.", ErrorScope::Batch);
  };

  // WHERE: column = constant (either side), column <> constant, column IS [NOT] NULL.
  struct Filter {
    std::size_t column;
    std::string op;
    Value value;
  };
  std::vector<Filter> filters;
  for (const auto& c : s.where) {
    const Expression* column = &c.left;
    const Expression* constant = &c.right;
    if (column->kind != Expression::Kind::Column) std::swap(column, constant);
    if (column->kind != Expression::Kind::Column) throw NotModelled("WHERE without a column");
    if (c.op.starts_with("IS")) {
      filters.push_back({columnAt(column->name), c.op, Value{}});
      continue;
    }
    if (constant->kind == Expression::Kind::Column) throw NotModelled("comparing two columns");
    std::size_t at = columnAt(column->name);
    Value v = ConvertLiteral(Evaluate(*constant), relation.columns[at].type, options_.dates,
                             Purpose::Compare);
    filters.push_back({at, c.op, v});
  }
  std::vector<const Row*> rows;
  for (const Row& row : relation.Rows()) {
    bool keep = true;
    for (const auto& f : filters) {
      const Value& v = row[f.column];
      if (f.op == "IS NULL") keep = keep && IsNull(v);
      else if (f.op == "IS NOT NULL") keep = keep && !IsNull(v);
      else if (IsNull(v) || IsNull(f.value)) keep = false;
      else if (f.op == "=") keep = keep && CompareValues(v, f.value, relation.columns[f.column].type.collation) == 0;
      else keep = keep && CompareValues(v, f.value, relation.columns[f.column].type.collation) != 0;
    }
    if (keep) rows.push_back(&row);
  }

  // The select list.
  struct Item {
    ResultColumn column;
    std::optional<std::size_t> source;
    Value constant;
    bool count = false;
    const Expression* expression = nullptr;  // over the row's columns
  };
  std::vector<Item> items;
  bool aggregate = false;
  for (const auto& item : s.items) {
    if (item.star) {
      if (!s.from) throw SqlError(263, 16, "Must specify table to select from.", ErrorScope::Batch);
      for (std::size_t i = 0; i < relation.columns.size(); ++i) {
        items.push_back({relation.columns[i], i, Value{}, false, nullptr});
      }
      continue;
    }
    const Expression& e = item.expression;
    Item it;
    if (e.kind == Expression::Kind::Column) {
      if (!s.from) throw SqlError(207, 16, "Invalid column name '" + e.name + "'.", ErrorScope::Batch);
      it.source = columnAt(e.name);
      it.column = relation.columns[*it.source];
    } else if (e.kind == Expression::Kind::CountStar) {
      it.count = true;
      aggregate = true;
      it.column = Col("", IntType(), false);
    } else {
      bool columns = false;
      ForEachColumn(e, [&](const std::string&) { columns = true; });
      Scope scope = ExpressionScope();
      if (columns && s.from) {
        // Evaluated for each row; typed over a row of NULLs.
        scope.typing = true;
        scope.column = [&](const std::string& name) -> std::optional<Typed> {
          Typed v{relation.columns[columnAt(name)].type, Value{}};
          v.columnCollation = true;
          return v;
        };
        it.column = Col("", tds::Evaluate(e, scope).type, true);
        it.expression = &e;
      } else {
        Typed t = tds::Evaluate(e, scope);
        if (t.guid) throw NotModelled("uniqueidentifier values in a result");
        it.column = Col("", t.type, true);
        it.constant = t.value;
      }
    }
    if (!item.alias.empty()) it.column.name = item.alias;
    items.push_back(std::move(it));
  }
  if (aggregate) {
    for (const auto& it : items) {
      if (it.source || it.expression) {
        throw SqlError(8120, 16,
                       "Column '" + (s.from ? s.from->written + "." : std::string()) + it.column.name +
                           "' is invalid in the select list because it is not contained in either "
                           "an aggregate function or the GROUP BY clause.",
                       ErrorScope::Batch);
      }
    }
  }

  std::vector<Row> result;
  if (aggregate) {
    Row row;
    for (const auto& it : items) row.push_back(it.count ? Value(static_cast<std::int64_t>(rows.size())) : it.constant);
    result.push_back(std::move(row));
  } else {
    // ORDER BY a column of the relation, an alias of the list, or a position in it.
    std::vector<std::pair<std::size_t, bool>> keys;  // index into the output row, descending
    std::vector<std::size_t> extra;                   // relation columns sorted on but not listed
    for (const auto& o : s.orderBy) {
      const Expression& k = o.key;
      if (k.kind == Expression::Kind::Literal && k.literal.kind == Literal::Kind::Integer) {
        std::size_t n = std::stoul(k.literal.text);
        if (n < 1 || n > items.size()) {
          throw SqlError(108, 16, "The ORDER BY position number " + k.literal.text +
                                      " is out of range of the number of items in the select list.",
                         ErrorScope::Batch);
        }
        keys.emplace_back(n - 1, o.descending);
        continue;
      }
      if (k.kind != Expression::Kind::Column) throw NotModelled("ORDER BY an expression");
      std::optional<std::size_t> found;
      for (std::size_t i = 0; i < items.size() && !found; ++i) {
        if (EqualsIgnoringCase(items[i].column.name, k.name)) found = i;
      }
      if (!found) {
        if (!s.from) throw SqlError(207, 16, "Invalid column name '" + k.name + "'.", ErrorScope::Batch);
        extra.push_back(columnAt(k.name));
        found = items.size() + extra.size() - 1;
      }
      keys.emplace_back(*found, o.descending);
    }
    Scope rowScope = ExpressionScope();
    const Row* current = nullptr;
    rowScope.column = [&](const std::string& name) -> std::optional<Typed> {
      std::size_t at = columnAt(name);
      Typed v{relation.columns[at].type, (*current)[at]};
      v.columnCollation = true;
      return v;
    };
    for (const Row* row : rows) {
      Row line;
      current = row;
      for (const auto& it : items) {
        if (it.expression) {
          Typed v = tds::Evaluate(*it.expression, rowScope);
          line.push_back(IsNull(v.value) || v.type.kind == it.column.type.kind
                             ? v.value
                             : ConvertTyped(v, it.column.type, options_.dates, Purpose::Compare));
          continue;
        }
        line.push_back(it.source ? (*row)[*it.source] : it.constant);
      }
      for (std::size_t c : extra) line.push_back((*row)[c]);
      result.push_back(std::move(line));
    }
    if (!keys.empty()) {
      std::stable_sort(result.begin(), result.end(), [&](const Row& a, const Row& b) {
        for (const auto& [k, desc] : keys) {
          const std::string& collation = k < items.size() ? items[k].column.type.collation
                                                          : relation.columns[extra[k - items.size()]].type.collation;
          int c = CompareValues(a[k], b[k], collation);
          if (c != 0) return desc ? c > 0 : c < 0;
        }
        return false;
      });
    }
    for (auto& row : result) row.resize(items.size());
  }
  if (s.top && result.size() > static_cast<std::size_t>(*s.top)) {
    result.resize(static_cast<std::size_t>(*s.top));
  }
  if (any) *any = !result.empty();
  if (out) {
    std::vector<ResultColumn> columns;
    for (const auto& it : items) columns.push_back(it.column);
    out->ColumnMetadata(columns);
    for (const Row& row : result) out->Row(columns, row);
  }
  return {true, result.size(), 0xC1};
}

Session::Outcome Session::If(const IfStatement& s, TokenWriter& out) {
  bool any = false;
  Query(s.query, nullptr, &any);
  if (any != s.negate) return Run(*s.then, out);
  if (s.otherwise) return Run(*s.otherwise, out);
  return {};
}

Session::Outcome Session::Exec(const Execute& s, TokenWriter& out) {
  const std::string name = UpperAscii(s.procedure);
  if (name != "SP_HELPINDEX") {
    if (name.starts_with("SP_") || name.starts_with("XP_")) {
      throw NotModelled("the stored procedure " + s.procedure + " (only sp_helpindex)");
    }
    throw SqlError(2812, 16, "Could not find stored procedure '" + s.procedure + "'.", ErrorScope::Batch);
  }
  if (s.arguments.size() != 1) {
    throw SqlError(201, 16, "Procedure or function 'sp_helpindex' expects parameter '@objname', which was not supplied.");
  }
  std::lock_guard lock(catalogue_.mutex);
  Literal arg = Evaluate(s.arguments[0]);
  ObjectName n;
  {
    std::vector<std::string> parts;
    std::string part;
    for (char c : arg.text) {
      if (c == '[' || c == ']') continue;
      if (c == '.') parts.push_back(std::exchange(part, {}));
      else part += c;
    }
    parts.push_back(part);
    n.name = parts.back();
    if (parts.size() > 1) n.schema = parts[parts.size() - 2];
    if (parts.size() > 2) n.database = parts[0];
    n.written = arg.text;
  }
  Table* t = FindTable(n);
  if (!t) {
    throw SqlError(15009, 16, "The object '" + arg.text + "' does not exist in database '" +
                                  database_ + "' or is invalid for this operation.");
  }
  if (t->indexes.empty()) {
    out.Message(false, SqlMessage{15472, 10, 1,
                                  "The object '" + arg.text +
                                      "' does not have any indexes, or you do not have permissions.",
                                  1},
                kServerName);
    return {};
  }
  std::vector<ResultColumn> columns = {Col("index_name", NVarChar(128)),
                                       Col("index_description", VarChar(210), true),
                                       Col("index_keys", NVarChar(2078), true)};
  out.ColumnMetadata(columns);
  std::uint64_t count = 0;
  for (const Index* index : IndexesInOrder(*t)) {
    std::string keys;
    for (std::size_t i = 0; i < index->columns.size(); ++i) {
      if (i) keys += ", ";
      keys += t->columns[index->columns[i]].name;
      if (index->descending[i]) keys += "(-)";
    }
    out.Row(columns, {Text(index->name), Text(IndexDescription(*index)), Text(keys)});
    ++count;
  }
  return {true, count, 0xE0};
}

}  // namespace morvane::tds
