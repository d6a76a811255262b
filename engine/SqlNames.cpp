#include "engine/SqlNames.h"

namespace morvane {
namespace {

std::string Enclosed(std::string_view text, char open, char close) {
  std::string out;
  out.reserve(text.size() + 2);
  out += open;
  for (char c : text) {
    out += c;
    if (c == close) out += close;
  }
  out += close;
  return out;
}

}  // namespace

std::string Bracketed(std::string_view name) { return Enclosed(name, '[', ']'); }

std::string Quoted(std::string_view text) { return Enclosed(text, '\'', '\''); }

std::string_view FirstCharacters(std::string_view text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t characters = 0; end < text.size() && characters < count; ++characters) {
    ++end;  // the lead byte, then its continuation bytes (10xxxxxx)
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  return text.substr(0, end);
}

}  // namespace morvane
