#pragma once
// MySQL's date and time texts in the forms that SQL Server reads alike under every language
// and DATEFORMAT setting.

#include <string>
#include <string_view>

namespace morvane {

struct DateText {
  enum class Kind {
    Value,         // `text` is the date to write
    NoDate,        // a zero or partial date ('0000-00-00', '2004-00-15', YEAR 0000): no value
    Unrecognised,  // not a MySQL date or time text: write it as it is
  };
  Kind kind = Kind::Unrecognised;
  std::string text;
};

// DATE 'YYYY-MM-DD' -> 'YYYYMMDD'; DATETIME and TIMESTAMP 'YYYY-MM-DD hh:mm:ss[.f]' ->
// 'YYYY-MM-DDThh:mm:ss[.fff]'; TIME 'hh:mm:ss[.f]' -> 'hh:mm:ss[.fff]', and a TIME outside one
// day ('-838:59:59', '123:45:06') as that span from 1900-01-01, the day SQL Server gives a
// time alone; YEAR 'YYYY' -> 'YYYY0101'. At most three fractional digits.
DateText SqlServerDateText(std::string_view mysqlText);

}  // namespace morvane
