#pragma once
// A TCP relay for the stop tests, between a client of the product and one of the test servers.
// Toward MariaDB it slows the link (bytes per second from the server to the client) and counts
// what it has passed on; toward the SQL Server test server it can hold a SQL batch (TDS), as a
// server that takes its time with a statement would, and passes on an attention in its place.
// Either way it can delay what it passes on in each direction, as a link of some length does.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/integration/LoopbackSockets.h"

namespace morvane::test {

class StopRelay {
 public:
  StopRelay(const std::string& serverHost, unsigned serverPort);
  ~StopRelay();
  StopRelay(const StopRelay&) = delete;
  StopRelay& operator=(const StopRelay&) = delete;

  // Where clients connect: 127.0.0.1 and this port.
  unsigned Port() const { return ends_.port; }

  // Server-to-client bytes per second; 0 (the default) means no limit.
  void LimitTo(std::uint64_t bytesPerSecond) { rate_ = bytesPerSecond; }
  // What is read from either side is passed on this much later (0, the default: at once), so
  // that every exchange takes two such delays more.
  void DelayEachWay(std::chrono::microseconds delay) { delay_ = delay.count(); }
  // Server-to-client bytes passed on so far.
  std::uint64_t BytesToClient() const { return bytesToClient_.load(); }

  // TDS (call before the client connects): the first SQL batch (after `skip` such batches) whose text holds `text` (ASCII) is
  // held and never passed on; an attention from the client drops it and goes to the server in
  // its place, which answers it.
  void HoldBatch(const std::string& text, int skip = 0);
  // Waits at most `bound` until a batch is held.
  bool WaitUntilHolding(std::chrono::milliseconds bound);
  bool HeldBatchCancelled() const { return heldCancelled_.load(); }
  // The texts (ASCII part) of the SQL batches passed on after the held one.
  std::vector<std::string> BatchesAfterTheHeldOne() const;

 private:
  struct Delayed {
    std::chrono::steady_clock::time_point due;
    std::vector<unsigned char> bytes;
  };
  struct Pair {
    int client = -1;
    int server = -1;
    std::deque<Delayed> toServer, toClient;  // waiting for their delay
    std::vector<unsigned char> message;  // the client's message being gathered (TDS mode)
    std::vector<unsigned char> packet;   // the client's packet being gathered
  };
  void Run();
  // Passes bytes on to one side of the pair, at once or after the delay; false when the side
  // has gone.
  bool Pass(Pair& pair, bool toServer, const unsigned char* data, std::size_t size);
  // Sends what has waited long enough; false when a side has gone.
  bool SendDue(Pair& pair, std::chrono::steady_clock::time_point now);
  void FromClient(Pair& pair, const unsigned char* data, std::size_t size);
  void MessageFromClient(Pair& pair, std::vector<unsigned char> message);
  static std::string BatchText(const std::vector<unsigned char>& message);

  std::string serverHost_;
  unsigned serverPort_;
  RelayEnds ends_;
  std::atomic<std::uint64_t> rate_{0};
  std::atomic<std::int64_t> delay_{0};  // microseconds
  std::atomic<std::uint64_t> bytesToClient_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> tdsMode_{false};  // set by HoldBatch, before the client connects

  mutable std::mutex mutex_;
  std::condition_variable holding_;
  std::string holdText_;
  int holdSkip_ = 0;
  bool holdArmed_ = false;
  bool held_ = false;
  std::atomic<bool> heldCancelled_{false};
  std::vector<std::string> afterHeld_;

  std::vector<Pair> pairs_;
  std::thread thread_;
};

}  // namespace morvane::test
