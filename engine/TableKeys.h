#pragma once
// The keys and indexes of one table as SQL Server statements: the primary key inside CREATE
// TABLE, every other key and index a statement of its own, and what cannot be carried named.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/SchemaNames.h"
#include "source/FieldRecord.h"
#include "source/TableSchema.h"

namespace morvane {

// A statement that waits until its table exists, and what it creates, in plain words, for
// the report when SQL Server refuses it.
struct PendingStatement {
  std::string IndexStatement;
  std::string what;  // e.g. "unique key email of table users"
};

struct TableKeys {
  std::string keyClause;                    // ", PRIMARY KEY[ NONCLUSTERED]([a],[b])" or ""
  std::vector<PendingStatement> statements;  // unique keys and indexes, in MySQL's order
  std::vector<std::string> leftOut;          // what is not carried, and why
  std::vector<std::string> carried;          // the MySQL names of the keys and indexes carried
};

// What the keys of a table must be beside what MySQL defines, so that foreign keys of other
// tables can reference them: unique keys created as UNIQUE constraints although a member
// admits NULL (their MySQL names), and UNIQUE constraints added on columns that MySQL indexes
// without a unique key.
struct AddedUnique {
  std::vector<std::string> columns;
  std::string forKey;  // "foreign key f of table t"
};
struct KeyChoices {
  std::vector<std::string> unfiltered;
  std::vector<AddedUnique> added;
};

// The most bytes a key column of this SQL Server type can hold, and whether it varies; nothing
// when the type cannot be a key column (the (MAX) types, TEXT, NTEXT, IMAGE, XML, unknown).
struct KeyWidth {
  std::uint32_t bytes = 0;
  bool variable = false;
};
std::optional<KeyWidth> KeyColumnWidth(const std::string& typeText);

// SQL Server's limits: 900 bytes for a clustered key, 1700 for a nonclustered one, 32 columns.
inline constexpr std::uint32_t ClusteredKeyLimit = 900;
inline constexpr std::uint32_t KeyLimit = 1700;
inline constexpr std::size_t KeyColumnLimit = 32;

// `table` is the MySQL table, `target` its name on SQL Server; `typeTexts` the SQL Server
// type of each field.
TableKeys BuildTableKeys(const std::string& table, const std::string& target,
                         const std::vector<FieldRecord>& fields,
                         const std::vector<std::string>& typeTexts, const TableSchema& schema,
                         SchemaNames& names, const KeyChoices& choices = {});

}  // namespace morvane
