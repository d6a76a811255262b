#pragma once
// A request to stop the conversion, shared by the window (which asks) and the worker (which
// looks for it before every table and every row, and whose pauses end early when it comes).

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace morvane {

class StopSignal {
 public:
  void Request() {
    {
      std::lock_guard lock(mutex_);
      requested_ = true;
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
