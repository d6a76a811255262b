// CREATE/DROP DATABASE, CREATE/DROP TABLE, CREATE INDEX, ALTER TABLE ... ADD PRIMARY KEY/UNIQUE
// and SET IDENTITY_INSERT.

#include <algorithm>
#include <cstdio>

#include "tests/sqlserver/server/Collation.h"
#include "tests/sqlserver/server/Expressions.h"
#include "tests/sqlserver/server/Session.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {
namespace {

SqlError Err(int number, std::string text, ErrorScope scope = ErrorScope::Statement) {
  return SqlError(number, 16, std::move(text), scope);
}

}  // namespace

// The ColumnType of a definition, with SQL Server's checks of lengths, precisions and scales.
ColumnType ResolveType(const ColumnDefinition& c, int ordinal) {
  const std::string name = UpperAscii(c.typeName);
  const auto& a = c.typeArguments;
  const std::string number = "#" + std::to_string(ordinal);
  auto noArguments = [&](Kind k) {
    if (!a.empty() || c.typeMax) {
      throw Err(2716, "Column, parameter, or variable " + number +
                          ": Cannot specify a column width on data type " + c.typeName + ".");
    }
    return ColumnType{k, 0, 0, 0};
  };
  auto invalidLength = [&](std::int64_t n) {
    return SqlError(1001, 15,
                    "Line 1: Length or precision specification " + std::to_string(n) +
                        " is invalid.",
                    ErrorScope::Batch);
  };
  if (name == "TINYINT") return noArguments(Kind::TinyInt);
  if (name == "SMALLINT") return noArguments(Kind::SmallInt);
  if (name == "INT" || name == "INTEGER") return noArguments(Kind::Int);
  if (name == "BIGINT") return noArguments(Kind::BigInt);
  if (name == "BIT") return noArguments(Kind::Bit);
  if (name == "REAL") return noArguments(Kind::Real);
  if (name == "DOUBLE PRECISION") return noArguments(Kind::Float);
  if (name == "TEXT") return noArguments(Kind::Text);
  if (name == "NTEXT") return noArguments(Kind::NText);
  if (name == "IMAGE") return noArguments(Kind::Image);
  if (name == "DATETIME") return noArguments(Kind::DateTime);
  if (name == "SMALLDATETIME") return noArguments(Kind::SmallDateTime);
  if (name == "TIMESTAMP" || name == "ROWVERSION") return noArguments(Kind::Timestamp);
  if (name == "DECIMAL" || name == "DEC" || name == "NUMERIC") {
    if (c.typeMax) throw invalidLength(0);
    int p = a.empty() ? 18 : static_cast<int>(a[0]);
    int s = a.size() > 1 ? static_cast<int>(a[1]) : 0;
    if (p < 1) throw invalidLength(p);
    if (p > 38) {
      throw Err(2750, "Column or parameter " + number + ": Specified column precision " +
                          std::to_string(p) + " is greater than the maximum precision of 38.");
    }
    if (s > p) {
      throw Err(2751, "Column or parameter " + number + ": Specified column scale " +
                          std::to_string(s) + " is greater than the specified precision of " +
                          std::to_string(p) + ".");
    }
    return {Kind::Decimal, 0, p, s};
  }
  if (name == "FLOAT") {
    if (a.size() > 1 || c.typeMax) throw SyntaxError(",", false, 1);
    int n = a.empty() ? 53 : static_cast<int>(a[0]);
    if (n < 1) throw invalidLength(n);
    if (n > 53) {
      throw Err(2750, "Column or parameter " + number + ": Specified column precision " +
                          std::to_string(n) + " is greater than the maximum precision of 53.");
    }
    return {n <= 24 ? Kind::Real : Kind::Float, 0, 0, 0};
  }
  if (name == "DATE") return noArguments(Kind::Date);
  if (name == "TIME" || name == "DATETIME2") {
    if (a.size() > 1 || c.typeMax) throw SyntaxError(a.size() > 1 ? "," : "MAX", false, 1);
    std::int64_t scale = a.empty() ? 7 : a[0];
    if (scale > 7) {
      throw SqlError(1002, 16, "Line 1: Specified scale " + std::to_string(scale) + " is invalid.",
                     ErrorScope::Batch);
    }
    return {name == "TIME" ? Kind::Time : Kind::DateTime2, 0, 0, static_cast<int>(scale)};
  }
  struct Sized {
    const char* name;
    Kind kind;
    int max;
    bool maxAllowed;
  };
  static const Sized kSized[] = {
      {"CHAR", Kind::Char, 8000, false},         {"CHARACTER", Kind::Char, 8000, false},
      {"VARCHAR", Kind::VarChar, 8000, true},    {"NCHAR", Kind::NChar, 4000, false},
      {"NVARCHAR", Kind::NVarChar, 4000, true},  {"BINARY", Kind::Binary, 8000, false},
      {"VARBINARY", Kind::VarBinary, 8000, true}};
  for (const auto& sized : kSized) {
    if (name != sized.name) continue;
    if (c.typeMax) {
      if (!sized.maxAllowed) throw NotModelled("(MAX) on " + name);
      ColumnType t{sized.kind, 0, 0, 0};
      t.max = true;
      return t;
    }
    if (a.size() > 1) throw SyntaxError(",", false, 1);
    std::int64_t n = a.empty() ? 1 : a[0];
    if (n < 1) throw invalidLength(n);
    if (n > 8000) {
      throw SqlError(131, 15, "The size (" + std::to_string(n) + ") given to the column '" + c.name +
                                  "' exceeds the maximum allowed for any data type (8000).",
                     ErrorScope::Batch);
    }
    if (n > sized.max) {
      throw SqlError(2717, 15, "The size (" + std::to_string(n) + ") given to the column '" + c.name +
                                   "' exceeds the maximum allowed (" + std::to_string(sized.max) + ").",
                     ErrorScope::Batch);
    }
    return {sized.kind, static_cast<int>(n), 0, 0};
  }
  static const char* kUnmodelled[] = {"DATETIMEOFFSET", "MONEY",
                                      "SMALLMONEY", "UNIQUEIDENTIFIER", "XML", "SQL_VARIANT",
                                      "GEOGRAPHY", "GEOMETRY", "HIERARCHYID", "SYSNAME"};
  for (const char* u : kUnmodelled) {
    if (name == u) throw NotModelled("the data type " + name);
  }
  throw Err(2715, "Column, parameter, or variable " + number + ": Cannot find data type " +
                      c.typeName + ".");
}

namespace {

// A column's PRIMARY KEY or UNIQUE constraint as a table constraint over that column.
KeyConstraint ColumnKey(const ColumnDefinition& d) {
  KeyConstraint k;
  k.primaryKey = d.primaryKey;
  k.name = d.constraintName;
  k.clustered = d.clustered;
  k.columns = {d.name};
  return k;
}

// The spelling of a collation this server knows; 448 for names SQL Server has no collation of
// (this server knows four of SQL Server's collations and refuses the others as not modelled).
std::string KnownCollation(const std::string& name) {
  if (auto rules = FindCollation(name)) return rules->name;
  const std::string upper = UpperAscii(name);
  bool plausible = upper.starts_with("SQL_") || upper.find("_CI_") != std::string::npos ||
                   upper.find("_CS_") != std::string::npos || upper.ends_with("_BIN") ||
                   upper.ends_with("_BIN2");
  if (!plausible) throw SqlError(448, 16, "Invalid collation '" + name + "'.", ErrorScope::Batch);
  throw NotModelled("the collation " + name);
}

// Bytes a column takes in every row whatever its value (0 for the variable-length types).
int FixedBytes(const ColumnType& t) {
  switch (t.kind) {
    case Kind::TinyInt: return 1;
    case Kind::SmallInt: return 2;
    case Kind::Int: case Kind::Real: case Kind::SmallDateTime: return 4;
    case Kind::BigInt: case Kind::Float: case Kind::DateTime: case Kind::Timestamp: return 8;
    case Kind::Decimal: return t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    case Kind::Char: case Kind::Binary: return t.length;
    case Kind::NChar: return 2 * t.length;
    case Kind::Date: return 3;
    case Kind::Time: return TimeBytes(t.scale);
    case Kind::DateTime2: return TimeBytes(t.scale) + 3;
    default: return 0;  // BIT is counted apart; variable-length types may be empty
  }
}

std::string ConstraintName(const std::string& prefix, const std::string& table, int objectId,
                           int serial) {
  char hex[24];
  std::snprintf(hex, sizeof hex, "%08X%08X", static_cast<unsigned>(objectId) * 2654435761u,
                static_cast<unsigned>(serial) * 40503u + 0x1F2E3D4Cu);
  std::u16string t = Utf8ToUtf16(table);
  if (t.size() > 8) t.resize(8);
  return prefix + "__" + Utf16ToUtf8(t) + "__" + hex;
}

// The index that a PRIMARY KEY or UNIQUE constraint makes on a table: clustered for a primary
// key unless told otherwise or the table has a clustered index already; named by the server
// when the statement does not name it. A primary key's columns must be NOT NULL (8111).
Index KeyConstraintIndex(const Table& t, const KeyConstraint& k, int serial) {
  if (k.primaryKey) {
    for (const auto& col : k.columns) {
      auto at = t.ColumnIndex(col);
      if (at && t.columns[*at].nullable) {
        throw Err(8111, "Cannot define PRIMARY KEY constraint on nullable column in table '" + t.name + "'.");
      }
    }
  }
  Index index;
  index.primaryKey = k.primaryKey;
  index.uniqueConstraint = !k.primaryKey;
  index.unique = true;
  bool clusteredTaken = false;
  for (const auto& other : t.indexes) clusteredTaken = clusteredTaken || other.clustered;
  index.clustered = k.clustered.value_or(k.primaryKey && !clusteredTaken);
  index.name = k.name.empty() ? ConstraintName(k.primaryKey ? "PK" : "UQ", t.name, t.objectId, serial) : k.name;
  return index;
}

// Checks and adds an index over `columns` to a table (rows are indexed when unique).
void AddIndex(Table& table, Index index, const std::vector<std::string>& columns,
              const std::string& qualifiedTable, std::vector<SqlMessage>& warnings) {
  for (const auto& name : columns) {
    auto at = table.ColumnIndex(name);
    if (!at) throw Err(1911, "Column name '" + name + "' does not exist in the target table or view.");
    for (std::size_t c : index.columns) {
      if (c == *at) {
        throw Err(1909, "Cannot use duplicate column names in index. Column name '" + name +
                            "' listed more than once.");
      }
    }
    const Column& column = table.columns[*at];
    if (column.computed) {
      // "Indexes on computed columns": deterministic, and persisted when imprecise; a PRIMARY
      // KEY's computed column persisted and NOT NULL.
      if (!column.deterministic) {
        throw Err(2729, "Column '" + column.name + "' in table '" + table.name +
                            "' cannot be used in an index or statistics or as a partition key because it is "
                            "non-deterministic.");
      }
      if ((column.type.kind == Kind::Float || column.type.kind == Kind::Real) && !column.persisted) {
        throw Err(2799, "Cannot create index or statistics '" + index.name + "' on table '" + table.name +
                            "' because the computed column '" + column.name +
                            "' is imprecise and not persisted. Consider removing column from index or "
                            "statistics key or marking computed column persisted.");
      }
      if (index.primaryKey && (!column.persisted || column.nullable)) {
        throw Err(1711, "Cannot define PRIMARY KEY constraint on column '" + column.name + "' in table '" +
                            table.name + "'. The computed column has to be persisted and not nullable.");
      }
    }
    if (IsLargeValue(table.columns[*at].type)) {
      throw Err(1919, "Column '" + table.columns[*at].name + "' in table '" + table.name +
                          "' is of a type that is invalid for use as a key column in an index.");
    }
    index.columns.push_back(*at);
  }
  if (index.columns.size() > 32) {
    throw Err(1904, "The index '" + index.name + "' on table '" + qualifiedTable + "' has " +
                        std::to_string(index.columns.size()) +
                        " column names in index key list. The maximum limit for index or statistics key "
                        "column list is 32.");
  }
  if (index.descending.size() < index.columns.size()) index.descending.resize(index.columns.size());
  int most = 0, least = 0;
  for (std::size_t c : index.columns) {
    most += MaxKeyBytes(table.columns[c].type);
    least += MinKeyBytes(table.columns[c].type);
  }
  const int limit = KeyLimit(index);
  if (least > limit) {
    throw Err(1944, "Index '" + index.name + "' was not created. This index has a key length of at least " +
                        std::to_string(least) + " bytes. The maximum permissible key length is " +
                        std::to_string(limit) + " bytes.");
  }
  if (most > limit) {
    warnings.push_back(SqlMessage{1945, 10, 1,
        "Warning! The maximum key length for a " + std::string(index.clustered ? "clustered" : "nonclustered") +
            " index is " + std::to_string(limit) + " bytes. The index '" + index.name +
            "' has maximum length of " + std::to_string(most) +
            " bytes. For some combination of large values, the insert/update operation will fail.", 1});
  }
  for (const Row& row : table.rows) {
    if (!InIndex(index, row)) continue;
    int bytes = KeyBytes(table, index, row);
    if (bytes > limit) {
      throw Err(1946, "Operation failed. The index entry of length " + std::to_string(bytes) +
                          " bytes for the index '" + index.name + "' exceeds the maximum length of " +
                          std::to_string(limit) + " bytes for " +
                          (index.clustered ? "clustered" : "nonclustered") + " indexes.");
    }
  }
  if (index.clustered) {
    for (const auto& other : table.indexes) {
      if (other.clustered) {
        throw Err(1902, "Cannot create more than one clustered index on table '" + qualifiedTable +
                            "'. Drop the existing clustered index '" + other.name +
                            "' before creating another.");
      }
    }
  }
  if (index.unique) {
    for (const Row& row : table.rows) {
      if (!InIndex(index, row)) continue;
      if (!index.keys.insert(IndexKey(table, index, row)).second) {
        throw Err(1505, "The CREATE UNIQUE INDEX statement terminated because a duplicate key was "
                        "found for the object name '" + qualifiedTable + "' and the index name '" +
                        index.name + "'. The duplicate key value is " + KeyDisplay(index, row) + ".");
      }
    }
  }
  if (index.clustered) {
    index.indexId = 1;
  } else {
    int next = 2;
    for (const auto& other : table.indexes) next = std::max(next, other.indexId + 1);
    index.indexId = next;
  }
  table.indexes.push_back(std::move(index));
}

}  // namespace

std::string Session::QualifiedName(const Database&, const Table& t) const { return "dbo." + t.name; }

Database& Session::DatabaseOf(const ObjectName& name) {
  const std::string& dbName = name.database.empty() ? database_ : name.database;
  Database* db = catalogue_.Find(dbName);
  if (!db) {
    throw Err(911, "Database '" + dbName + "' does not exist. Make sure that the name is entered correctly.",
              ErrorScope::Batch);
  }
  return *db;
}

Table* Session::FindTable(const ObjectName& name, Database** dbOut) {
  Database& db = DatabaseOf(name);
  if (dbOut) *dbOut = &db;
  if (!name.schema.empty() && !EqualsIgnoringCase(name.schema, "dbo")) return nullptr;
  auto it = db.tables.find(name.name);
  return it == db.tables.end() ? nullptr : &it->second;
}

Session::Outcome Session::CreateDb(const CreateDatabase& s) {
  std::lock_guard lock(catalogue_.mutex);
  if (catalogue_.Find(s.name)) {
    throw Err(1801, "Database '" + s.name + "' already exists. Choose a different database name.");
  }
  std::string collation = kDefaultCollation;
  if (!s.collation.empty()) collation = KnownCollation(s.collation);
  Database db(collation);
  db.name = s.name;
  db.id = catalogue_.nextDatabaseId++;
  catalogue_.databases.emplace(s.name, std::move(db));
  return {};
}

Session::Outcome Session::DropDb(const DropDatabase& s) {
  std::lock_guard lock(catalogue_.mutex);
  for (const auto& name : s.names) {
    Database* db = catalogue_.Find(name);
    if (!db) {
      throw Err(3701, "Cannot drop the database '" + name +
                          "', because it does not exist or you do not have permission.");
    }
    if (db->id <= 4) {
      throw Err(3708, "Cannot drop the database '" + db->name + "' because it is a system database.");
    }
    if (db->sessions > 0) {
      throw Err(3702, "Cannot drop database \"" + db->name + "\" because it is currently in use.");
    }
    catalogue_.databases.erase(db->name);
  }
  return {};
}

Session::Outcome Session::MakeTable(const CreateTable& s) {
  std::lock_guard lock(catalogue_.mutex);
  Database& db = DatabaseOf(s.table);
  if (!s.table.schema.empty() && !EqualsIgnoringCase(s.table.schema, "dbo")) {
    throw Err(2760, "The specified schema name \"" + s.table.schema +
                        "\" either does not exist or you do not have permission to use it.");
  }
  if (db.objectNames.count(s.table.name)) {
    throw Err(2714, "There is already an object named '" + s.table.name + "' in the database.");
  }
  Table t;
  t.name = s.table.name;
  t.collation = db.collation;
  t.objectId = catalogue_.nextObjectId;
  catalogue_.nextObjectId += 16007;

  // "Maximum capacity specifications": 1,024 columns in a table.
  if (s.columns.size() > 1024) {
    throw Err(1702, "CREATE TABLE failed because column '" + s.columns[1024].name + "' in table '" + t.name +
                        "' exceeds the maximum of 1024 columns.");
  }
  std::vector<KeyConstraint> constraints;
  bool identitySeen = false, timestampSeen = false;
  for (std::size_t i = 0; i < s.columns.size(); ++i) {
    const ColumnDefinition& d = s.columns[i];
    Column c;
    c.name = d.name;
    if (d.computed) {
      // Typed once every column is known (ResolveComputed).
      if (t.ColumnIndex(c.name)) {
        throw Err(2705, "Column names in each table must be unique. Column name '" + c.name +
                            "' in table '" + t.name + "' is specified more than once.");
      }
      c.computed = d.computed;
      c.persisted = d.persisted;
      c.nullable = d.nullable.value_or(true);
      if ((!d.nullable.value_or(true) || !d.checks.empty()) && !d.persisted) {
        throw Err(8183, "Only UNIQUE or PRIMARY KEY constraints can be created on computed columns, while CHECK, "
                        "FOREIGN KEY, and NOT NULL constraints require that computed columns be persisted.");
      }
      if (d.primaryKey || d.unique) constraints.push_back(ColumnKey(d));
      t.columns.push_back(c);
      continue;
    }
    c.type = ResolveType(d, static_cast<int>(i + 1));
    const bool character = IsCharacter(c.type.kind) || IsNCharacter(c.type.kind);
    if (!d.collation.empty() && !character) {
      throw Err(447, "Expression type " + TypeName(c.type.kind) + " is invalid for COLLATE clause.");
    }
    if (character) c.type.collation = d.collation.empty() ? db.collation : KnownCollation(d.collation);
    if (t.ColumnIndex(c.name)) {
      throw Err(2705, "Column names in each table must be unique. Column name '" + c.name +
                          "' in table '" + t.name + "' is specified more than once.");
    }
    if (d.identity) {
      bool integral = IsInteger(c.type.kind) || (c.type.kind == Kind::Decimal && c.type.scale == 0);
      if (!integral) {
        throw Err(2749, "Identity column '" + c.name +
                            "' must be of data type int, bigint, smallint, tinyint, or decimal or "
                            "numeric with a scale of 0, and constrained to be nonnullable.");
      }
      if (d.nullable.value_or(false)) {
        throw Err(8147, "Could not create IDENTITY attribute on nullable column '" + c.name +
                            "', table '" + t.name + "'.");
      }
      if (identitySeen) {
        throw Err(2744, "Multiple identity columns specified for table '" + t.name +
                            "'. Only one identity column per table is allowed.");
      }
      if (d.increment == 0) throw Err(2749, "Identity column '" + c.name + "' must have a nonzero increment.");
      identitySeen = true;
      c.identity = true;
      c.seed = d.seed;
      c.increment = d.increment;
    }
    if (c.type.kind == Kind::Timestamp) {
      if (timestampSeen) {
        throw Err(2738, "A table can only have one timestamp column. Because table '" + t.name +
                            "' already has one, the column '" + c.name + "' cannot be added.");
      }
      timestampSeen = true;
    }
    bool inPrimaryKey = d.primaryKey;
    for (const auto& k : s.constraints) {
      if (!k.primaryKey) continue;
      for (const auto& col : k.columns) inPrimaryKey = inPrimaryKey || EqualsIgnoringCase(col, c.name);
    }
    if (d.nullable) {
      c.nullable = *d.nullable;
    } else {
      c.nullable = !(d.identity || inPrimaryKey || c.type.kind == Kind::Timestamp) &&
                   options_.ansiNullDefaultOn;
    }
    if (d.primaryKey || d.unique) constraints.push_back(ColumnKey(d));
    if (d.defaultValue) c.defaultConstraint = MakeDefault(db, t, c, d.defaultName, *d.defaultValue);
    t.columns.push_back(c);
  }
  ResolveComputed(t);
  // The minimum row size: fixed-length data, eight BIT columns to a byte, and the row header,
  // column count and NULL bitmap (a computed column that is not persisted takes no room).
  int fixed = 0, bits = 0;
  for (const Column& c : t.columns) {
    if (c.computed && !c.persisted) continue;
    if (c.type.kind == Kind::Bit) ++bits;
    else fixed += FixedBytes(c.type);
  }
  const int columnCount = static_cast<int>(t.columns.size());
  const int overhead = 4 + 2 + (columnCount + 7) / 8;
  const int minimum = fixed + (bits + 7) / 8 + overhead;
  if (minimum > 8060) {
    throw Err(1701, "Creating or altering table '" + t.name + "' failed because the minimum row size would be " +
                        std::to_string(minimum) + ", including " + std::to_string(overhead) +
                        " bytes of internal overhead. This exceeds the maximum allowable table row size of 8060 bytes.");
  }
  constraints.insert(constraints.end(), s.constraints.begin(), s.constraints.end());
  // Primary key first: it takes the clustered index unless told otherwise.
  std::stable_partition(constraints.begin(), constraints.end(),
                        [](const KeyConstraint& k) { return k.primaryKey; });
  std::set<std::string, NameLess> names{NameLess{db.collation}};
  for (const Column& c : t.columns) {
    if (!c.defaultConstraint) continue;
    if (!names.insert(c.defaultConstraint->name).second) {
      throw Err(2714, "There is already an object named '" + c.defaultConstraint->name + "' in the database.");
    }
  }
  std::vector<SqlMessage> warnings;
  int serial = 0;
  bool primarySeen = false;
  const std::string qualified = "dbo." + t.name;
  for (const auto& k : constraints) {
    if (k.primaryKey) {
      if (primarySeen) {
        throw Err(8110, "Cannot add multiple PRIMARY KEY constraints to table '" + t.name + "'.");
      }
      primarySeen = true;
    }
    Index index = KeyConstraintIndex(t, k, ++serial);
    if (db.objectNames.count(index.name) || names.count(index.name)) {
      throw Err(2714, "There is already an object named '" + index.name + "' in the database.");
    }
    names.insert(index.name);
    AddIndex(t, index, k.columns, qualified, warnings);
  }
  // CHECK constraints: those of columns refer to their own column only.
  for (std::size_t i = 0; i < s.columns.size(); ++i) {
    for (const auto& check : s.columns[i].checks) {
      t.checks.push_back(MakeCheck(db, t, check, static_cast<int>(i + 1)));
    }
  }
  for (const auto& check : s.checks) t.checks.push_back(MakeCheck(db, t, check, 0));
  for (const auto& check : t.checks) {
    if (!names.insert(check.name).second) {
      throw Err(2714, "There is already an object named '" + check.name + "' in the database.");
    }
  }
  db.objectNames.insert(t.name);
  for (const auto& n : names) db.objectNames.insert(n);
  for (auto& w : warnings) warnings_.push_back(std::move(w));
  db.tables.emplace(t.name, std::move(t));
  return {};
}

Session::Outcome Session::RemoveTables(const DropTable& s) {
  std::lock_guard lock(catalogue_.mutex);
  for (const auto& name : s.tables) {
    Database* db = nullptr;
    Table* t = FindTable(name, &db);
    if (!t) {
      if (s.ifExists) continue;
      throw Err(3701, "Cannot drop the table '" + name.written +
                          "', because it does not exist or you do not have permission.");
    }
    for (const auto& [otherName, other] : db->tables) {
      for (const auto& fk : other.foreignKeys) {
        if (&other != t && NamesEqual(fk.referencedTable, t->name, db->collation)) {
          throw Err(3726, "Could not drop object '" + name.written + "' because it is referenced by a FOREIGN KEY constraint.");
        }
      }
    }
    for (const auto& index : t->indexes) {
      if (index.primaryKey || index.uniqueConstraint) db->objectNames.erase(index.name);
    }
    for (const auto& fk : t->foreignKeys) db->objectNames.erase(fk.name);
    for (const auto& c : t->columns) {
      if (c.defaultConstraint) db->objectNames.erase(c.defaultConstraint->name);
    }
    db->objectNames.erase(t->name);
    if (identityInsert_ && EqualsIgnoringCase(identityInsert_->first, db->name) &&
        EqualsIgnoringCase(identityInsert_->second, t->name)) {
      identityInsert_.reset();
    }
    db->tables.erase(t->name);
  }
  return {};
}

// ALTER TABLE t ADD [CONSTRAINT n] PRIMARY KEY | UNIQUE [CLUSTERED | NONCLUSTERED] (...): the
// rows already there must fit the key (1505, 8111 for nullable PRIMARY KEY columns).
Session::Outcome Session::AddKey(Database& db, Table& t, const KeyConstraint& k) {
  if (k.primaryKey) {
    for (const auto& index : t.indexes) {
      if (index.primaryKey) throw Err(1779, "Table '" + t.name + "' already has a primary key defined on it.");
    }
  }
  Index index = KeyConstraintIndex(t, k, static_cast<int>(t.indexes.size()) + 1);
  if (db.objectNames.count(index.name)) {
    throw Err(2714, "There is already an object named '" + index.name + "' in the database.");
  }
  for (const auto& other : t.indexes) {
    if (NamesEqual(other.name, index.name, t.collation)) {
      throw Err(1913, "The operation failed because an index or statistics with name '" + index.name +
                          "' already exists on table 'dbo." + t.name + "'.");
    }
  }
  std::vector<SqlMessage> warnings;
  AddIndex(t, index, k.columns, "dbo." + t.name, warnings);
  db.objectNames.insert(index.name);
  for (auto& w : warnings) warnings_.push_back(std::move(w));
  return {};
}

Session::Outcome Session::MakeIndex(const CreateIndex& s) {
  std::lock_guard lock(catalogue_.mutex);
  Table* t = FindTable(s.table);
  if (!t) {
    throw Err(1088, "Cannot find the object \"" + s.table.written +
                        "\" because it does not exist or you do not have permissions.");
  }
  for (const auto& other : t->indexes) {
    if (NamesEqual(other.name, s.name, t->collation)) {
      throw Err(1913, "The operation failed because an index or statistics with name '" + s.name +
                          "' already exists on table 'dbo." + t->name + "'.");
    }
  }
  Index index;
  index.name = s.name;
  index.unique = s.unique;
  index.clustered = s.clustered;
  index.descending = s.descending;
  if (!s.filterNotNull.empty()) {
    // Filtered indexes are nonclustered (CREATE INDEX, WHERE <filter_predicate>).
    if (s.clustered) throw NotModelled("filtered clustered indexes, which SQL Server refuses");
    std::string definition;
    for (const auto& name : s.filterNotNull) {
      auto at = t->ColumnIndex(name);
      if (!at) throw SqlError(207, 16, "Invalid column name '" + name + "'.", ErrorScope::Batch);
      index.filterNotNull.push_back(*at);
      definition += (definition.empty() ? "" : " AND ") + ("[" + t->columns[*at].name + "] IS NOT NULL");
    }
    index.filterDefinition = "(" + definition + ")";
  }
  std::vector<SqlMessage> warnings;
  AddIndex(*t, index, s.columns, "dbo." + t->name, warnings);
  for (auto& w : warnings) warnings_.push_back(std::move(w));
  return {};
}

Session::Outcome Session::IdentityInsert(const SetIdentityInsert& s) {
  std::lock_guard lock(catalogue_.mutex);
  Database* db = nullptr;
  Table* t = FindTable(s.table, &db);
  if (!t) {
    throw Err(1088, "Cannot find the object \"" + s.table.written +
                        "\" because it does not exist or you do not have permissions.");
  }
  bool hasIdentity = false;
  for (const auto& c : t->columns) hasIdentity = hasIdentity || c.identity;
  if (!hasIdentity) {
    throw Err(8106, "Table '" + t->name + "' does not have the identity property. Cannot perform SET operation.");
  }
  bool same = identityInsert_ && EqualsIgnoringCase(identityInsert_->first, db->name) &&
              EqualsIgnoringCase(identityInsert_->second, t->name);
  if (s.on) {
    if (identityInsert_ && !same) {
      throw Err(8107, "IDENTITY_INSERT is already ON for table '" + identityInsert_->first +
                          ".dbo." + identityInsert_->second +
                          "'. Cannot perform SET operation for table '" + t->name + "'.");
    }
    identityInsert_ = std::pair(db->name, t->name);
  } else if (same) {
    identityInsert_.reset();
  }
  return {};
}

}  // namespace morvane::tds
