#include "engine/RunReport.h"

#include <algorithm>

namespace morvane {

namespace {
const char* const CompletedMessage = "MySQL to MS SQL Database Conversion successfully completed.";
}

void RunReport::Add(ReportTopic topic, std::string table, std::string text) {
  items_.push_back({topic, std::move(table), std::move(text)});
}

void RunReport::AddRowsRefused(const std::string& table, std::uint64_t rows) {
  if (rows == 0) return;
  rowsRefused_ += rows;
  ++tablesWithRefusedRows_;
  Add(ReportTopic::RowsRefused, table,
      table + ": " + std::to_string(rows) + " row(s) refused");
}

std::string RunReport::FinalMessage(std::size_t maxLines) const {
  if (items_.empty()) return CompletedMessage;
  std::vector<ReportItem> ordered = items_;
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const ReportItem& a, const ReportItem& b) { return a.topic < b.topic; });
  std::string message =
      rowsRefused_ > 0
          ? "MySQL to MS SQL Database Conversion completed, but " + std::to_string(rowsRefused_) +
                " row(s) of " + std::to_string(tablesWithRefusedRows_) +
                " table(s) were refused. Not everything arrived as it is in MySQL:"
          : std::string("MySQL to MS SQL Database Conversion completed, but not everything "
                        "arrived as it is in MySQL:");
  const std::size_t shown = std::min(maxLines, ordered.size());
  for (std::size_t i = 0; i < shown; ++i) message += "\n- " + ordered[i].text;
  if (ordered.size() > shown)
    message += "\n... and " + std::to_string(ordered.size() - shown) + " further item(s).";
  return message;
}

}  // namespace morvane
