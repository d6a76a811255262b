#pragma once
// The row copy: every row of a MySQL table becomes one INSERT on the target database, or, at the
// full pace, one row of a multi-row INSERT.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
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

// Gentle: one INSERT per row and a pause after each, which spares a busy production server.
// Full: no pauses, many rows per statement, the rows read on a thread of their own.
enum class Pace { Gentle, Full };

struct CopyOptions {
  std::chrono::milliseconds pause{50};  // after every row, at the gentle pace
  StopSignal* stop = nullptr;           // looked for before every row and during each pause
  // What the per-column queries told, one per column of the field listing (none: nothing known).
  const std::vector<ColumnProfile>* profiles = nullptr;
  // Where the values the copy refuses itself are named (table, column, value, why).
  RunReport* report = nullptr;
  Pace pace = Pace::Gentle;
  // At full pace: SQL Server takes at most 1 000 row value expressions in one INSERT, and no
  // statement grows beyond this many bytes of text (a single row that is longer goes alone).
  std::size_t maxRowsPerStatement = 1000;
  std::size_t maxStatementBytes = std::size_t{1} << 20;
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
// line. At the full pace there are no pauses, the rows travel in multi-row statements (see
// InsertBatch), a refused statement is sent again row by row so that each refused row is
// reported as above, and the status line changes at most ten times a second. `targetTable`,
// when not empty, is the table's name on the target (a renamed table).
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
  Bit, Integer, BitValue, Float, Decimal, Binary, Date, DateTime, Time, TimeSpan, Text,
  DateTimeOffset  // the wall time and its offset from UTC: "yyyy-mm-dd hh:mm:ss[.f] {+|-}hh:mm:ss"
};

struct ColumnLiteral {
  LiteralForm form = LiteralForm::Text;
  std::uint32_t precision = 0;  // DECIMAL(p, s): p
  std::uint32_t scale = 0;      // DECIMAL(p, s): s; DATETIME2(p), DATETIMEOFFSET(p), TIME(p): p
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

// The type SQL Server gives a literal that AppendValueLiteral wrote, as far as it matters in a
// VALUES list of many rows, which is typed like a UNION ALL: every row's literal is converted
// to one type per column before the column's own type applies.
enum class LiteralKind { Null, Integer, Decimal, Float, Text, Binary };

// The kind of one literal (its text, with or without the "," that follows it).
LiteralKind KindOfLiteral(std::string_view literal);

// Whether literals of the two kinds, both non-NULL, may share a column of one VALUES list
// without any value converted or rounded on its way to the column. Integers and decimals mix
// when the common decimal type needs no more than 38 digits: an int literal counts as ten
// integer digits, so only a column scale above 28 could push the fraction out.
bool KindsShareColumn(LiteralKind a, LiteralKind b, const ColumnLiteral& column);

// One multi-row INSERT being put together: "INSERT INTO [t] ([a], [b]) VALUES(...),(...);".
// Each row keeps its place, so that a refused statement can be sent again row by row.
class InsertBatch {
 public:
  // `head` is the statement up to and including "VALUES"; `columns` the literal forms of the
  // columns in statement order.
  InsertBatch(std::string head, std::vector<ColumnLiteral> columns, std::size_t maxRows,
              std::size_t maxBytes);

  // Adds one row, given as its literals each followed by "," (what AppendValueLiteral builds)
  // and their kinds. False, with the batch unchanged, when the row would make the statement
  // longer than the bound, hold more rows than allowed, or put literals of kinds into one
  // column that would change a value; then send the batch first. An empty batch takes any row.
  bool TryAdd(std::string_view literals, const std::vector<LiteralKind>& kinds);

  std::size_t Rows() const { return ends_.size(); }
  bool Empty() const { return ends_.empty(); }
  // The statement of every row added.
  std::string Statement() const;
  // Row i alone, exactly the statement the gentle pace sends for it.
  std::string RowStatement(std::size_t i) const;
  void Clear();

 private:
  std::string head_;
  std::vector<ColumnLiteral> columns_;
  std::size_t maxRows_, maxBytes_;
  std::string rows_;                  // "(...),(...)," with the final ","
  std::vector<std::size_t> ends_;     // where each row's "(...)" ends in rows_
  std::vector<LiteralKind> kinds_;    // per column: the first non-NULL kind, or Null
};

}  // namespace morvane
