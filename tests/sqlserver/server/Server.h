#pragma once
// The TDS test server: accepts connections on 127.0.0.1 and serves each in its own thread.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/sqlserver/server/Catalogue.h"
#include "tests/sqlserver/server/Socket.h"
#include "tests/sqlserver/server/Tls.h"

namespace morvane::tds {

struct ServerConfig {
  std::uint16_t port = 0;
  std::map<std::string, std::string> logins;  // SQL logins: name -> password
  // ENCRYPT_NOT_SUP (no TLS), ENCRYPT_OFF (TLS offered) or ENCRYPT_ON (TLS forced).
  std::uint8_t encryption = 2;
  // --packet-size: the network packet size granted to every client, whatever it asked for
  // (0: the client's own, within 512..32767).
  std::uint32_t packetSize = 0;
};

// SQL Server's longest batch: 65,536 times the network packet size, in bytes.
constexpr std::size_t BatchLimit(std::uint32_t packetSize) { return std::size_t{65536} * packetSize; }

class Server {
 public:
  explicit Server(ServerConfig config);
  ~Server();  // ends every connection and waits for its thread
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  std::uint16_t Port() const { return listener_.Port(); }
  // Accepts connections until `stop` becomes true.
  void Run(const std::atomic<bool>& stop);

 private:
  struct Connection {
    Socket socket;
    std::thread thread;
    std::atomic<bool> finished{false};
  };
  struct PreparedStatements {
    std::map<std::int32_t, std::string> statements;
    std::int32_t next = 1;
  };
  void Serve(Connection& connection, std::uint16_t spid);
  Bytes AnswerRpc(const Bytes& payload, class Session& session, PreparedStatements& prepared,
                  std::uint32_t version);
  void Reap();

  ServerConfig config_;
  std::unique_ptr<TlsContext> tls_;  // when the server offers TLS
  Listener listener_;
  Catalogue catalogue_;
  std::mutex connectionsMutex_;
  std::vector<std::unique_ptr<Connection>> connections_;
  std::uint16_t nextSpid_ = 51;
};

}  // namespace morvane::tds
