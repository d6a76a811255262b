#pragma once
// A host that accepts connections and never says a word, as a server that hangs or a firewall
// that swallows the answers would.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace morvane::test {

class SilentHost {
 public:
  SilentHost() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0) {
      throw std::runtime_error("the silent host cannot listen");
    }
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
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
