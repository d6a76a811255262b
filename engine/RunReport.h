#pragma once
// What a run did not carry over exactly, gathered table by table while it works, and the final
// message made from it. A run whose report stays empty ends with the completion message.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

// The kinds of item, in the order the final message lists them.
enum class ReportTopic {
  RowsRefused,       // rows the target refused or the run refused itself
  CountMismatch,     // the target's row count disagrees with the source's
  TableRenamed,      // a table created under another name than its own
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

 private:
  std::vector<ReportItem> items_;
  std::uint64_t rowsRefused_ = 0;
  int tablesWithRefusedRows_ = 0;
};

}  // namespace morvane
