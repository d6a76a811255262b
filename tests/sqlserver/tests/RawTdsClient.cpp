#include "tests/sqlserver/tests/RawTdsClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace morvane::test {
namespace {

void AppendUtf16(TdsBytes& out, const std::string& ascii) {
  for (char c : ascii) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0);
  }
}

void Put16(TdsBytes& out, std::size_t at, std::size_t v) {
  out[at] = static_cast<std::uint8_t>(v & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(TdsBytes& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

RawTdsClient::RawTdsClient(unsigned port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("cannot connect to the TDS test server");
  }
}

RawTdsClient::~RawTdsClient() { Close(); }

void RawTdsClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void RawTdsClient::SendPacket(std::uint8_t type, const TdsBytes& payload, bool last) {
  TdsBytes packet = {type, static_cast<std::uint8_t>(last ? 1 : 0), 0, 0, 0, 0, 1, 0};
  Put16(packet, 2, 0);
  std::size_t length = payload.size() + 8;
  packet[2] = static_cast<std::uint8_t>(length >> 8);
  packet[3] = static_cast<std::uint8_t>(length & 0xFF);
  packet.insert(packet.end(), payload.begin(), payload.end());
  std::size_t sent = 0;
  while (sent < packet.size()) {
    ssize_t n = ::send(fd_, packet.data() + sent, packet.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) throw std::runtime_error("send failed");
    sent += static_cast<std::size_t>(n);
  }
}

std::optional<TdsBytes> RawTdsClient::ReadMessage() {
  TdsBytes message;
  auto readExactly = [&](std::uint8_t* data, std::size_t size) {
    while (size > 0) {
      ssize_t n = ::recv(fd_, data, size, 0);
      if (n <= 0) return false;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  };
  while (true) {
    std::uint8_t header[8];
    if (!readExactly(header, 8)) return std::nullopt;
    std::size_t length = static_cast<std::size_t>(header[2] << 8 | header[3]);
    std::size_t at = message.size();
    message.resize(at + length - 8);
    if (!readExactly(message.data() + at, length - 8)) return std::nullopt;
    if (header[1] & 1) return message;
  }
}

TdsBytes RawTdsClient::BatchPayload(const std::string& sql) {
  TdsBytes p = {0x16, 0, 0, 0, 0x12, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0};
  AppendUtf16(p, sql);
  return p;
}

TdsBytes RawTdsClient::Login(const std::string& user, const std::string& password,
                             std::uint32_t tdsVersion) {
  // PRELOGIN: VERSION and ENCRYPTION (off).
  TdsBytes prelogin = {0x00, 0, 11, 0, 6, 0x01, 0, 17, 0, 1, 0xFF, 11, 0, 0, 0, 0, 0, 0x00};
  SendPacket(0x12, prelogin, true);
  if (!ReadMessage()) throw std::runtime_error("no PRELOGIN reply");

  TdsBytes login(94, 0);
  Put32(login, 4, tdsVersion);
  Put32(login, 8, 4096);
  login[24] = 0xE0;  // OptionFlags1: USE_DB, INIT_DB_FATAL, SET_LANG
  login[25] = 0x03;  // OptionFlags2: INIT_LANG_FATAL, ODBC
  struct Field {
    std::size_t at;
    std::string text;
    bool password;
  };
  std::vector<Field> fields = {{36, "testhost", false}, {40, user, false}, {44, password, true},
                               {48, "raw-tds-test", false}, {52, "127.0.0.1", false},
                               {60, "raw", false}, {64, "", false}, {68, "", false}};
  for (const auto& f : fields) {
    TdsBytes text;
    AppendUtf16(text, f.text);
    if (f.password) {
      for (auto& b : text) {
        b = static_cast<std::uint8_t>(((b & 0x0F) << 4) | (b >> 4));
        b ^= 0xA5;
      }
    }
    Put16(login, f.at, login.size());
    Put16(login, f.at + 2, f.text.size());
    login.insert(login.end(), text.begin(), text.end());
  }
  for (std::size_t at : {56u, 78u, 82u, 86u}) Put16(login, at, login.size());
  Put32(login, 0, static_cast<std::uint32_t>(login.size()));
  SendPacket(0x10, login, true);
  auto reply = ReadMessage();
  if (!reply) throw std::runtime_error("no LOGIN7 reply");
  return *reply;
}

bool HasDone(const TdsBytes& t, std::uint16_t status) {
  // Done tokens end the stream; look at the last 13 bytes (7.2+) for the final one.
  if (t.size() < 13) return false;
  std::size_t at = t.size() - 13;
  if (t[at] != 0xFD) return false;
  auto s = static_cast<std::uint16_t>(t[at + 1] | t[at + 2] << 8);
  return (s & status) == status;
}

}  // namespace morvane::test
