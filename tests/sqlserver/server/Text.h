#pragma once
// Text helpers of the TDS test server: UTF-8 inside, UTF-16LE on the wire, code page 1252 for
// the non-Unicode types, and the case-insensitive comparison of the default collation.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::tds {

using Bytes = std::vector<std::uint8_t>;

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// Reads UTF-16LE bytes.
std::u16string FromUtf16Le(const std::uint8_t* data, std::size_t bytes);
void AppendUtf16Le(Bytes& out, std::u16string_view text);

// Number of UTF-16 code units of a UTF-8 text (what NCHAR/NVARCHAR lengths count).
std::size_t Utf16Length(std::string_view text);

// Keeps what code page 1252 can hold; every other character becomes '?'.
std::string ToCodePage1252Repertoire(std::string_view text);
// The code page 1252 bytes of a text that holds only characters of that code page.
Bytes ToCodePage1252(std::string_view text);
std::string FromCodePage1252(const std::uint8_t* data, std::size_t bytes);

// The key of a name under the server's case-insensitive collation (every script).
std::string FoldCase(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
std::string UpperAscii(std::string_view text);

struct LessIgnoringCase {
  bool operator()(const std::string& a, const std::string& b) const {
    return FoldCase(a) < FoldCase(b);
  }
};

}  // namespace morvane::tds
