// The hop from a worker to the user-interface thread, with a plain task queue standing in for
// the window system's event loop.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <future>
#include <string>

#include "ui/UiThread.h"

namespace morvane {
namespace {

class EventQueue {
 public:
  void Post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    wake_.notify_all();
  }
  // Runs tasks on the calling thread until `done` holds.
  void RunUntil(const std::function<bool()>& done) {
    while (!done()) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(5), [&] { return !tasks_.empty(); });
        if (tasks_.empty()) continue;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }
  std::size_t Waiting() {
    std::lock_guard lock(mutex_);
    return tasks_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
};

TEST(UiThread, WorkRunsOnTheUiThreadAndTheWorkerGetsTheResult) {
  EventQueue queue;
  UiThread ui([&](std::function<void()> task) { queue.Post(std::move(task)); });
  const auto uiId = std::this_thread::get_id();

  std::atomic<bool> finished{false};
  std::thread::id ranOn;
  std::string answer;
  std::thread worker([&] {
    answer = ui.Call([&] {
      ranOn = std::this_thread::get_id();
      return std::string("Yes");
    }, std::string("fallback"));
    finished = true;
  });
  queue.RunUntil([&] { return finished.load(); });
  worker.join();
  EXPECT_EQ(ranOn, uiId);
  EXPECT_EQ(answer, "Yes");
}

TEST(UiThread, CallsFromTheUiThreadRunAtOnce) {
  UiThread ui([](std::function<void()>) { FAIL() << "nothing may be posted"; });
  EXPECT_EQ(ui.Call([] { return 7; }, 0), 7);
}

TEST(UiThread, CloseReleasesAWaitingWorkerWithItsFallback) {
  EventQueue queue;  // never run: the window is busy closing
  UiThread ui([&](std::function<void()> task) { queue.Post(std::move(task)); });
  std::promise<int> result;
  std::atomic<bool> workRan{false};
  std::thread worker([&] {
    result.set_value(ui.Call([&] {
      workRan = true;
      return 1;
    }, -1));
  });
  while (queue.Waiting() == 0) std::this_thread::yield();

  ui.Close();
  worker.join();  // would hang if Close left the worker waiting
  EXPECT_EQ(result.get_future().get(), -1);

  // The posted work does not run after the close, and later calls do not post at all.
  queue.RunUntil([&] { return queue.Waiting() == 0; });
  EXPECT_FALSE(workRan);
  std::thread later([&] { EXPECT_EQ(ui.Call([] { return 2; }, -2), -2); });
  later.join();
  EXPECT_EQ(queue.Waiting(), 0u);
}

}  // namespace
}  // namespace morvane
