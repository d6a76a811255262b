#include "tests/sqlserver/server/Tls.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <stdexcept>

#include "tests/sqlserver/server/Packets.h"

namespace morvane::tds {

std::optional<EncryptionValue> ParseEncryptionSetting(const std::string& text) {
  if (text == "not-sup") return kEncryptNotSup;
  if (text == "off") return kEncryptOff;
  if (text == "on") return kEncryptOn;
  return std::nullopt;
}

EncryptionAnswer AnswerEncryption(EncryptionValue server, std::uint8_t client) {
  // A client's ENCRYPT_REQ is read as ENCRYPT_ON; an unknown value as ENCRYPT_OFF.
  const bool clientOn = client == kEncryptOn || client == kEncryptReq;
  const bool clientNotSup = client == kEncryptNotSup;
  switch (server) {
    case kEncryptNotSup:
      // A client that wants encryption ends the connection itself.
      return {kEncryptNotSup, false};
    case kEncryptOff:
      if (clientOn) return {kEncryptOn, false};
      if (clientNotSup) return {kEncryptNotSup, false};
      return {kEncryptOff, false};
    default:  // ENCRYPT_ON: every client must encrypt
      if (clientNotSup) return {kEncryptReq, true};
      if (clientOn) return {kEncryptOn, false};
      return {kEncryptReq, false};
  }
}

Bytes WithEncryption(Bytes reply, EncryptionValue value) {
  for (std::size_t i = 0; i + 5 <= reply.size() && reply[i] != 0xFF; i += 5) {
    const std::size_t offset = static_cast<std::size_t>(reply[i + 1] << 8 | reply[i + 2]);
    const std::size_t length = static_cast<std::size_t>(reply[i + 3] << 8 | reply[i + 4]);
    if (reply[i] == 1 && length >= 1 && offset < reply.size()) reply[offset] = value;
  }
  return reply;
}

namespace {

std::string OpenSslError(const char* what) {
  char text[256] = "";
  ERR_error_string_n(ERR_get_error(), text, sizeof text);
  return std::string(what) + ": " + text;
}

}  // namespace

TlsContext::TlsContext() {
  // A 2048-bit RSA key and a certificate for "localhost" signed by itself, valid for two days.
  EVP_PKEY* key = EVP_RSA_gen(2048);
  X509* certificate = X509_new();
  context_ = SSL_CTX_new(TLS_server_method());
  bool ok = key != nullptr && certificate != nullptr && context_ != nullptr;
  if (ok) {
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 2L * 24 * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    ok = X509_sign(certificate, key, EVP_sha256()) > 0 &&
         SSL_CTX_use_certificate(context_, certificate) == 1 &&
         SSL_CTX_use_PrivateKey(context_, key) == 1;
  }
  // TDS 7.x carries TLS up to 1.2 in PRELOGIN (TLS 1.3 comes with TDS 8.0's strict mode).
  if (ok) ok = SSL_CTX_set_max_proto_version(context_, TLS1_2_VERSION) == 1;
  const std::string error = ok ? "" : OpenSslError("cannot make the server certificate");
  X509_free(certificate);
  EVP_PKEY_free(key);
  if (!ok) {
    SSL_CTX_free(context_);
    throw std::runtime_error(error);
  }
}

TlsContext::~TlsContext() { SSL_CTX_free(context_); }

TlsStream::TlsStream(const TlsContext& context) : ssl_(SSL_new(context.get())) {
  if (ssl_ == nullptr) throw std::runtime_error(OpenSslError("cannot start TLS"));
  SSL_set_bio(ssl_, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
  SSL_set_accept_state(ssl_);
}

TlsStream::~TlsStream() { SSL_free(ssl_); }

bool TlsStream::Handshake(PacketChannel& channel, int fd) {
  while (true) {
    auto message = channel.Read();
    if (!message || message->type != kPrelogin) return false;
    BIO_write(SSL_get_rbio(ssl_), message->payload.data(), static_cast<int>(message->payload.size()));
    const int result = SSL_do_handshake(ssl_);
    BIO* out = SSL_get_wbio(ssl_);
    if (const auto pending = BIO_ctrl_pending(out); pending > 0) {
      Bytes flight(pending);
      BIO_read(out, flight.data(), static_cast<int>(pending));
      if (!channel.Write(kPrelogin, flight)) return false;
    }
    if (result == 1) break;
    if (SSL_get_error(ssl_, result) != SSL_ERROR_WANT_READ) return false;
  }
  // The client sends its next message only after the server's Finished: nothing of the
  // session is left in the memory buffers.
  BIO* socket = BIO_new_socket(fd, BIO_NOCLOSE);
  SSL_set_bio(ssl_, socket, socket);
  return true;
}

bool TlsStream::Read(std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const int n = SSL_read(ssl_, data, static_cast<int>(size));
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool TlsStream::Write(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const int n = SSL_write(ssl_, data, static_cast<int>(size));
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string TlsStream::Description() const {
  return std::string(SSL_get_version(ssl_)) + " " + SSL_get_cipher_name(ssl_);
}

}  // namespace morvane::tds
