#include "source/ServerAddress.h"

#include <algorithm>

namespace morvane {
namespace {

std::optional<unsigned> ParsePort(const std::string& digits) {
  if (digits.empty() || digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const unsigned port = static_cast<unsigned>(std::stoul(digits));
  if (port == 0 || port > 65535) return std::nullopt;
  return port;
}

}  // namespace

std::optional<MySqlServerAddress> ParseMySqlServer(const std::string& text) {
  MySqlServerAddress address;
  if (!text.empty() && text.front() == '/') {
    address.socket = text;
    return address;
  }
  if (!text.empty() && text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string::npos || close == 1) return std::nullopt;
    address.host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (rest.empty()) return address;
    if (rest.front() != ':') return std::nullopt;
    const auto port = ParsePort(rest.substr(1));
    if (!port) return std::nullopt;
    address.port = *port;
    address.portGiven = true;
    return address;
  }
  const auto colons = std::count(text.begin(), text.end(), ':');
  if (colons == 1) {
    const auto colon = text.find(':');
    const auto port = ParsePort(text.substr(colon + 1));
    if (!port || colon == 0) return std::nullopt;
    address.host = text.substr(0, colon);
    address.port = *port;
    address.portGiven = true;
    return address;
  }
  address.host = text;  // a name, or a bare IPv6 address (more than one colon)
  return address;
}

}  // namespace morvane
