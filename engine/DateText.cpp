#include "engine/DateText.h"

#include <cstdint>
#include <cstdio>
#include <optional>

namespace morvane {
namespace {

bool Digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

long Number(std::string_view s) {
  long n = 0;
  for (char c : s) n = n * 10 + (c - '0');
  return n;
}

// ".ffffff" -> ".fff" (nothing for no fraction); nullopt when malformed.
std::optional<std::string> Fraction(std::string_view s) {
  if (s.empty()) return std::string();
  if (s.front() != '.' || !Digits(s.substr(1))) return std::nullopt;
  return std::string(s.substr(0, 4));
}

bool IsTimeOfDay(std::string_view s) {  // hh:mm:ss
  return s.size() == 8 && Digits(s.substr(0, 2)) && s[2] == ':' && Digits(s.substr(3, 2)) &&
         s[5] == ':' && Digits(s.substr(6, 2));
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (Howard Hinnant's algorithms).
long DaysFromCivil(long y, long m, long d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long z, long& y, long& m, long& d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y = yoe + era * 400 + (m <= 2);
}

DateText Value(std::string text) { return {DateText::Kind::Value, std::move(text)}; }

// A TIME that is not a time of day: the span from 1900-01-01 00:00:00.
DateText SpanFrom1900(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  const auto colon1 = text.find(':');
  if (colon1 == std::string_view::npos || colon1 + 6 > text.size()) return {};
  const auto hours = text.substr(0, colon1);
  const auto rest = text.substr(colon1);  // ":mm:ss[.f]"
  if (!Digits(hours) || rest[0] != ':' || !Digits(rest.substr(1, 2)) || rest[3] != ':' ||
      !Digits(rest.substr(4, 2))) {
    return {};
  }
  const auto fraction = Fraction(rest.substr(6));
  if (!fraction) return {};
  long millis = fraction->empty() ? 0 : Number((fraction->substr(1) + "00").substr(0, 3));
  std::int64_t total = (static_cast<std::int64_t>(Number(hours)) * 3600 +
                        Number(rest.substr(1, 2)) * 60 + Number(rest.substr(4, 2))) * 1000 + millis;
  if (negative) total = -total;
  constexpr std::int64_t day = 86400000;
  std::int64_t days = total / day, inDay = total % day;
  if (inDay < 0) {
    inDay += day;
    --days;
  }
  long y, m, d;
  CivilFromDays(DaysFromCivil(1900, 1, 1) + static_cast<long>(days), y, m, d);
  const long seconds = static_cast<long>(inDay / 1000);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04ld-%02ld-%02ldT%02ld:%02ld:%02ld", y, m, d,
                seconds / 3600, seconds / 60 % 60, seconds % 60);
  std::string out = buffer;
  if (!fraction->empty()) {
    std::snprintf(buffer, sizeof buffer, ".%03ld", static_cast<long>(inDay % 1000));
    out += buffer;
  }
  return Value(out);
}

}  // namespace

DateText SqlServerDateText(std::string_view s) {
  // YEAR
  if (s.size() == 4 && Digits(s)) {
    if (s == "0000") return {DateText::Kind::NoDate, {}};
    return Value(std::string(s) + "0101");
  }
  // DATE, DATETIME, TIMESTAMP
  if (s.size() >= 10 && Digits(s.substr(0, 4)) && s[4] == '-' && Digits(s.substr(5, 2)) &&
      s[7] == '-' && Digits(s.substr(8, 2))) {
    const auto year = s.substr(0, 4), month = s.substr(5, 2), day = s.substr(8, 2);
    const bool partial = year == "0000" || month == "00" || day == "00";
    if (s.size() == 10) {
      if (partial) return {DateText::Kind::NoDate, {}};
      return Value(std::string(year) + std::string(month) + std::string(day));
    }
    if (s[10] == ' ' && IsTimeOfDay(s.substr(11, 8))) {
      const auto fraction = Fraction(s.substr(19));
      if (!fraction) return {};
      if (partial) return {DateText::Kind::NoDate, {}};
      return Value(std::string(s.substr(0, 10)) + "T" + std::string(s.substr(11, 8)) + *fraction);
    }
    return {};
  }
  // TIME
  if (IsTimeOfDay(s.substr(0, 8)) && Number(s.substr(0, 2)) < 24) {
    const auto fraction = Fraction(s.substr(8));
    if (!fraction) return {};
    return Value(std::string(s.substr(0, 8)) + *fraction);
  }
  if (s.find(':') != std::string_view::npos) return SpanFrom1900(s);
  return {};
}

}  // namespace morvane
