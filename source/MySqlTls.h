#pragma once
// Encryption of the MySQL connection, and what may cross it. TLS whenever the server offers it
// over TCP, and then with the certificate it showed first, also when the connection is opened
// again; without TLS, the password leaves only inside a challenge-response exchange (or
// encrypted with a key the user gave), never in clear.

#include <string>

#include "source/ServerAddress.h"

struct st_mysql;

namespace morvane {

// True when the client library reaches this address over its local socket: a socket path, or
// "localhost" (or nothing) without a port.
bool UsesLocalSocket(const MySqlServerAddress& address);

// What the server says before any password is sent: whether its greeting offers TLS and, if
// so, the SHA-1 fingerprint (40 hex digits) of the certificate its TLS handshake shows.
struct ServerGreeting {
  bool offersTls = false;
  std::string fingerprint;
  std::string failure;  // "" when the greeting (and the handshake) could be read
};

// Connects to address over TCP, reads the greeting and, when it offers TLS, completes a TLS
// handshake to read the certificate (not checked); then hangs up. Bounded by timeoutSeconds.
ServerGreeting ReadServerGreeting(const MySqlServerAddress& address, unsigned timeoutSeconds);

// The authentication plugins the client library may use over a connection without TLS: the
// challenge-response ones, and the RSA exchange only with a public key the user gave.
std::string PluginsWithoutTls(bool publicKeyGiven);

// True when the handle holds a server public key the user gave (server-public-key-path in the
// option files, read at the connect attempt).
bool ServerPublicKeyGiven(st_mysql* handle);

// Before mysql_real_connect. Over the local socket nothing is asked. Over TCP the [client]
// group of the option files is read at connect (a certificate check, a CA file, a server key
// the user wants), and:
//  - with `fingerprint` (the certificate the server showed first): TLS is required, with that
//    certificate;
//  - without: TLS is still taken if offered, but only PluginsWithoutTls(rsaAllowed) are
//    allowed, since nothing then protects what the plugin sends.
void ProtectConnection(st_mysql* handle, const MySqlServerAddress& address,
                       const std::string& fingerprint, bool rsaAllowed);

// A refusal of the library, turned into words for the user when it is one of the protections
// above; otherwise the library's text.
std::string ConnectRefusal(st_mysql* handle, bool tlsPinned);

// The cipher of an open connection, or "" when it is not encrypted.
std::string TlsCipher(st_mysql* handle);

}  // namespace morvane
