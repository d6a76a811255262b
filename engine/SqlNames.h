#pragma once
// Names and texts written into T-SQL statements so that they stand for themselves and never
// run as T-SQL.

#include <string>
#include <string_view>

namespace morvane {

// [name] with every "]" doubled: a table, column, index or database name in a statement.
std::string Bracketed(std::string_view name);

// 'text' with every "'" doubled: a name compared as a string, as in a catalogue query.
std::string Quoted(std::string_view text);

// The first `count` characters of a UTF-8 text (all of it when shorter), never cutting a
// character in two.
std::string_view FirstCharacters(std::string_view text, std::size_t count);

}  // namespace morvane
