#include "tests/integration/target_tds_relay.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/integration/LoopbackSockets.h"

namespace morvane::test {

TdsRelay::TdsRelay(const std::string& serverHost, unsigned serverPort)
    : serverHost_(serverHost), serverPort_(serverPort) {
  thread_ = std::thread([this] { Run(); });
}

TdsRelay::~TdsRelay() {
  stop_ = true;
  ends_.Wake(0);
  thread_.join();
  for (auto& pair : pairs_) {
    CloseFd(pair.client);
    CloseFd(pair.server);
  }
}

void TdsRelay::Cut() {
  cut_ = true;
  ends_.Wake(1);
  // Wait until the relay thread has closed the connections.
  while (cut_.load()) std::this_thread::yield();
}

void TdsRelay::CountPackets(Pair& pair, const unsigned char* data, std::size_t size) {
  std::size_t i = 0;
  while (i < size) {
    if (pair.bodyLeft > 0) {
      const std::size_t take = std::min(pair.bodyLeft, size - i);
      pair.bodyLeft -= take;
      i += take;
      continue;
    }
    pair.header[pair.headerBytes++] = data[i++];
    if (pair.headerBytes == 8) {
      const std::size_t length = (std::size_t{pair.header[2]} << 8) | pair.header[3];
      if (pair.header[0] == 0x01 && (pair.header[1] & 0x01) != 0) ++batches_;
      pair.bodyLeft = length > 8 ? length - 8 : 0;
      pair.headerBytes = 0;
    }
  }
}

void TdsRelay::Run() {
  std::vector<unsigned char> buffer(65536);
  while (!stop_) {
    std::vector<pollfd> polled{{ends_.wakeRead, POLLIN, 0}, {ends_.listener, POLLIN, 0}};
    for (auto& pair : pairs_) {
      polled.push_back({pair.client, POLLIN, 0});
      polled.push_back({pair.server, POLLIN, 0});
    }
    if (poll(polled.data(), polled.size(), -1) < 0) continue;
    if (polled[0].revents != 0) {
      char drained[16];
      (void)!read(ends_.wakeRead, drained, sizeof drained);
      if (cut_) {
        for (auto& pair : pairs_) {
          shutdown(pair.client, SHUT_RDWR);
          CloseFd(pair.client);
          CloseFd(pair.server);
        }
        pairs_.clear();
        CloseFd(ends_.listener);
        cut_ = false;
        // Nothing listens any more: wait for the end.
        while (!stop_) {
          pollfd wake{ends_.wakeRead, POLLIN, 0};
          poll(&wake, 1, -1);
          (void)!read(ends_.wakeRead, drained, sizeof drained);
        }
        return;
      }
      continue;
    }
    if (polled[1].revents != 0) {
      const int client = accept(ends_.listener, nullptr, nullptr);
      if (client >= 0) {
        const int server = ConnectTo(serverHost_, serverPort_);
        if (server < 0) {
          close(client);
        } else {
          Pair pair;
          pair.client = client;
          pair.server = server;
          pairs_.push_back(pair);
        }
      }
      continue;
    }
    for (std::size_t k = 0; k < pairs_.size(); ++k) {
      Pair& pair = pairs_[k];
      bool closed = false;
      for (int side = 0; side < 2 && !closed; ++side) {
        const pollfd& p = polled[2 + 2 * k + static_cast<std::size_t>(side)];
        if (p.revents == 0) continue;
        const int from = side == 0 ? pair.client : pair.server;
        const int to = side == 0 ? pair.server : pair.client;
        const ssize_t got = read(from, buffer.data(), buffer.size());
        if (got <= 0) {
          closed = true;
          break;
        }
        if (side == 0) CountPackets(pair, buffer.data(), static_cast<std::size_t>(got));
        closed = !SendAll(to, buffer.data(), static_cast<std::size_t>(got));
      }
      if (closed) {
        CloseFd(pair.client);
        CloseFd(pair.server);
      }
    }
    std::erase_if(pairs_, [](const Pair& pair) { return pair.client < 0; });
  }
}

}  // namespace morvane::test
