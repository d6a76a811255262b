#pragma once
// The conversion run: creates the target database and, table by table, its tables, indexes and
// rows, driving the main window while it works. It runs on a worker thread of its own.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <cstdint>
#include <memory>
#include <thread>

#include "engine/RowCopy.h"
#include "engine/StopSignal.h"
#include "engine/TableDefinition.h"
#include "engine/WizardWindow.h"
#include "source/SourceDatabase.h"
#include "target/TargetServer.h"

namespace morvane {

// What one run works with. The window, the source and the target stay the caller's; while the
// run is active nothing else uses the source and the target.
struct ConversionContext {
  ConversionWindow& window;
  SourceDatabase& source;
  TargetConnection& target;
  PendingIndex& pendingIndex;
  StopSignal& stop;
  std::chrono::milliseconds pause{50};  // after each table's column list, key clause and row
  Pace pace = Pace::Gentle;             // Full: none of these pauses, rows in many-row statements
};

enum class RunOutcome {
  NoTableSelected,
  NoTargetName,
  OverwriteDeclined,
  PreparationFailed,
  TableFailed,
  Stopped,
  Completed,  // every selected table created and filled; allArrived says whether all arrived
};

struct RunSummary {
  RunOutcome outcome = RunOutcome::Completed;
  int tablesCompleted = 0;
  std::uint64_t rowsRefused = 0;
  int tablesWithRefusedRows = 0;
  bool allArrived = true;  // the run's report stayed empty: the completion message was shown
};

// The run itself, on the calling thread.
RunSummary ConvertDatabase(ConversionContext& context);

// The conversion worker: one thread at a time, started by the Convert button.
class ConvertWorker {
 public:
  ConvertWorker() = default;
  ConvertWorker(const ConvertWorker&) = delete;
  ConvertWorker& operator=(const ConvertWorker&) = delete;
  ~ConvertWorker();  // waits for a thread that is still running: request a stop first

  // Starts the run on a new thread (ConvertThreadProc) and returns at once, with a stop signal
  // of its own. The references must stay valid until the thread has ended. Refused (false)
  // while a run is active.
  bool Start(ConversionWindow& window, SourceDatabase& source, TargetConnection& target,
             PendingIndex& pendingIndex,
             std::chrono::milliseconds pause = std::chrono::milliseconds(50),
             Pace pace = Pace::Gentle);

  // True from Start until the run has returned.
  bool Running() const { return running_; }

  // What ends the run's waits at once, called by RequestStop from the stopping thread while a
  // run is active: in the program, the cancel of the target's running statement and of the
  // source's streamed result.
  void SetCancel(std::function<void()> cancelWaits) { cancelWaits_ = std::move(cancelWaits); }

  // Asks the active run to give up before its next statement, row or pause, and cancels what
  // it waits for now.
  void RequestStop();

  // Waits at most `bound` for the run to return; true when it has.
  bool WaitFor(std::chrono::milliseconds bound);

  // Waits until the thread has ended. Never call it from a thread the run may be waiting on.
  void Join();

  std::thread ConvertThread;
  std::atomic<bool> ConvertStarted{false};

 private:
  friend int ConvertThreadProc(ConvertWorker& worker, ConversionContext context);
  std::atomic<bool> running_{false};
  StopSignal stop_;
  std::function<void()> cancelWaits_;
  std::mutex endMutex_;
  std::condition_variable ended_;
};

// The worker thread's entry: marks the run started, runs it, returns 0.
int ConvertThreadProc(ConvertWorker& worker, ConversionContext context);

}  // namespace morvane
