#include "tests/sqlserver/server/Collation.h"

#include <locale.h>
#include <wctype.h>

#include <array>

#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {
namespace {

const std::array<CollationRules, 4> kCollations = {{
    {"SQL_Latin1_General_CP1_CI_AS", false, false, false},
    {"Latin1_General_100_CI_AS_SC", false, false, true},
    {"Latin1_General_100_CS_AS_SC", true, false, true},
    {"Latin1_General_100_BIN2", true, true, true},
}};

// Unicode case mappings of every script, from the C library's UTF-8 locale.
locale_t Utf8Locale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

char32_t FoldCaseOf(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  locale_t l = Utf8Locale();
  if (!l) return c;
  auto upper = static_cast<wint_t>(towupper_l(static_cast<wint_t>(c), l));
  return static_cast<char32_t>(towlower_l(upper, l));
}

void AppendUtf8(std::string& out, char32_t c) {
  std::u16string units;
  if (c >= 0x10000) {
    units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    units += static_cast<char16_t>(c);
  }
  out += Utf16ToUtf8(units);
}

}  // namespace

std::optional<CollationRules> FindCollation(std::string_view name) {
  for (const auto& c : kCollations) {
    if (UpperAscii(c.name) == UpperAscii(name)) return c;
  }
  return std::nullopt;
}

const CollationRules& RulesOf(const std::string& name) {
  for (const auto& c : kCollations) {
    if (!name.empty() && UpperAscii(c.name) == UpperAscii(name)) return c;
  }
  return kCollations[0];
}

std::string CollationKey(std::string_view utf8, const std::string& collation) {
  const CollationRules& rules = RulesOf(collation);
  std::u16string units = Utf8ToUtf16(utf8);
  std::string key;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
      ++i;
    }
    if (!rules.binary) {
      // Undefined characters are ignored in comparisons: U+0000, and for the collations before
      // version 90 every supplementary character.
      if (c == 0 || (c >= 0x10000 && !rules.supplementary)) continue;
      if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;   // full width forms (width-insensitive)
      if (c == 0x3000) c = ' ';                        // ideographic space
      if (c >= 0x30A1 && c <= 0x30F6) c -= 0x60;       // katakana as hiragana (kana-insensitive)
      if (!rules.caseSensitive) c = FoldCaseOf(c);
      if (c == 0xDF || c == 0x1E9E) {                  // ß, ẞ compare as "ss"
        key += rules.caseSensitive && c == 0x1E9E ? "SS" : "ss";
        continue;
      }
    }
    AppendUtf8(key, c);
  }
  while (!key.empty() && key.back() == ' ') key.pop_back();
  return key;
}

bool NamesEqual(std::string_view a, std::string_view b, const std::string& collation) {
  return CollationKey(a, collation) == CollationKey(b, collation);
}

}  // namespace morvane::tds
