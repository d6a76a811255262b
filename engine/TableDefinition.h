#pragma once
// The CREATE TABLE statement of a MySQL table, and the one index that goes with it.

#include <string>
#include <vector>

#include "source/ColumnProfile.h"
#include "source/SourceDatabase.h"

namespace morvane {

// The index statement that GetKeyClause leaves for the run to execute once the table exists.
struct PendingIndex {
  std::string IndexStatement;  // the last index statement built
  int IndexPending = 0;        // 1 while IndexStatement waits to be executed; the run clears it
};

// "[name] TYPE[ IDENTITY] NULL|NOT NULL" per column, joined by ", ". Empty when the field
// listing cannot be obtained. `profiles` (one per column, when given) tell the types that
// depend on the data; a NOT NULL column holding zero dates is created NULL, unless it is a
// primary key member.
std::string GetColumnList(SourceDatabase& source, const std::string& table,
                          const std::vector<ColumnProfile>* profiles = nullptr);

// Whether the column is created NULL although MySQL declares it NOT NULL: its zero or partial
// dates arrive as NULL.
bool RelaxedForZeroDates(const FieldRecord& field, const ColumnProfile& profile);

// ", PRIMARY KEY(...)" and "  UNIQUE (...)" as the columns open them, or the empty text.
// Builds the table's index statement into `pending` when a column has a non-unique key.
// Columns of large-object types ((MAX), NTEXT, IMAGE) cannot be key members on SQL Server and are
// left out; a clause or index left without members is not written.
std::string GetKeyClause(SourceDatabase& source, const std::string& table, PendingIndex& pending);

// "CREATE TABLE [table] (" + columns + keys + ");"
std::string CreateTableStatement(const std::string& table, const std::string& columns,
                                 const std::string& keys);

}  // namespace morvane
