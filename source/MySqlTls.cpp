#include "source/MySqlTls.h"

#include <errmsg.h>
#include <mysql.h>
#include <netdb.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <memory>

namespace morvane {
namespace {

constexpr unsigned long kClientSsl = 0x800;

// A TCP connection to the address with send and receive bounded by `seconds`; -1 when none.
int ConnectBounded(const MySqlServerAddress& address, unsigned seconds) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string host = address.host.empty() ? "localhost" : address.host;
  if (getaddrinfo(host.c_str(), std::to_string(address.port).c_str(), &hints, &found) != 0) return -1;
  int fd = -1;
  timeval bound{static_cast<time_t>(seconds), 0};
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    // On Linux the send bound also bounds connect().
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) break;
    close(fd);
    fd = -1;
  }
  freeaddrinfo(found);
  return fd;
}

bool ReadExactly(int fd, unsigned char* data, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = recv(fd, data + got, size - got, 0);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

struct SocketCloser {
  int fd;
  ~SocketCloser() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

bool UsesLocalSocket(const MySqlServerAddress& address) {
  if (!address.socket.empty()) return true;
  return !address.portGiven && (address.host.empty() || address.host == "localhost");
}

ServerGreeting ReadServerGreeting(const MySqlServerAddress& address, unsigned timeoutSeconds) {
  ServerGreeting greeting;
  SocketCloser socket{ConnectBounded(address, timeoutSeconds)};
  if (socket.fd < 0) {
    greeting.failure = "Can't connect to MySQL server on '" + address.host + "'";
    return greeting;
  }
  // The protocol 10 greeting: version, server version (NUL-ended), thread id (4), scramble
  // (8), filler (1), the low two bytes of the capabilities.
  std::array<unsigned char, 4> header{};
  if (!ReadExactly(socket.fd, header.data(), header.size())) {
    greeting.failure = "The MySQL server sent no greeting.";
    return greeting;
  }
  const std::size_t length = static_cast<std::size_t>(header[0]) |
                             (static_cast<std::size_t>(header[1]) << 8) |
                             (static_cast<std::size_t>(header[2]) << 16);
  std::string payload(length, '\0');
  if (length == 0 || !ReadExactly(socket.fd, reinterpret_cast<unsigned char*>(payload.data()), length) ||
      payload[0] != 10) {
    greeting.failure = "The MySQL server did not greet as a MySQL server does.";
    return greeting;
  }
  const std::size_t versionEnd = payload.find('\0', 1);
  const std::size_t capabilities = versionEnd + 1 + 4 + 8 + 1;
  if (versionEnd == std::string::npos || capabilities + 2 > payload.size()) {
    greeting.failure = "The MySQL server's greeting is cut short.";
    return greeting;
  }
  const unsigned long low = static_cast<unsigned char>(payload[capabilities]) |
                            (static_cast<unsigned long>(static_cast<unsigned char>(payload[capabilities + 1])) << 8);
  greeting.offersTls = (low & kClientSsl) != 0;
  if (!greeting.offersTls) return greeting;

  // The SSL request (protocol 4.1, TLS, secure connection, plugin authentication; utf8mb4),
  // then the TLS handshake, to see the certificate. Nothing else is sent.
  const unsigned long flags = 0x1 | 0x200 | kClientSsl | 0x8000 | 0x80000;
  std::array<unsigned char, 36> request{};
  request[0] = 32;
  request[3] = static_cast<unsigned char>(header[3] + 1);
  for (std::size_t i = 0; i < 4; ++i) request[4 + i] = static_cast<unsigned char>(flags >> (8 * i));
  request[8 + 3] = 1;  // max packet 16 MiB
  request[12] = 45;
  if (send(socket.fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
    greeting.failure = "The MySQL server hung up before TLS.";
    return greeting;
  }
  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
  std::unique_ptr<SSL, decltype(&SSL_free)> tls(context ? SSL_new(context.get()) : nullptr, SSL_free);
  if (!tls || SSL_set_fd(tls.get(), socket.fd) != 1 || SSL_connect(tls.get()) != 1) {
    greeting.failure = "The MySQL server offered TLS, but its TLS handshake failed.";
    return greeting;
  }
  std::unique_ptr<X509, decltype(&X509_free)> certificate(SSL_get1_peer_certificate(tls.get()), X509_free);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestLength = 0;
  if (!certificate || X509_digest(certificate.get(), EVP_sha1(), digest, &digestLength) != 1) {
    greeting.failure = "The MySQL server offered TLS without a certificate.";
    return greeting;
  }
  static constexpr char hex[] = "0123456789ABCDEF";
  for (unsigned int i = 0; i < digestLength; ++i) {
    greeting.fingerprint += hex[digest[i] >> 4];
    greeting.fingerprint += hex[digest[i] & 15];
  }
  SSL_shutdown(tls.get());
  return greeting;
}

std::string PluginsWithoutTls(bool publicKeyGiven) {
  std::string plugins = "mysql_native_password,client_ed25519";
  if (publicKeyGiven) plugins += ",caching_sha2_password,sha256_password";
  return plugins;
}

bool ServerPublicKeyGiven(st_mysql* handle) {
  const char* key = nullptr;
  return mysql_get_optionv(handle, MYSQL_SERVER_PUBLIC_KEY, &key) == 0 && key != nullptr && *key != '\0';
}

void ProtectConnection(st_mysql* handle, const MySqlServerAddress& address,
                       const std::string& fingerprint, bool rsaAllowed) {
  if (UsesLocalSocket(address)) return;
  // The user's own TLS settings for the client library (a certificate check, a CA file, a
  // server public key) in the [client] group of the option files. Read over TCP only: there
  // the files' socket path, which would replace the library's default, plays no part.
  mysql_options(handle, MYSQL_READ_DEFAULT_GROUP, "client");
  // Connector/C 3.3 asked for TLS uses it when the server offers it and connects in clear
  // when the server has none, unless the certificate must be verified. Not verified here,
  // whatever the library's own default: the option files can still ask for it, and they
  // are read after this.
  const my_bool yes = 1;
  const my_bool no = 0;
  mysql_options(handle, MYSQL_OPT_SSL_ENFORCE, &yes);
  mysql_options(handle, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &no);
  if (!fingerprint.empty()) {
    // The certificate the server showed before: TLS is now required, with it.
    mysql_options(handle, MARIADB_OPT_TLS_PEER_FP, fingerprint.c_str());
    return;
  }
  // A greeting without TLS may come from whoever sits on the way: a plugin that sends the
  // password as typed (mysql_clear_password, dialog) or encrypts it with any key the server
  // sends is refused before the password leaves.
  mysql_options(handle, MARIADB_OPT_RESTRICTED_AUTH, PluginsWithoutTls(rsaAllowed).c_str());
}

namespace {

// The plugin that the library's refusal names ("Authentication plugin 'x' couldn't be found in
// restricted_auth plugin list."), when it names one outside the allowed list; "" otherwise.
// Connector/C 3.3 (10.11.19) prints another buffer there, bytes followed by the greeting's
// plugin: a name that is no plugin name, or one of those allowed, is not repeated.
std::string RefusedPlugin(const std::string& library) {
  const std::size_t open = library.find('\'');
  const std::size_t close = open == std::string::npos ? open : library.find('\'', open + 1);
  if (close == std::string::npos || close == open + 1) return "";
  const std::string name = library.substr(open + 1, close - open - 1);
  for (char c : name) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return "";
  }
  const std::string allowed = "," + PluginsWithoutTls(false) + ",";
  return allowed.find("," + name + ",") == std::string::npos ? name : "";
}

}  // namespace

std::string ConnectRefusal(st_mysql* handle, bool tlsPinned) {
  const std::string library = mysql_error(handle);
  if (mysql_errno(handle) == CR_PLUGIN_NOT_ALLOWED) {
    const std::string plugin = RefusedPlugin(library);
    return "The MySQL server asked for the password through " +
           (plugin.empty() ? std::string("an authentication plugin that")
                           : "the authentication plugin " + plugin + ", which") +
           " would send it unprotected over this connection without TLS, so it was not "
           "sent. Without TLS only mysql_native_password and client_ed25519 are used "
           "(caching_sha2_password and sha256_password with the server's public key given as "
           "server-public-key-path in the [client] group of the MySQL option files); give the "
           "server a TLS certificate or the login one of these plugins.";
  }
  if (tlsPinned && (mysql_errno(handle) == CR_SSL_CONNECTION_ERROR ||
                    library.find("SSL") != std::string::npos ||
                    library.find("TLS") != std::string::npos)) {
    return "The MySQL server no longer answered with TLS and the certificate it showed first, "
           "so the connection was not opened again (" + library + ").";
  }
  return library;
}

std::string TlsCipher(st_mysql* handle) {
  const char* cipher = handle != nullptr ? mysql_get_ssl_cipher(handle) : nullptr;
  return cipher != nullptr ? cipher : "";
}

}  // namespace morvane
