#include "tests/sqlserver/server/Rpc.h"

#include <optional>

#include "tests/sqlserver/server/Tokens.h"

namespace morvane::tds {
namespace {

class Reader {
 public:
  explicit Reader(const Bytes& b) : b_(b) {}
  bool Has(std::size_t n) const { return at_ + n <= b_.size(); }
  std::size_t Left() const { return b_.size() - at_; }
  std::uint8_t U8() { return b_.at(at_++); }
  std::uint16_t U16() {
    auto v = static_cast<std::uint16_t>(b_.at(at_) | b_.at(at_ + 1) << 8);
    at_ += 2;
    return v;
  }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b_.at(at_ + static_cast<std::size_t>(i))) << (8 * i);
    at_ += 4;
    return v;
  }
  std::uint64_t U64() {
    std::uint64_t lo = U32();
    return lo | static_cast<std::uint64_t>(U32()) << 32;
  }
  Bytes Take(std::size_t n) {
    if (!Has(n)) throw std::out_of_range("short RPC");
    Bytes out(b_.begin() + static_cast<std::ptrdiff_t>(at_), b_.begin() + static_cast<std::ptrdiff_t>(at_ + n));
    at_ += n;
    return out;
  }
  void Skip(std::size_t n) { Take(n); }

 private:
  const Bytes& b_;
  std::size_t at_ = 0;
};

SqlMessage Refusal(const std::string& what) {
  return SqlMessage{50000, 16, 1, "The TDS test server does not model " + what + ".", 1};
}

// A parameter's value as text; nullopt for a type this server does not read.
std::optional<std::string> TextParameter(Reader& r) {
  std::uint8_t type = r.U8();
  bool unicode = type == 0xE7 || type == 0xEF || type == 0x63;
  if (type == 0xE7 || type == 0xEF || type == 0xA7 || type == 0xAF) {
    std::uint16_t max = r.U16();
    r.Skip(5);  // collation
    Bytes data;
    if (max == 0xFFFF) {
      std::uint64_t total = r.U64();
      if (total == 0xFFFFFFFFFFFFFFFFull) return std::string();
      while (true) {
        std::uint32_t chunk = r.U32();
        if (chunk == 0) break;
        Bytes part = r.Take(chunk);
        data.insert(data.end(), part.begin(), part.end());
      }
    } else {
      std::uint16_t length = r.U16();
      if (length != 0xFFFF) data = r.Take(length);
    }
    return unicode ? Utf16ToUtf8(FromUtf16Le(data.data(), data.size()))
                   : FromCodePage1252(data.data(), data.size());
  }
  if (type == 0x63 || type == 0x23) {
    r.U32();   // maximum length
    r.Skip(5); // collation
    std::uint32_t length = r.U32();
    if (length == 0xFFFFFFFF) return std::string();
    Bytes data = r.Take(length);
    return unicode ? Utf16ToUtf8(FromUtf16Le(data.data(), data.size()))
                   : FromCodePage1252(data.data(), data.size());
  }
  return std::nullopt;
}

}  // namespace

std::variant<std::string, SqlMessage> ParseExecuteSql(const Bytes& payload, std::uint32_t version) {
  try {
    Reader r(payload);
    if (version >= kTds72) {
      std::uint32_t headers = r.U32();
      if (headers < 4) return Refusal("this RPC header");
      r.Skip(headers - 4);
    }
    std::uint16_t nameLength = r.U16();
    std::string name;
    if (nameLength == 0xFFFF) {
      std::uint16_t id = r.U16();
      if (id != 10) return Refusal("the procedure with id " + std::to_string(id) + " (only sp_executesql)");
    } else {
      Bytes raw = r.Take(static_cast<std::size_t>(nameLength) * 2);
      name = Utf16ToUtf8(FromUtf16Le(raw.data(), raw.size()));
      if (!EqualsIgnoringCase(name, "sp_executesql") && !EqualsIgnoringCase(name, "sys.sp_executesql")) {
        return Refusal("calls of " + name + " (only sp_executesql)");
      }
    }
    r.U16();  // option flags
    std::uint8_t nameChars = r.U8();
    r.Skip(static_cast<std::size_t>(nameChars) * 2);
    r.U8();  // status flags
    auto statement = TextParameter(r);
    if (!statement) return Refusal("this type of statement parameter");
    if (r.Left() > 0 && r.Has(1)) {
      return Refusal("sp_executesql with parameters");
    }
    return *statement;
  } catch (const std::out_of_range&) {
    return Refusal("this malformed RPC request");
  }
}

}  // namespace morvane::tds
