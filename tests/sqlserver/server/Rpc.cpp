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

// A parameter's value; nullopt for a type this server does not read.
std::optional<RpcParameter> Parameter(Reader& r) {
  RpcParameter p;
  std::uint8_t nameChars = r.U8();
  Bytes rawName = r.Take(static_cast<std::size_t>(nameChars) * 2);
  p.name = Utf16ToUtf8(FromUtf16Le(rawName.data(), rawName.size()));
  p.output = (r.U8() & 0x01) != 0;
  std::uint8_t type = r.U8();
  bool unicode = type == 0xE7 || type == 0xEF || type == 0x63;
  if (type == 0x26) {
    r.U8();  // maximum length
    std::uint8_t length = r.U8();
    if (length == 0) {
      p.null = true;
      return p;
    }
    Bytes v = r.Take(length);
    std::uint64_t x = 0;
    for (std::size_t i = 0; i < v.size(); ++i) x |= static_cast<std::uint64_t>(v[i]) << (8 * i);
    std::int64_t value = length == 1 ? static_cast<std::int64_t>(x)
                         : length == 2 ? static_cast<std::int16_t>(x)
                         : length == 4 ? static_cast<std::int32_t>(x)
                                       : static_cast<std::int64_t>(x);
    p.integer = value;
    return p;
  }
  Bytes data;
  if (type == 0xE7 || type == 0xEF || type == 0xA7 || type == 0xAF) {
    std::uint16_t max = r.U16();
    r.Skip(5);  // collation
    if (max == 0xFFFF) {
      std::uint64_t total = r.U64();
      if (total == 0xFFFFFFFFFFFFFFFFull) {
        p.null = true;
        return p;
      }
      while (true) {
        std::uint32_t chunk = r.U32();
        if (chunk == 0) break;
        Bytes part = r.Take(chunk);
        data.insert(data.end(), part.begin(), part.end());
      }
    } else {
      std::uint16_t length = r.U16();
      if (length == 0xFFFF) {
        p.null = true;
        return p;
      }
      data = r.Take(length);
    }
  } else if (type == 0x63 || type == 0x23) {
    r.U32();    // maximum length
    r.Skip(5);  // collation
    std::uint32_t length = r.U32();
    if (length == 0xFFFFFFFF) {
      p.null = true;
      return p;
    }
    data = r.Take(length);
  } else {
    return std::nullopt;
  }
  p.text = unicode ? Utf16ToUtf8(FromUtf16Le(data.data(), data.size()))
                   : FromCodePage1252(data.data(), data.size());
  return p;
}

}  // namespace

std::variant<RpcCall, SqlMessage> ParseRpc(const Bytes& payload, std::uint32_t version) {
  try {
    Reader r(payload);
    if (version >= kTds72) {
      std::uint32_t headers = r.U32();
      if (headers < 4) return Refusal("this RPC header");
      r.Skip(headers - 4);
    }
    RpcCall call;
    std::uint16_t nameLength = r.U16();
    if (nameLength == 0xFFFF) {
      call.procedure = r.U16();
    } else {
      Bytes raw = r.Take(static_cast<std::size_t>(nameLength) * 2);
      call.name = Utf16ToUtf8(FromUtf16Le(raw.data(), raw.size()));
      std::string bare = call.name;
      if (bare.size() > 4 && EqualsIgnoringCase(bare.substr(0, 4), "sys.")) bare = bare.substr(4);
      const std::pair<const char*, ProcedureId> known[] = {
          {"sp_executesql", kExecuteSql}, {"sp_prepare", kPrepare}, {"sp_execute", kExecute},
          {"sp_prepexec", kPrepExec}, {"sp_unprepare", kUnprepare}};
      for (const auto& [n, id] : known) {
        if (EqualsIgnoringCase(bare, n)) call.procedure = id;
      }
    }
    r.U16();  // option flags
    while (r.Left() > 0) {
      if (r.Has(1) && (r.Left() == 1)) break;  // a batch flag at the end
      auto p = Parameter(r);
      if (!p) return Refusal("RPC parameters of this type");
      call.parameters.push_back(std::move(*p));
    }
    return call;
  } catch (const std::out_of_range&) {
    return Refusal("this malformed RPC request");
  }
}

}  // namespace morvane::tds
