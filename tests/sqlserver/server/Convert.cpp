#include "tests/sqlserver/server/Convert.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "tests/sqlserver/server/Collation.h"
#include "tests/sqlserver/server/SqlError.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {
namespace {

constexpr std::int32_t kTicksPerDay = 300 * 86400;
const std::int32_t kDateTimeMinDays = DaysFromCivil(1753, 1, 1);
const std::int32_t kDateTimeMaxDays = DaysFromCivil(9999, 12, 31);
const std::int32_t kSmallMaxDays = DaysFromCivil(2079, 6, 6);

// A value longer than its column: ConvertLiteral turns it into error 2628 with the names.
struct Truncation {
  std::string kept;  // what fits, as the message shows it
};

SqlError Conversion(int number, std::string text) {
  return SqlError(number, 16, std::move(text), ErrorScope::Batch);
}

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// "[+-]digits[.digits]" into units and scale; nullopt when the text is not such a number.
std::optional<DecimalValue> ParseDecimal(const std::string& raw) {
  std::string s = Trim(raw);
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  DecimalValue d;
  bool digits = false, point = false;
  int significant = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    digits = true;
    if (d.units != 0 || c != '0') ++significant;
    if (significant > 38) {
      // Beyond 38 significant digits: keep the integer digits apart as overflow marker.
      if (point) continue;  // further fraction digits only lose precision
      return DecimalValue{Pow10(38) * 10, 0};
    }
    d.units = d.units * 10 + (c - '0');
    if (point) ++d.scale;
  }
  if (!digits) return std::nullopt;
  if (negative) d.units = -d.units;
  return d;
}

// Rounds half away from zero to the given scale.
DecimalValue Rescale(DecimalValue d, int scale) {
  if (d.scale <= scale) return {d.units * Pow10(scale - d.scale), scale};
  Int128 div = Pow10(d.scale - scale);
  Int128 q = d.units / div, r = d.units % div;
  if ((r < 0 ? -r : r) * 2 >= div) q += d.units < 0 ? -1 : 1;
  return {q, scale};
}

bool FitsPrecision(const DecimalValue& d, int precision) {
  Int128 m = d.units < 0 ? -d.units : d.units;
  return m < Pow10(precision);
}

Int128 TruncateToInteger(const DecimalValue& d) { return d.units / Pow10(d.scale); }

std::string SourceName(const Literal& l) {
  switch (l.kind) {
    case Literal::Kind::Integer: {
      auto d = ParseDecimal(l.text);
      return d && d->units >= INT32_MIN && d->units <= INT32_MAX ? "int" : "numeric";
    }
    case Literal::Kind::Decimal: return "numeric";
    case Literal::Kind::Float: return "float";
    case Literal::Kind::String: return l.unicode ? "nvarchar" : "varchar";
    case Literal::Kind::Binary: return "varbinary";
    case Literal::Kind::DateTime: return l.dateTime2 ? "datetime2" : "datetime";
    case Literal::Kind::Null: return "NULL";
  }
  return "?";
}

double ParseFloatLiteral(const std::string& text) {
  double v = std::strtod(text.c_str(), nullptr);
  if (std::isinf(v)) {
    throw Conversion(168, "The floating point value '" + text +
                              "' is out of the range of computer representation (8 bytes).");
  }
  return v;
}

std::optional<double> ParseFloatString(const std::string& raw) {
  std::string s = Trim(raw);
  if (s.empty()) return 0.0;
  // digits, optional point, optional exponent, optional sign
  std::size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  bool digits = false;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, digits = true;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, digits = true;
  }
  if (!digits) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    bool exp = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, exp = true;
    if (!exp) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  return std::strtod(s.c_str(), nullptr);
}

Value IntegerFrom(Int128 v, const ColumnType& type, const std::string& source, bool literalInt) {
  if (type.kind == Kind::Bit) return std::int64_t{v != 0};
  Int128 max = *IntegerRangeMax(type.kind);
  if (v > max || v < IntegerRangeMin(type.kind)) {
    if (literalInt && type.kind != Kind::Int && type.kind != Kind::BigInt) {
      throw Conversion(220, "Arithmetic overflow error for data type " + TypeName(type.kind) +
                                ", value = " + std::to_string(static_cast<long long>(v)) + ".");
    }
    (void)source;
    throw Conversion(8115, "Arithmetic overflow error converting expression to data type " +
                               TypeName(type.kind) + ".");
  }
  return static_cast<std::int64_t>(v);
}

Value DecimalFrom(const DecimalValue& d, const ColumnType& type, const std::string& source) {
  DecimalValue r = Rescale(d, type.scale);
  if (!FitsPrecision(r, type.precision)) {
    throw Conversion(8115, "Arithmetic overflow error converting " + source +
                               " to data type numeric.");
  }
  return r;
}

DecimalValue DecimalOfDouble(double v) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", 38, v);
  auto d = ParseDecimal(buf);
  return d ? *d : DecimalValue{Pow10(38) * 10, 0};
}

Value FloatFrom(double v, const ColumnType& type, const std::string& source) {
  if (type.kind == Kind::Real) {
    if (std::fabs(v) > FLT_MAX) {
      throw Conversion(8115, "Arithmetic overflow error converting " + source +
                                 " to data type real.");
    }
    return static_cast<double>(static_cast<float>(v));
  }
  return v;
}

Value DateFromNumber(double days, const ColumnType& type) {
  bool small = type.kind == Kind::SmallDateTime;
  double whole = std::floor(days);
  auto ticks = static_cast<std::int64_t>(std::llround((days - whole) * kTicksPerDay));
  auto d = static_cast<std::int64_t>(whole);
  if (ticks >= kTicksPerDay) {
    ++d;
    ticks -= kTicksPerDay;
  }
  if (small) {
    std::int64_t minutes = (ticks + 9000 - 1) / 18000;  // the nearest minute, 29.998 s down
    ticks = minutes * 18000;
    if (ticks >= kTicksPerDay) {
      ++d;
      ticks = 0;
    }
  }
  std::int64_t lo = small ? 0 : kDateTimeMinDays, hi = small ? kSmallMaxDays : kDateTimeMaxDays;
  if (d < lo || d > hi) {
    throw Conversion(8115, "Arithmetic overflow error converting expression to data type " +
                               TypeName(type.kind) + ".");
  }
  return DateTimeValue{static_cast<std::int32_t>(d), static_cast<std::int32_t>(ticks)};
}

std::string CheckedText(std::string text, const ColumnType& type, Purpose purpose) {
  if (IsLargeValue(type)) return text;
  std::u16string units = Utf8ToUtf16(text);
  auto n = static_cast<std::size_t>(type.length);
  if (purpose == Purpose::Compare) return text;
  if (units.size() > n) {
    for (std::size_t i = n; i < units.size(); ++i) {
      if (units[i] != u' ') throw Truncation{Utf16ToUtf8(units.substr(0, n))};
    }
    units.resize(n);
  }
  if (type.kind == Kind::Char || type.kind == Kind::NChar) units.resize(n, u' ');
  return Utf16ToUtf8(units);
}

Value FromString(const Literal& l, const ColumnType& type, const DateSettings& dates,
                 Purpose purpose) {
  const std::string source = SourceName(l);
  // A non-Unicode literal is text of the database's code page before it goes anywhere.
  const std::string text = l.unicode ? l.text : ToCodePage1252Repertoire(l.text);
  const Kind k = type.kind;
  if (IsInteger(k)) {
    std::string s = Trim(text);
    if (s.empty()) return std::int64_t{0};
    std::size_t i = (s[0] == '+' || s[0] == '-') ? 1 : 0;
    bool ok = i < s.size();
    for (std::size_t j = i; j < s.size(); ++j) ok = ok && std::isdigit(static_cast<unsigned char>(s[j]));
    if (!ok) {
      if (k == Kind::BigInt) throw Conversion(8114, "Error converting data type " + source + " to bigint.");
      throw Conversion(245, "Conversion failed when converting the " + source + " value '" + text +
                                "' to data type " + TypeName(k) + ".");
    }
    auto d = ParseDecimal(s);
    Int128 v = d->units;
    if (v > *IntegerRangeMax(k) || v < IntegerRangeMin(k)) {
      if (k == Kind::BigInt) throw Conversion(8114, "Error converting data type " + source + " to bigint.");
      if (k == Kind::Int) {
        throw Conversion(248, "The conversion of the " + source + " value '" + text +
                                  "' overflowed an int column. Use a larger integer column.");
      }
      throw Conversion(244, "The conversion of the " + source + " value '" + text +
                                "' overflowed an " + (k == Kind::TinyInt ? "INT1" : "INT2") +
                                " column. Use a larger integer column.");
    }
    return static_cast<std::int64_t>(v);
  }
  if (k == Kind::Bit) {
    std::string s = UpperAscii(Trim(text));
    if (s.empty() || s == "FALSE") return std::int64_t{0};
    if (s == "TRUE") return std::int64_t{1};
    std::size_t i = (s[0] == '+' || s[0] == '-') ? 1 : 0;
    bool ok = i < s.size();
    for (std::size_t j = i; j < s.size(); ++j) ok = ok && std::isdigit(static_cast<unsigned char>(s[j]));
    if (!ok) {
      throw Conversion(245, "Conversion failed when converting the " + source + " value '" + text +
                                "' to data type bit.");
    }
    return std::int64_t{ParseDecimal(s)->units != 0};
  }
  if (k == Kind::Decimal) {
    auto d = ParseDecimal(text);
    if (!d) throw Conversion(8114, "Error converting data type " + source + " to numeric.");
    return DecimalFrom(*d, type, source);
  }
  if (k == Kind::Float || k == Kind::Real) {
    auto v = ParseFloatString(text);
    if (!v || std::isinf(*v)) {
      throw Conversion(8114, "Error converting data type " + source + " to " + TypeName(k) + ".");
    }
    return FloatFrom(*v, type, source);
  }
  if (IsCharacter(k)) return CheckedText(ToCodePage1252Repertoire(text), type, purpose);
  if (IsNCharacter(k)) return CheckedText(text, type, purpose);
  if (k == Kind::Binary || k == Kind::VarBinary) {
    throw Conversion(257, "Implicit conversion from data type " + source + " to " + TypeName(k) +
                              " is not allowed. Use the CONVERT function to run this query.");
  }
  if (k == Kind::DateTime || k == Kind::SmallDateTime) {
    return ParseDateTime(text, k == Kind::SmallDateTime, dates, source);
  }
  if (IsDate2(k)) return ParseDate2(text, type, dates);
  if (k == Kind::DateTimeOffset) return ParseDateTimeOffset(text, type.scale, dates);
  throw NotModelled("the conversion of " + source + " to " + TypeName(k));
}

Value FromNumber(const Literal& l, const ColumnType& type, Purpose purpose) {
  const std::string source = SourceName(l);
  const Kind k = type.kind;
  const bool isFloat = l.kind == Literal::Kind::Float;
  double asDouble = isFloat ? ParseFloatLiteral(l.text) : std::strtod(l.text.c_str(), nullptr);
  std::optional<DecimalValue> exact;
  if (!isFloat) exact = ParseDecimal(l.text);
  if (IsInteger(k) || k == Kind::Bit) {
    if (isFloat) {
      if (k == Kind::Bit) return std::int64_t{asDouble != 0};
      double t = std::trunc(asDouble);
      if (std::fabs(t) > 1e30) {
        throw Conversion(8115, "Arithmetic overflow error converting expression to data type " +
                                   TypeName(k) + ".");
      }
      return IntegerFrom(static_cast<Int128>(t), type, source, false);
    }
    return IntegerFrom(TruncateToInteger(*exact), type, source,
                       l.kind == Literal::Kind::Integer && source == "int");
  }
  if (k == Kind::Decimal) return DecimalFrom(isFloat ? DecimalOfDouble(asDouble) : *exact, type, source);
  if (k == Kind::Float || k == Kind::Real) return FloatFrom(asDouble, type, source);
  if (k == Kind::DateTime || k == Kind::SmallDateTime) return DateFromNumber(asDouble, type);
  if (IsLarge(k) || IsDate2(k) || k == Kind::DateTimeOffset) {
    // The conversion chart: numbers never convert to these types.
    throw Conversion(206, "Operand type clash: " + source + " is incompatible with " + TypeName(k));
  }
  if ((IsCharacter(k) || IsNCharacter(k)) && !isFloat) {
    std::string text = exact->scale > 0 || l.kind == Literal::Kind::Decimal ? DecimalText(*exact)
                                                                         : DecimalText(*exact);
    if (purpose == Purpose::Store && Utf16Length(text) > static_cast<std::size_t>(type.length)) {
      throw NotModelled("numbers that do not fit the length of a character column");
    }
    return CheckedText(text, type, purpose);
  }
  throw NotModelled("the implicit conversion of " + source + " to " + TypeName(k));
}

Value FromBinary(const Literal& l, const ColumnType& type, Purpose purpose) {
  const Kind k = type.kind;
  if (IsBinary(k)) {
    Bytes b = l.bytes;
    if (IsLargeValue(type) || purpose == Purpose::Compare) return b;
    if (b.size() > static_cast<std::size_t>(type.length)) {
      // The message shows the bytes that fit as characters of code page 1252 (the
      // documentation does not say how binary values appear in it).
      throw Truncation{FromCodePage1252(b.data(), static_cast<std::size_t>(type.length))};
    }
    if (k == Kind::Binary) b.resize(static_cast<std::size_t>(type.length), 0);
    return b;
  }
  if (IsInteger(k)) {
    std::size_t size = k == Kind::TinyInt ? 1 : k == Kind::SmallInt ? 2 : k == Kind::Int ? 4 : 8;
    std::uint64_t v = 0;
    std::size_t from = l.bytes.size() > size ? l.bytes.size() - size : 0;
    for (std::size_t i = from; i < l.bytes.size(); ++i) v = (v << 8) | l.bytes[i];
    std::int64_t s = 0;
    if (size == 8) s = static_cast<std::int64_t>(v);
    else if (size == 4) s = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    else if (size == 2) s = static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
    else s = static_cast<std::int64_t>(v);
    return s;
  }
  throw NotModelled("the implicit conversion of varbinary to " + TypeName(k));
}

// ---- date and time strings ----

struct DateParts {
  int year = 1900, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  std::int64_t fraction = 0;  // 100 ns units (DATE, TIME, DATETIME2: up to seven digits)
  bool hasDate = false, hasTime = false;
};

class DateError {
 public:
  explicit DateError(bool outOfRange) : outOfRange_(outOfRange) {}
  bool outOfRange_;
};

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// "hh:mm[:ss[.fff]][ ]AM|PM"; with `wide`, up to seven fraction digits.
void ParseTime(std::string s, DateParts& p, bool wide) {
  p.hasTime = true;
  s = Trim(s);
  std::string upper = UpperAscii(s);
  int ampm = 0;
  if (upper.size() >= 2 && (upper.ends_with("AM") || upper.ends_with("PM"))) {
    ampm = upper.ends_with("AM") ? 1 : 2;
    s = Trim(s.substr(0, s.size() - 2));
  }
  std::string frac;
  if (auto dot = s.find('.'); dot != std::string::npos) {
    frac = s.substr(dot + 1);
    s = s.substr(0, dot);
    if (!AllDigits(frac) || frac.size() > (wide ? 7u : 3u)) throw DateError(false);
  }
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    auto colon = s.find(':', start);
    parts.push_back(s.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > 3) throw DateError(false);
  if (!frac.empty() && parts.size() != 3) throw DateError(false);
  for (auto& part : parts) {
    if (!AllDigits(part) || part.size() > 2) throw DateError(false);
  }
  p.hour = std::stoi(parts[0]);
  p.minute = std::stoi(parts[1]);
  p.second = parts.size() == 3 ? std::stoi(parts[2]) : 0;
  std::string seven = frac;
  while (seven.size() < 7) seven += '0';
  p.fraction = std::stoll(seven);
  while (frac.size() < 3 && !frac.empty()) frac += '0';
  p.millisecond = frac.empty() || frac.size() > 3 ? 0 : std::stoi(frac);
  if (ampm) {
    if (p.hour < 1 || p.hour > 12) throw DateError(true);
    p.hour = p.hour % 12 + (ampm == 2 ? 12 : 0);
  }
  if (p.hour > 23 || p.minute > 59 || p.second > 59) throw DateError(true);
}

int YearOf(const std::string& s) {
  int y = std::stoi(s);
  if (s.size() <= 2) y += y < 50 ? 2000 : 1900;
  return y;
}

// `wide`: the rules of DATE, TIME and DATETIME2 (seven fraction digits; the dashed
// yyyy-mm-dd form is read year-month-day under every DATEFORMAT).
DateParts ParseDateText(const std::string& raw, const DateSettings& dates, bool wide = false) {
  DateParts p;
  std::string s = Trim(raw);
  if (s.empty()) return p;
  // Time only: digits and then a colon first.
  if (auto colon = s.find(':'); colon != std::string::npos && colon > 0 && colon <= 2 &&
                                AllDigits(s.substr(0, colon))) {
    ParseTime(s, p, wide);
    return p;
  }
  p.hasDate = true;
  std::string datePart = s, timePart;
  bool iso = false;
  if (auto t = s.find_first_of("Tt"); t != std::string::npos && t >= 8 &&
                                       std::isdigit(static_cast<unsigned char>(s[t - 1]))) {
    datePart = s.substr(0, t);
    timePart = s.substr(t + 1);
    iso = true;
    if (timePart.empty()) throw DateError(false);
  } else if (auto sp = s.find(' '); sp != std::string::npos) {
    datePart = s.substr(0, sp);
    timePart = s.substr(sp + 1);
  }
  if (AllDigits(datePart) && (datePart.size() == 8 || datePart.size() == 6) && !iso) {
    // Unseparated: yyyymmdd or yymmdd, alike under every setting.
    std::size_t yl = datePart.size() == 8 ? 4 : 2;
    p.year = YearOf(datePart.substr(0, yl));
    p.month = std::stoi(datePart.substr(yl, 2));
    p.day = std::stoi(datePart.substr(yl + 2, 2));
  } else {
    char sep = 0;
    for (char c : datePart) {
      if (c == '-' || c == '/' || c == '.') {
        sep = c;
        break;
      }
    }
    if (!sep) throw DateError(false);
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
      auto at = datePart.find(sep, start);
      parts.push_back(datePart.substr(start, at == std::string::npos ? std::string::npos : at - start));
      if (at == std::string::npos) break;
      start = at + 1;
    }
    if (parts.size() != 3) throw DateError(false);
    for (auto& part : parts) {
      if (!AllDigits(part) || part.size() > 4) throw DateError(false);
    }
    if (iso) {
      // ISO 8601 yyyy-mm-ddThh:mm[:ss[.mmm]]: the same under every setting.
      if (sep != '-' || parts[0].size() != 4 || parts[1].size() != 2 || parts[2].size() != 2) {
        throw DateError(false);
      }
      p.year = std::stoi(parts[0]);
      p.month = std::stoi(parts[1]);
      p.day = std::stoi(parts[2]);
    } else if (wide && sep == '-' && parts[0].size() == 4) {
      // DATE, DATETIME2: yyyy-mm-dd is ISO 8601, the same under every setting.
      if (parts[1].size() > 2 || parts[2].size() > 2) throw DateError(false);
      p.year = std::stoi(parts[0]);
      p.month = std::stoi(parts[1]);
      p.day = std::stoi(parts[2]);
    } else if (parts[0].size() == 4) {
      // Year first: year-month-day, or year-day-month when the day comes before the month.
      const std::string& o = dates.order;
      bool dayFirst = o.find('d') < o.find('m');
      p.year = std::stoi(parts[0]);
      p.month = std::stoi(parts[dayFirst ? 2 : 1]);
      p.day = std::stoi(parts[dayFirst ? 1 : 2]);
    } else {
      const std::string& o = dates.order;
      for (std::size_t i = 0; i < 3; ++i) {
        if (o[i] == 'y') p.year = YearOf(parts[i]);
        if (o[i] == 'm') p.month = std::stoi(parts[i]);
        if (o[i] == 'd') p.day = std::stoi(parts[i]);
      }
    }
  }
  if (!ValidDate(p.year, p.month, p.day)) throw DateError(true);
  if (!timePart.empty()) ParseTime(timePart, p, wide);
  return p;
}

const std::int32_t kDate2MaxDays = DaysFromCivil(9999, 12, 31) + kDaysTo1900;

// A local date and time rounded half up to the fractional digits of `type`: DATETIME2 and
// DATETIMEOFFSET go on to the next day past midnight (as DATETIME does). A TIME rounded past
// midnight and anything past 9999-12-31 are 242: the documentation does not say; this server
// refuses rather than guess.
Date2Value Rounded(Date2Value v, const ColumnType& type, const std::string& source) {
  if (type.kind == Kind::Date) return {v.days, 0};
  const std::int64_t unit = static_cast<std::int64_t>(Pow10(7 - type.scale));
  v.time = (v.time + unit / 2) / unit * unit;
  if (v.time >= kTimeUnitsPerDay) {
    ++v.days;
    v.time -= kTimeUnitsPerDay;
    if (type.kind == Kind::Time || v.days > kDate2MaxDays) {
      throw Conversion(242, "The conversion of a " + source + " data type to a " + TypeName(type.kind) +
                                " data type resulted in an out-of-range value.");
    }
  }
  if (type.kind == Kind::Time) v.days = 0;
  return v;
}

// A text's time zone offset at its end: "+hh:mm" or "-hh:mm" (two digits each), or "Z" after an
// ISO 8601 time. The text before it and the offset in minutes (none without one); DateError for
// an offset that is not two and two digits or lies beyond -14:00..+14:00.
std::pair<std::string, std::optional<int>> SplitOffset(const std::string& raw) {
  const std::string s = Trim(raw);
  if (s.size() > 1 && (s.back() == 'Z' || s.back() == 'z') && s.find_first_of("Tt") != std::string::npos) {
    return {s.substr(0, s.size() - 1), 0};
  }
  const auto sign = s.find_last_of("+-");
  if (sign == std::string::npos || sign == 0) return {s, std::nullopt};
  const std::string tail = s.substr(sign + 1);
  if (tail.find(':') == std::string::npos || tail.find_first_not_of("0123456789:") != std::string::npos) {
    return {s, std::nullopt};
  }
  if (tail.size() != 5 || tail[2] != ':' || !AllDigits(tail.substr(0, 2)) || !AllDigits(tail.substr(3))) {
    throw DateError(false);
  }
  const int minutes = std::stoi(tail.substr(3));
  const int total = std::stoi(tail.substr(0, 2)) * 60 + minutes;
  if (minutes > 59 || total > kMaxOffsetMinutes) throw DateError(false);
  return {Trim(s.substr(0, sign)), s[sign] == '-' ? -total : total};
}

// A DATETIMEOFFSET from its local date and time and offset; 242 when its instant in UTC falls
// outside 0001-01-01..9999-12-31.
DateTimeOffsetValue OffsetFromLocal(const Date2Value& local, int offset, const std::string& source) {
  const std::int64_t units = static_cast<std::int64_t>(local.days) * kTimeUnitsPerDay + local.time -
                             static_cast<std::int64_t>(offset) * 600000000LL;
  if (units < 0 || units >= (static_cast<std::int64_t>(kDate2MaxDays) + 1) * kTimeUnitsPerDay) {
    throw Conversion(242, "The conversion of a " + source +
                              " data type to a datetimeoffset data type resulted in an out-of-range value.");
  }
  return {static_cast<std::int32_t>(units / kTimeUnitsPerDay), units % kTimeUnitsPerDay,
          static_cast<std::int16_t>(offset)};
}

}  // namespace

DateTimeValue ParseDateTime(const std::string& text, bool small, const DateSettings& dates,
                            const std::string& sourceType) {
  DateParts p;
  const std::string target = small ? "smalldatetime" : "datetime";
  auto outOfRange = [&] {
    return Conversion(242, "The conversion of a " + sourceType + " data type to a " + target +
                               " data type resulted in an out-of-range value.");
  };
  try {
    p = ParseDateText(text, dates);
  } catch (const DateError& e) {
    if (e.outOfRange_) throw outOfRange();
    throw Conversion(241, "Conversion failed when converting date and/or time from character string.");
  }
  std::int64_t days = DaysFromCivil(p.year, p.month, p.day);
  std::int64_t ticks;
  if (small) {
    std::int64_t minutes = p.hour * 60 + p.minute;
    if (p.second * 1000 + p.millisecond >= 29999) ++minutes;
    ticks = minutes * 18000;
  } else {
    ticks = (static_cast<std::int64_t>(p.hour) * 3600 + p.minute * 60 + p.second) * 300 +
            (p.millisecond * 3 + 5) / 10;
  }
  if (ticks >= kTicksPerDay) {
    ++days;
    ticks -= kTicksPerDay;
  }
  std::int64_t lo = small ? 0 : kDateTimeMinDays, hi = small ? kSmallMaxDays : kDateTimeMaxDays;
  if (p.year < (small ? 1900 : 1753) || days < lo || days > hi) throw outOfRange();
  return {static_cast<std::int32_t>(days), static_cast<std::int32_t>(ticks)};
}

Date2Value ParseDate2(const std::string& text, const ColumnType& type, const DateSettings& dates) {
  DateParts p;
  try {
    // DATE, TIME and DATETIME2 take the text of a DATETIMEOFFSET and drop its offset.
    p = ParseDateText(SplitOffset(text).first, dates, true);
  } catch (const DateError&) {
    // An impossible date or time in a string is a conversion failure for these types.
    throw Conversion(241, "Conversion failed when converting date and/or time from character string.");
  }
  if (p.year < 1 || p.year > 9999) {
    throw Conversion(241, "Conversion failed when converting date and/or time from character string.");
  }
  const std::int32_t days = DaysFromCivil(p.year, p.month, p.day) + kDaysTo1900;
  const std::int64_t time = ((static_cast<std::int64_t>(p.hour) * 60 + p.minute) * 60 + p.second) * 10000000LL +
                            p.fraction;
  return Rounded({days, time}, type, "varchar");
}

DateTimeOffsetValue ParseDateTimeOffset(const std::string& text, int scale, const DateSettings& dates) {
  std::pair<std::string, std::optional<int>> parts;
  try {
    parts = SplitOffset(text);
  } catch (const DateError&) {
    throw Conversion(241, "Conversion failed when converting date and/or time from character string.");
  }
  const ColumnType type(Kind::DateTimeOffset, 0, 0, scale);
  return OffsetFromLocal(ParseDate2(parts.first, type, dates), parts.second.value_or(0), "varchar");
}

namespace {

// A local date and time (100 ns units) as DATETIME or SMALLDATETIME: rounded to 1/300 s or to the
// minute; 242 outside their ranges.
DateTimeValue DateTimeFromLocal(const Date2Value& v, Kind k, const std::string& source) {
  std::int64_t days = v.days - kDaysTo1900;
  std::int64_t ticks = k == Kind::DateTime ? (v.time * 3 + 50000) / 100000
                                           : (v.time + 300000000) / 600000000 * 18000;
  if (ticks >= kTicksPerDay) {
    ++days;
    ticks -= kTicksPerDay;
  }
  if (days < (k == Kind::DateTime ? kDateTimeMinDays : 0) ||
      days > (k == Kind::DateTime ? kDateTimeMaxDays : kSmallMaxDays)) {
    throw Conversion(242, "The conversion of a " + source + " data type to a " + TypeName(k) +
                              " data type resulted in an out-of-range value.");
  }
  return DateTimeValue{static_cast<std::int32_t>(days), static_cast<std::int32_t>(ticks)};
}

// The value of GETDATE() or SYSDATETIME() into a column: rounded to what the column keeps.
Value FromDateTime(const Literal& l, const ColumnType& type, const DateSettings& dates) {
  const Kind k = type.kind;
  if (IsDate2(k)) return ParseDate2(l.text, type, dates);
  if (k == Kind::DateTimeOffset) return ParseDateTimeOffset(l.text, type.scale, dates);
  if (k == Kind::DateTime || k == Kind::SmallDateTime) {
    return DateTimeFromLocal(ParseDate2(l.text, ColumnType(Kind::DateTime2, 0, 0, 7), dates), k, SourceName(l));
  }
  throw NotModelled("the conversion of " + SourceName(l) + " to " + TypeName(k));
}

}  // namespace

Value ConvertLiteral(const Literal& l, const ColumnType& type, const DateSettings& dates,
                     Purpose purpose, const ConversionTarget* target) {
  if (type.kind == Kind::Timestamp) {
    if (purpose == Purpose::Compare && l.kind == Literal::Kind::Binary) return l.bytes;
    if (purpose == Purpose::Compare && l.kind == Literal::Kind::Null) return std::monostate{};
    throw SqlError(273, 16,
                   "Cannot insert an explicit value into a timestamp column. Use INSERT with a "
                   "column list to exclude the timestamp column, or insert a DEFAULT into the "
                   "timestamp column.");
  }
  if (l.kind == Literal::Kind::Null) return std::monostate{};
  try {
    switch (l.kind) {
      case Literal::Kind::DateTime: return FromDateTime(l, type, dates);
      case Literal::Kind::String: return FromString(l, type, dates, purpose);
      case Literal::Kind::Binary: return FromBinary(l, type, purpose);
      default: return FromNumber(l, type, purpose);
    }
  } catch (const Truncation& t) {
    // SQL Server 2019 and later (compatibility level 150): error 2628 names what was cut.
    throw SqlError(2628, 16,
                   "String or binary data would be truncated in table '" +
                       (target ? target->table : std::string()) + "', column '" +
                       (target ? target->column : std::string()) + "'. Truncated value: '" + t.kept +
                       "'.");
  }
}

Value ConvertDateValue(const Value& value, const ColumnType& from, const ColumnType& to,
                       const DateSettings& dates) {
  if (IsNull(value)) return value;
  const Kind k = to.kind;
  const std::string source = TypeName(from.kind);
  const bool toText = IsCharacter(k) || IsNCharacter(k);
  if (const auto* text = std::get_if<std::string>(&value)) {
    if (k == Kind::DateTimeOffset) return ParseDateTimeOffset(*text, to.scale, dates);
    if (IsDate2(k)) return ParseDate2(*text, to, dates);
    if (k == Kind::DateTime || k == Kind::SmallDateTime) {
      return ParseDateTime(*text, k == Kind::SmallDateTime, dates, source);
    }
    throw NotModelled("the conversion of " + source + " to " + TypeName(k));
  }
  // The source's local date and time (a TIME on 1900-01-01) and its offset.
  Date2Value local;
  int offset = 0;
  if (const auto* o = std::get_if<DateTimeOffsetValue>(&value)) {
    if (toText) {
      std::string written = DateTimeOffsetText(from.scale, *o);
      if (!IsLargeValue(to) && Utf16Length(written) > static_cast<std::size_t>(to.length)) {
        throw NotModelled("a text shorter than the datetimeoffset it receives");
      }
      if (k == Kind::Char || k == Kind::NChar) written.resize(static_cast<std::size_t>(to.length), ' ');
      return written;
    }
    local = LocalOf(*o);
    offset = o->offset;
  } else if (const auto* d = std::get_if<Date2Value>(&value)) {
    local = *d;
    if (from.kind == Kind::Time) local.days = kDaysTo1900;
  } else if (const auto* dt = std::get_if<DateTimeValue>(&value)) {
    local = {dt->days + kDaysTo1900, (static_cast<std::int64_t>(dt->ticks) * 100000 + 1) / 3};
  } else {
    throw NotModelled("the conversion of " + source + " to " + TypeName(k));
  }
  if (k == Kind::DateTimeOffset) return OffsetFromLocal(Rounded(local, to, source), offset, source);
  if (IsDate2(k)) return Rounded(local, to, source);
  if (k == Kind::DateTime || k == Kind::SmallDateTime) return DateTimeFromLocal(local, k, source);
  throw NotModelled("the conversion of " + source + " to " + TypeName(k));
}

int CompareValues(const Value& a, const Value& b, const std::string& collation) {
  if (IsNull(a) || IsNull(b)) return IsNull(a) == IsNull(b) ? 0 : (IsNull(a) ? -1 : 1);
  auto cmp = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  if (auto* x = std::get_if<std::int64_t>(&a)) {
    if (auto* y = std::get_if<std::int64_t>(&b)) return cmp(*x, *y);
  }
  if (auto* x = std::get_if<DecimalValue>(&a)) {
    if (auto* y = std::get_if<DecimalValue>(&b)) {
      int s = std::max(x->scale, y->scale);
      return cmp(Rescale(*x, s).units, Rescale(*y, s).units);
    }
  }
  if (auto* x = std::get_if<double>(&a)) {
    if (auto* y = std::get_if<double>(&b)) return cmp(*x, *y);
  }
  if (auto* x = std::get_if<std::string>(&a)) {
    if (auto* y = std::get_if<std::string>(&b)) {
      return cmp(CollationKey(*x, collation), CollationKey(*y, collation));
    }
  }
  if (auto* x = std::get_if<Bytes>(&a)) {
    if (auto* y = std::get_if<Bytes>(&b)) return cmp(*x, *y);
  }
  if (auto* x = std::get_if<DateTimeValue>(&a)) {
    if (auto* y = std::get_if<DateTimeValue>(&b)) {
      return cmp(std::pair(x->days, x->ticks), std::pair(y->days, y->ticks));
    }
  }
  if (auto* x = std::get_if<Date2Value>(&a)) {
    if (auto* y = std::get_if<Date2Value>(&b)) {
      return cmp(std::pair(x->days, x->time), std::pair(y->days, y->time));
    }
  }
  if (auto* x = std::get_if<DateTimeOffsetValue>(&a)) {
    // By the instant: the same moment written with two offsets is equal.
    if (auto* y = std::get_if<DateTimeOffsetValue>(&b)) {
      return cmp(std::pair(x->days, x->time), std::pair(y->days, y->time));
    }
  }
  return cmp(a.index(), b.index());
}

std::string KeyOf(const Value& v, const std::string& collation) {
  if (IsNull(v)) return std::string("N");
  if (auto* s = std::get_if<std::string>(&v)) return "S" + CollationKey(*s, collation);
  if (auto* o = std::get_if<DateTimeOffsetValue>(&v)) {
    return "O" + Date2Text(Kind::DateTime2, 7, Date2Value{o->days, o->time});  // the instant in UTC
  }
  if (auto* d = std::get_if<DecimalValue>(&v)) return "D" + DecimalText(Rescale(*d, 38 - DigitCount(d->units / Pow10(d->scale)) > 0 ? d->scale : d->scale));
  return std::string(1, static_cast<char>('0' + v.index())) + DisplayValue(v);
}

}  // namespace morvane::tds
