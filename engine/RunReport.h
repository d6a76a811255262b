#pragma once
// What a run did not carry over exactly, gathered table by table while it works, and the final
// message made from it. A run whose report stays empty ends with the completion message.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

// The kinds of item, in the order the final message lists them.
enum class ReportTopic {
  RowsRefused,       // rows the target refused or the run refused itself
  CountMismatch,     // the target's row count disagrees with the source's
  TableRenamed,      // a table, key or index created under another name than its own
  ColumnChanged,     // a column created differently from the source (NULL, TIME, geometry...)
  SchemaLeftOut,     // a key, index, foreign key, default... that was not carried, and why
  RunCutShort,       // what a run that ended early did not do
  SourceView,        // the source could not be read as one moment
};

struct ReportItem {
  ReportTopic topic = ReportTopic::SchemaLeftOut;
  std::string table;  // the MySQL table it concerns; empty for the run as a whole
  std::string text;   // plain words, one line, naming the column, key or value
};

class RunReport {
 public:
  void Add(ReportTopic topic, std::string table, std::string text);
  void AddRowsRefused(const std::string& table, std::uint64_t rows);

  const std::vector<ReportItem>& Items() const { return items_; }
  bool Empty() const { return items_.empty(); }
  std::uint64_t RowsRefused() const { return rowsRefused_; }
  int TablesWithRefusedRows() const { return tablesWithRefusedRows_; }

  // The final message of a run that went through every table: the completion message when the
  // report is empty, otherwise a heading (with the refused rows and their tables, when there
  // are) and at most maxLines items, followed by how many further items there are.
  std::string FinalMessage(std::size_t maxLines = 12) const;

  // The final message of a run that ended early: how it ended, then, when the work before the
  // end did not carry everything over exactly, the items in the words of FinalMessage.
  std::string EarlyEndMessage(const std::string& howItEnded, std::size_t maxLines = 12) const;

  // The items in the order the final message and the report file list them (by topic, each
  // topic's in the order they were added).
  std::vector<ReportItem> Ordered() const;

 private:
  // The message (a heading), then at most maxLines items and how many further items there are.
  std::string Listed(std::string message, std::size_t maxLines) const;

  std::vector<ReportItem> items_;
  std::uint64_t rowsRefused_ = 0;
  int tablesWithRefusedRows_ = 0;
};

// How a run that went into its table work ended, as the report file says it.
struct RunEnd {
  enum class Way { Completed, Stopped, Failed };
  Way way = Way::Completed;
  std::string cutShort;         // the table being converted when the run ended, if any
  int tablesCompleted = 0;      // tables whose rows were all copied
  int tablesSelected = 0;
  bool foreignKeysLeft = false;  // the converted tables' foreign keys were not (all) created
  int foreignKeysCreated = 0;    // of them, those created before the end
};

// The line of a run that ended before all the foreign keys of its tables were created, when
// `created` of them were.
std::string ForeignKeysNote(int created);

// The whole report as the text of a file the user keeps: the target database, the time (UTC),
// how the run ended, then every item under its topic, each naming its table (and column, key or
// value). Lines end with "\n".
std::string ReportFileText(const RunReport& report, const RunEnd& end, const std::string& database,
                           std::chrono::system_clock::time_point when);

// The report file's name: the database and the time in UTC, "shop 2026-12-11 134502 UTC.txt";
// a character no file name can hold ("/", a control character) is "_", and so is a leading ".";
// the database's part is cut to 200 bytes.
std::string ReportFileName(const std::string& database, std::chrono::system_clock::time_point when);

}  // namespace morvane
