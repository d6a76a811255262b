#pragma once
// A bare TDS client for the tests that well-behaved drivers cannot do: stopping in the middle of
// a batch, sending an attention, asking for an old TDS version.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvane::test {

using TdsBytes = std::vector<std::uint8_t>;

class RawTdsClient {
 public:
  explicit RawTdsClient(unsigned port);
  ~RawTdsClient();
  RawTdsClient(const RawTdsClient&) = delete;
  RawTdsClient& operator=(const RawTdsClient&) = delete;

  // PRELOGIN and LOGIN7; returns the login reply's tokens.
  TdsBytes Login(const std::string& user, const std::string& password,
                 std::uint32_t tdsVersion = 0x74000004);
  // One packet; `last` sets the end-of-message status bit.
  void SendPacket(std::uint8_t type, const TdsBytes& payload, bool last);
  // A SQL batch payload (ALL_HEADERS and UTF-16LE text).
  static TdsBytes BatchPayload(const std::string& sql);
  // The payload of the next whole reply message; nullopt when the server closed the connection.
  std::optional<TdsBytes> ReadMessage();
  void Close();

 private:
  int fd_ = -1;
};

// True when the token stream holds a DONE token (0xFD) whose status has all bits of `status`.
bool HasDone(const TdsBytes& tokens, std::uint16_t status);

}  // namespace morvane::test
