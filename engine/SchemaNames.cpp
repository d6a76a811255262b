#include "engine/SchemaNames.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

#include "engine/SqlNames.h"

namespace morvane {
namespace {

// SQL Server names hold at most 128 characters.
constexpr std::size_t MaxNameCharacters = 128;

std::string Limited(const std::string& name) { return std::string(FirstCharacters(name, MaxNameCharacters)); }

std::string Numbered(const std::string& name, int n) {
  const std::string suffix = "_" + std::to_string(n);
  return std::string(FirstCharacters(name, MaxNameCharacters - suffix.size())) + suffix;
}

// Unicode's simple case mappings as the folding of NameKey uses them: every character that is
// not the lower case of its own upper case, with what it folds to. Each run covers the
// characters first, first + step, ... up to last, each folding to itself plus delta. Made from
// the C library's Unicode 14 tables (towlower of towupper), the same that the SQL Server test
// server folds names with.
struct FoldRun {
  char32_t first, last;
  std::int32_t delta;
  std::uint8_t step;
};

constexpr FoldRun CaseFolds[] = {
    // Latin-1 Supplement (and the micro sign as Greek mu)
    {0x00B5, 0x00B5, 775, 1}, {0x00C0, 0x00D6, 32, 1}, {0x00D8, 0x00DE, 32, 1},
    // Latin Extended-A
    {0x0100, 0x012E, 1, 2}, {0x0130, 0x0130, -199, 1}, {0x0131, 0x0131, -200, 1},
    {0x0132, 0x0136, 1, 2}, {0x0139, 0x0147, 1, 2}, {0x014A, 0x0176, 1, 2},
    {0x0178, 0x0178, -121, 1}, {0x0179, 0x017D, 1, 2}, {0x017F, 0x017F, -268, 1},
    // Latin Extended-B
    {0x0181, 0x0181, 210, 1}, {0x0182, 0x0184, 1, 2}, {0x0186, 0x0186, 206, 1},
    {0x0187, 0x0187, 1, 1}, {0x0189, 0x018A, 205, 1}, {0x018B, 0x018B, 1, 1},
    {0x018E, 0x018E, 79, 1}, {0x018F, 0x018F, 202, 1}, {0x0190, 0x0190, 203, 1},
    {0x0191, 0x0191, 1, 1}, {0x0193, 0x0193, 205, 1}, {0x0194, 0x0194, 207, 1},
    {0x0196, 0x0196, 211, 1}, {0x0197, 0x0197, 209, 1}, {0x0198, 0x0198, 1, 1},
    {0x019C, 0x019C, 211, 1}, {0x019D, 0x019D, 213, 1}, {0x019F, 0x019F, 214, 1},
    {0x01A0, 0x01A4, 1, 2}, {0x01A6, 0x01A6, 218, 1}, {0x01A7, 0x01A7, 1, 1},
    {0x01A9, 0x01A9, 218, 1}, {0x01AC, 0x01AC, 1, 1}, {0x01AE, 0x01AE, 218, 1},
    {0x01AF, 0x01AF, 1, 1}, {0x01B1, 0x01B2, 217, 1}, {0x01B3, 0x01B5, 1, 2},
    {0x01B7, 0x01B7, 219, 1}, {0x01B8, 0x01B8, 1, 1}, {0x01BC, 0x01BC, 1, 1},
    {0x01C4, 0x01C4, 2, 1}, {0x01C5, 0x01C5, 1, 1}, {0x01C7, 0x01C7, 2, 1},
    {0x01C8, 0x01C8, 1, 1}, {0x01CA, 0x01CA, 2, 1}, {0x01CB, 0x01DB, 1, 2},
    {0x01DE, 0x01EE, 1, 2}, {0x01F1, 0x01F1, 2, 1}, {0x01F2, 0x01F4, 1, 2},
    {0x01F6, 0x01F6, -97, 1}, {0x01F7, 0x01F7, -56, 1}, {0x01F8, 0x021E, 1, 2},
    {0x0220, 0x0220, -130, 1}, {0x0222, 0x0232, 1, 2}, {0x023A, 0x023A, 10795, 1},
    {0x023B, 0x023B, 1, 1}, {0x023D, 0x023D, -163, 1}, {0x023E, 0x023E, 10792, 1},
    {0x0241, 0x0241, 1, 1}, {0x0243, 0x0243, -195, 1}, {0x0244, 0x0244, 69, 1},
    {0x0245, 0x0245, 71, 1}, {0x0246, 0x024E, 1, 2},
    // Combining marks (iota subscript)
    {0x0345, 0x0345, 116, 1},
    // Greek and Coptic, final sigma and the symbol forms included
    {0x0370, 0x0372, 1, 2}, {0x0376, 0x0376, 1, 1}, {0x037F, 0x037F, 116, 1},
    {0x0386, 0x0386, 38, 1}, {0x0388, 0x038A, 37, 1}, {0x038C, 0x038C, 64, 1},
    {0x038E, 0x038F, 63, 1}, {0x0391, 0x03A1, 32, 1}, {0x03A3, 0x03AB, 32, 1},
    {0x03C2, 0x03C2, 1, 1}, {0x03CF, 0x03CF, 8, 1}, {0x03D0, 0x03D0, -30, 1},
    {0x03D1, 0x03D1, -25, 1}, {0x03D5, 0x03D5, -15, 1}, {0x03D6, 0x03D6, -22, 1},
    {0x03D8, 0x03EE, 1, 2}, {0x03F0, 0x03F0, -54, 1}, {0x03F1, 0x03F1, -48, 1},
    {0x03F4, 0x03F4, -60, 1}, {0x03F5, 0x03F5, -64, 1}, {0x03F7, 0x03F7, 1, 1},
    {0x03F9, 0x03F9, -7, 1}, {0x03FA, 0x03FA, 1, 1}, {0x03FD, 0x03FF, -130, 1},
    // Cyrillic
    {0x0400, 0x040F, 80, 1}, {0x0410, 0x042F, 32, 1}, {0x0460, 0x0480, 1, 2},
    {0x048A, 0x04BE, 1, 2}, {0x04C0, 0x04C0, 15, 1}, {0x04C1, 0x04CD, 1, 2},
    {0x04D0, 0x052E, 1, 2},
    // Armenian
    {0x0531, 0x0556, 48, 1},
    // Georgian
    {0x10A0, 0x10C5, 7264, 1}, {0x10C7, 0x10C7, 7264, 1}, {0x10CD, 0x10CD, 7264, 1},
    // Cherokee
    {0x13A0, 0x13EF, 38864, 1}, {0x13F0, 0x13F5, 8, 1},
    // Cyrillic Extended-C
    {0x1C80, 0x1C80, -6222, 1}, {0x1C81, 0x1C81, -6221, 1}, {0x1C82, 0x1C82, -6212, 1},
    {0x1C83, 0x1C84, -6210, 1}, {0x1C85, 0x1C85, -6211, 1}, {0x1C86, 0x1C86, -6204, 1},
    {0x1C87, 0x1C87, -6180, 1}, {0x1C88, 0x1C88, 35267, 1},
    // Georgian Mtavruli
    {0x1C90, 0x1CBA, -3008, 1}, {0x1CBD, 0x1CBF, -3008, 1},
    // Latin Extended Additional
    {0x1E00, 0x1E94, 1, 2}, {0x1E9B, 0x1E9B, -58, 1}, {0x1E9E, 0x1E9E, -7615, 1},
    {0x1EA0, 0x1EFE, 1, 2},
    // Greek Extended
    {0x1F08, 0x1F0F, -8, 1}, {0x1F18, 0x1F1D, -8, 1}, {0x1F28, 0x1F2F, -8, 1},
    {0x1F38, 0x1F3F, -8, 1}, {0x1F48, 0x1F4D, -8, 1}, {0x1F59, 0x1F5F, -8, 2},
    {0x1F68, 0x1F6F, -8, 1}, {0x1F88, 0x1F8F, -8, 1}, {0x1F98, 0x1F9F, -8, 1},
    {0x1FA8, 0x1FAF, -8, 1}, {0x1FB8, 0x1FB9, -8, 1}, {0x1FBA, 0x1FBB, -74, 1},
    {0x1FBC, 0x1FBC, -9, 1}, {0x1FBE, 0x1FBE, -7173, 1}, {0x1FC8, 0x1FCB, -86, 1},
    {0x1FCC, 0x1FCC, -9, 1}, {0x1FD8, 0x1FD9, -8, 1}, {0x1FDA, 0x1FDB, -100, 1},
    {0x1FE8, 0x1FE9, -8, 1}, {0x1FEA, 0x1FEB, -112, 1}, {0x1FEC, 0x1FEC, -7, 1},
    {0x1FF8, 0x1FF9, -128, 1}, {0x1FFA, 0x1FFB, -126, 1}, {0x1FFC, 0x1FFC, -9, 1},
    // Letterlike symbols (Ohm, Kelvin, Angstrom)
    {0x2126, 0x2126, -7517, 1}, {0x212A, 0x212A, -8383, 1}, {0x212B, 0x212B, -8262, 1},
    {0x2132, 0x2132, 28, 1},
    // Roman numerals
    {0x2160, 0x216F, 16, 1}, {0x2183, 0x2183, 1, 1},
    // Circled letters
    {0x24B6, 0x24CF, 26, 1},
    // Glagolitic
    {0x2C00, 0x2C2F, 48, 1},
    // Latin Extended-C
    {0x2C60, 0x2C60, 1, 1}, {0x2C62, 0x2C62, -10743, 1}, {0x2C63, 0x2C63, -3814, 1},
    {0x2C64, 0x2C64, -10727, 1}, {0x2C67, 0x2C6B, 1, 2}, {0x2C6D, 0x2C6D, -10780, 1},
    {0x2C6E, 0x2C6E, -10749, 1}, {0x2C6F, 0x2C6F, -10783, 1}, {0x2C70, 0x2C70, -10782, 1},
    {0x2C72, 0x2C72, 1, 1}, {0x2C75, 0x2C75, 1, 1}, {0x2C7E, 0x2C7F, -10815, 1},
    // Coptic
    {0x2C80, 0x2CE2, 1, 2}, {0x2CEB, 0x2CED, 1, 2}, {0x2CF2, 0x2CF2, 1, 1},
    // Cyrillic Extended-B
    {0xA640, 0xA66C, 1, 2}, {0xA680, 0xA69A, 1, 2},
    // Latin Extended-D
    {0xA722, 0xA72E, 1, 2}, {0xA732, 0xA76E, 1, 2}, {0xA779, 0xA77B, 1, 2},
    {0xA77D, 0xA77D, -35332, 1}, {0xA77E, 0xA786, 1, 2}, {0xA78B, 0xA78B, 1, 1},
    {0xA78D, 0xA78D, -42280, 1}, {0xA790, 0xA792, 1, 2}, {0xA796, 0xA7A8, 1, 2},
    {0xA7AA, 0xA7AA, -42308, 1}, {0xA7AB, 0xA7AB, -42319, 1}, {0xA7AC, 0xA7AC, -42315, 1},
    {0xA7AD, 0xA7AD, -42305, 1}, {0xA7AE, 0xA7AE, -42308, 1}, {0xA7B0, 0xA7B0, -42258, 1},
    {0xA7B1, 0xA7B1, -42282, 1}, {0xA7B2, 0xA7B2, -42261, 1}, {0xA7B3, 0xA7B3, 928, 1},
    {0xA7B4, 0xA7C2, 1, 2}, {0xA7C4, 0xA7C4, -48, 1}, {0xA7C5, 0xA7C5, -42307, 1},
    {0xA7C6, 0xA7C6, -35384, 1}, {0xA7C7, 0xA7C9, 1, 2}, {0xA7D0, 0xA7D0, 1, 1},
    {0xA7D6, 0xA7D8, 1, 2}, {0xA7F5, 0xA7F5, 1, 1},
    // Full-width Latin letters
    {0xFF21, 0xFF3A, 32, 1},
    // Beyond the BMP: Deseret, Osage, Vithkuqi, Old Hungarian, Warang Citi, Medefaidrin, Adlam
    {0x10400, 0x10427, 40, 1}, {0x104B0, 0x104D3, 40, 1}, {0x10570, 0x1057A, 39, 1},
    {0x1057C, 0x1058A, 39, 1}, {0x1058C, 0x10592, 39, 1}, {0x10594, 0x10595, 39, 1},
    {0x10C80, 0x10CB2, 64, 1}, {0x118A0, 0x118BF, 32, 1}, {0x16E40, 0x16E5F, 32, 1},
    {0x1E900, 0x1E921, 34, 1},

};

char32_t FoldedCase(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  const auto* run = std::upper_bound(std::begin(CaseFolds), std::end(CaseFolds), c,
                                     [](char32_t x, const FoldRun& r) { return x < r.first; });
  if (run == std::begin(CaseFolds)) return c;
  --run;
  if (c > run->last || (c - run->first) % run->step != 0) return c;
  return static_cast<char32_t>(static_cast<std::int32_t>(c) + run->delta);
}

// The character at text[i] (advancing i), or nothing for a byte that starts no well-formed
// UTF-8 sequence: that byte is then taken as it is.
bool NextCharacter(std::string_view text, std::size_t& i, char32_t& c) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                             : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > text.size()) return false;
  c = length == 1 ? lead : static_cast<char32_t>(lead & (0x7Fu >> length));
  for (std::size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    c = (c << 6) | (b & 0x3F);
  }
  i += length;
  return true;
}

}  // namespace

std::u32string NameKey(std::string_view utf8) {
  std::u32string key;
  key.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = 0;
    if (!NextCharacter(utf8, i, c)) {
      // Where no character can be: U+DC80..U+DCFF, as no well-formed text has them.
      key += static_cast<char32_t>(0xDC00 + static_cast<unsigned char>(utf8[i++]));
      continue;
    }
    if (c == 0) continue;                          // not defined in the collation: ignored
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;   // full-width forms
    if (c == 0x3000) c = ' ';                      // ideographic space
    if (c >= 0x30A1 && c <= 0x30F6) c -= 0x60;     // katakana as hiragana
    c = FoldedCase(c);
    if (c == 0xDF) {  // ß (and ẞ, folded to it)
      key += U"ss";
      continue;
    }
    key += c;
  }
  while (!key.empty() && key.back() == ' ') key.pop_back();
  return key;
}

bool SchemaNames::ObjectFree(const std::string& name) const { return !objects_.contains(NameKey(name)); }

bool SchemaNames::IndexFree(const std::string& table, const std::string& name) const {
  const auto it = indexes_.find(NameKey(table));
  return it == indexes_.end() || !it->second.contains(NameKey(name));
}

std::string SchemaNames::Holder(const std::string& table, const std::string& name,
                                bool schemaWide) const {
  if (const auto it = objects_.find(NameKey(name)); schemaWide && it != objects_.end())
    return it->second;
  if (const auto t = indexes_.find(NameKey(table)); t != indexes_.end()) {
    if (const auto it = t->second.find(NameKey(name)); it != t->second.end())
      return "the key or index " + it->second + " of that table";
  }
  return "another object";
}

std::vector<std::string> SchemaNames::ClaimTables(const std::vector<std::string>& tables) {
  std::vector<std::string> names(tables.size());
  std::set<std::u32string> own;  // every table's own name, so that no new name takes one
  for (const auto& t : tables) own.insert(NameKey(t));
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (ObjectFree(tables[i])) {
      names[i] = tables[i];
      objects_.emplace(NameKey(tables[i]), "table " + tables[i]);
    } else {
      renamedTables_[tables[i]] = Holder({}, tables[i], true);
    }
  }
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (!names[i].empty()) continue;
    for (int n = 2;; ++n) {
      const std::string candidate = Numbered(tables[i], n);
      if (ObjectFree(candidate) && !own.contains(NameKey(candidate))) {
        names[i] = candidate;
        objects_.emplace(NameKey(candidate), "table " + candidate);
        break;
      }
    }
  }
  return names;
}

std::string SchemaNames::TableRenamedText(const std::string& table, const std::string& target) const {
  const auto it = renamedTables_.find(table);
  return "table " + table + " was created as " + target + ": SQL Server takes its name for that of " +
         (it == renamedTables_.end() ? std::string("another table") : it->second) +
         " (the database compares names regardless of letter case, width and kana)";
}

std::string SchemaNames::ClaimConstraint(const std::string& table, const std::string& wanted,
                                         bool isIndex) {
  auto free = [&](const std::string& name) {
    return ObjectFree(name) && (!isIndex || IndexFree(table, name));
  };
  std::string name = Limited(wanted);
  const std::string what = std::string(isIndex ? "key " : "foreign key ") + wanted + " of table " + table;
  if (!free(name)) {
    const std::string holder = Holder(table, name, true);
    name = Limited(table + "_" + wanted);
    for (int n = 2; !free(name); ++n) name = Numbered(table + "_" + wanted, n);
    renamed_.push_back({table, what + " was created as " + name + ": SQL Server takes its name for that of " +
                                   holder + " (the database compares names regardless of letter case, width and kana)"});
  }
  objects_.emplace(NameKey(name), "constraint " + name + " of table " + table);
  if (isIndex) indexes_[NameKey(table)].emplace(NameKey(name), name);
  return name;
}

std::string SchemaNames::ClaimIndex(const std::string& table, const std::string& wanted) {
  std::string name = Limited(wanted);
  if (!IndexFree(table, name)) {
    const std::string holder = Holder(table, name, false);
    for (int n = 2; !IndexFree(table, name); ++n) name = Numbered(wanted, n);
    renamed_.push_back({table, "index " + wanted + " of table " + table + " was created as " + name +
                                   ": SQL Server takes its name for that of " + holder +
                                   " (the table compares index names regardless of letter case, width and kana)"});
  }
  indexes_[NameKey(table)].emplace(NameKey(name), name);
  return name;
}

std::vector<RenamedObject> SchemaNames::TakeRenamed() { return std::exchange(renamed_, {}); }

}  // namespace morvane
