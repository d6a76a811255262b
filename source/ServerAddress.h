#pragma once
// Where a MySQL server is, as users type it in database tools.

#include <optional>
#include <string>

namespace morvane {

inline constexpr unsigned DefaultMySqlPort = 3306;

struct MySqlServerAddress {
  std::string host;    // host name or address; empty with a socket
  unsigned port = DefaultMySqlPort;
  bool portGiven = false;  // the text named a port: the connection goes over TCP
  std::string socket;  // a Unix socket path, or empty
};

// "host", "host:port", "[IPv6 address]" or "[IPv6 address]:port", a bare IPv6 address, or a
// socket path beginning with "/". A plain host means port 3306; an empty text stays an empty
// host (the client library's default). A text that names a port always means TCP, also for
// "localhost" (which alone means the local socket). Nothing when the text is malformed (a bad port, an
// unclosed bracket).
std::optional<MySqlServerAddress> ParseMySqlServer(const std::string& text);

}  // namespace morvane
