#include "engine/DateText.h"

#include <algorithm>
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

std::int64_t Number(std::string_view s) {
  std::int64_t n = 0;
  for (char c : s) n = n * 10 + (c - '0');
  return n;
}

// ".ffffff" -> its digits ("" for no fraction); nullopt when malformed.
std::optional<std::string_view> FractionDigitsOf(std::string_view s) {
  if (s.empty()) return std::string_view();
  if (s.front() != '.' || !Digits(s.substr(1))) return std::nullopt;
  return s.substr(1);
}

// ".digits" padded with zeros to `wanted` digits; nothing when both are empty.
std::string Fraction(std::string_view digits, unsigned wanted) {
  if (digits.empty() && wanted == 0) return {};
  std::string out = "." + std::string(digits);
  while (out.size() < wanted + 1) out += '0';
  return out;
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
DateText NoDate() { return {DateText::Kind::NoDate, {}}; }

// 'YYYY-MM-DD' with a zero year, month or day: no date SQL Server can hold.
bool IsPartialDate(std::string_view date) {
  return date.substr(0, 4) == "0000" || date.substr(5, 2) == "00" || date.substr(8, 2) == "00";
}

bool IsDate(std::string_view s) {
  return s.size() >= 10 && Digits(s.substr(0, 4)) && s[4] == '-' && Digits(s.substr(5, 2)) &&
         s[7] == '-' && Digits(s.substr(8, 2));
}

// A TIME of any span: the moment that far from 1900-01-01 00:00:00. The fraction is counted in
// microseconds, MySQL's finest.
DateText SpanFrom1900(std::string_view text, unsigned fractionDigits) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  const auto colon1 = text.find(':');
  if (colon1 == std::string_view::npos || colon1 == 0 || colon1 + 6 > text.size()) return {};
  const auto hours = text.substr(0, colon1);
  const auto rest = text.substr(colon1);  // ":mm:ss[.f]"
  if (!Digits(hours) || hours.size() > 6 || rest[0] != ':' || !Digits(rest.substr(1, 2)) ||
      rest[3] != ':' || !Digits(rest.substr(4, 2))) {
    return {};
  }
  const auto fraction = FractionDigitsOf(rest.substr(6));
  if (!fraction || fraction->size() > 6) return {};
  const std::int64_t micros = Number((std::string(*fraction) + "000000").substr(0, 6));
  constexpr std::int64_t second = 1000000, day = 86400 * second;
  std::int64_t total =
      (Number(hours) * 3600 + Number(rest.substr(1, 2)) * 60 + Number(rest.substr(4, 2))) * second +
      micros;
  if (negative) total = -total;
  std::int64_t days = total / day, inDay = total % day;
  if (inDay < 0) {
    inDay += day;
    --days;
  }
  long y, m, d;
  CivilFromDays(DaysFromCivil(1900, 1, 1) + static_cast<long>(days), y, m, d);
  const long seconds = static_cast<long>(inDay / second);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04ld-%02ld-%02ld %02ld:%02ld:%02ld", y, m, d,
                seconds / 3600, seconds / 60 % 60, seconds % 60);
  std::string out = buffer;
  std::snprintf(buffer, sizeof buffer, "%06ld", static_cast<long>(inDay % second));
  std::string digits = buffer;
  const std::size_t keep = std::max<std::size_t>(fraction->size(), fractionDigits);
  digits.resize(std::min<std::size_t>(keep, 6));
  return Value(out + Fraction(digits, fractionDigits));
}

}  // namespace

DateText SqlServerDateText(std::string_view s, DateForm form, unsigned fractionDigits) {
  switch (form) {
    case DateForm::Date:
      if (s.size() != 10 || !IsDate(s)) return {};
      if (IsPartialDate(s)) return NoDate();
      return Value(std::string(s));
    case DateForm::DateTime: {
      if (!IsDate(s) || s.size() < 19 || s[10] != ' ' || !IsTimeOfDay(s.substr(11, 8))) return {};
      const auto fraction = FractionDigitsOf(s.substr(19));
      if (!fraction) return {};
      if (IsPartialDate(s)) return NoDate();
      return Value(std::string(s.substr(0, 19)) + Fraction(*fraction, fractionDigits));
    }
    case DateForm::Time: {
      if (!IsTimeOfDay(s.substr(0, 8)) || Number(s.substr(0, 2)) >= 24) return {};
      const auto fraction = FractionDigitsOf(s.substr(8));
      if (!fraction) return {};
      return Value(std::string(s.substr(0, 8)) + Fraction(*fraction, fractionDigits));
    }
    case DateForm::TimeSpan: return SpanFrom1900(s, fractionDigits);
  }
  return {};
}

}  // namespace morvane
