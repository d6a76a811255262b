#include "target/ConnectionString.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string_view>

#include "target/TargetError.h"

namespace morvane {

namespace {

std::string Trim(std::string_view text) {
  auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return std::string(text);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
}

bool IsFreeTds(const std::string& driver) { return driver == kFreeTdsDriver; }

void Append(std::string& out, const char* keyword, const std::string& value,
            BraceStyle style = BraceStyle::Odbc) {
  const auto written = ConnectionStringValue(value, style);
  if (!written) {
    const std::string instead =
        " Please choose another password, or name an ODBC data source in the SQL Server box "
        "(DSN=name), whose login takes any password.";
    throw TargetError(
        target_code::kInvalidArgument, std::string("Morvane"),
        style == BraceStyle::FreeTds
            ? "The login or password holds \"};\", which the FreeTDS driver before version 1.4 "
              "cannot take." + instead
            : "The login or password holds \"}\", which the FreeTDS driver reads one way before "
              "version 1.4 and another way from then on, and the version of the driver here "
              "could not be found out." + instead);
  }
  out += keyword;
  out += '=';
  out += *written;
  out += ';';
}

}  // namespace

const std::vector<std::string>& SqlServerDrivers() {
  static const std::vector<std::string> drivers{kDriver18, kDriver17, kFreeTdsDriver};
  return drivers;
}

std::optional<std::string> ChooseSqlServerDriver(const std::vector<std::string>& installed,
                                                 const std::vector<std::string>& preferred) {
  for (const auto& driver : preferred) {
    if (std::find(installed.begin(), installed.end(), driver) != installed.end()) return driver;
  }
  return std::nullopt;
}

SqlServerAddress ParseSqlServerName(const std::string& typed) {
  std::string name = Trim(typed);
  if (StartsWithNoCase(name, "tcp:")) name = Trim(std::string_view(name).substr(4));
  SqlServerAddress address;
  if (auto comma = name.rfind(','); comma != std::string::npos) {
    std::string port = Trim(std::string_view(name).substr(comma + 1));
    if (AllDigits(port)) {
      address.port = port;
      name = Trim(std::string_view(name).substr(0, comma));
    }
  }
  if (auto slash = name.find('\\'); slash != std::string::npos) {
    address.instance = Trim(std::string_view(name).substr(slash + 1));
    name = Trim(std::string_view(name).substr(0, slash));
  }
  if (name.empty() || name == "." || name == "(local)") {
    name = "localhost";
  }
  address.host = name;
  return address;
}

std::optional<std::string> DataSourceName(const std::string& typed) {
  const std::string text = Trim(typed);
  if (!StartsWithNoCase(text, "DSN")) return std::nullopt;
  const std::string rest = Trim(std::string_view(text).substr(3));
  if (rest.empty() || rest.front() != '=') return std::nullopt;
  std::string name = Trim(std::string_view(rest).substr(1));
  if (name.empty()) return std::nullopt;
  return name;
}

BraceStyle DriverBraceStyle(const std::string& driver, const std::string& driverVersion) {
  if (!IsFreeTds(driver)) return BraceStyle::Odbc;
  int major = 0, minor = 0;
  char dot = 0;
  std::istringstream version(driverVersion);
  if (!(version >> major >> dot >> minor) || dot != '.') return BraceStyle::EitherWay;
  return major > 1 || (major == 1 && minor >= 4) ? BraceStyle::Odbc : BraceStyle::FreeTds;
}

std::string FreeTdsVersionIn(std::string_view libraryBytes) {
  constexpr std::string_view kMark = "freetds v";
  for (auto at = libraryBytes.find(kMark); at != std::string_view::npos;
       at = libraryBytes.find(kMark, at + 1)) {
    std::size_t end = at + kMark.size();
    while (end < libraryBytes.size() &&
           (std::isdigit(static_cast<unsigned char>(libraryBytes[end])) != 0 ||
            libraryBytes[end] == '.')) {
      ++end;
    }
    const std::string_view version = libraryBytes.substr(at + kMark.size(), end - at - kMark.size());
    if (!version.empty() && std::isdigit(static_cast<unsigned char>(version.front())) != 0 &&
        version.find('.') != std::string_view::npos) {
      return std::string(version);
    }
  }
  return "";
}

std::optional<std::string> ConnectionStringValue(const std::string& value, BraceStyle style) {
  const bool needsBraces =
      value.find_first_of(";{}[]()=,?*!@") != std::string::npos ||
      (!value.empty() && (std::isspace(static_cast<unsigned char>(value.front())) != 0 ||
                          std::isspace(static_cast<unsigned char>(value.back())) != 0));
  if (!needsBraces) return value;
  if (style == BraceStyle::FreeTds) {
    if (value.find("};") != std::string::npos) return std::nullopt;
    return "{" + value + "}";
  }
  if (style == BraceStyle::EitherWay) {
    if (value.find('}') != std::string::npos) return std::nullopt;
    return "{" + value + "}";
  }
  std::string braced = "{";
  for (char c : value) {
    braced += c;
    if (c == '}') braced += '}';
  }
  braced += '}';
  return braced;
}

std::string BuildConnectionString(const ConnectionStringRequest& request) {
  if (const auto dataSource = DataSourceName(request.serverName)) {
    // The data source says which driver and server; the login is page one's.
    std::string out;
    Append(out, "DSN", *dataSource);
    if (request.integratedSecurity) {
      Append(out, "Trusted_Connection", "yes");
    } else {
      Append(out, "UID", request.login);
      Append(out, "PWD", request.password);
    }
    return out;
  }
  const SqlServerAddress address = ParseSqlServerName(request.serverName);
  std::string out = "DRIVER={" + request.driver + "};";
  if (IsFreeTds(request.driver)) {
    // FreeTDS: an instance name is resolved through the SQL Server Browser unless a port is
    // given; the default instance listens on 1433.
    if (!address.instance.empty() && address.port.empty()) {
      Append(out, "SERVER", address.host + "\\" + address.instance);
    } else {
      Append(out, "SERVER", address.host);
      Append(out, "PORT", address.port.empty() ? std::string("1433") : address.port);
    }
    Append(out, "TDS_Version", "7.4");
    Append(out, "ClientCharset", "UTF-8");
  } else {
    std::string server = "tcp:" + address.host;
    if (!address.instance.empty()) server += "\\" + address.instance;
    if (!address.port.empty()) server += "," + address.port;
    // "tcp:" and "," are the driver's own syntax here: braced only when the text could end
    // the value.
    if (server.find_first_of(";{}") != std::string::npos) {
      server = ConnectionStringValue(server).value_or(server);
    }
    out += "SERVER=" + server + ";";
    // Driver 18 encrypts by default; keep it so, and say it, whatever the driver's defaults.
    if (request.driver == kDriver18) Append(out, "Encrypt", "yes");
  }
  out += EncryptionKeywords(request.driver, request.encryption);
  if (request.integratedSecurity) {
    Append(out, "Trusted_Connection", "yes");
  } else {
    const BraceStyle style = DriverBraceStyle(request.driver, request.driverVersion);
    Append(out, "UID", request.login, style);
    Append(out, "PWD", request.password, style);
  }
  return out;
}

}  // namespace morvane
