#pragma once
// TLS as SQL Server speaks it in TDS 7.x: the ENCRYPTION option of PRELOGIN says whether it is
// used; the TLS handshake travels inside PRELOGIN packets (type 0x12); afterwards TLS records
// run on the stream itself, for the whole session (ENCRYPT_ON) or for the LOGIN7 message only
// (ENCRYPT_OFF). A self-signed certificate is made when the server starts.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "tests/sqlserver/server/Text.h"

struct ssl_ctx_st;
struct ssl_st;

namespace morvane::tds {

class PacketChannel;

// PRELOGIN B_FENCRYPTION values.
enum EncryptionValue : std::uint8_t {
  kEncryptOff = 0,
  kEncryptOn = 1,
  kEncryptNotSup = 2,
  kEncryptReq = 3,
};

// What the server is set to: ENCRYPT_NOT_SUP (no certificate, the default of this server),
// ENCRYPT_OFF (a certificate, encryption offered but not forced: SQL Server's own default) or
// ENCRYPT_ON (Force Encryption).
std::optional<EncryptionValue> ParseEncryptionSetting(const std::string& text);  // not-sup|off|on

// The server's answer to the client's ENCRYPTION value (the table of MS-TDS 2.2.6.5), and
// whether the connection is then to be ended after the answer (the client cannot go on).
struct EncryptionAnswer {
  EncryptionValue value = kEncryptNotSup;
  bool endAfterAnswer = false;
};
EncryptionAnswer AnswerEncryption(EncryptionValue server, std::uint8_t client);

// The PRELOGIN reply with its ENCRYPTION option set to `value`.
Bytes WithEncryption(Bytes preloginReply, EncryptionValue value);

// The server's certificate and key, made at start.
class TlsContext {
 public:
  TlsContext();  // throws std::runtime_error when OpenSSL cannot make them
  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;
  ssl_ctx_st* get() const { return context_; }

 private:
  ssl_ctx_st* context_ = nullptr;
};

// One connection's TLS session.
class TlsStream {
 public:
  explicit TlsStream(const TlsContext& context);
  ~TlsStream();
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  // The handshake, carried in PRELOGIN messages on `channel`; then the session continues on
  // the socket `fd`. False when the client went away or the handshake failed.
  bool Handshake(PacketChannel& channel, int fd);
  bool Read(std::uint8_t* data, std::size_t size);
  bool Write(const std::uint8_t* data, std::size_t size);
  // "TLSv1.2 ECDHE-RSA-AES256-GCM-SHA384"
  std::string Description() const;

 private:
  ssl_st* ssl_ = nullptr;
};

}  // namespace morvane::tds
