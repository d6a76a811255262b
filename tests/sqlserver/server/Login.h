#pragma once
// PRELOGIN and LOGIN7: what a client asks for when it connects.

#include <cstdint>
#include <optional>
#include <string>

#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {

struct PreloginRequest {
  std::uint8_t encryption = 0;  // 0 off, 1 on, 2 not supported, 3 required
};

// Nullopt for a packet that is not a PRELOGIN option list.
std::optional<PreloginRequest> ParsePrelogin(const Bytes& payload);
// The reply: version 16.0, encryption NOT_SUP, no instance, no MARS.
Bytes PreloginReply();

struct LoginRequest {
  std::uint32_t tdsVersion = 0;
  std::uint32_t packetSize = 4096;
  bool integratedSecurity = false;
  std::string hostName, userName, password, appName, serverName, language, database;
};

// Nullopt for a malformed LOGIN7 record.
std::optional<LoginRequest> ParseLogin7(const Bytes& payload);

// The client's obfuscation of the password: each byte XOR 0xA5, then its nibbles swapped.
std::string ObfuscatePassword(const std::string& password);

}  // namespace morvane::tds
