#pragma once
// The row copy: every row of a MySQL table becomes one INSERT on the target database.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "source/ColumnProfile.h"
#include "engine/RunReport.h"
#include "engine/StopSignal.h"
#include "engine/WizardWindow.h"
#include "source/SourceDatabase.h"
#include "target/TargetServer.h"

namespace morvane {

struct CopyOptions {
  std::chrono::milliseconds pause{50};  // after every row
  StopSignal* stop = nullptr;           // looked for before every row and during each pause
  // What the per-column queries told, one per column of the field listing (none: nothing known).
  const std::vector<ColumnProfile>* profiles = nullptr;
  // Where the values the copy refuses itself are named (table, column, value, why).
  RunReport* report = nullptr;
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
  std::uint64_t rowsRefused = 0;  // by the target, or by the copy for a value it cannot carry
};

// Copies the rows of `table` into the table of that name in TargetDatabase, in the order
// MySQL returns them, one INSERT per row naming its columns. Identity values are kept (the
// table's IDENTITY_INSERT is on while its rows go in). A refused row is reported in its own
// message box and skipped; a row holding a value that would not arrive unchanged is not sent,
// and the value is named in the report. After every row the copy pauses and writes the status
// line. `targetTable`, when not empty, is the table's name on the target (a renamed table).
CopyResult CopyTableRows(SourceDatabase& source, TargetConnection& target, RowCopyWindow& window,
                         const std::string& table, const CopyOptions& options = {},
                         const std::string& targetTable = {});

// The same for the columns a plan has already read and typed: `fields` as the listing gave
// them, `types` the SQL Server type of each. No listing is taken again.
CopyResult CopyTableRows(SourceDatabase& source, TargetConnection& target, RowCopyWindow& window,
                         const std::string& table, const std::vector<FieldRecord>& fields,
                         const std::vector<std::string>& types, const CopyOptions& options,
                         const std::string& targetTable);

// How the cells of a column are written, chosen once per column.
enum class LiteralForm {
  Bit, Integer, BitValue, Float, Decimal, Binary, Date, DateTime, Time, TimeSpan, Text
};

struct ColumnLiteral {
  LiteralForm form = LiteralForm::Text;
  std::uint32_t precision = 0;  // DECIMAL(p, s): p
  std::uint32_t scale = 0;      // DECIMAL(p, s): s; DATETIME2(p), TIME(p): p
  std::uint32_t maxUnits = 0;   // NCHAR(n): n UTF-16 code units; 0 when no width is checked
  bool keepsNotNull = false;    // a zero date cannot become NULL here (primary key member)
  bool varying = false;         // maxUnits is of NVARCHAR(n): a CHAR(n) made variable
};

// The form for a column of that SQL Server type text and MySQL type code.
ColumnLiteral ColumnLiteralOf(std::string_view typeText, int mysqlType);

// Appends the T-SQL literal of one cell and ",", and returns nothing. When the value cannot
// arrive unchanged, appends nothing and returns why, in words that follow the value.
std::optional<std::string> AppendValueLiteral(std::string& out, const Cell& cell,
                                              const ColumnLiteral& column);

// The literal of one cell, followed by ",", for a column of that SQL Server type text and
// MySQL type code; empty when the value is refused.
std::string GetValueLiteral(const Cell& cell, std::string_view typeText, int mysqlType);

// How a refused value is shown in the report: texts quoted, long ones shortened.
std::string ShownValue(std::string_view value, LiteralForm form);

// The text with every "'" doubled.
std::string DoubleQuotes(std::string_view text);

}  // namespace morvane
