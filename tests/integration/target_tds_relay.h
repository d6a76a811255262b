#pragma once
// A TCP relay between an ODBC client and the SQL Server test server: counts the SQL batches
// that the client sends, and can cut every relayed connection as a broken network would.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/integration/LoopbackSockets.h"

namespace morvane::test {

class TdsRelay {
 public:
  TdsRelay(const std::string& serverHost, unsigned serverPort);
  ~TdsRelay();
  TdsRelay(const TdsRelay&) = delete;
  TdsRelay& operator=(const TdsRelay&) = delete;

  // Where clients connect: 127.0.0.1 and this port.
  unsigned Port() const { return ends_.port; }

  // The SQL batch messages (TDS packet type 1, end of message) sent by clients so far.
  int SqlBatches() const { return batches_.load(); }

  // Closes every relayed connection; later clients are refused.
  void Cut();

 private:
  struct Pair {
    int client = -1;
    int server = -1;
    // Reading TDS packet headers from the client's stream.
    unsigned char header[8] = {};
    std::size_t headerBytes = 0;
    std::size_t bodyLeft = 0;
  };
  void Run();
  void CountPackets(Pair& pair, const unsigned char* data, std::size_t size);

  std::string serverHost_;
  unsigned serverPort_;
  RelayEnds ends_;
  std::atomic<int> batches_{0};
  std::atomic<bool> cut_{false};
  std::atomic<bool> stop_{false};
  std::vector<Pair> pairs_;
  std::thread thread_;
};

}  // namespace morvane::test
