#pragma once
// The row copy: every row of a MySQL table becomes one INSERT on the target database.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/StopSignal.h"
#include "engine/WizardWindow.h"
#include "source/SourceDatabase.h"
#include "target/TargetServer.h"

namespace morvane {

struct CopyOptions {
  std::chrono::milliseconds pause{50};  // after every row
  StopSignal* stop = nullptr;           // looked for before every row and during each pause
};

enum class CopyOutcome {
  Completed,     // every row was read; refused rows were reported and skipped
  Stopped,       // a stop was requested; the rows copied so far stay
  SourceFailed,  // the table's columns or rows could not be read (reported)
  TargetFailed,  // the target refused what every row needs, or the connection broke (reported)
};

struct CopyResult {
  CopyOutcome outcome = CopyOutcome::Completed;
  std::uint64_t rowsCopied = 0;
  std::uint64_t rowsRefused = 0;
};

// Copies the rows of `table` into the table of that name in TargetDatabase, in the order
// MySQL returns them, one INSERT per row naming its columns. Identity values are kept (the
// table's IDENTITY_INSERT is on while its rows go in). A refused row is reported in its own
// message box and skipped; after every row the copy pauses and writes the status line.
// `targetTable`, when not empty, is the table's name on the target (a renamed table).
CopyResult CopyTableRows(SourceDatabase& source, TargetConnection& target, RowCopyWindow& window,
                         const std::string& table, const CopyOptions& options = {},
                         const std::string& targetTable = {});

// How the cells of a column are written, chosen once per column.
enum class LiteralForm { Bit, Integer, BitValue, Number, Binary, DateTime, Text };

LiteralForm LiteralFormOf(std::string_view typeText, int mysqlType);

// Appends the T-SQL literal of one cell and ",".
void AppendValueLiteral(std::string& out, const Cell& cell, LiteralForm form);

// The literal of one cell, followed by ",", for a column of that SQL Server type text and
// MySQL type code.
std::string GetValueLiteral(const Cell& cell, std::string_view typeText, int mysqlType);

// The text with every "'" doubled.
std::string DoubleQuotes(std::string_view text);

}  // namespace morvane
