#include "tests/sqlserver/server/Login.h"

namespace morvane::tds {
namespace {

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t Le16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

}  // namespace

std::optional<PreloginRequest> ParsePrelogin(const Bytes& p) {
  PreloginRequest r;
  std::size_t i = 0;
  while (i < p.size() && p[i] != 0xFF) {
    if (i + 5 > p.size()) return std::nullopt;
    std::uint8_t token = p[i];
    std::size_t offset = static_cast<std::size_t>(p[i + 1] << 8 | p[i + 2]);
    std::size_t length = static_cast<std::size_t>(p[i + 3] << 8 | p[i + 4]);
    if (offset + length > p.size()) return std::nullopt;
    if (token == 1 && length >= 1) r.encryption = p[offset];
    i += 5;
  }
  if (i >= p.size()) return std::nullopt;
  return r;
}

Bytes PreloginReply() {
  // Options: VERSION (6 bytes), ENCRYPTION (1), INSTOPT (1), THREADID (0), MARS (1).
  const std::uint8_t tokens[] = {0, 1, 2, 3, 4};
  const std::uint16_t sizes[] = {6, 1, 1, 0, 1};
  Bytes out;
  std::uint16_t offset = 5 * 5 + 1;
  for (int i = 0; i < 5; ++i) {
    out.insert(out.end(), {tokens[i], static_cast<std::uint8_t>(offset >> 8),
                           static_cast<std::uint8_t>(offset & 0xFF), 0,
                           static_cast<std::uint8_t>(sizes[i])});
    offset = static_cast<std::uint16_t>(offset + sizes[i]);
  }
  out.push_back(0xFF);
  out.insert(out.end(), {16, 0, 0x03, 0xE8, 0, 0});  // 16.0.1000.0
  out.push_back(2);                                   // ENCRYPT_NOT_SUP
  out.push_back(0);                                   // default instance
  out.push_back(0);                                   // no MARS
  return out;
}

std::optional<LoginRequest> ParseLogin7(const Bytes& p) {
  if (p.size() < 86) return std::nullopt;
  LoginRequest r;
  r.tdsVersion = Le32(p, 4);
  r.packetSize = Le32(p, 8);
  std::uint8_t flags2 = p[25];
  r.integratedSecurity = (flags2 & 0x80) != 0;
  auto field = [&](std::size_t at, bool password) -> std::optional<std::string> {
    std::size_t offset = Le16(p, at), chars = Le16(p, at + 2);
    if (offset + chars * 2 > p.size()) return std::nullopt;
    Bytes raw(p.begin() + static_cast<std::ptrdiff_t>(offset),
              p.begin() + static_cast<std::ptrdiff_t>(offset + chars * 2));
    if (password) {
      for (auto& b : raw) {
        b ^= 0xA5;
        b = static_cast<std::uint8_t>(((b & 0x0F) << 4) | (b >> 4));
      }
    }
    return Utf16ToUtf8(FromUtf16Le(raw.data(), raw.size()));
  };
  auto host = field(36, false), user = field(40, false), password = field(44, true),
       app = field(48, false), server = field(52, false), language = field(64, false),
       database = field(68, false);
  if (!host || !user || !password || !app || !server || !language || !database) return std::nullopt;
  r.hostName = *host;
  r.userName = *user;
  r.password = *password;
  r.appName = *app;
  r.serverName = *server;
  r.language = *language;
  r.database = *database;
  return r;
}

std::string ObfuscatePassword(const std::string& password) {
  Bytes raw;
  AppendUtf16Le(raw, Utf8ToUtf16(password));
  std::string out;
  for (auto b : raw) {
    auto swapped = static_cast<std::uint8_t>(((b & 0x0F) << 4) | (b >> 4));
    out += static_cast<char>(swapped ^ 0xA5);
  }
  return out;
}

}  // namespace morvane::tds
