#pragma once
// Read, then plan, then convert. The run reads every ticked table once, inside the snapshot;
// the plan, a plain value built from what was read by pure functions, holds every decision
// before the first statement is sent: each table's name on the target, its columns' types and
// why they differ, its CREATE TABLE text, its key, index and foreign-key statements, the
// counter it continues from, and the report's items; the run then only executes it.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/ForeignKeys.h"
#include "engine/RunReport.h"
#include "engine/SchemaNames.h"
#include "engine/TableDefinition.h"
#include "engine/TableKeys.h"
#include "source/ColumnProfile.h"
#include "source/FieldRecord.h"
#include "source/TableSchema.h"

namespace morvane {

// What the run read of one table, once.
struct TableRead {
  std::string table;
  std::optional<std::vector<FieldRecord>> fields;      // nothing: the listing failed
  std::optional<TableSchema> schema;                   // nothing: it could not be read
  std::optional<std::vector<ColumnProfile>> profiles;  // one per field; nothing: a query failed
  std::optional<std::uint64_t> rowCount;               // COUNT(*); nothing: refused
};

// Columns of a table whose values a decision needs to know: whether no two rows hold equal
// values in them, NULLs counting as equal (as a UNIQUE constraint of SQL Server counts them).
struct UniqueQuestion {
  std::string table;
  std::vector<std::string> columns;
  auto operator<=>(const UniqueQuestion&) const = default;
};

struct SourceRead {
  std::vector<TableRead> tables;                  // in the run's order
  std::map<UniqueQuestion, bool> uniqueValues;  // an unanswered question counts as "not unique"
};

// The questions the plan will ask of the data: the referenced columns of foreign keys that
// reference a unique key with a nullable member, or columns MySQL only indexes.
std::vector<UniqueQuestion> UniqueQuestions(const std::vector<TableRead>& tables);

struct TablePlan {
  std::string table;   // the MySQL table
  std::string target;  // its name on SQL Server
  // The listing and the per-column queries were read; a table that was not is reported at its
  // turn and ends the run.
  bool readable = false;
  // Not empty: SQL Server cannot hold the table; it is not sent, and this says why.
  std::string leftOut;
  std::vector<ColumnPlan> columns;
  std::optional<std::uint64_t> identitySeed;   // IDENTITY(seed, 1): the counter of an empty table
  std::optional<std::uint64_t> nextIdentity;   // the counter, set after the rows (DBCC CHECKIDENT)
  std::optional<std::uint64_t> sourceRows;     // COUNT(*) in the snapshot
  std::string columnList, keyClause, createStatement;
  std::vector<PendingStatement> indexStatements;  // keys and indexes, once the table exists
  std::vector<ReportItem> items;                  // said when the table's turn comes

  std::vector<FieldRecord> Fields() const;
  std::vector<std::string> Types() const;
};

struct ConversionPlan {
  std::vector<TablePlan> tables;                 // in the run's order
  std::vector<ForeignKeyStatement> foreignKeys;  // after the last table; empty statement: named

  const TablePlan* Find(const std::string& table) const;
};

// The whole plan. `names` holds the names taken on the target (tables, then each table's keys
// and indexes, then the foreign keys).
ConversionPlan PlanConversion(const SourceRead& read, SchemaNames& names);

// SQL Server's limits on one table: the fixed part of a row (data, BIT columns eight to a
// byte, the row header, column count and NULL bitmap) and the number of columns.
inline constexpr std::uint32_t MaxRowBytes = 8060;
inline constexpr std::size_t MaxTableColumns = 1024;
std::uint32_t FixedRowBytes(const std::vector<std::string>& types);

// Whether every value of the SQL Server type `narrow` is a value of `wide`.
bool TypeHolds(const std::string& wide, const std::string& narrow);

// "DBCC CHECKIDENT ('[t]', RESEED, value);"
std::string ReseedStatement(const std::string& target, std::uint64_t value);

}  // namespace morvane
