#include "tests/integration/StopRelay.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "tests/integration/LoopbackSockets.h"

namespace morvane::test {
namespace {

constexpr unsigned char kSqlBatch = 0x01;
constexpr unsigned char kAttention = 0x06;

}  // namespace

StopRelay::StopRelay(const std::string& serverHost, unsigned serverPort)
    : serverHost_(serverHost), serverPort_(serverPort) {
  thread_ = std::thread([this] { Run(); });
}

StopRelay::~StopRelay() {
  stop_ = true;
  ends_.Wake(0);
  thread_.join();
  for (auto& pair : pairs_) {
    CloseFd(pair.client);
    CloseFd(pair.server);
  }
}

void StopRelay::HoldBatch(const std::string& text, int skip) {
  std::lock_guard lock(mutex_);
  holdText_ = text;
  holdSkip_ = skip;
  holdArmed_ = true;
  tdsMode_ = true;
}

bool StopRelay::WaitUntilHolding(std::chrono::milliseconds bound) {
  std::unique_lock lock(mutex_);
  return holding_.wait_for(lock, bound, [this] { return held_; });
}

std::vector<std::string> StopRelay::BatchesAfterTheHeldOne() const {
  std::lock_guard lock(mutex_);
  return afterHeld_;
}

// The ASCII characters of a SQL batch's UTF-16 text (after its ALL_HEADERS).
std::string StopRelay::BatchText(const std::vector<unsigned char>& message) {
  std::size_t at = 0;
  if (message.size() >= 4) {
    const std::size_t headers =
        std::size_t{message[0]} | (std::size_t{message[1]} << 8) |
        (std::size_t{message[2]} << 16) | (std::size_t{message[3]} << 24);
    if (headers <= message.size()) at = headers;
  }
  std::string text;
  for (; at + 1 < message.size(); at += 2) {
    if (message[at + 1] == 0 && message[at] < 0x80) text += static_cast<char>(message[at]);
  }
  return text;
}

// Gathers the client's packets into messages; passes each message on (or holds it) whole.
void StopRelay::FromClient(Pair& pair, const unsigned char* data, std::size_t size) {
  pair.packet.insert(pair.packet.end(), data, data + size);
  while (pair.packet.size() >= 8) {
    const std::size_t length = (std::size_t{pair.packet[2]} << 8) | pair.packet[3];
    if (length < 8 || pair.packet.size() < length) return;
    const unsigned char type = pair.packet[0];
    const bool last = (pair.packet[1] & 0x01) != 0;
    std::vector<unsigned char> whole(pair.packet.begin(), pair.packet.begin() + static_cast<long>(length));
    pair.packet.erase(pair.packet.begin(), pair.packet.begin() + static_cast<long>(length));
    if (type != kSqlBatch && type != kAttention) {
      // Login and everything else: on at once.
      Pass(pair, true, whole.data(), whole.size());
      continue;
    }
    pair.message.insert(pair.message.end(), whole.begin(), whole.end());
    if (last) MessageFromClient(pair, std::exchange(pair.message, {}));
  }
}

void StopRelay::MessageFromClient(Pair& pair, std::vector<unsigned char> message) {
  const unsigned char type = message[0];
  std::unique_lock lock(mutex_);
  if (type == kAttention) {
    if (held_ && !heldCancelled_) heldCancelled_ = true;  // the held batch is dropped
    lock.unlock();
    Pass(pair, true, message.data(), message.size());
    return;
  }
  // The text of the batch: the bodies of its packets, without their headers.
  std::vector<unsigned char> body;
  for (std::size_t at = 0; at + 8 <= message.size();) {
    const std::size_t length = (std::size_t{message[at + 2]} << 8) | message[at + 3];
    body.insert(body.end(), message.begin() + static_cast<long>(at + 8),
                message.begin() + static_cast<long>(at + length));
    at += length;
  }
  const std::string text = BatchText(body);
  if (held_) {
    afterHeld_.push_back(text);
  } else if (holdArmed_ && text.find(holdText_) != std::string::npos) {
    if (holdSkip_-- <= 0) {
      held_ = true;
      holdArmed_ = false;
      holding_.notify_all();
      return;  // never passed on
    }
  }
  lock.unlock();
  Pass(pair, true, message.data(), message.size());
}

bool StopRelay::Pass(Pair& pair, bool toServer, const unsigned char* data, std::size_t size) {
  const std::int64_t delay = delay_.load();
  if (delay <= 0) return SendAll(toServer ? pair.server : pair.client, data, size);
  (toServer ? pair.toServer : pair.toClient)
      .push_back({std::chrono::steady_clock::now() + std::chrono::microseconds(delay),
                  std::vector<unsigned char>(data, data + size)});
  return true;
}

bool StopRelay::SendDue(Pair& pair, std::chrono::steady_clock::time_point now) {
  for (const bool toServer : {true, false}) {
    auto& queue = toServer ? pair.toServer : pair.toClient;
    while (!queue.empty() && queue.front().due <= now) {
      if (!SendAll(toServer ? pair.server : pair.client, queue.front().bytes.data(),
                   queue.front().bytes.size()))
        return false;
      queue.pop_front();
    }
  }
  return true;
}

void StopRelay::Run() {
  std::vector<unsigned char> buffer(65536);
  auto last = std::chrono::steady_clock::now();
  double allowance = 0;
  while (!stop_) {
    const std::uint64_t rate = rate_.load();
    const auto now = std::chrono::steady_clock::now();
    if (rate > 0) {
      allowance = std::min<double>(allowance + std::chrono::duration<double>(now - last).count() *
                                                   static_cast<double>(rate),
                                   static_cast<double>(rate) / 10);
    }
    last = now;
    const bool serverMayPass = rate == 0 || allowance >= 1;

    // What waits for its delay decides how long the poll may sleep.
    std::optional<std::chrono::steady_clock::time_point> nextDue;
    for (auto& pair : pairs_) {
      if (!SendDue(pair, now)) {
        CloseFd(pair.client);
        CloseFd(pair.server);
        continue;
      }
      for (const auto* queue : {&pair.toServer, &pair.toClient}) {
        if (!queue->empty() && (!nextDue || queue->front().due < *nextDue)) nextDue = queue->front().due;
      }
    }
    std::erase_if(pairs_, [](const Pair& pair) { return pair.client < 0; });

    std::vector<pollfd> polled{{ends_.wakeRead, POLLIN, 0}, {ends_.listener, POLLIN, 0}};
    for (auto& pair : pairs_) {
      polled.push_back({pair.client, POLLIN, 0});
      polled.push_back({pair.server, static_cast<short>(serverMayPass ? POLLIN : 0), 0});
    }
    std::chrono::nanoseconds wait = rate > 0 ? std::chrono::milliseconds(5) : std::chrono::nanoseconds(-1);
    if (nextDue) {
      const auto untilDue = std::max(std::chrono::nanoseconds(0), *nextDue - now);
      if (wait.count() < 0 || untilDue < wait) wait = untilDue;
    }
    timespec timeout{static_cast<time_t>(wait.count() / 1000000000), static_cast<long>(wait.count() % 1000000000)};
    if (ppoll(polled.data(), polled.size(), wait.count() < 0 ? nullptr : &timeout, nullptr) < 0) continue;
    if (polled[0].revents != 0) {
      char drained[16];
      (void)!read(ends_.wakeRead, drained, sizeof drained);
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
          pairs_.push_back(std::move(pair));
        }
      }
      continue;
    }
    for (std::size_t k = 0; k < pairs_.size(); ++k) {
      Pair& pair = pairs_[k];
      bool closed = false;
      const pollfd& fromClient = polled[2 + 2 * k];
      const pollfd& fromServer = polled[3 + 2 * k];
      if (fromClient.revents != 0) {
        const ssize_t got = read(pair.client, buffer.data(), buffer.size());
        if (got <= 0) {
          closed = true;
        } else if (tdsMode_) {
          FromClient(pair, buffer.data(), static_cast<std::size_t>(got));
        } else if (!Pass(pair, true, buffer.data(), static_cast<std::size_t>(got))) {
          closed = true;
        }
      }
      if (!closed && fromServer.revents != 0) {
        std::size_t want = buffer.size();
        if (rate > 0) want = std::min(want, static_cast<std::size_t>(allowance));
        const ssize_t got = read(pair.server, buffer.data(), std::max<std::size_t>(want, 1));
        if (got <= 0) {
          closed = true;
        } else {
          if (rate > 0) allowance -= static_cast<double>(got);
          bytesToClient_ += static_cast<std::uint64_t>(got);
          closed = !Pass(pair, false, buffer.data(), static_cast<std::size_t>(got));
        }
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
