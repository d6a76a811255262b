#pragma once
// Small text helpers that need no locale, for the source and the engine alike.

#include <string>

namespace morvane {

// The text in lower case (ASCII letters only).
inline std::string AsciiLowerText(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace morvane
