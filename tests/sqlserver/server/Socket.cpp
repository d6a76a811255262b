#include "tests/sqlserver/server/Socket.h"

#include "tests/sqlserver/server/Tls.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace morvane::tds {

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

Socket::~Socket() {
  if (fd_ >= 0) ::close(fd_);
}

bool Socket::ReadExactly(std::uint8_t* data, std::size_t size) {
  if (tls_ != nullptr) return tls_->Read(data, size);
  while (size > 0) {
    ssize_t n = ::recv(fd_, data, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool Socket::WriteAll(const std::uint8_t* data, std::size_t size) {
  if (tls_ != nullptr) return tls_->Write(data, size);
  while (size > 0) {
    ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void Socket::Shutdown() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

Listener::Listener(std::uint16_t port) {
  socket_ = Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket_) throw std::system_error(errno, std::generic_category(), "socket");
  int one = 1;
  ::setsockopt(socket_.Fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(socket_.Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::system_error(errno, std::generic_category(), "bind");
  }
  if (::listen(socket_.Fd(), 64) != 0) throw std::system_error(errno, std::generic_category(), "listen");
  socklen_t length = sizeof address;
  ::getsockname(socket_.Fd(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

std::optional<Socket> Listener::Accept(int timeoutMs) {
  pollfd p{socket_.Fd(), POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
  int fd = ::accept4(socket_.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return std::nullopt;
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return Socket(fd);
}

}  // namespace morvane::tds
