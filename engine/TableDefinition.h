#pragma once
// The CREATE TABLE statement of a MySQL table, and the statements that go with it: its unique
// keys and indexes once the table exists, its foreign keys once every table has its rows.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/ForeignKeys.h"
#include "engine/SchemaNames.h"
#include "engine/TableKeys.h"
#include "source/ColumnProfile.h"
#include "source/SourceDatabase.h"

namespace morvane {

// What GetColumnList and GetKeyClause leave for the run beside the texts they return.
struct PendingIndex {
  // The table's unique keys and indexes, each to be sent on its own once the table exists;
  // the run sends them and clears the list.
  std::vector<PendingStatement> IndexStatements;
  // What of the table's schema is not carried, and why, in plain words; the run moves it
  // into its report.
  std::vector<std::string> LeftOut;
  // The foreign keys of every table so far, for the end of the run.
  std::vector<PendingForeignKey> ForeignKeys;
  // The names taken on the target during the run.
  SchemaNames Names;

  bool IndexPending() const { return !IndexStatements.empty(); }
};

// One column as it is created on SQL Server.
struct ColumnPlan {
  FieldRecord field;
  ColumnProfile profile;
  std::optional<ColumnInfo> info;  // what information_schema says of it, when it could be read
  std::string type;                // the SQL Server type text
  bool nullable = true;
  std::string defaultClause;       // " DEFAULT ..." or empty (FinishColumns)
};

// Each column's type, collation source and nullability, from the field records, what the
// per-column queries told (`profiles`, one per field, or none) and the schema (or none).
std::vector<ColumnPlan> PlanColumns(const std::vector<FieldRecord>& fields,
                                    const std::vector<ColumnProfile>* profiles,
                                    const TableSchema* schema);

// Once the types are final: each column's default clause; what is not carried goes to
// `leftOut`.
void FinishColumns(const std::string& table, std::vector<ColumnPlan>& columns,
                   std::vector<std::string>& leftOut);

// The column list of planned columns; the identity column reads IDENTITY(seed, 1) when a seed
// other than 1 is given.
std::string ColumnListOf(const std::vector<ColumnPlan>& columns,
                         std::optional<std::uint64_t> identitySeed = std::nullopt);

// The key clause, the statements of the table's keys and indexes, and what is not carried of
// its keys, CHECK constraints, triggers and kind, for planned column types.
TableKeys PlanKeys(const std::string& table, const std::string& target,
                   const std::vector<FieldRecord>& fields, const std::vector<std::string>& types,
                   const TableSchema& schema, SchemaNames& names, const KeyChoices& choices = {});

// "[name] TYPE[ COLLATE c][ IDENTITY] NULL|NOT NULL[ DEFAULT v]" per column, joined by ", ".
// Empty when the field listing cannot be obtained. `profiles` (one per column, when given)
// tell the types that depend on the data; a NOT NULL column holding zero dates is created
// NULL, unless it is a primary key member. A default or generation expression that is not
// carried is added to pending.LeftOut.
std::string GetColumnList(SourceDatabase& source, const std::string& table, PendingIndex& pending,
                          const std::vector<ColumnProfile>* profiles = nullptr);
std::string GetColumnList(SourceDatabase& source, const std::string& table,
                          const std::vector<ColumnProfile>* profiles = nullptr);

// Whether the column is created NULL although MySQL declares it NOT NULL: its zero or partial
// dates arrive as NULL.
bool RelaxedForZeroDates(const FieldRecord& field, const ColumnProfile& profile);

// ", PRIMARY KEY[ NONCLUSTERED](...)" or the empty text, read from the keys MySQL defines.
// Every unique key and index becomes a statement of its own in pending.IndexStatements,
// written for the table's name on the target (`target`, the table's own name by default);
// foreign keys go to pending.ForeignKeys; what is not carried to pending.LeftOut. The
// columns' types (with `profiles`, as GetColumnList makes them) decide which can be key
// members and how wide a key grows.
std::string GetKeyClause(SourceDatabase& source, const std::string& table,
                         const std::string& target, PendingIndex& pending,
                         const std::vector<ColumnProfile>* profiles = nullptr);
std::string GetKeyClause(SourceDatabase& source, const std::string& table, PendingIndex& pending);

// "CREATE TABLE [table] (" + columns + keys + ");"
std::string CreateTableStatement(const std::string& table, const std::string& columns,
                                 const std::string& keys);

}  // namespace morvane
