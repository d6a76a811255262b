#include "tests/sqlserver/server/Server.h"

#include <algorithm>
#include <cstdio>

#include "tests/sqlserver/server/Login.h"
#include "tests/sqlserver/server/Packets.h"
#include "tests/sqlserver/server/Rpc.h"
#include "tests/sqlserver/server/Session.h"
#include "tests/sqlserver/server/Tokens.h"

namespace morvane::tds {
namespace {

std::uint32_t NegotiatedVersion(std::uint32_t asked) {
  if (asked >= kTds74) return kTds74;
  if (asked >= 0x730B0003) return kTds73;
  if (asked >= 0x730A0003) return 0x730A0003;
  if (asked >= kTds72) return kTds72;
  return kTds71;
}

Bytes LoginFailure(std::uint32_t version, const SqlMessage& message) {
  TokenWriter w(version);
  w.Message(true, message, kServerName);
  w.Done(kDoneError, 0, 0);
  return w.Take();
}

Bytes ProcedureError(std::uint32_t version, const SqlMessage& message) {
  TokenWriter w(version);
  w.Message(true, message, kServerName);
  w.Done(kDoneError, 0, 0, 0xFE);
  return w.Take();
}

bool NoMarkers(const RpcParameter& declaration) {
  return declaration.null || (declaration.text && declaration.text->find_first_not_of(" ") == std::string::npos);
}

}  // namespace

Bytes Server::AnswerRpc(const Bytes& payload, Session& session, PreparedStatements& prepared,
                        std::uint32_t version) {
  auto parsed = ParseRpc(payload, version);
  if (auto* message = std::get_if<SqlMessage>(&parsed)) return ProcedureError(version, *message);
  const RpcCall& call = std::get<RpcCall>(parsed);
  const auto& p = call.parameters;
  auto refuse = [&](const std::string& what) {
    return ProcedureError(version, SqlMessage{50000, 16, 1, "The TDS test server does not model " + what + ".", 1});
  };
  switch (call.procedure) {
    case kExecuteSql:
      if (p.empty() || !p[0].text) return refuse("sp_executesql without a statement");
      if (p.size() > 2 || (p.size() == 2 && !NoMarkers(p[1]))) return refuse("sp_executesql with parameters");
      return session.RunBatch(*p[0].text, true);
    case kPrepExec: {
      if (p.size() != 3 || !p[0].output || !p[2].text) return refuse("this sp_prepexec call");
      if (!NoMarkers(p[1])) return refuse("prepared statements with parameters");
      std::int32_t handle = prepared.next++;
      prepared.statements[handle] = *p[2].text;
      return session.RunBatch(*p[2].text, true, Session::OutputHandle{p[0].name, handle});
    }
    case kExecute: {
      if (p.size() != 1 || !p[0].integer) return refuse("sp_execute with parameters");
      auto it = prepared.statements.find(static_cast<std::int32_t>(*p[0].integer));
      if (it == prepared.statements.end()) {
        return ProcedureError(version, SqlMessage{8179, 16, 2,
            "Could not find prepared statement with handle " + std::to_string(*p[0].integer) + ".", 1});
      }
      return session.RunBatch(it->second, true);
    }
    case kUnprepare: {
      if (p.size() == 1 && p[0].integer) prepared.statements.erase(static_cast<std::int32_t>(*p[0].integer));
      TokenWriter w(version);
      w.ReturnStatus(0);
      w.Done(kDoneFinal, 0, 0, 0xFE);
      return w.Take();
    }
    default:
      return refuse("calls of " + (call.name.empty() ? "the procedure with id " + std::to_string(call.procedure) : call.name) +
                    " (only sp_executesql, sp_prepexec, sp_execute and sp_unprepare without parameters)");
  }
}

Server::Server(ServerConfig config)
    : config_(std::move(config)),
      tls_(config_.encryption == kEncryptNotSup ? nullptr : std::make_unique<TlsContext>()),
      listener_(config_.port) {}

Server::~Server() {
  std::lock_guard lock(connectionsMutex_);
  for (auto& c : connections_) c->socket.Shutdown();
  for (auto& c : connections_) {
    if (c->thread.joinable()) c->thread.join();
  }
}

void Server::Reap() {
  std::lock_guard lock(connectionsMutex_);
  auto done = std::stable_partition(connections_.begin(), connections_.end(),
                                    [](const auto& c) { return !c->finished.load(); });
  for (auto it = done; it != connections_.end(); ++it) {
    if ((*it)->thread.joinable()) (*it)->thread.join();
  }
  connections_.erase(done, connections_.end());
}

void Server::Run(const std::atomic<bool>& stop) {
  while (!stop.load()) {
    auto socket = listener_.Accept(200);
    Reap();
    if (!socket) continue;
    auto connection = std::make_unique<Connection>();
    connection->socket = std::move(*socket);
    Connection& c = *connection;
    std::uint16_t spid = nextSpid_++;
    if (nextSpid_ > 32000) nextSpid_ = 51;
    std::lock_guard lock(connectionsMutex_);
    connections_.push_back(std::move(connection));
    c.thread = std::thread([this, &c, spid] {
      try {
        Serve(c, spid);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "connection %u: %s\n", spid, e.what());
      }
      c.socket.Shutdown();
      c.finished = true;
    });
  }
}

void Server::Serve(Connection& connection, std::uint16_t spid) {
  PacketChannel channel(connection.socket);
  channel.SetSpid(spid);
  auto message = channel.Read();
  if (!message) return;
  std::unique_ptr<TlsStream> tls;
  bool loginOnly = false;  // ENCRYPT_OFF: TLS ends after the LOGIN7 message
  if (message->type == kPrelogin) {
    auto prelogin = ParsePrelogin(message->payload);
    if (!prelogin) return;
    const EncryptionAnswer answer =
        AnswerEncryption(static_cast<EncryptionValue>(config_.encryption), prelogin->encryption);
    if (!channel.Write(kReply, WithEncryption(PreloginReply(), answer.value))) return;
    if (answer.endAfterAnswer) return;
    if (answer.value != kEncryptNotSup) {
      tls = std::make_unique<TlsStream>(*tls_);
      if (!tls->Handshake(channel, connection.socket.Fd())) {
        std::fprintf(stderr, "connection %u: TLS handshake failed\n", spid);
        return;
      }
      connection.socket.UseTls(tls.get());
      loginOnly = answer.value == kEncryptOff;
    }
    message = channel.Read();
    if (!message) return;
  }
  // What a test can read from the server's side: how this connection is protected.
  std::fprintf(stderr, "connection %u: %s\n", spid,
               !tls ? "in clear"
                    : ((loginOnly ? "login encrypted, session in clear (" : "session encrypted (") +
                       tls->Description() + ")").c_str());
  if (loginOnly) connection.socket.UseTls(nullptr);
  if (message->type != kLogin7) return;
  auto login = ParseLogin7(message->payload);
  if (!login) return;
  const std::uint32_t version = NegotiatedVersion(login->tdsVersion);
  if (login->integratedSecurity) {
    channel.Write(kReply, LoginFailure(version, SqlMessage{18452, 14, 1,
        "Login failed. The login is from an untrusted domain and cannot be used with Windows "
        "authentication.", 1}));
    return;
  }
  auto known = config_.logins.find(login->userName);
  if (known == config_.logins.end() || known->second != login->password) {
    channel.Write(kReply, LoginFailure(version, SqlMessage{18456, 14, 1,
        "Login failed for user '" + login->userName + "'.", 1}));
    return;
  }
  Session session(catalogue_, spid, version, login->userName);
  if (auto error = session.Enter(login->database)) {
    TokenWriter w(version);
    w.Message(true, error->Message(), kServerName);
    w.Message(true, SqlMessage{18456, 14, 1, "Login failed for user '" + login->userName + "'.", 1},
              kServerName);
    w.Done(kDoneError, 0, 0);
    channel.Write(kReply, w.Take());
    return;
  }
  const std::uint32_t packetSize =
      config_.packetSize != 0 ? config_.packetSize
                              : std::clamp<std::uint32_t>(login->packetSize == 0 ? 4096 : login->packetSize, 512, 32767);
  TokenWriter w(version);
  w.EnvChange(1, session.CurrentDatabase(), "master");
  w.Message(false, SqlMessage{5701, 0, 2, "Changed database context to '" + session.CurrentDatabase() + "'.", 1},
            kServerName);
  w.EnvChangeCollation();
  w.EnvChange(2, "us_english", "");
  w.Message(false, SqlMessage{5703, 0, 1, "Changed language setting to us_english.", 1}, kServerName);
  w.LoginAck("Microsoft SQL Server");
  w.EnvChange(4, std::to_string(packetSize), "4096");
  w.Done(kDoneFinal, 0, 0);
  if (!channel.Write(kReply, w.Take())) return;
  channel.SetPacketSize(packetSize);
  channel.SetBatchLimit(BatchLimit(packetSize));

  PreparedStatements prepared;
  while (auto request = channel.Read()) {
    Bytes reply;
    switch (request->type) {
      case kSqlBatch: {
        const Bytes& p = request->payload;
        std::size_t start = 0;
        if (version >= kTds72 && p.size() >= 4) {
          start = static_cast<std::size_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24);
          if (start > p.size()) start = p.size();
        }
        std::string sql = Utf16ToUtf8(FromUtf16Le(p.data() + start, p.size() - start));
        reply = session.RunBatch(sql);
        break;
      }
      case kRpc:
        reply = AnswerRpc(request->payload, session, prepared, version);
        break;
      case kAttention: {
        TokenWriter a(version);
        a.Done(kDoneAttention, 0, 0);
        reply = a.Take();
        break;
      }
      default: {
        TokenWriter e(version);
        e.Message(true, SqlMessage{50000, 16, 1,
                                   "The TDS test server does not model requests of packet type " +
                                       std::to_string(request->type) + " (only SQL batches and remote procedure calls).", 1},
                  kServerName);
        e.Done(kDoneError, 0, 0);
        reply = e.Take();
        break;
      }
    }
    if (!channel.Write(kReply, reply)) return;
  }
  if (channel.BatchTooLong()) {
    // What SQL Server does with a longer batch is not documented: this server ends the connection.
    std::fprintf(stderr, "connection %u: batch longer than %zu bytes (65536 x packet size %u): connection ended\n",
                 spid, BatchLimit(packetSize), packetSize);
  }
}

}  // namespace morvane::tds
