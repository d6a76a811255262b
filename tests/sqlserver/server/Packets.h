#pragma once
// TDS packet framing: an 8-byte header (type, status, big-endian length, SPID, packet id,
// window) before each packet; a message ends with the packet whose status has bit 0x01.

#include <cstdint>
#include <optional>

#include "tests/sqlserver/server/Socket.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {

enum PacketType : std::uint8_t {
  kSqlBatch = 0x01,
  kRpc = 0x03,
  kReply = 0x04,
  kAttention = 0x06,
  kBulkLoad = 0x07,
  kLogin7 = 0x10,
  kPrelogin = 0x12,
};

struct TdsMessage {
  std::uint8_t type = 0;
  Bytes payload;
};

class PacketChannel {
 public:
  explicit PacketChannel(Socket& socket) : socket_(socket) {}

  // The next whole message; nullopt when the client went away (also in the middle of one) or
  // when a SQL batch grew longer than the batch limit (BatchTooLong() tells which).
  std::optional<TdsMessage> Read();
  // Sends a reply message split into packets of the negotiated size.
  bool Write(std::uint8_t type, const Bytes& payload);

  void SetPacketSize(std::size_t size) { packetSize_ = size; }
  // The most bytes a SQL batch message may carry (its ALL_HEADERS and text).
  void SetBatchLimit(std::size_t bytes) { batchLimit_ = bytes; }
  bool BatchTooLong() const { return batchTooLong_; }
  void SetSpid(std::uint16_t spid) { spid_ = spid; }

 private:
  Socket& socket_;
  std::size_t packetSize_ = 4096;
  std::size_t batchLimit_ = SIZE_MAX;
  bool batchTooLong_ = false;
  std::uint16_t spid_ = 0;
};

}  // namespace morvane::tds
