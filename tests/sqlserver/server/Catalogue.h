#pragma once
// The in-memory catalogue that every connection shares: databases, tables with their columns and
// DEFAULTs, PRIMARY KEY, UNIQUE and FOREIGN KEY constraints, indexes and rows. Callers hold
// `mutex` while they use it.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/sqlserver/server/Collation.h"
#include "tests/sqlserver/server/Statements.h"
#include "tests/sqlserver/server/Text.h"
#include "tests/sqlserver/server/Types.h"

namespace morvane::tds {

// A DEFAULT constraint: its value and its text as sys.default_constraints shows it.
struct DefaultConstraint {
  std::string name;
  int objectId = 0;
  Expression value;
  std::string definition;
};

struct Column {
  std::string name;
  std::optional<DefaultConstraint> defaultConstraint;
  ColumnType type;
  bool nullable = true;
  bool identity = false;
  std::int64_t seed = 1;
  std::int64_t increment = 1;
  // A computed column (c AS expression): its value is computed for each row as it is inserted.
  std::optional<Expression> computed;
  std::string computedDefinition;  // as sys.computed_columns shows it
  bool persisted = false;
  bool deterministic = true;
};

// A CHECK constraint: a row may not make its condition FALSE (UNKNOWN passes).
struct CheckConstraint {
  std::string name;
  int objectId = 0;
  Expression condition;
  std::string definition;
  int parentColumn = 0;      // a column-level constraint's column_id; 0 for a table-level one
  bool notTrusted = false;   // added WITH NOCHECK
};

struct Index {
  std::string name;
  int indexId = 0;
  std::vector<std::size_t> columns;
  std::vector<bool> descending;
  bool unique = false;
  bool primaryKey = false;
  bool uniqueConstraint = false;
  bool clustered = false;
  std::vector<std::size_t> filterNotNull;  // a filtered index: the rows where these are not NULL
  std::string filterDefinition;            // as sys.indexes shows it
  std::set<std::string> keys;  // the keys of every row in the index, for unique indexes
};


// A FOREIGN KEY of the table that holds it (the referencing one).
struct ForeignKey {
  std::string name;
  int objectId = 0;
  std::vector<std::size_t> columns;
  std::string referencedTable;
  std::vector<std::size_t> referencedColumns;
  int keyIndexId = 0;  // the referenced PRIMARY KEY, UNIQUE constraint or unique index
  std::string onDelete = "NO_ACTION";
  std::string onUpdate = "NO_ACTION";
  bool notTrusted = false;  // created WITH NOCHECK
};

using Row = std::vector<Value>;
// Whether a row is in an index (a filtered index leaves rows out).
bool InIndex(const Index& index, const Row& row);

struct Table {
  std::string name;
  std::string collation = kDefaultCollation;  // the database's: names of columns and indexes
  int objectId = 0;
  std::vector<Column> columns;
  std::vector<Index> indexes;
  std::vector<ForeignKey> foreignKeys;
  std::vector<CheckConstraint> checks;
  std::vector<Row> rows;
  std::optional<std::int64_t> lastIdentity;

  std::optional<std::size_t> ColumnIndex(const std::string& column) const;
  const Index* IndexById(int indexId) const;
  // Recomputes the keys of the unique indexes from the rows (after rows went or changed).
  void RebuildKeys();
};

struct Database {
  explicit Database(std::string collationName = kDefaultCollation)
      : collation(collationName), tables(NameLess{collationName}), objectNames(NameLess{collationName}) {}

  std::string name;
  int id = 0;
  std::string collation;  // the default of its columns; its object names compare under it
  std::map<std::string, Table, NameLess> tables;
  std::set<std::string, NameLess> objectNames;  // tables and constraints (schema dbo)
  int sessions = 0;                                      // connections using it
  std::uint64_t rowVersion = 2000;                       // @@DBTS
};

struct Catalogue {
  Catalogue();

  std::mutex mutex;
  std::map<std::string, Database, LessIgnoringCase> databases;
  int nextDatabaseId = 5;
  int nextObjectId = 245575913;

  Database* Find(const std::string& name);
};

// The name SQL Server gives an unnamed constraint: PREFIX__table__column__hex (table and column
// cut to nine characters; without a column PREFIX__table__hex).
std::string GeneratedName(const std::string& prefix, const std::string& table, const std::string& column,
                          int objectId);

// The largest key an index takes: 900 bytes clustered, 1700 nonclustered.
int KeyLimit(const Index& index);
// The bytes a column's values take in an index key: at most, and at least.
int MaxKeyBytes(const ColumnType& type);
int MinKeyBytes(const ColumnType& type);
// The bytes of a row's key in an index.
int KeyBytes(const Table& table, const Index& index, const Row& row);

// The key of a row in an index: equal for rows that the index treats as duplicates (texts
// compare under their columns' collations).
std::string IndexKey(const Table& table, const Index& index, const Row& row);
// "(7)" or "(abc, 2)": the duplicate key value of error texts.
std::string KeyDisplay(const Index& index, const Row& row);

}  // namespace morvane::tds
