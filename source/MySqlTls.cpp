#include "source/MySqlTls.h"

#include <mysql.h>

namespace morvane {

bool UsesLocalSocket(const MySqlServerAddress& address) {
  if (!address.socket.empty()) return true;
  return !address.portGiven && (address.host.empty() || address.host == "localhost");
}

void PreferTls(st_mysql* handle, const MySqlServerAddress& address) {
  if (UsesLocalSocket(address)) return;
  // The user's own TLS settings for the client library (a certificate check, a CA file) in
  // the [client] group of the option files. Read over TCP only: there the files' socket path,
  // which would replace the library's default, plays no part.
  mysql_options(handle, MYSQL_READ_DEFAULT_GROUP, "client");
  // Connector/C 3.3 asked for TLS uses it when the server offers it and connects in clear
  // when the server has none, unless the certificate must be verified. Not verified here,
  // whatever the library's own default: the option files can still ask for it, and they
  // are read after this.
  const my_bool yes = 1;
  const my_bool no = 0;
  mysql_options(handle, MYSQL_OPT_SSL_ENFORCE, &yes);
  mysql_options(handle, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &no);
}

std::string TlsCipher(st_mysql* handle) {
  const char* cipher = handle != nullptr ? mysql_get_ssl_cipher(handle) : nullptr;
  return cipher != nullptr ? cipher : "";
}

}  // namespace morvane
