#include "tests/sqlserver/server/Packets.h"

#include <algorithm>

namespace morvane::tds {

std::optional<TdsMessage> PacketChannel::Read() {
  TdsMessage message;
  bool first = true;
  while (true) {
    std::uint8_t header[8];
    if (!socket_.ReadExactly(header, sizeof header)) return std::nullopt;
    std::size_t length = static_cast<std::size_t>(header[2] << 8 | header[3]);
    if (length < 8) return std::nullopt;
    if (first) {
      message.type = header[0];
      first = false;
    } else if (header[0] == kAttention) {
      // An attention in the middle of a message cancels that message.
      message.type = kAttention;
      message.payload.clear();
    }
    std::size_t at = message.payload.size();
    if (message.type == kSqlBatch && at + length - 8 > batchLimit_) {
      batchTooLong_ = true;
      return std::nullopt;
    }
    message.payload.resize(at + length - 8);
    if (!socket_.ReadExactly(message.payload.data() + at, length - 8)) return std::nullopt;
    if (header[1] & 0x01) return message;
  }
}

bool PacketChannel::Write(std::uint8_t type, const Bytes& payload) {
  const std::size_t body = packetSize_ - 8;
  std::size_t offset = 0;
  std::uint8_t id = 1;
  Bytes packet;
  do {
    std::size_t n = std::min(body, payload.size() - offset);
    bool last = offset + n == payload.size();
    std::size_t length = n + 8;
    packet.assign({type, static_cast<std::uint8_t>(last ? 0x01 : 0x00),
                   static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF),
                   static_cast<std::uint8_t>(spid_ >> 8), static_cast<std::uint8_t>(spid_ & 0xFF),
                   id++, 0});
    packet.insert(packet.end(), payload.begin() + static_cast<std::ptrdiff_t>(offset),
                  payload.begin() + static_cast<std::ptrdiff_t>(offset + n));
    if (!socket_.WriteAll(packet.data(), packet.size())) return false;
    offset += n;
  } while (offset < payload.size());
  return true;
}

}  // namespace morvane::tds
