#pragma once
// The collations the TDS test server knows, and the comparison keys they give to texts: two
// texts are equal under a collation exactly when their keys are equal.

#include <optional>
#include <string>
#include <string_view>

namespace morvane::tds {

// The server's default collation, and that of a database created without COLLATE.
inline constexpr const char* kDefaultCollation = "SQL_Latin1_General_CP1_CI_AS";

struct CollationRules {
  std::string name;            // as SQL Server spells it
  bool caseSensitive = false;  // _CS
  bool binary = false;         // _BIN2: code points
  bool supplementary = false;  // _SC or a version 90+ collation: characters above U+FFFF defined
};

// The collation of that name (case-insensitive), or nullopt when this server does not know it.
std::optional<CollationRules> FindCollation(std::string_view name);
// The rules of a collation name this server knows; the default collation for an empty name.
const CollationRules& RulesOf(const std::string& name);

// The key of a text under a collation: trailing blanks dropped; for the non-binary collations
// U+0000 and the characters the collation does not define ignored, width and kana folded,
// ß as "ss", and (case-insensitive ones) the case of every script folded.
std::string CollationKey(std::string_view utf8, const std::string& collation);

// Names of objects (tables, columns, constraints, indexes) compared under a database's collation.
bool NamesEqual(std::string_view a, std::string_view b, const std::string& collation);

struct NameLess {
  std::string collation;
  bool operator()(const std::string& a, const std::string& b) const {
    return CollationKey(a, collation) < CollationKey(b, collation);
  }
};

}  // namespace morvane::tds
