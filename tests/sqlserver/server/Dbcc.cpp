// DBCC CHECKIDENT and IDENT_CURRENT: a table's current identity value, read and set
// (DBCC CHECKIDENT (Transact-SQL); IDENT_CURRENT (Transact-SQL)).

#include "tests/sqlserver/server/Dbcc.h"

#include <algorithm>
#include <utility>

#include "tests/sqlserver/server/Session.h"
#include "tests/sqlserver/server/SqlError.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {
namespace {

class DbccReader {
 public:
  DbccReader(const std::vector<Token>& tokens, std::size_t& pos) : tokens_(tokens), pos_(pos) {}

  DbccCheckIdent CheckIdent() {
    const Token& command = Peek();
    if (command.kind != TokenKind::Word) Fail();
    const std::string name = UpperAscii(command.text);
    if (name != "CHECKIDENT") throw NotModelled("DBCC " + name + " (only DBCC CHECKIDENT)");
    Advance();
    DbccCheckIdent s;
    Expect("(");
    // The table: a string, or one name (two- and three-part names are written as strings).
    const Token& table = Peek();
    if (table.kind != TokenKind::String && table.kind != TokenKind::QuotedName &&
        !(table.kind == TokenKind::Word && !IsReservedKeyword(UpperAscii(table.text)))) {
      Fail();
    }
    s.table = table.text;
    Advance();
    if (Accept(",")) {
      if (AcceptWord("NORESEED")) {
        s.noReseed = true;
      } else if (AcceptWord("RESEED")) {
        if (Accept(",")) s.reseed = Number();
      } else {
        Fail();
      }
    }
    Expect(")");
    if (AcceptWord("WITH")) {
      if (!AcceptWord("NO_INFOMSGS")) {
        if (Peek().kind == TokenKind::Word) throw NotModelled("the DBCC option " + UpperAscii(Peek().text));
        Fail();
      }
      s.noInfoMessages = true;
    }
    return s;
  }

 private:
  const Token& Peek() const { return tokens_[std::min(pos_, tokens_.size() - 1)]; }
  void Advance() {
    if (pos_ + 1 < tokens_.size()) ++pos_;
  }
  bool Accept(const char* symbol) {
    if (Peek().kind != TokenKind::Symbol || Peek().text != symbol) return false;
    Advance();
    return true;
  }
  bool AcceptWord(const char* upper) {
    if (Peek().kind != TokenKind::Word || UpperAscii(Peek().text) != upper) return false;
    Advance();
    return true;
  }
  void Expect(const char* symbol) {
    if (!Accept(symbol)) Fail();
  }
  [[noreturn]] void Fail() const {
    const Token& t = Peek().kind == TokenKind::End && pos_ > 0 ? tokens_[pos_ - 1] : Peek();
    throw SyntaxError(t.kind == TokenKind::String ? t.text : t.written,
                      t.kind == TokenKind::Word && IsReservedKeyword(UpperAscii(t.text)), t.line);
  }
  std::int64_t Number() {
    bool negative = Accept("-");
    if (!negative) Accept("+");
    const Token& t = Peek();
    if (t.kind == TokenKind::Decimal || t.kind == TokenKind::Float || t.kind == TokenKind::Variable) {
      throw NotModelled("a DBCC CHECKIDENT value other than an integer constant");
    }
    if (t.kind != TokenKind::Integer) Fail();
    std::string digits = t.text;
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    // Beyond bigint no identity column can take it.
    if (digits.size() > 19 || (digits.size() == 19 && digits > (negative ? "9223372036854775808"
                                                                          : "9223372036854775807"))) {
      throw SqlError(2560, 16, "Parameter 3 is incorrect for this DBCC statement.");
    }
    Advance();
    if (negative && digits == "9223372036854775808") return INT64_MIN;
    const std::int64_t v = std::stoll(digits);
    return negative ? -v : v;
  }

  const std::vector<Token>& tokens_;
  std::size_t& pos_;
};

std::string IdentityText(const std::optional<Int128>& v) {
  return v ? DisplayValue(DecimalValue{*v, 0}) : "NULL";
}

const Column* IdentityColumn(const Table& t, std::size_t* at = nullptr) {
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    if (!t.columns[i].identity) continue;
    if (at) *at = i;
    return &t.columns[i];
  }
  return nullptr;
}

// The current identity value as DBCC CHECKIDENT reports it: NULL for a table that never had one.
std::optional<Int128> CurrentIdentity(const Table& t) {
  if (t.lastIdentity) return *t.lastIdentity;
  if (t.reseed) return *t.reseed;
  return std::nullopt;
}

}  // namespace

DbccCheckIdent ParseDbcc(const std::vector<Token>& tokens, std::size_t& pos) {
  return DbccReader(tokens, pos).CheckIdent();
}

ObjectName NameFromText(const std::string& text) {
  std::vector<std::string> parts;
  std::string part;
  char close = 0;
  for (char c : text) {
    if (!close && (c == '[' || c == '"')) close = c == '[' ? ']' : '"';
    else if (close && c == close) close = 0;
    else if (!close && c == '.') parts.push_back(std::exchange(part, {}));
    else part += c;
  }
  parts.push_back(part);
  ObjectName n;
  n.name = parts.back();
  if (parts.size() > 1) n.schema = parts[parts.size() - 2];
  if (parts.size() > 2) n.database = parts[parts.size() - 3];
  n.written = text;
  return n;
}

Session::Outcome Session::Dbcc(const DbccCheckIdent& s) {
  std::lock_guard lock(catalogue_.mutex);
  const ObjectName name = NameFromText(s.table);
  Table* t = name.database.empty() || catalogue_.Find(name.database) ? FindTable(name) : nullptr;
  if (!t) {
    throw SqlError(2501, 16, "Cannot find a table or object with the name \"" + s.table +
                                 "\". Check the system catalog.");
  }
  std::size_t at = 0;
  const Column* column = IdentityColumn(*t, &at);
  if (!column) throw SqlError(7997, 16, "'" + s.table + "' does not contain an identity column.");
  const std::optional<Int128> current = CurrentIdentity(*t);
  std::string report;
  if (s.reseed) {
    const Int128 max = column->type.kind == Kind::Decimal ? Pow10(column->type.precision) - 1
                                                          : *IntegerRangeMax(column->type.kind);
    const Int128 min = column->type.kind == Kind::Decimal ? -max : IntegerRangeMin(column->type.kind);
    if (*s.reseed > max || *s.reseed < min) {
      throw SqlError(2560, 16, "Parameter 3 is incorrect for this DBCC statement.");
    }
    // The page names one value, without saying whether before or after the change: the one before.
    report = "Checking identity information: current identity value '" + IdentityText(current) + "'.";
    if (t->lastIdentity) {
      t->lastIdentity = *s.reseed;  // the next row gets the value plus the increment
    } else {
      t->reseed = *s.reseed;  // the first row gets the value itself
    }
  } else {
    if (column->increment < 0) {
      throw NotModelled("DBCC CHECKIDENT without a new value on an identity with a negative increment");
    }
    std::optional<Int128> highest;
    for (const Row& row : t->rows) {
      const Value& v = row[at];
      std::optional<Int128> n;
      if (auto* i = std::get_if<std::int64_t>(&v)) n = *i;
      if (auto* d = std::get_if<DecimalValue>(&v)) n = d->units;
      if (n && (!highest || *n > *highest)) highest = n;
    }
    report = "Checking identity information: current identity value '" + IdentityText(current) +
             "', current column value '" + IdentityText(highest) + "'.";
    if (!s.noReseed && highest && (!current || *current < *highest)) {
      t->lastIdentity = static_cast<std::int64_t>(*highest);
    }
  }
  if (!s.noInfoMessages) {
    warnings_.push_back(SqlMessage{7998, 10, 1, report, 1});
    warnings_.push_back(SqlMessage{2528, 10, 1,
                                   "DBCC execution completed. If DBCC printed error messages, contact "
                                   "your system administrator.",
                                   1});
  }
  return {};
}

Literal Session::IdentCurrent(const Literal& text) {
  Literal l;
  if (text.kind != Literal::Kind::String) return l;
  const ObjectName name = NameFromText(text.text);
  if (!name.database.empty() && !catalogue_.Find(name.database)) return l;
  const Table* t = FindTable(name);
  const Column* column = t ? IdentityColumn(*t) : nullptr;
  if (!column) return l;
  // numeric(38, 0); while the table has no current identity value, the seed.
  l.kind = Literal::Kind::Decimal;
  l.text = IdentityText(CurrentIdentity(*t).value_or(t->FirstIdentity(*column))) + ".";
  return l;
}

}  // namespace morvane::tds
