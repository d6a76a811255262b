#pragma once
// What the conversion engine reads from the source database: the field listing of a table, what
// one query per column tells about its values, its row count and its rows, all inside one
// snapshot. The MySQL connection offers it; tests hand the engine prepared records and rows
// through the same interface.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "source/ColumnProfile.h"
#include "source/FieldRecord.h"
#include "source/TableSchema.h"

namespace morvane {

// One cell: no value (SQL NULL), or its bytes with their real length (zero bytes included).
using Cell = std::optional<std::string_view>;

// The rows of one table, one at a time, in the order the server returns them.
class RowReader {
 public:
  virtual ~RowReader() = default;

  // The next row, valid until the next call; nullptr after the last row or when reading
  // failed (Error() then tells why).
  virtual const std::vector<Cell>* Next() = 0;
  virtual std::optional<std::string> Error() const = 0;
};

class SourceDatabase {
 public:
  virtual ~SourceDatabase() = default;

  // One record per column of the table, in the table's column order; nothing when the
  // listing cannot be obtained (the table is gone, the connection is lost).
  virtual std::optional<std::vector<FieldRecord>> FieldListing(const std::string& table) = 0;

  // The table's keys, indexes, foreign keys, defaults and collations as MySQL defines them;
  // nothing when they cannot be read.
  virtual std::optional<TableSchema> Schema(const std::string& table) = 0;

  // Starts reading every row of the table. Nothing when the server refuses; errorText then
  // says why. Take the field listing first: while rows are read, nothing else can be asked.
  // Every value at full precision (a FLOAT as the server stores it, not six digits of it).
  virtual std::unique_ptr<RowReader> ReadRows(const std::string& table, std::string& errorText) = 0;
  // The same, for the columns of a field listing already taken (none is taken again).
  virtual std::unique_ptr<RowReader> ReadRows(const std::string& table,
                                              const std::vector<FieldRecord>& fields,
                                              std::string& errorText) {
    (void)fields;
    return ReadRows(table, errorText);
  }

  // Opens one read-only, consistent view of the source: until EndSnapshot, every read sees the
  // database as it was at this moment. False, with errorText, when the server refuses.
  virtual bool BeginSnapshot(std::string& errorText) = 0;
  virtual void EndSnapshot() = 0;

  // Of the tables named, those whose storage engine takes no part in the snapshot (MyISAM,
  // Aria, MEMORY, ...): each is read as it is when read, not as it was when the snapshot began.
  struct TableEngine {
    std::string table, engine;
  };
  virtual std::vector<TableEngine> TablesOutsideSnapshot(const std::vector<std::string>&) {
    return {};
  }

  // What the query that ProfileQueryOf(field) names tells about the column's stored values; an
  // empty profile for a column that needs none; nothing when the query fails.
  virtual std::optional<ColumnProfile> ProfileColumn(const std::string& table,
                                                     const FieldRecord& field) = 0;

  // COUNT(*) of the table; nothing when the server refuses.
  virtual std::optional<std::uint64_t> CountRows(const std::string& table) = 0;

  // Whether no two rows of the table hold equal values in these columns, NULLs counting as
  // equal values (as SQL Server's UNIQUE constraint counts them); nothing when the server
  // refuses.
  virtual std::optional<bool> ValuesUnique(const std::string& table,
                                           const std::vector<std::string>& columns) = 0;
};

}  // namespace morvane
