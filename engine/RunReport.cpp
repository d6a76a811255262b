#include "engine/RunReport.h"

#include <algorithm>

namespace morvane {

namespace {

const char* const CompletedMessage = "MySQL to MS SQL Database Conversion successfully completed.";

const char* TopicHeading(ReportTopic topic) {
  switch (topic) {
    case ReportTopic::RowsRefused: return "Rows refused";
    case ReportTopic::CountMismatch: return "Row counts that differ";
    case ReportTopic::TableRenamed: return "Tables, keys and indexes created under another name";
    case ReportTopic::ColumnChanged: return "Columns created differently";
    case ReportTopic::SchemaLeftOut: return "Keys, indexes, defaults and foreign keys not carried";
    case ReportTopic::RunCutShort: return "What the early end left undone";
    case ReportTopic::SourceView: return "Reading MySQL";
  }
  return "Other";
}

std::string TwoDigits(unsigned value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
         static_cast<char>('0' + value % 10);
}

// The date and the time of day in UTC, separated by `between`, the time's parts by `colon`.
std::string UtcTime(std::chrono::system_clock::time_point when, const char* between,
                    const char* colon) {
  using namespace std::chrono;
  const auto seconds = floor<std::chrono::seconds>(when);
  const auto day = floor<days>(seconds);
  const year_month_day date{day};
  const hh_mm_ss time{seconds - day};
  return std::to_string(static_cast<int>(date.year())) + "-" +
         TwoDigits(static_cast<unsigned>(date.month())) + "-" +
         TwoDigits(static_cast<unsigned>(date.day())) + between +
         TwoDigits(static_cast<unsigned>(time.hours().count())) + colon +
         TwoDigits(static_cast<unsigned>(time.minutes().count())) + colon +
         TwoDigits(static_cast<unsigned>(time.seconds().count()));
}

std::string HowItEnded(const RunEnd& end) {
  switch (end.way) {
    case RunEnd::Way::Completed: return "The conversion completed.";
    case RunEnd::Way::Stopped: return "The conversion was stopped by the user.";
    case RunEnd::Way::Failed:
      return "The conversion ended early: a step failed (its message box named the error), and "
             "what came after it was not done.";
  }
  return "";
}

}  // namespace

std::string ForeignKeysNote(int created) {
  return created == 0 ? "The foreign keys of the converted tables were not created."
                      : "Not all foreign keys of the converted tables were created (created: " +
                            std::to_string(created) + "); the others are named in the report.";
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

std::vector<ReportItem> RunReport::Ordered() const {
  std::vector<ReportItem> ordered = items_;
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const ReportItem& a, const ReportItem& b) { return a.topic < b.topic; });
  return ordered;
}

std::string RunReport::FinalMessage(std::size_t maxLines) const {
  if (items_.empty()) return CompletedMessage;
  return Listed(rowsRefused_ > 0
                    ? "MySQL to MS SQL Database Conversion completed, but " +
                          std::to_string(rowsRefused_) + " row(s) of " +
                          std::to_string(tablesWithRefusedRows_) +
                          " table(s) were refused. Not everything arrived as it is in MySQL:"
                    : std::string("MySQL to MS SQL Database Conversion completed, but not "
                                  "everything arrived as it is in MySQL:"),
                maxLines);
}

std::string RunReport::EarlyEndMessage(const std::string& howItEnded, std::size_t maxLines) const {
  if (items_.empty()) return howItEnded;
  return Listed(howItEnded + "\n" +
                    (rowsRefused_ > 0
                         ? "In the work done before the end, " + std::to_string(rowsRefused_) +
                               " row(s) of " + std::to_string(tablesWithRefusedRows_) +
                               " table(s) were refused. Not everything arrived as it is in MySQL:"
                         : std::string("In the work done before the end, not everything arrived "
                                       "as it is in MySQL:")),
                maxLines);
}

std::string RunReport::Listed(std::string message, std::size_t maxLines) const {
  const std::vector<ReportItem> ordered = Ordered();
  const std::size_t shown = std::min(maxLines, ordered.size());
  for (std::size_t i = 0; i < shown; ++i) message += "\n- " + ordered[i].text;
  if (ordered.size() > shown)
    message += "\n... and " + std::to_string(ordered.size() - shown) + " further item(s).";
  return message;
}

std::string ReportFileText(const RunReport& report, const RunEnd& end, const std::string& database,
                           std::chrono::system_clock::time_point when) {
  std::string text = "MySQL to MS SQL Database Conversion: report\n";
  text += "Target database: " + database + "\n";
  text += "Time: " + UtcTime(when, " ", ":") + " UTC\n";
  text += HowItEnded(end) + "\n";
  text += "Tables converted completely: " + std::to_string(end.tablesCompleted) + " of " +
          std::to_string(end.tablesSelected) + " selected\n";
  if (!end.cutShort.empty()) text += "Table " + end.cutShort + " was cut short.\n";
  if (end.foreignKeysLeft) text += ForeignKeysNote(end.foreignKeysCreated) + "\n";
  if (report.RowsRefused() > 0) {
    text += "Rows refused: " + std::to_string(report.RowsRefused()) + " in " +
            std::to_string(report.TablesWithRefusedRows()) + " table(s)\n";
  }
  if (report.Empty()) {
    text += end.way == RunEnd::Way::Completed
                ? "\nNothing was adapted, left out or refused: everything arrived as it is in MySQL.\n"
                : "\nNothing was adapted, left out or refused in the work done before the end.\n";
    return text;
  }
  text += "\nEvery item (" + std::to_string(report.Items().size()) + "):\n";
  bool first = true;
  ReportTopic topic{};
  for (const ReportItem& item : report.Ordered()) {
    if (first || item.topic != topic) {
      text += std::string("\n") + TopicHeading(item.topic) + ":\n";
      topic = item.topic;
      first = false;
    }
    // Each line names its table: the items' texts do, and one that does not gets it in front.
    const bool named = item.table.empty() || item.text.find(item.table) != std::string::npos;
    text += "- " + (named ? item.text : "table " + item.table + ": " + item.text) + "\n";
  }
  return text;
}

std::string ReportFileName(const std::string& database, std::chrono::system_clock::time_point when) {
  std::string name = database;
  for (char& c : name) {
    if (c == '/' || (static_cast<unsigned char>(c) < 0x20) || c == 0x7F) c = '_';
  }
  if (!name.empty() && name.front() == '.') name.front() = '_';
  // A file name holds at most 255 bytes: a long name (128 characters of four bytes each) is cut,
  // never inside a character.
  constexpr std::size_t MaxNameBytes = 200;
  if (name.size() > MaxNameBytes) {
    std::size_t end = MaxNameBytes;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    name.resize(end);
  }
  return name + " " + UtcTime(when, " ", "") + " UTC.txt";
}

}  // namespace morvane
