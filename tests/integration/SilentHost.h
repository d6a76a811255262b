#pragma once
// A host that accepts connections and never says a word, as a server that hangs or a firewall
// that swallows the answers would.

#include <unistd.h>

#include <stdexcept>

#include "tests/integration/LoopbackSockets.h"

namespace morvane::test {

class SilentHost {
 public:
  SilentHost() {
    listener_ = ListenOnLoopback(port_);
    if (listener_ < 0) throw std::runtime_error("the silent host cannot listen");
  }
  ~SilentHost() { close(listener_); }
  SilentHost(const SilentHost&) = delete;
  SilentHost& operator=(const SilentHost&) = delete;

  // The kernel completes the connection from the backlog; nobody ever reads or writes.
  unsigned Port() const { return port_; }

 private:
  int listener_ = -1;
  unsigned port_ = 0;
};

}  // namespace morvane::test
