#include "source/SchemaText.h"

#include "source/AsciiText.h"

namespace morvane {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsNumber(const std::string& s) {
  if (s.empty()) return false;
  std::size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
  bool digit = false, point = false, exponent = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point && !exponent) {
      point = true;
    } else if ((c == 'e' || c == 'E') && digit && !exponent) {
      exponent = true;
      digit = false;
      if (i + 1 < s.size() && (s[i + 1] == '-' || s[i + 1] == '+')) ++i;
    } else {
      return false;
    }
  }
  return digit;
}

// b'0101' → "5"; nothing when it is no bit literal or does not fit 64 bits.
std::optional<std::string> BitLiteral(const std::string& s) {
  if (s.size() < 3 || (s[0] != 'b' && s[0] != 'B') || s[1] != '\'' || s.back() != '\'')
    return std::nullopt;
  const std::string bits = s.substr(2, s.size() - 3);
  if (bits.size() > 64) return std::nullopt;
  unsigned long long value = 0;
  for (char c : bits) {
    if (c != '0' && c != '1') return std::nullopt;
    value = (value << 1) | static_cast<unsigned long long>(c - '0');
  }
  return std::to_string(value);
}

// 'it''s' → it's; nothing when the text is not one quoted literal.
std::optional<std::string> Unquoted(const std::string& s) {
  if (s.size() < 2 || s.front() != '\'' || s.back() != '\'') return std::nullopt;
  std::string out;
  for (std::size_t i = 1; i + 1 < s.size(); ++i) {
    const char c = s[i];
    if (c == '\'') {
      if (i + 2 < s.size() && s[i + 1] == '\'') {
        out += '\'';
        ++i;
        continue;
      }
      return std::nullopt;  // two literals or an expression
    }
    if (c == '\\' && i + 2 < s.size()) {
      const char n = s[++i];
      switch (n) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '0': out += '\0'; break;
        case 'Z': out += '\x1A'; break;
        default: out += n; break;
      }
      continue;
    }
    out += c;
  }
  return out;
}

bool IsCurrentTimestamp(const std::string& lower) {
  for (const char* name : {"current_timestamp", "now(", "localtimestamp", "localtime"}) {
    if (StartsWith(lower, name)) {
      // CURRENT_TIMESTAMP, current_timestamp(), current_timestamp(6), now(), localtime...
      const std::size_t open = lower.find('(');
      if (open == std::string::npos) return lower == name;
      return lower.back() == ')' && lower.find_first_not_of("0123456789", open + 1) == lower.size() - 1;
    }
  }
  return false;
}

}  // namespace

ColumnDefault ParseColumnDefault(const std::optional<std::string>& columnDefault,
                                 const std::string& extra, bool mariaDbForm) {
  if (!columnDefault) return {};
  const std::string& text = *columnDefault;
  const bool current = IsCurrentTimestamp(AsciiLowerText(text));
  if (mariaDbForm) {
    if (text == "NULL") return {};
    if (current) return {DefaultKind::CurrentTimestamp, text};
    if (auto bits = BitLiteral(text)) return {DefaultKind::Literal, *bits};
    if (auto literal = Unquoted(text)) return {DefaultKind::Literal, *literal};
    if (IsNumber(text)) return {DefaultKind::Literal, text};
    return {DefaultKind::Expression, text};
  }
  const bool generated = AsciiLowerText(extra).find("default_generated") != std::string::npos;
  if (current && (generated || text == "CURRENT_TIMESTAMP"))
    return {DefaultKind::CurrentTimestamp, text};
  if (generated) return {DefaultKind::Expression, text};
  if (auto bits = BitLiteral(text)) return {DefaultKind::Literal, *bits};
  return {DefaultKind::Literal, text};
}

ColumnDefault DecodedBinaryDefault(ColumnDefault parsed, const std::string& dataType,
                                   bool mariaDbForm) {
  const std::string type = AsciiLowerText(dataType);
  if (mariaDbForm || parsed.kind != DefaultKind::Literal || (type != "binary" && type != "varbinary"))
    return parsed;
  const std::string& text = parsed.value;
  if (text.size() < 2 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X') || text.size() % 2 != 0)
    return parsed;
  const auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string bytes;
  for (std::size_t i = 2; i < text.size(); i += 2) {
    const int high = nibble(text[i]), low = nibble(text[i + 1]);
    if (high < 0 || low < 0) return parsed;
    bytes += static_cast<char>(high * 16 + low);
  }
  parsed.value = std::move(bytes);
  return parsed;
}

}  // namespace morvane
