#pragma once
// Owned TCP sockets: a listener on 127.0.0.1 and accepted connections.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace morvane::tds {

class TlsStream;

class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket();

  int Fd() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

  // False when the peer closed the connection or it failed.
  bool ReadExactly(std::uint8_t* data, std::size_t size);
  bool WriteAll(const std::uint8_t* data, std::size_t size);
  // Ends both directions so that a thread blocked in ReadExactly returns.
  void Shutdown();
  // From now on reads and writes go through this TLS session (nullptr: in clear again).
  void UseTls(TlsStream* tls) { tls_ = tls; }

 private:
  int fd_ = -1;
  TlsStream* tls_ = nullptr;
};

class Listener {
 public:
  // Listens on 127.0.0.1:port (0 picks a free port). Throws std::system_error.
  explicit Listener(std::uint16_t port);
  std::uint16_t Port() const { return port_; }
  // Waits up to timeoutMs for a connection.
  std::optional<Socket> Accept(int timeoutMs);

 private:
  Socket socket_;
  std::uint16_t port_ = 0;
};

}  // namespace morvane::tds
