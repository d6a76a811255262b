#pragma once
// The socket pieces of the tests' stand-in hosts and relays (SilentHost, StopRelay, TdsRelay):
// a listener on 127.0.0.1, a relay's listener and wake pipe, a connection to a server, whole
// sends.

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <stdexcept>
#include <string>

namespace morvane::test {

// A socket listening on 127.0.0.1 at a port the kernel chooses (set in `port`); -1 when it
// cannot listen.
inline int ListenOnLoopback(unsigned& port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0) {
    close(fd);
    return -1;
  }
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

// A connected socket to `host`:`port`, or -1.
inline int ConnectTo(const std::string& host, unsigned port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  int fd = -1;
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd < 0) continue;
    if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) break;
    close(fd);
    fd = -1;
  }
  freeaddrinfo(found);
  return fd;
}

// Closes `fd` if open and marks it closed.
inline void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// The fixed ends of a relay thread: its listener on 127.0.0.1 and the pipe that wakes its
// poll(). Closed when it ends (a closed one is -1).
struct RelayEnds {
  RelayEnds() {
    listener = ListenOnLoopback(port);
    if (listener < 0) throw std::runtime_error("the relay cannot listen");
    int wake[2];
    if (pipe(wake) != 0) {
      CloseFd(listener);
      throw std::runtime_error("the relay has no pipe");
    }
    wakeRead = wake[0];
    wakeWrite = wake[1];
  }
  ~RelayEnds() {
    CloseFd(listener);
    CloseFd(wakeRead);
    CloseFd(wakeWrite);
  }
  RelayEnds(const RelayEnds&) = delete;
  RelayEnds& operator=(const RelayEnds&) = delete;

  // Wakes the thread's poll() with one byte on the pipe.
  void Wake(char byte) const { (void)!write(wakeWrite, &byte, 1); }

  int listener = -1;
  unsigned port = 0;
  int wakeRead = -1;
  int wakeWrite = -1;
};

// Sends all of `data`; false when the peer is gone.
inline bool SendAll(int fd, const unsigned char* data, std::size_t size) {
  std::size_t sent = 0;
  while (sent < size) {
    const ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace morvane::test
