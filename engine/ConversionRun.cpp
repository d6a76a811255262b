#include "engine/ConversionRun.h"

#include <chrono>
#include <cstdio>
#include <set>

#include "engine/ColumnDefaults.h"
#include "engine/ConversionPlan.h"
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

class Run {
 public:
  explicit Run(ConversionContext& c) : c_(c), window_(c.window) {}

  RunSummary operator()() {
    try {
      return Convert();
    } catch (const StopRequested&) {
      return Stopped();
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
    std::vector<std::string> tables;
    for (int index : indices) tables.push_back(window_.TableText(index));
    SourceSnapshot snapshot(c_.source);
    if (std::string why; !snapshot.Begin(why)) {
      report_.Add(ReportTopic::SourceView, {},
                  "MySQL refused a consistent snapshot (" + why +
                      "); each table was read as it was at its turn");
    } else {
      // A table without transactions is outside the snapshot, whatever the others do.
      for (const auto& outside : c_.source.TablesOutsideSnapshot(tables)) {
        report_.Add(ReportTopic::SourceView, outside.table,
                    "table " + outside.table + " (" + outside.engine +
                        ") takes no part in the snapshot: it was read as it was at its turn");
      }
    }

    // Read every table once, plan the whole conversion, then carry the plan out. Tables whose
    // names differ only in case would collide in the target database: the plan creates the
    // later one under a name of its own.
    c_.pendingIndex = PendingIndex{};
    plan_ = PlanConversion(ReadSource(tables), c_.pendingIndex.Names);

    for (int i = 0; i < n; ++i) {
      if (c_.stop.Requested()) return Stopped();
      const TablePlan& table = plan_.tables[static_cast<std::size_t>(i)];
      currentTable_ = table.table;
      const auto outcome = ConvertTable(table, n);
      if (outcome == RunOutcome::Stopped) return Stopped();
      if (outcome != RunOutcome::Completed) return Failed();
      currentTable_.clear();
      window_.StepProgress();
    }
    if (!CreateForeignKeys()) return Failed();

    currentTable_.clear();
    window_.SetProgressPosition(n);
    window_.SetStatusText("Conversion complete");
    const std::string reportPath = HandOverReport(RunEnd::Way::Completed);
    summary_.allArrived = report_.Empty();
    window_.ShowReportMessage(report_.FinalMessage(), reportPath);
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

  // What the plan needs of the source, each read once, inside the snapshot: every table's
  // field listing, schema, per-column queries and row count, then the uniqueness of the
  // columns that foreign keys reference without a key SQL Server can use.
  SourceRead ReadSource(const std::vector<std::string>& tables) {
    SourceRead read;
    for (const auto& table : tables) {
      if (c_.stop.Requested()) throw StopRequested{};
      window_.SetStatusText("Reading Table: " + table + "  ....");
      TableRead r;
      r.table = table;
      r.fields = c_.source.FieldListing(table);
      if (r.fields) {
        r.schema = c_.source.Schema(table);
        r.profiles = ProfileColumns(c_.source, table, *r.fields);
        r.rowCount = c_.source.CountRows(table);
      }
      read.tables.push_back(std::move(r));
    }
    for (const auto& question : UniqueQuestions(read.tables)) {
      if (c_.stop.Requested()) throw StopRequested{};
      window_.SetStatusText("Reading Table: " + question.table + "  ....");
      if (const auto unique = c_.source.ValuesUnique(question.table, question.columns))
        read.uniqueValues[question] = *unique;
    }
    if (c_.stop.Requested()) throw StopRequested{};
    return read;
  }

  RunOutcome ConvertTable(const TablePlan& plan, int n) {
    const std::string& table = plan.table;
    for (const auto& item : plan.items) report_.Add(item.topic, item.table, item.text);
    if (!plan.leftOut.empty()) return RunOutcome::Completed;  // named; the run goes on
    try {
      ExecuteOnServer(use_);
    } catch (const TargetError& error) {
      window_.ShowMessage(FormatTargetError(error), MessageButtons::Ok);
      return RunOutcome::TableFailed;
    }
    PendingIndex& pending = c_.pendingIndex;
    pending.IndexStatements.clear();
    pending.LeftOut.clear();
    if (c_.stop.Requested()) return RunOutcome::Stopped;
    if (!plan.readable) {
      window_.ShowMessage("The columns of table " + table + " could not be read from MySQL.",
                          MessageButtons::Ok);
      return RunOutcome::TableFailed;
    }
    if (!c_.stop.Pause(TablePause())) return RunOutcome::Stopped;
    window_.SetProgressRange(0, n);
    window_.SetProgressStep(1);
    pending.IndexStatements = plan.indexStatements;
    if (!c_.stop.Pause(TablePause())) return RunOutcome::Stopped;

    if (c_.stop.Requested()) return RunOutcome::Stopped;
    try {
      ExecuteOnServer(use_);
      ExecuteOnDatabase(plan.createStatement);
      tablesCreated_.insert({table, plan.target});
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

    const CopyResult copied =
        CopyTableRows(c_.source, c_.target, window_, table, plan.Fields(), plan.Types(),
                      {c_.pause, &c_.stop, nullptr, &report_, c_.pace}, plan.target);
    summary_.rowsRefused += copied.rowsRefused;
    if (copied.rowsRefused > 0) ++summary_.tablesWithRefusedRows;
    report_.AddRowsRefused(table, copied.rowsRefused);
    switch (copied.outcome) {
      case CopyOutcome::Completed:
        // The table is complete once its rows are in: what follows finishes and checks it, and
        // an early end there names what it left undone instead of calling the table cut short.
        ++summary_.tablesCompleted;
        currentTable_.clear();
        if (!CarryCounter(plan, copied.rowsCopied)) return RunOutcome::TableFailed;
        CompareCounts(plan, copied.rowsRefused);
        return RunOutcome::Completed;
      case CopyOutcome::Stopped: return RunOutcome::Stopped;
      case CopyOutcome::SourceFailed:
      case CopyOutcome::TargetFailed: return RunOutcome::TableFailed;  // reported by the copy
    }
    return RunOutcome::TableFailed;
  }

  // After the rows: SQL Server's next identity becomes MySQL's next AUTO_INCREMENT value. After
  // a row the next value is the reseed value plus one; before any, the reseed value itself.
  bool CarryCounter(const TablePlan& plan, std::uint64_t rowsCopied) {
    if (!plan.nextIdentity) return true;
    const std::uint64_t next = *plan.nextIdentity;
    const std::uint64_t value = rowsCopied > 0 && next > 0 ? next - 1 : next;
    const std::string what = "the AUTO_INCREMENT counter of table " + plan.table +
                             " (next value " + std::to_string(next) + ")";
    try {
      ExecuteRefusable(plan.table, ReseedStatement(plan.target, value), what);
    } catch (const StopRequested&) {
      report_.Add(ReportTopic::RunCutShort, plan.table,
                  what + " was not set: the conversion was stopped before it");
      throw;
    } catch (const TargetError& error) {
      report_.Add(ReportTopic::RunCutShort, plan.table,
                  what + " may not have been set: " + error.Description().value_or(error.what()));
      window_.ShowMessage(FormatTargetError(error), MessageButtons::Ok);
      return false;
    }
    return true;
  }

  // The pause after a table's column list and key clause; none at the full pace.
  std::chrono::milliseconds TablePause() const {
    return c_.pace == Pace::Full ? std::chrono::milliseconds(0) : c_.pause;
  }

  // Sends a statement whose refusal leaves only what it creates out: the refusal goes into the
  // report. A lost connection still ends the run. True when the target accepted it.
  bool ExecuteRefusable(const std::string& table, const std::string& statement,
                        const std::string& what) {
    try {
      ExecuteOnDatabase(statement);
      return true;
    } catch (const TargetError& error) {
      if (error.ConnectionLost()) throw;
      report_.Add(ReportTopic::SchemaLeftOut, table,
                  what + " was not created: " + error.Description().value_or(error.what()));
      return false;
    }
  }

  // After the last table: the foreign keys of the converted tables. nextForeignKey_ follows
  // them, so that an early end names those it left.
  bool CreateForeignKeys() {
    try {
      for (; nextForeignKey_ < plan_.foreignKeys.size(); ++nextForeignKey_) {
        const auto& key = plan_.foreignKeys[nextForeignKey_];
        if (key.statement.empty()) {
          report_.Add(ReportTopic::SchemaLeftOut, "", NotCarried(key));
        } else {
          if (CreateForeignKey(key)) ++foreignKeysCreated_;
        }
      }
    } catch (const TargetError& error) {
      // The connection went while a key was being created: whether it was is not known.
      const auto& key = plan_.foreignKeys[nextForeignKey_++];
      foreignKeysLeft_ = true;
      report_.Add(ReportTopic::RunCutShort, "",
                  key.what + " may not have been created: the connection to SQL Server was lost "
                             "while it was being created");
      window_.ShowMessage(FormatTargetError(error), MessageButtons::Ok);
      return false;
    }
    return true;
  }
  static std::string NotCarried(const ForeignKeyStatement& key) {
    return key.what + " was not carried (" + key.whyNot + ")";
  }

  // One foreign key with the actions the plan kept. When SQL Server still refuses them as cycles
  // or multiple cascade paths (1785), the key is sent again with NO ACTION and the actions are
  // named; the key is named missing only when that is refused too. True when it was created.
  bool CreateForeignKey(const ForeignKeyStatement& key) {
    for (const auto& lost : key.lostActions) report_.Add(ReportTopic::SchemaLeftOut, "", lost);
    std::string refusal;
    for (const std::string* statement : {&key.statement, &key.noActionStatement}) {
      if (statement->empty()) break;
      try {
        ExecuteOnDatabase(*statement);
        if (statement == &key.noActionStatement)
          report_.Add(ReportTopic::SchemaLeftOut, "",
                      key.actions + " of " + key.what +
                          " not carried (NO ACTION instead): SQL Server refused it: " + refusal);
        return true;
      } catch (const TargetError& error) {
        if (error.ConnectionLost()) throw;
        refusal = error.Description().value_or(error.what());
        if (error.Code() != target_code::ServerErrorCode(1785)) break;
      }
    }
    report_.Add(ReportTopic::SchemaLeftOut, "", key.what + " was not created: " + refusal);
    return false;
  }

  // A run that ends early before its foreign keys are all created names each one it left (one
  // the plan does not carry as a completed run names it), and says so in its message.
  std::string ForeignKeysLeft() {
    for (; nextForeignKey_ < plan_.foreignKeys.size(); ++nextForeignKey_) {
      const auto& key = plan_.foreignKeys[nextForeignKey_];
      if (key.statement.empty()) {
        report_.Add(ReportTopic::SchemaLeftOut, "", NotCarried(key));
      } else {
        report_.Add(ReportTopic::RunCutShort, "",
                    key.what + " was not created: the conversion ended before it was");
      }
      foreignKeysLeft_ = true;
    }
    if (!foreignKeysLeft_) return "";
    return "\n" + ForeignKeysNote(foreignKeysCreated_);
  }

  // Every way out after the table work: the report, with the keys and indexes given other names,
  // goes whole into a file through the window. Returns the file's path when the last box
  // should offer it (there are items to read), else empty.
  std::string HandOverReport(RunEnd::Way way) {
    // The plan named every table's keys and indexes; a run that ended early created only some
    // of the tables.
    for (auto& renamed : c_.pendingIndex.Names.TakeRenamed()) {
      if (way == RunEnd::Way::Completed || tablesCreated_.contains(renamed.table))
        report_.Add(ReportTopic::TableRenamed, renamed.table, std::move(renamed.text));
    }
    const auto now = std::chrono::system_clock::now();
    const RunEnd end{way, currentTable_, summary_.tablesCompleted, static_cast<int>(tableCount_),
                     foreignKeysLeft_, foreignKeysCreated_};
    const std::string path =
        window_.KeepReport(ReportFileName(name_, now), ReportFileText(report_, end, name_, now));
    return report_.Empty() ? std::string() : path;
  }

  // After the failure's own message: what the run did, and how it ended.
  RunSummary Failed() {
    std::string message =
        "The conversion ended early: a step failed (the message before this one named the "
        "error), and what came after it was not done.";
    if (!currentTable_.empty())
      message += " Table " + currentTable_ + " was cut short.";
    EndEarly(message, RunEnd::Way::Failed);
    return EndTables(RunOutcome::TableFailed);
  }

  // The early end's message: how it ended, the tables converted completely, the foreign keys
  // left, then the report's items; the whole report goes into its file.
  void EndEarly(std::string message, RunEnd::Way way) {
    message += Formatted(" %d of %d selected table(s) were converted completely.",
                         summary_.tablesCompleted, static_cast<int>(tableCount_));
    message += ForeignKeysLeft();
    const std::string reportPath = HandOverReport(way);
    window_.ShowReportMessage(report_.EarlyEndMessage(message), reportPath);
  }

  // COUNT(*) in the snapshot against COUNT(*) of the new table plus the rows refused.
  void CompareCounts(const TablePlan& plan, std::uint64_t refused) {
    const std::string& table = plan.table;
    const auto& source = plan.sourceRows;
    std::optional<std::int64_t> target;
    try {
      if (!c_.stop.Requested())
        target = c_.target.TargetDatabase->QueryNumber("SELECT COUNT(*) FROM " +
                                                       Bracketed(plan.target));
    } catch (const TargetError&) {
      // Reported below as a count that could not be taken, unless the stop cancelled it.
    }
    if (!target && c_.stop.Requested()) {
      report_.Add(ReportTopic::RunCutShort, table,
                  table + ": every row was copied, but the conversion was stopped before the "
                          "rows were counted on SQL Server");
      throw StopRequested{};
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

  RunSummary Stopped() {
    // What the stop needs: statements run again (IDENTITY_INSERT is already off).
    if (const auto& server = c_.target.TargetServer.Get()) server->Resume();
    std::string message = "The conversion was stopped.";
    if (!currentTable_.empty()) message += " Table " + currentTable_ + " was cut short.";
    EndEarly(message, RunEnd::Way::Stopped);
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
  ConversionPlan plan_;
  std::size_t nextForeignKey_ = 0;  // the first of plan_.foreignKeys not yet handled
  int foreignKeysCreated_ = 0;      // of them, those the target created
  bool foreignKeysLeft_ = false;    // an early end left some of them
  std::set<std::string> tablesCreated_;  // the tables (both names) the target has created
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
                          std::chrono::milliseconds pause, Pace pace) {
  if (running_) return false;
  Join();  // the thread of the previous run has returned; collect it
  stop_.Reset();
  // A stop of an earlier run cancelled the target's statements; this run's may go.
  if (const auto& server = target.TargetServer.Get()) server->Resume();
  running_ = true;
  ConvertThread = std::thread(ConvertThreadProc, std::ref(*this),
                              ConversionContext{window, source, target, pendingIndex, stop_,
                                                pause, pace});
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
