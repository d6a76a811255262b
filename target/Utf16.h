#pragma once
// UTF-8 <-> UTF-16 for the texts that go to the ODBC driver's wide functions and come back.

#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// nullopt when the text is not well-formed UTF-8 (bad sequences, overlong forms, surrogates).
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace morvane
