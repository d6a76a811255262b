#include "tests/sqlserver/server/Session.h"

#include <cctype>

#include "tests/sqlserver/server/Parser.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {

Session::Session(Catalogue& catalogue, std::uint16_t spid, std::uint32_t tdsVersion,
                 std::string login)
    : catalogue_(catalogue), spid_(spid), tdsVersion_(tdsVersion), login_(std::move(login)) {}

Session::~Session() {
  std::lock_guard lock(catalogue_.mutex);
  if (Database* db = catalogue_.Find(database_)) --db->sessions;
}

std::optional<SqlError> Session::Enter(const std::string& name) {
  std::lock_guard lock(catalogue_.mutex);
  Database* db = catalogue_.Find(name.empty() ? "master" : name);
  if (!db) {
    return SqlError(4060, 11,
                    "Cannot open database \"" + name + "\" requested by the login. The login failed.");
  }
  if (Database* old = catalogue_.Find(database_)) --old->sessions;
  ++db->sessions;
  database_ = db->name;
  return std::nullopt;
}

Bytes Session::RunBatch(const std::string& sql, bool inProcedure, std::optional<OutputHandle> handle) {
  TokenWriter out(tdsVersion_);
  const std::uint8_t statementDone = inProcedure ? 0xFF : 0xFD;
  bool failed = false;
  auto finish = [&]() {
    if (inProcedure) {
      out.ReturnStatus(failed ? 1 : 0);
      if (handle) out.ReturnValueInt(handle->name, handle->value);
      out.Done(failed ? kDoneError : kDoneFinal, 0, 0, 0xFE);
    }
    return out.Take();
  };
  std::vector<Statement> statements;
  try {
    statements = ParseBatch(sql, options_.quotedIdentifiers);
  } catch (const SqlError& e) {
    out.Message(true, e.Message(), kServerName);
    failed = true;
    if (!inProcedure) out.Done(kDoneError, 0, 0);
    return finish();
  }
  if (statements.empty() && !inProcedure) {
    out.Done(kDoneFinal, 0, 0);
    return out.Take();
  }
  for (std::size_t i = 0; i < statements.size(); ++i) {
    const Statement& st = statements[i];
    const bool last = i + 1 == statements.size() && !inProcedure;
    try {
      warnings_.clear();
      Outcome o = Run(st, out);
      for (SqlMessage& w : warnings_) {
        w.line = st.line;
        out.Message(false, w, kServerName);
      }
      std::uint16_t status = last ? kDoneFinal : kDoneMore;
      if (o.count && !options_.noCount) status |= kDoneCount;
      out.Done(status, o.command, o.rows, statementDone);
    } catch (const SqlError& e) {
      SqlMessage m = e.Message();
      if (m.line == 1) m.line = st.line;
      out.Message(true, m, kServerName);
      failed = true;
      const bool stop = e.Scope() == ErrorScope::Batch || last;
      const bool more = !stop || inProcedure;
      out.Done(static_cast<std::uint16_t>(kDoneError | (more ? kDoneMore : 0)), 0, 0, statementDone);
      if (stop) break;
    } catch (const std::exception& e) {
      // A fault of this server: reported to the client, never a silent success.
      out.Message(true, SqlMessage{50000, 16, 1, std::string("The TDS test server failed: ") + e.what(), st.line},
                  kServerName);
      failed = true;
      out.Done(static_cast<std::uint16_t>(kDoneError | (inProcedure ? kDoneMore : 0)), 0, 0, statementDone);
      break;
    }
  }
  return finish();
}

Session::Outcome Session::Run(const Statement& statement, TokenWriter& out) {
  return std::visit(
      [&](const auto& s) -> Outcome {
        using T = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<T, UseStatement>) return Use(s, out);
        else if constexpr (std::is_same_v<T, CreateDatabase>) return CreateDb(s);
        else if constexpr (std::is_same_v<T, DropDatabase>) return DropDb(s);
        else if constexpr (std::is_same_v<T, CreateTable>) return MakeTable(s);
        else if constexpr (std::is_same_v<T, DropTable>) return RemoveTables(s);
        else if constexpr (std::is_same_v<T, CreateIndex>) return MakeIndex(s);
        else if constexpr (std::is_same_v<T, SetOption>) return Set(s, out);
        else if constexpr (std::is_same_v<T, SetIdentityInsert>) return IdentityInsert(s);
        else if constexpr (std::is_same_v<T, Insert>) return InsertRows(s);
        else if constexpr (std::is_same_v<T, Select>) return Query(s, &out, nullptr);
        else if constexpr (std::is_same_v<T, Execute>) return Exec(s, out);
        else if constexpr (std::is_same_v<T, AlterTable>) return Alter(s);
        else if constexpr (std::is_same_v<T, Delete>) return DeleteRows(s);
        else if constexpr (std::is_same_v<T, DbccCheckIdent>) return Dbcc(s);
        else return If(s, out);
      },
      statement.body);
}

Session::Outcome Session::Use(const UseStatement& s, TokenWriter& out) {
  std::lock_guard lock(catalogue_.mutex);
  Database* db = catalogue_.Find(s.database);
  if (!db) {
    throw SqlError(911, 16,
                   "Database '" + s.database +
                       "' does not exist. Make sure that the name is entered correctly.",
                   ErrorScope::Batch);
  }
  std::string old = database_;
  if (Database* previous = catalogue_.Find(database_)) --previous->sessions;
  ++db->sessions;
  database_ = db->name;
  out.EnvChange(1, database_, old);
  out.Message(false, SqlMessage{5701, 0, 2, "Changed database context to '" + database_ + "'.", 1},
              kServerName);
  return {};
}

Session::Outcome Session::Set(const SetOption& s, TokenWriter& out) {
  const std::string& o = s.option;
  const std::string v = UpperAscii(s.value);
  auto onOff = [&]() {
    if (v != "ON" && v != "OFF") throw SyntaxError(s.value, false, 1);
    return v == "ON";
  };
  if (o == "NOCOUNT") {
    options_.noCount = onOff();
  } else if (o == "QUOTED_IDENTIFIER") {
    options_.quotedIdentifiers = onOff();
  } else if (o == "ANSI_NULL_DFLT_ON") {
    options_.ansiNullDefaultOn = onOff();
  } else if (o == "ANSI_NULL_DFLT_OFF") {
    options_.ansiNullDefaultOn = !onOff();
  } else if (o == "ANSI_WARNINGS" || o == "ANSI_PADDING" || o == "ANSI_NULLS" ||
             o == "CONCAT_NULL_YIELDS_NULL") {
    if (!onOff()) throw NotModelled("SET " + o + " OFF");
  } else if (o == "IMPLICIT_TRANSACTIONS" || o == "XACT_ABORT" || o == "NUMERIC_ROUNDABORT" ||
             o == "FMTONLY" || o == "NOEXEC" || o == "PARSEONLY" || o == "ANSI_DEFAULTS" ||
             o == "SHOWPLAN_ALL" || o == "SHOWPLAN_TEXT" || o == "SHOWPLAN_XML" ||
             o == "STATISTICS") {
    if (o == "STATISTICS" || onOff()) throw NotModelled("SET " + o + " ON");
  } else if (o == "ARITHABORT" || o == "ARITHIGNORE" || o == "CURSOR_CLOSE_ON_COMMIT" ||
             o == "FORCEPLAN" || o == "NOCOUNT" || o == "REMOTE_PROC_TRANSACTIONS") {
    onOff();
  } else if (o == "TEXTSIZE" || o == "LOCK_TIMEOUT" || o == "QUERY_GOVERNOR_COST_LIMIT") {
    if (s.value.empty() || (!std::isdigit(static_cast<unsigned char>(s.value.back())))) {
      throw SyntaxError(s.value, false, 1);
    }
  } else if (o == "DATEFIRST") {
    if (s.value.size() != 1 || s.value[0] < '1' || s.value[0] > '7') {
      throw SqlError(1005, 15, "Line 1: Invalid DATEFIRST value " + s.value + ".", ErrorScope::Batch);
    }
  } else if (o == "ROWCOUNT") {
    if (s.value != "0") throw NotModelled("SET ROWCOUNT other than 0");
  } else if (o == "DEADLOCK_PRIORITY" || o == "TRANSACTION") {
  } else if (o == "DATEFORMAT") {
    std::string order;
    for (char c : s.value) order += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const char* kOrders[] = {"mdy", "dmy", "ymd", "ydm", "myd", "dym"};
    bool ok = false;
    for (const char* k : kOrders) ok = ok || order == k;
    if (!ok) {
      throw SqlError(2741, 16, "SET DATEFORMAT date order '" + s.value + "' is invalid.",
                     ErrorScope::Statement);
    }
    options_.dates.order = order;
  } else if (o == "LANGUAGE") {
    std::string name;
    for (char c : s.value) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "us_english" || name == "english") {
      options_.dates.order = "mdy";
      name = "us_english";
    } else if (name == "british") {
      options_.dates.order = "dmy";
    } else {
      throw NotModelled("the language '" + s.value + "' (only us_english and british)");
    }
    out.EnvChange(2, name, options_.language);
    options_.language = name;
    out.Message(false, SqlMessage{5703, 0, 1, "Changed language setting to " + name + ".", 1},
                kServerName);
  } else {
    throw SqlError(195, 15, "'" + s.option + "' is not a recognized SET option.", ErrorScope::Batch);
  }
  return {};
}

}  // namespace morvane::tds
