#include "tests/sqlserver/server/Types.h"

#include <cstdio>

#include "tests/sqlserver/server/SqlError.h"

namespace morvane::tds {

SqlError SyntaxError(const std::string& near, bool keyword, int line) {
  SqlError e = keyword ? SqlError(156, 15, "Incorrect syntax near the keyword '" + near + "'.",
                                  ErrorScope::Batch)
                       : SqlError(102, 15, "Incorrect syntax near '" + near + "'.", ErrorScope::Batch);
  e.SetLine(line);
  return e;
}

SqlError NotModelled(const std::string& what) {
  return SqlError(50000, 16, "The TDS test server does not model " + what + ".", ErrorScope::Batch);
}

std::string TypeName(Kind kind) {
  switch (kind) {
    case Kind::TinyInt: return "tinyint";
    case Kind::SmallInt: return "smallint";
    case Kind::Int: return "int";
    case Kind::BigInt: return "bigint";
    case Kind::Decimal: return "decimal";
    case Kind::Float: return "float";
    case Kind::Real: return "real";
    case Kind::Bit: return "bit";
    case Kind::Char: return "char";
    case Kind::VarChar: return "varchar";
    case Kind::NChar: return "nchar";
    case Kind::NVarChar: return "nvarchar";
    case Kind::Text: return "text";
    case Kind::NText: return "ntext";
    case Kind::Image: return "image";
    case Kind::Binary: return "binary";
    case Kind::VarBinary: return "varbinary";
    case Kind::DateTime: return "datetime";
    case Kind::SmallDateTime: return "smalldatetime";
    case Kind::Timestamp: return "timestamp";
    case Kind::Date: return "date";
    case Kind::Time: return "time";
    case Kind::DateTime2: return "datetime2";
    case Kind::DateTimeOffset: return "datetimeoffset";
  }
  return "?";
}

bool IsInteger(Kind k) {
  return k == Kind::TinyInt || k == Kind::SmallInt || k == Kind::Int || k == Kind::BigInt;
}
bool IsCharacter(Kind k) { return k == Kind::Char || k == Kind::VarChar || k == Kind::Text; }
bool IsNCharacter(Kind k) { return k == Kind::NChar || k == Kind::NVarChar || k == Kind::NText; }
bool IsBinary(Kind k) { return k == Kind::Binary || k == Kind::VarBinary || k == Kind::Image; }
bool IsLarge(Kind k) { return k == Kind::Text || k == Kind::NText || k == Kind::Image; }
bool IsDate2(Kind k) { return k == Kind::Date || k == Kind::Time || k == Kind::DateTime2; }
int TimeBytes(int scale) { return scale <= 2 ? 3 : scale <= 4 ? 4 : 5; }

std::optional<Int128> IntegerRangeMax(Kind k) {
  switch (k) {
    case Kind::TinyInt: return 255;
    case Kind::SmallInt: return 32767;
    case Kind::Int: return 2147483647;
    case Kind::BigInt: return static_cast<Int128>(INT64_MAX);
    default: return std::nullopt;
  }
}

Int128 IntegerRangeMin(Kind k) {
  switch (k) {
    case Kind::TinyInt: return 0;
    case Kind::SmallInt: return -32768;
    case Kind::Int: return -2147483648LL;
    default: return static_cast<Int128>(INT64_MIN);
  }
}

Int128 Pow10(int n) {
  Int128 v = 1;
  for (int i = 0; i < n; ++i) v *= 10;
  return v;
}

int DigitCount(Int128 m) {
  if (m < 0) m = -m;
  int n = 0;
  while (m > 0) {
    ++n;
    m /= 10;
  }
  return n;
}

namespace {
std::string Int128Text(Int128 v) {
  bool negative = v < 0;
  if (negative) v = -v;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  } while (v > 0);
  if (negative) digits.insert(digits.begin(), '-');
  return digits;
}
}  // namespace

std::string DecimalText(const DecimalValue& d) {
  Int128 m = d.units < 0 ? -d.units : d.units;
  std::string digits = Int128Text(m);
  if (d.scale > 0) {
    auto s = static_cast<std::size_t>(d.scale);
    if (digits.size() <= s) digits.insert(0, s + 1 - digits.size(), '0');
    std::string fraction = digits.substr(digits.size() - s);
    digits.resize(digits.size() - s);
    digits += '.';
    digits += fraction;
  }
  if (d.units < 0) digits.insert(digits.begin(), '-');
  return digits;
}

std::int32_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int fromEpoch = era * 146097 + doe - 719468;  // days since 1970-01-01
  return fromEpoch + 25567;                            // 1900-01-01 is 25567 days earlier
}

void CivilFromDays(std::int32_t days, int& year, int& month, int& day) {
  int z = days - 25567 + 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const int doe = z - era * 146097;
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = yoe + era * 400 + (month <= 2);
}

bool ValidDate(int y, int m, int d) {
  if (m < 1 || m > 12 || d < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int max = kDays[m - 1];
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) max = 29;
  return d <= max;
}

std::string DisplayValue(const Value& v) {
  if (IsNull(v)) return "<NULL>";
  if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (auto* d = std::get_if<DecimalValue>(&v)) return DecimalText(*d);
  if (auto* f = std::get_if<double>(&v)) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", *f);
    return buf;
  }
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* b = std::get_if<Bytes>(&v)) {
    std::string out = "0x";
    static const char* kHex = "0123456789ABCDEF";
    for (auto c : *b) {
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
    return out;
  }
  if (auto* o = std::get_if<DateTimeOffsetValue>(&v)) return DateTimeOffsetText(7, *o);
  if (auto* d2 = std::get_if<Date2Value>(&v)) {
    return Date2Text(d2->time == 0 ? Kind::Date : Kind::DateTime2, 7, *d2);
  }
  const auto& dt = std::get<DateTimeValue>(v);
  int y = 0, m = 0, d = 0;
  CivilFromDays(dt.days, y, m, d);
  long long ms = (static_cast<long long>(dt.ticks) * 10 + 1) / 3;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02lld:%02lld:%02lld.%03lld", y, m, d, ms / 3600000,
                ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
  return buf;
}

Date2Value LocalOf(const DateTimeOffsetValue& v) {
  const std::int64_t units = static_cast<std::int64_t>(v.days) * kTimeUnitsPerDay + v.time +
                             static_cast<std::int64_t>(v.offset) * 600000000LL;
  return {static_cast<std::int32_t>(units / kTimeUnitsPerDay), units % kTimeUnitsPerDay};
}

std::string DateTimeOffsetText(int scale, const DateTimeOffsetValue& v) {
  const int minutes = v.offset < 0 ? -v.offset : v.offset;
  char buf[16];
  std::snprintf(buf, sizeof buf, " %c%02d:%02d", v.offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return Date2Text(Kind::DateTime2, scale, LocalOf(v)) + buf;
}

std::string Date2Text(Kind kind, int scale, const Date2Value& v) {
  std::string out;
  char buf[48];
  if (kind != Kind::Time) {
    int y = 0, m = 0, d = 0;
    CivilFromDays(v.days - kDaysTo1900, y, m, d);
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    out = buf;
  }
  if (kind != Kind::Date) {
    long long t = v.time;
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", t / 36000000000LL, t / 600000000LL % 60,
                  t / 10000000LL % 60);
    if (!out.empty()) out += ' ';
    out += buf;
    if (scale > 0) {
      std::snprintf(buf, sizeof buf, "%07lld", t % 10000000LL);
      out += '.';
      out += std::string(buf, static_cast<std::size_t>(scale));
    }
  }
  return out;
}

}  // namespace morvane::tds
