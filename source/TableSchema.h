#pragma once
// What MySQL defines for one table besides its columns' types: its indexes and keys, foreign
// keys, column defaults and collations, and what the conversion cannot carry (CHECK
// constraints, triggers, generated columns). Plain values, read once per table.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

struct IndexColumn {
  std::string name;                    // empty for an expression (a functional index part)
  std::optional<std::uint32_t> prefix;  // SUB_PART: indexed characters (bytes for binary)
  bool nullable = false;
};

struct IndexInfo {
  std::string name;   // "PRIMARY" for the primary key
  bool unique = false;
  std::string type;   // BTREE, HASH, FULLTEXT, SPATIAL, ...
  std::vector<IndexColumn> columns;  // in key order

  bool Primary() const { return name == "PRIMARY"; }
};

struct ForeignKeyInfo {
  std::string name;
  std::vector<std::string> columns;
  std::string referencedSchema;
  bool sameDatabase = true;  // the referenced table is in the table's own database
  std::string referencedTable;
  std::vector<std::string> referencedColumns;
  std::string onDelete;  // RESTRICT, NO ACTION, CASCADE, SET NULL, SET DEFAULT
  std::string onUpdate;
};

enum class DefaultKind {
  Absent,            // no DEFAULT clause (or DEFAULT NULL); not "None", which X11 defines as a macro
  Literal,           // a number, text or date: `value` holds it unquoted
  CurrentTimestamp,  // CURRENT_TIMESTAMP / now(), with or without a precision
  Expression,        // anything else: `value` holds the expression
};

struct ColumnInfo {
  std::string name;
  DefaultKind defaultKind = DefaultKind::Absent;
  std::string defaultValue;
  std::string collation;             // COLLATION_NAME; empty for non-text columns
  std::string extra;                 // EXTRA, e.g. "on update current_timestamp()"
  std::string generationExpression;  // empty unless a generated column
  bool nullable = true;
  // CHARACTER_SET_NAME and CHARACTER_MAXIMUM_LENGTH (in characters) of a text column; empty and
  // nothing for the others. The field record reports the connection's set, not the column's.
  std::string characterSet = {};
  std::optional<std::uint64_t> maxCharacters = std::nullopt;
};

struct TableSchema {
  std::vector<ColumnInfo> columns;  // in column order
  std::vector<IndexInfo> indexes;   // the primary key first, then the others in MySQL's order
  std::vector<ForeignKeyInfo> foreignKeys;
  std::vector<std::string> checkConstraints;  // names
  std::vector<std::string> triggers;          // names
  bool isView = false;
  // TABLES.TABLE_TYPE: BASE TABLE, VIEW, SYSTEM VERSIONED (MariaDB), SEQUENCE (MariaDB).
  std::string tableType;
  // TABLES.AUTO_INCREMENT, read fresh: the value MySQL gives the next row; nothing for a table
  // without an AUTO_INCREMENT column.
  std::optional<std::uint64_t> autoIncrement;

  const ColumnInfo* Column(const std::string& name) const {
    for (const auto& c : columns) {
      if (c.name == name) return &c;
    }
    return nullptr;
  }
};

}  // namespace morvane
