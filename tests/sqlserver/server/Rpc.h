#pragma once
// Remote procedure calls. The server runs sp_executesql with its statement and no parameters
// (tedious's execSql), and sp_prepexec / sp_execute / sp_unprepare of statements without
// parameter markers (FreeTDS's SQLPrepare and SQLExecute); it refuses every other call.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tests/sqlserver/server/SqlError.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {

enum ProcedureId : std::uint16_t {
  kExecuteSql = 10,
  kPrepare = 11,
  kExecute = 12,
  kPrepExec = 13,
  kUnprepare = 15,
};

struct RpcParameter {
  std::string name;
  bool output = false;
  bool null = false;
  std::optional<std::int64_t> integer;  // INTN parameters
  std::optional<std::string> text;      // character parameters
};

struct RpcCall {
  std::uint16_t procedure = 0;  // one of ProcedureId, or 0 for a call by a name not listed
  std::string name;
  std::vector<RpcParameter> parameters;
};

// The call, or the error to answer for a request this server does not read.
std::variant<RpcCall, SqlMessage> ParseRpc(const Bytes& payload, std::uint32_t tdsVersion);

}  // namespace morvane::tds
