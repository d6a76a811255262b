#include "tests/sqlserver/server/Lexer.h"

#include <algorithm>
#include <iterator>
#include <cctype>
#include <string_view>

#include "tests/sqlserver/server/SqlError.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {
namespace {

// The reserved keywords of Transact-SQL (learn.microsoft.com, "Reserved Keywords (Transact-SQL)").
constexpr std::string_view kReserved[] = {
    "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUTHORIZATION", "BACKUP", "BEGIN",
    "BETWEEN", "BREAK", "BROWSE", "BULK", "BY", "CASCADE", "CASE", "CHECK", "CHECKPOINT", "CLOSE",
    "CLUSTERED", "COALESCE", "COLLATE", "COLUMN", "COMMIT", "COMPUTE", "CONSTRAINT", "CONTAINS",
    "CONTAINSTABLE", "CONTINUE", "CONVERT", "CREATE", "CROSS", "CURRENT", "CURRENT_DATE",
    "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR", "DATABASE", "DBCC",
    "DEALLOCATE", "DECLARE", "DEFAULT", "DELETE", "DENY", "DESC", "DISK", "DISTINCT",
    "DISTRIBUTED", "DOUBLE", "DROP", "DUMP", "ELSE", "END", "ERRLVL", "ESCAPE", "EXCEPT", "EXEC",
    "EXECUTE", "EXISTS", "EXIT", "EXTERNAL", "FETCH", "FILE", "FILLFACTOR", "FOR", "FOREIGN",
    "FREETEXT", "FREETEXTTABLE", "FROM", "FULL", "FUNCTION", "GOTO", "GRANT", "GROUP", "HAVING",
    "HOLDLOCK", "IDENTITY", "IDENTITY_INSERT", "IDENTITYCOL", "IF", "IN", "INDEX", "INNER",
    "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "KEY", "KILL", "LEFT", "LIKE", "LINENO", "LOAD",
    "MERGE", "NATIONAL", "NOCHECK", "NONCLUSTERED", "NOT", "NULL", "NULLIF", "OF", "OFF",
    "OFFSETS", "ON", "OPEN", "OPENDATASOURCE", "OPENQUERY", "OPENROWSET", "OPENXML", "OPTION",
    "OR", "ORDER", "OUTER", "OVER", "PERCENT", "PIVOT", "PLAN", "PRECISION", "PRIMARY", "PRINT",
    "PROC", "PROCEDURE", "PUBLIC", "RAISERROR", "READ", "READTEXT", "RECONFIGURE", "REFERENCES",
    "REPLICATION", "RESTORE", "RESTRICT", "RETURN", "REVERT", "REVOKE", "RIGHT", "ROLLBACK",
    "ROWCOUNT", "ROWGUIDCOL", "RULE", "SAVE", "SCHEMA", "SECURITYAUDIT", "SELECT",
    "SEMANTICKEYPHRASETABLE", "SEMANTICSIMILARITYDETAILSTABLE", "SEMANTICSIMILARITYTABLE",
    "SESSION_USER", "SET", "SETUSER", "SHUTDOWN", "SOME", "STATISTICS", "SYSTEM_USER", "TABLE",
    "TABLESAMPLE", "TEXTSIZE", "THEN", "TO", "TOP", "TRAN", "TRANSACTION", "TRIGGER", "TRUNCATE",
    "TRY_CONVERT", "TSEQUAL", "UNION", "UNIQUE", "UNPIVOT", "UPDATE", "UPDATETEXT", "USE", "USER",
    "VALUES", "VARYING", "VIEW", "WAITFOR", "WHEN", "WHERE", "WHILE", "WITH", "WRITETEXT"};

bool IsWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == '#' || c >= 0x80; }
bool IsWordChar(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '#' || c == '@' || c == '$' || c >= 0x80;
}

}  // namespace

bool IsReservedKeyword(const std::string& upperWord) {
  return std::find(std::begin(kReserved), std::end(kReserved), upperWord) != std::end(kReserved);
}

std::vector<Token> Tokenize(const std::string& s, bool quotedIdentifiers) {
  std::vector<Token> out;
  std::size_t i = 0;
  int line = 1;
  auto unclosed = [&](const std::string& from) {
    SqlError e(105, 15, "Unclosed quotation mark after the character string '" + from + "'.",
               ErrorScope::Batch);
    e.SetLine(line);
    return e;
  };
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\n') {
      ++line;
      ++i;
      continue;
    }
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      while (i < s.size() && s[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      i += 2;
      while (i + 1 < s.size() && !(s[i] == '*' && s[i + 1] == '/')) {
        if (s[i] == '\n') ++line;
        ++i;
      }
      if (i + 1 >= s.size()) {
        SqlError e(113, 15, "Missing end comment mark '*/'.", ErrorScope::Batch);
        e.SetLine(line);
        throw e;
      }
      i += 2;
      continue;
    }
    Token t;
    t.line = line;
    std::size_t start = i;
    bool nString = (c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'';
    if (c == '\'' || nString) {
      t.kind = TokenKind::String;
      t.unicode = nString;
      i += nString ? 2 : 1;
      std::string value;
      bool closed = false;
      while (i < s.size()) {
        if (s[i] == '\'') {
          if (i + 1 < s.size() && s[i + 1] == '\'') {
            value += '\'';
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        if (s[i] == '\n') ++line;
        value += s[i++];
      }
      if (!closed) throw unclosed(value);
      t.text = value;
    } else if (c == '[' || (c == '"' && quotedIdentifiers)) {
      char close = c == '[' ? ']' : '"';
      t.kind = TokenKind::QuotedName;
      ++i;
      std::string value;
      bool closed = false;
      while (i < s.size()) {
        if (s[i] == close) {
          if (i + 1 < s.size() && s[i + 1] == close) {
            value += close;
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        value += s[i++];
      }
      if (!closed) throw unclosed(value);
      t.text = value;
    } else if (c == '"') {
      // QUOTED_IDENTIFIER OFF: a double-quoted string literal.
      t.kind = TokenKind::String;
      ++i;
      std::string value;
      bool closed = false;
      while (i < s.size()) {
        if (s[i] == '"') {
          if (i + 1 < s.size() && s[i + 1] == '"') {
            value += '"';
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        value += s[i++];
      }
      if (!closed) throw unclosed(value);
      t.text = value;
    } else if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
      t.kind = TokenKind::Binary;
      i += 2;
      while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i]))) t.text += s[i++];
    } else if (std::isdigit(c) || (c == '.' && i + 1 < s.size() &&
                                   std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      t.kind = TokenKind::Integer;
      while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) t.text += s[i++];
      if (i < s.size() && s[i] == '.') {
        t.kind = TokenKind::Decimal;
        t.text += s[i++];
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) t.text += s[i++];
      }
      if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        t.kind = TokenKind::Float;
        t.text += s[i++];
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) t.text += s[i++];
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) t.text += s[i++];
      }
    } else if (c == '@') {
      t.kind = TokenKind::Variable;
      while (i < s.size() && (s[i] == '@' || IsWordChar(static_cast<unsigned char>(s[i])))) {
        t.text += s[i++];
      }
      t.text = UpperAscii(t.text);
    } else if (IsWordStart(c)) {
      t.kind = TokenKind::Word;
      while (i < s.size() && IsWordChar(static_cast<unsigned char>(s[i]))) t.text += s[i++];
    } else {
      t.kind = TokenKind::Symbol;
      static const char* kTwo[] = {"<>", "!=", "<=", ">=", "::"};
      t.text = std::string(1, static_cast<char>(c));
      for (const char* two : kTwo) {
        if (s.compare(i, 2, two) == 0) t.text = two;
      }
      i += t.text.size();
    }
    t.written = s.substr(start, i - start);
    out.push_back(std::move(t));
  }
  Token end;
  end.line = line;
  out.push_back(end);
  return out;
}

}  // namespace morvane::tds
