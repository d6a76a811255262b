#pragma once
// Splits a T-SQL batch into tokens: words, [bracketed] and "quoted" identifiers, numbers,
// 'strings' and N'strings' (quotes doubled inside), 0x binary literals, @variables, symbols.

#include <string>
#include <vector>

namespace morvane::tds {

enum class TokenKind { Word, QuotedName, Integer, Decimal, Float, String, Binary, Variable, Symbol, End };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;     // identifier, digits, string content (UTF-8), symbol, hex digits
  std::string written;  // the token as it appears in the batch (for error texts)
  bool unicode = false; // N'...'
  int line = 1;
};

// True for the T-SQL reserved keywords (a bare identifier that is one is a syntax error 156).
bool IsReservedKeyword(const std::string& upperWord);

// Throws SqlError 102/105 for text it cannot split (an unclosed quote or bracket).
std::vector<Token> Tokenize(const std::string& batch, bool quotedIdentifiers);

}  // namespace morvane::tds
