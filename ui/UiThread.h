#pragma once
// The one hop from a worker thread to the user-interface thread.
//
// A worker that needs the window (a control's text, a message box and its answer) calls
// UiThread::Call: the work is posted to the user-interface thread, and the worker waits until it
// has run there. The user-interface thread never waits for a worker. When the window closes,
// Close() turns every waiting and every later call into its fallback at once, so a worker can
// never be left waiting on a window that is gone.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace morvane {

class UiThread {
 public:
  // Hands a task to the user-interface thread's event queue (wxApp::CallAfter in the program).
  using Post = std::function<void(std::function<void()>)>;

  explicit UiThread(Post post) : post_(std::move(post)), ui_(std::this_thread::get_id()) {}

  bool OnUiThread() const { return std::this_thread::get_id() == ui_; }

  // Runs work() on the user-interface thread and returns its result once it has run there
  // (at once when called from that thread). After Close(), returns fallback without running.
  template <typename Work, typename Result = std::invoke_result_t<Work>>
  Result Call(Work work, Result fallback) {
    if (OnUiThread()) {
      return closed_->Closed() ? fallback : work();
    }
    auto call = std::make_shared<Pending<Result>>();
    auto hub = closed_;
    {
      std::lock_guard lock(hub->mutex);
      if (hub->closed) return fallback;
    }
    post_([hub, call, work = std::move(work)]() mutable {
      if (hub->Closed()) return;
      Result result = work();
      std::lock_guard lock(hub->mutex);
      call->result = std::move(result);
      hub->wake.notify_all();
    });
    std::unique_lock lock(hub->mutex);
    hub->wake.wait(lock, [&] { return call->result.has_value() || hub->closed; });
    return call->result ? std::move(*call->result) : fallback;
  }

  // For work without a result.
  template <typename Work>
  void Run(Work work) {
    Call([work = std::move(work)]() mutable {
      work();
      return true;
    }, false);
  }

  // From the user-interface thread, when the window goes: no more work runs through the hop.
  void Close() {
    std::lock_guard lock(closed_->mutex);
    closed_->closed = true;
    closed_->wake.notify_all();
  }

 private:
  struct Hub {
    std::mutex mutex;
    std::condition_variable wake;
    bool closed = false;
    bool Closed() {
      std::lock_guard lock(mutex);
      return closed;
    }
  };
  template <typename Result>
  struct Pending {
    std::optional<Result> result;
  };

  Post post_;
  std::thread::id ui_;
  std::shared_ptr<Hub> closed_ = std::make_shared<Hub>();
};

}  // namespace morvane
