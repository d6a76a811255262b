#include "tests/sqlserver/server/Text.h"

#include <array>

#include "tests/sqlserver/server/Collation.h"

namespace morvane::tds {
namespace {

// Code page 1252 bytes 0x80..0x9F; 0 where the code page has no character.
constexpr std::array<char32_t, 32> kHigh1252 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int Byte1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (std::size_t i = 0; i < kHigh1252.size(); ++i) {
    if (kHigh1252[i] == c && c != 0) return static_cast<int>(0x80 + i);
  }
  return -1;
}

std::vector<char32_t> CodePoints(std::string_view text) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    char32_t c = 0;
    std::size_t n = 1;
    if (b < 0x80) {
      c = b;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1Fu;
      n = 2;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0Fu;
      n = 3;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07u;
      n = 4;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (i + n > text.size()) {
      out.push_back(0xFFFD);
      break;
    }
    for (std::size_t k = 1; k < n; ++k) {
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    }
    out.push_back(c);
    i += n;
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}


}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  for (char32_t c : CodePoints(text)) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string FromUtf16Le(const std::uint8_t* data, std::size_t bytes) {
  std::u16string out;
  out.reserve(bytes / 2);
  for (std::size_t i = 0; i + 1 < bytes; i += 2) {
    out += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  return out;
}

void AppendUtf16Le(Bytes& out, std::u16string_view text) {
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t n = 0;
  for (char32_t c : CodePoints(text)) n += c >= 0x10000 ? 2 : 1;
  return n;
}

std::string ToCodePage1252Repertoire(std::string_view text) {
  std::string out;
  for (char32_t c : CodePoints(text)) AppendUtf8(out, Byte1252(c) < 0 ? U'?' : c);
  return out;
}

Bytes ToCodePage1252(std::string_view text) {
  Bytes out;
  for (char32_t c : CodePoints(text)) {
    int b = Byte1252(c);
    out.push_back(static_cast<std::uint8_t>(b < 0 ? '?' : b));
  }
  return out;
}

std::string FromCodePage1252(const std::uint8_t* data, std::size_t bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes; ++i) {
    char32_t c = data[i];
    if (c >= 0x80 && c < 0xA0) c = kHigh1252[c - 0x80] ? kHigh1252[c - 0x80] : U'?';
    AppendUtf8(out, c);
  }
  return out;
}

std::string FoldCase(std::string_view text) {
  // The server collation's comparison key: case folded in every script, trailing blanks dropped.
  return CollationKey(text, kDefaultCollation);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) { return FoldCase(a) == FoldCase(b); }

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

}  // namespace morvane::tds
