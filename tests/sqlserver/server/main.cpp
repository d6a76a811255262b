// morvane-tds-server: an in-memory SQL Server stand-in for the tests.
//   morvane-tds-server [--port N] [--encryption not-sup|off|on] [--packet-size N]
//                      --login NAME:PASSWORD [--login ...]
// --encryption: no TLS (not-sup, the default), TLS offered (off) or TLS forced (on).
// --packet-size: the network packet size (512..32767) every client gets, whatever it asks for.
// Prints "listening on 127.0.0.1:PORT" once it accepts connections; stops on SIGTERM/SIGINT.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tests/sqlserver/server/Server.h"

namespace {
std::atomic<bool> gStop{false};
void OnSignal(int) { gStop = true; }
}  // namespace

int main(int argc, char** argv) {
  morvane::tds::ServerConfig config;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--port" && i + 1 < argc) {
      config.port = static_cast<std::uint16_t>(std::stoul(argv[++i]));
    } else if (a == "--encryption" && i + 1 < argc) {
      const auto setting = morvane::tds::ParseEncryptionSetting(argv[++i]);
      if (!setting) {
        std::fprintf(stderr, "--encryption wants not-sup, off or on\n");
        return 2;
      }
      config.encryption = *setting;
    } else if (a == "--packet-size" && i + 1 < argc) {
      const std::string n = argv[++i];
      const bool digits = !n.empty() && n.size() <= 5 && n.find_first_not_of("0123456789") == std::string::npos;
      const unsigned long size = digits ? std::stoul(n) : 0;
      if (size < 512 || size > 32767) {
        std::fprintf(stderr, "--packet-size wants a number of bytes from 512 to 32767\n");
        return 2;
      }
      config.packetSize = static_cast<std::uint32_t>(size);
    } else if (a == "--login" && i + 1 < argc) {
      std::string login = argv[++i];
      auto colon = login.find(':');
      if (colon == std::string::npos) {
        std::fprintf(stderr, "--login wants NAME:PASSWORD\n");
        return 2;
      }
      config.logins[login.substr(0, colon)] = login.substr(colon + 1);
    } else {
      std::fprintf(stderr, "usage: %s [--port N] [--encryption not-sup|off|on] [--packet-size N] --login NAME:PASSWORD ...\n", argv[0]);
      return 2;
    }
  }
  if (config.logins.empty()) {
    std::fprintf(stderr, "give at least one --login NAME:PASSWORD\n");
    return 2;
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  try {
    morvane::tds::Server server(config);
    std::printf("listening on 127.0.0.1:%u\n", server.Port());
    std::fflush(stdout);
    server.Run(gStop);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "morvane-tds-server: %s\n", e.what());
    return 1;
  }
  return 0;
}
