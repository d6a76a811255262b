#pragma once
// A request to stop the conversion, shared by the window (which asks) and the worker (which
// looks for it before every table and every row, and whose pauses end early when it comes).

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace morvane {

class StopSignal {
 public:
  // Sets the request and runs `cancel` (what ends the worker's waits: its running statements)
  // as one step: whoever asks Requested, or waits in Pause, sees the request only once the
  // cancel has been done. So a worker that finds the request and lets statements run again
  // for what the stop still needs (IDENTITY_INSERT off) cannot have that statement cancelled
  // by the same stop. `cancel` must not use this signal.
  void Request(const std::function<void()>& cancel = {}) {
    {
      std::lock_guard lock(mutex_);
      requested_ = true;
      if (cancel) cancel();
    }
    wake_.notify_all();
  }

  // Ready for the next run.
  void Reset() {
    std::lock_guard lock(mutex_);
    requested_ = false;
  }

  bool Requested() const {
    std::lock_guard lock(mutex_);
    return requested_;
  }

  // Waits `pause`, or less when a stop is requested meanwhile. True when the pause ran out,
  // false when a stop was requested.
  bool Pause(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex_);
    if (pause.count() <= 0) return !requested_;
    return !wake_.wait_for(lock, pause, [this] { return requested_; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool requested_ = false;
};

}  // namespace morvane
