#pragma once
// MySQL's date and time texts in the forms that SQL Server reads alike under every language
// and DATEFORMAT setting for its DATE, DATETIME2 and TIME types.

#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

struct DateText {
  enum class Kind {
    Value,         // `text` is the date to write
    NoDate,        // a zero or partial date ('0000-00-00', '2004-00-15'): no value
    Unrecognised,  // not a text of the expected kind: write it as it is
  };
  Kind kind = Kind::Unrecognised;
  std::string text;
};

enum class DateForm {
  Date,      // DATE 'YYYY-MM-DD' -> 'YYYY-MM-DD'
  DateTime,  // DATETIME, TIMESTAMP 'YYYY-MM-DD hh:mm:ss[.f]' -> 'YYYY-MM-DD hh:mm:ss[.f]'
  Time,      // TIME within one day 'hh:mm:ss[.f]' -> 'hh:mm:ss[.f]'
  TimeSpan,  // TIME of any span ('-838:59:59', '123:45:06.5') -> the moment that far from
             // 1900-01-01 00:00:00, as a DATETIME text
};

// The text of one value for a column with `fractionDigits` digits after the second: the
// fraction is padded with zeros to that many digits and never cut (a longer one is kept whole).
DateText SqlServerDateText(std::string_view mysqlText, DateForm form, unsigned fractionDigits);

}  // namespace morvane
