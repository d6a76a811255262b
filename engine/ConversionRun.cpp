#include "engine/ConversionRun.h"

#include <cstdio>
#include <map>

#include "engine/ColumnDefaults.h"
#include "engine/ColumnType.h"
#include "engine/RunReport.h"
#include "engine/SourceProfiles.h"
#include "engine/SqlNames.h"

namespace morvane {
namespace {

const char* const NoTableMessage = "Please select at least one table to continue the conversion.";
const char* const NoNameMessage = "Please enter a valid database name.";
const char* const OverwriteQuestion =
    " is already exist. Do you want to Overwrite the existing database?";

std::string Formatted(const char* format, auto... values) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

// The wait cursor from the run's start until it returns, whichever way.
class WaitCursor {
 public:
  explicit WaitCursor(ConversionWindow& window) : window_(window) { window_.BeginWaitCursor(); }
  ~WaitCursor() { window_.EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  ConversionWindow& window_;
};

// Thrown where the run finds a stop request before a statement, or a statement ended by the
// stop's cancel: the run gives up at once.
struct StopRequested {};

// The source's read-only snapshot, from the first table to every way out of the run.
class SourceSnapshot {
 public:
  explicit SourceSnapshot(SourceDatabase& source) : source_(source) {}
  ~SourceSnapshot() {
    if (open_) source_.EndSnapshot();
  }
  SourceSnapshot(const SourceSnapshot&) = delete;
  SourceSnapshot& operator=(const SourceSnapshot&) = delete;
  bool Begin(std::string& errorText) { return open_ = source_.BeginSnapshot(errorText); }

 private:
  SourceDatabase& source_;
  bool open_ = false;
};

// What the report says of a column created differently from the source.
void ReportChangedColumn(RunReport& report, const std::string& table, const FieldRecord& f,
                         const ColumnProfile& profile) {
  const std::string column = table + ", column " + f.org_name + ": ";
  if (RelaxedForZeroDates(f, profile)) {
    report.Add(ReportTopic::ColumnChanged, table,
               column + "created NULL although NOT NULL in MySQL; its " +
                   std::to_string(profile.zeroDates) +
                   " zero or partial date(s) arrive as NULL");
  }
  if (f.type == mysql_type::Time && profile.timeBeyondDay) {
    report.Add(ReportTopic::ColumnChanged, table,
               column + "TIME values beyond one day; created " + GetColumnType(f, profile) +
                   ", each value the moment that far from 1900-01-01 00:00:00 "
                   "(25:00:00 is 1900-01-02 01:00:00, -01:00:00 is 1899-12-31 23:00:00)");
  }
  if (f.type == mysql_type::Geometry) {
    report.Add(ReportTopic::ColumnChanged, table,
               column + "GEOMETRY created VARBINARY(MAX), holding MySQL's own bytes "
                        "(a 4-byte SRID, then the WKB)");
  }
}

class Run {
 public:
  explicit Run(ConversionContext& c) : c_(c), window_(c.window) {}

  RunSummary operator()() {
    try {
      return Convert();
    } catch (const StopRequested&) {
      return Stopped(static_cast<int>(tableCount_));
    }
  }

 private:
  RunSummary Convert() {
    window_.LockSelectionPage();
    WaitCursor waitCursor(window_);

    const int n = window_.SelectedTableCount();
    if (n < 1) return Refuse(RunOutcome::NoTableSelected, NoTableMessage);
    const std::vector<int> indices = window_.SelectedTableIndices();
    tableCount_ = static_cast<std::size_t>(n);
    name_ = window_.TargetName();
    if (name_.empty()) return Refuse(RunOutcome::NoTargetName, NoNameMessage);
    use_ = "USE " + Bracketed(name_);

    bool exists = false;
    try {
      ExecuteOnServer(use_);
      exists = true;
    } catch (const TargetError&) {
      // The database does not exist yet (or the server is gone: the preparation reports it).
      if (c_.stop.Requested()) throw StopRequested{};
    }
    if (exists &&
        window_.ShowMessage(name_ + OverwriteQuestion, MessageButtons::YesNo) != MessageAnswer::Yes) {
      window_.UnlockSelectionPage();
      return Summary(RunOutcome::OverwriteDeclined);
    }

    try {
      // The probe left the connection inside the database, which cannot be dropped while in use.
      if (exists) ExecuteOnServer("USE [master]");
      ExecuteOnServer("IF EXISTS(SELECT * FROM sysdatabases WHERE name=N" + Quoted(name_) +
                      ") DROP DATABASE " + Bracketed(name_));
      // Case-insensitive like MySQL's usual collations, and telling apart the characters
      // beyond the Basic Multilingual Plane (emoji), which older collations take as equal.
      ExecuteOnServer("CREATE DATABASE " + Bracketed(name_) + " COLLATE " + DatabaseCollation);
      ExecuteOnServer(use_);
      LookUpTargetDatabase(c_.target, name_);
    } catch (const TargetError& error) {
      if (c_.stop.Requested()) throw StopRequested{};  // the lookup, cancelled by the stop
      window_.ShowMessage(FormatTargetError(error), MessageButtons::Ok);
      window_.UnlockSelectionPage();
      return Summary(RunOutcome::PreparationFailed);
    }

    window_.ShowMessage(Formatted("You have selected %d table(s) to convert.", n),
                        MessageButtons::Ok);
    window_.ShowProgressArea(true);
    window_.SetProgressPosition(0);

    // Every table, its counts and its rows as one moment of the source.
    SourceSnapshot snapshot(c_.source);
    if (std::string why; !snapshot.Begin(why)) {
      report_.Add(ReportTopic::SourceView, {},
                  "MySQL refused a consistent snapshot (" + why +
                      "); each table was read as it was at its turn");
    }

    // Tables whose names differ only in case would collide in the target database: the
    // later one is created under a name of its own.
    c_.pendingIndex = PendingIndex{};
    std::vector<std::string> tables;
    for (int index : indices) tables.push_back(window_.TableText(index));
    const std::vector<std::string> targets = c_.pendingIndex.Names.ClaimTables(tables);

    for (int i = 0; i < n; ++i) {
      if (c_.stop.Requested()) return Stopped(n);
      const auto k = static_cast<std::size_t>(i);
      currentTable_ = tables[k];
      const auto outcome = ConvertTable(tables[k], targets[k], n);
      if (outcome == RunOutcome::Stopped) return Stopped(n);
      if (outcome != RunOutcome::Completed) return Failed();
      converted_[tables[k]] = targets[k];
      currentTable_.clear();
      window_.StepProgress();
    }
    if (!CreateForeignKeys()) return Failed();

    currentTable_.clear();
    window_.SetProgressPosition(n);
    window_.SetStatusText("Conversion complete");
    summary_.allArrived = report_.Empty();
    window_.ShowMessage(report_.FinalMessage(), MessageButtons::Ok);
    window_.SetProgressPosition(0);
    return EndTables(RunOutcome::Completed);
  }

  // Every statement: not sent once a stop is requested; one that the stop cancelled ends the
  // run as stopped, not as failed.
  void ExecuteOnServer(const std::string& statement) {
    Stoppable([&] {
      c_.target.TargetServer->ExecuteWithResults(statement,
                                                 static_cast<std::int32_t>(statement.size()));
    });
  }
  void ExecuteOnDatabase(const std::string& statement) {
    Stoppable([&] {
      c_.target.TargetDatabase->ExecuteWithResults(statement,
                                                   static_cast<std::int32_t>(statement.size()));
    });
  }
  template <typename Send>
  void Stoppable(Send send) {
    if (c_.stop.Requested()) throw StopRequested{};
    try {
      send();
    } catch (const TargetError&) {
      if (c_.stop.Requested()) throw StopRequested{};
      throw;
    }
  }

  RunOutcome ConvertTable(const std::string& table, const std::string& target, int n) {
    if (target != table)
      report_.Add(ReportTopic::TableRenamed, table,
                  "table " + table + " was created as " + target +
                      ", since its name differs from another table's only in letter case");
    try {
      ExecuteOnServer(use_);
    } catch (const TargetError& error) {
      window_.ShowMessage(FormatTargetError(error), MessageButtons::Ok);
      return RunOutcome::TableFailed;
    }
    PendingIndex& pending = c_.pendingIndex;
    pending.IndexStatements.clear();  // statements of an earlier, failed table are not this one's
    pending.LeftOut.clear();
    // What the field records cannot tell: one query per column that needs it.
    const auto fields = c_.source.FieldListing(table);
    std::vector<ColumnProfile> profiles;
    bool profiled = false;
    if (fields) {
      if (auto p = ProfileColumns(c_.source, table, *fields)) {
        profiles = std::move(*p);
        profiled = true;
      }
    }
    const std::string columns =
        profiled ? GetColumnList(c_.source, table, pending, &profiles) : "";
    if (c_.stop.Requested()) return RunOutcome::Stopped;
    if (columns.empty()) {
      window_.ShowMessage("The columns of table " + table + " could not be read from MySQL.",
                          MessageButtons::Ok);
      return RunOutcome::TableFailed;
    }
    if (!c_.stop.Pause(c_.pause)) return RunOutcome::Stopped;
    window_.SetProgressRange(0, n);
    window_.SetProgressStep(1);
    const std::string keys = GetKeyClause(c_.source, table, target, pending, &profiles);
    if (!c_.stop.Pause(c_.pause)) return RunOutcome::Stopped;
    for (auto& text : pending.LeftOut) report_.Add(ReportTopic::SchemaLeftOut, table, std::move(text));
    pending.LeftOut.clear();

    if (c_.stop.Requested()) return RunOutcome::Stopped;  // the listings may have been cut short
    try {
      ExecuteOnServer(use_);
      ExecuteOnDatabase(CreateTableStatement(target, columns, keys));
      // Each key and index on its own: one SQL Server refuses is named in the report and
      // costs neither the table nor the run.
      const auto statements = std::move(pending.IndexStatements);
      pending.IndexStatements.clear();
      for (const auto& s : statements) {
        if (c_.stop.Requested()) return RunOutcome::Stopped;
        ExecuteRefusable(table, s.IndexStatement, s.what);
      }
    } catch (const TargetError& error) {
      window_.ShowMessage(FormatTargetError(error), MessageButtons::Ok);
      return RunOutcome::TableFailed;
    }

    for (std::size_t j = 0; j < fields->size(); ++j)
      ReportChangedColumn(report_, table, (*fields)[j], profiles[j]);

    const CopyResult copied =
        CopyTableRows(c_.source, c_.target, window_, table,
                      {c_.pause, &c_.stop, &profiles, &report_}, target);
    summary_.rowsRefused += copied.rowsRefused;
    if (copied.rowsRefused > 0) ++summary_.tablesWithRefusedRows;
    report_.AddRowsRefused(table, copied.rowsRefused);
    switch (copied.outcome) {
      case CopyOutcome::Completed:
        CompareCounts(table, target, copied.rowsRefused);
        ++summary_.tablesCompleted;
        return RunOutcome::Completed;
      case CopyOutcome::Stopped: return RunOutcome::Stopped;
      case CopyOutcome::SourceFailed:
      case CopyOutcome::TargetFailed: return RunOutcome::TableFailed;  // reported by the copy
    }
    return RunOutcome::TableFailed;
  }

  // Sends a statement whose refusal leaves only what it creates out: the refusal goes into the
  // report. A lost connection still ends the run.
  void ExecuteRefusable(const std::string& table, const std::string& statement,
                        const std::string& what) {
    try {
      ExecuteOnDatabase(statement);
    } catch (const TargetError& error) {
      if (error.ConnectionLost()) throw;
      report_.Add(ReportTopic::SchemaLeftOut, table,
                  what + " was not created: " + error.Description().value_or(error.what()));
    }
  }

  // After the last table: the foreign keys of the converted tables.
  bool CreateForeignKeys() {
    const auto statements =
        ForeignKeyStatements(c_.pendingIndex.ForeignKeys, converted_, c_.pendingIndex.Names);
    c_.pendingIndex.ForeignKeys.clear();
    try {
      for (const auto& key : statements) {
        if (key.statement.empty()) {
          report_.Add(ReportTopic::SchemaLeftOut, "",
                      key.what + " was not carried (" + key.whyNot + ")");
        } else {
          ExecuteRefusable("", key.statement, key.what);
        }
      }
    } catch (const TargetError& error) {
      window_.ShowMessage(FormatTargetError(error), MessageButtons::Ok);
      return false;
    }
    return true;
  }

  // A run that ends early creates no foreign keys; it says so when there were any.
  std::string ForeignKeysNote() const {
    return c_.pendingIndex.ForeignKeys.empty()
               ? ""
               : "\nThe foreign keys of the converted tables were not created.";
  }

  RunSummary Failed() {
    if (!c_.pendingIndex.ForeignKeys.empty())
      window_.ShowMessage("The conversion ended early: the foreign keys of the converted tables "
                          "were not created.",
                          MessageButtons::Ok);
    return EndTables(RunOutcome::TableFailed);
  }

  // COUNT(*) in the snapshot against COUNT(*) of the new table plus the rows refused.
  void CompareCounts(const std::string& table, const std::string& targetTable,
                     std::uint64_t refused) {
    const auto source = c_.source.CountRows(table);
    std::optional<std::int64_t> target;
    try {
      if (c_.stop.Requested()) throw StopRequested{};
      target = c_.target.TargetDatabase->QueryNumber("SELECT COUNT(*) FROM " +
                                                     Bracketed(targetTable));
    } catch (const TargetError&) {
      if (c_.stop.Requested()) throw StopRequested{};
      // Otherwise reported below as a count that could not be taken.
    }
    if (!source || !target || *target < 0) {
      report_.Add(ReportTopic::CountMismatch, table,
                  table + ": the rows could not be counted on " +
                      (source ? "SQL Server" : "MySQL") + " after the copy");
      return;
    }
    const auto arrived = static_cast<std::uint64_t>(*target);
    if (*source != arrived + refused) {
      report_.Add(ReportTopic::CountMismatch, table,
                  table + ": MySQL holds " + std::to_string(*source) + " row(s), SQL Server " +
                      std::to_string(arrived) + ", and " + std::to_string(refused) +
                      " were refused");
    }
  }

  RunSummary Refuse(RunOutcome outcome, const char* message) {
    window_.ShowMessage(message, MessageButtons::Ok);
    window_.UnlockSelectionPage();
    return Summary(outcome);
  }

  RunSummary Stopped(int n) {
    // What the stop needs: statements run again (IDENTITY_INSERT is already off).
    if (const auto& server = c_.target.TargetServer.Get()) server->Resume();
    std::string message = "The conversion was stopped.";
    if (!currentTable_.empty()) message += " Table " + currentTable_ + " was cut short.";
    message += Formatted(" %d of %d selected table(s) were converted completely.",
                         summary_.tablesCompleted, n);
    window_.ShowMessage(message + ForeignKeysNote(), MessageButtons::Ok);
    return EndTables(RunOutcome::Stopped);
  }

  RunSummary EndTables(RunOutcome outcome) {
    window_.ShowProgressArea(false);
    window_.ClearTableSelection();
    window_.UnlockSelectionPage();
    return Summary(outcome);
  }

  RunSummary Summary(RunOutcome outcome) {
    summary_.outcome = outcome;
    return summary_;
  }

  ConversionContext& c_;
  ConversionWindow& window_;
  std::string name_, use_;
  std::string currentTable_;  // the table being converted, empty between tables
  std::size_t tableCount_ = 0;
  RunSummary summary_;
  RunReport report_;
  std::map<std::string, std::string> converted_;  // MySQL table -> its name on the target
};

}  // namespace

RunSummary ConvertDatabase(ConversionContext& context) { return Run(context)(); }

int ConvertThreadProc(ConvertWorker& worker, ConversionContext context) {
  worker.ConvertStarted = true;
  ConvertDatabase(context);
  {
    std::lock_guard lock(worker.endMutex_);
    worker.running_ = false;
  }
  worker.ended_.notify_all();
  return 0;
}

bool ConvertWorker::Start(ConversionWindow& window, SourceDatabase& source,
                          TargetConnection& target, PendingIndex& pendingIndex,
                          std::chrono::milliseconds pause) {
  if (running_) return false;
  Join();  // the thread of the previous run has returned; collect it
  stop_.Reset();
  // A stop of an earlier run cancelled the target's statements; this run's may go.
  if (const auto& server = target.TargetServer.Get()) server->Resume();
  running_ = true;
  ConvertThread = std::thread(ConvertThreadProc, std::ref(*this),
                              ConversionContext{window, source, target, pendingIndex, stop_, pause});
  return true;
}

void ConvertWorker::RequestStop() {
  // One step: the run never sees the stop before its statements are cancelled.
  stop_.Request([this] {
    if (running_ && cancelWaits_) cancelWaits_();
  });
}

bool ConvertWorker::WaitFor(std::chrono::milliseconds bound) {
  std::unique_lock lock(endMutex_);
  return ended_.wait_for(lock, bound, [this] { return !running_; });
}

void ConvertWorker::Join() {
  if (ConvertThread.joinable()) ConvertThread.join();
}

ConvertWorker::~ConvertWorker() { Join(); }

}  // namespace morvane
