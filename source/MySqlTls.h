#pragma once
// Encryption of the MySQL connection: TLS whenever the server offers it over TCP ("preferred",
// as MySQL's own command-line client does by default), in clear only when it offers none.

#include <string>

#include "source/ServerAddress.h"

struct st_mysql;

namespace morvane {

// True when the client library reaches this address over its local socket: a socket path, or
// "localhost" (or nothing) without a port.
bool UsesLocalSocket(const MySqlServerAddress& address);

// Before mysql_real_connect. Over TCP: asks for TLS, which the library uses when the server
// offers it and leaves out when the server offers none; the certificate is not checked. Over
// the local socket nothing is asked. Over TCP the [client] group of the MySQL option files is
// read at connect, so that a user who wants the certificate checked says so there
// (ssl-verify-server-cert=1, ssl-ca); a connection that is then not verified fails.
void PreferTls(st_mysql* handle, const MySqlServerAddress& address);

// The cipher of an open connection, or "" when it is not encrypted.
std::string TlsCipher(st_mysql* handle);

}  // namespace morvane
