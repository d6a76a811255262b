#include "engine/RowCopy.h"

#include <vector>

#include "engine/ColumnType.h"
#include "engine/DateText.h"
#include "engine/SqlNames.h"

namespace morvane {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// [-]digits
bool IsPlainInteger(std::string_view s) {
  if (!s.empty() && s.front() == '-') s.remove_prefix(1);
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// What MySQL writes for a number: digits, sign, point and exponent ('1e20', '-2.5e-300').
bool IsNumberText(std::string_view s) {
  if (s.empty()) return false;
  bool digit = false;
  for (char c : s) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '-' && c != '+' && c != '.' && c != 'e' && c != 'E') {
      return false;
    }
  }
  return digit;
}

// N'...' with quotes doubled. A U+0000 is written as NCHAR(0) outside the quotes: the driver
// sends a statement only up to its first zero character. The first piece is a (MAX) type, so
// that T-SQL's "+" does not cut the joined text at 8000 bytes.
void AppendText(std::string& out, std::string_view text) {
  const bool hasZero = text.find('\0') != std::string_view::npos;
  out += hasZero ? "CAST(N'" : "N'";
  bool first = true;
  std::size_t start = 0;  // of the piece not yet appended
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\'' && c != '\0') continue;
    out.append(text.data() + start, i - start);
    start = i + 1;
    if (c == '\'') {
      out += "''";
    } else {
      out += first ? "' AS NVARCHAR(MAX)) + NCHAR(0) + N'" : "' + NCHAR(0) + N'";
      first = false;
    }
  }
  out.append(text.data() + start, text.size() - start);
  out += "',";
}

// A number as MySQL wrote it, with its suffix, when `bare` holds; anything else as text, which
// the target converts or refuses, so that no cell is ever pasted in as T-SQL.
void AppendNumber(std::string& out, std::string_view text, bool bare, std::string_view suffix = ",") {
  if (!bare) {
    AppendText(out, text);
    return;
  }
  out += text;
  out += suffix;
}

// [-]digits[.digits]
bool IsDecimalText(std::string_view s) {
  if (!s.empty() && s.front() == '-') s.remove_prefix(1);
  const auto point = s.find('.');
  const auto whole = s.substr(0, point);
  if (whole.empty() || !IsPlainInteger(whole) || whole.front() == '-') return false;
  if (point == std::string_view::npos) return true;
  const auto fraction = s.substr(point + 1);
  return fraction.empty() || (IsPlainInteger(fraction) && fraction.front() != '-');
}

// UTF-16 code units of a UTF-8 text: a four-byte sequence takes two.
std::size_t Utf16Units(std::string_view text) {
  std::size_t units = 0;
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b & 0xC0) == 0x80) continue;  // continuation byte
    units += b >= 0xF0 ? 2 : 1;
  }
  return units;
}

std::string DecimalTypeText(const ColumnLiteral& column) {
  return "DECIMAL(" + std::to_string(column.precision) + ", " + std::to_string(column.scale) + ")";
}

// "DECIMAL(38, 30)" -> 38, 30; "DATETIME2(6)" -> 6. Missing numbers stay 0.
void ReadNumbers(std::string_view typeText, std::uint32_t& first, std::uint32_t* second) {
  auto at = typeText.find('(');
  if (at == std::string_view::npos) return;
  auto read = [&](std::uint32_t& into) {
    into = 0;
    while (++at < typeText.size() && typeText[at] >= '0' && typeText[at] <= '9')
      into = into * 10 + static_cast<std::uint32_t>(typeText[at] - '0');
  };
  read(first);
  if (second != nullptr && at < typeText.size() && typeText[at] == ',') {
    if (at + 1 < typeText.size() && typeText[at + 1] == ' ') ++at;
    read(*second);
  }
}

void AppendHex(std::string& out, std::string_view bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  out += "0x";
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += digits[b >> 4];
    out += digits[b & 0x0F];
  }
  out += ',';
}

std::string StatusText(const std::string& table) { return "Converting Table: " + table + "  ...."; }

// The refused values of one table that the report names one by one; the rest are counted.
constexpr std::uint64_t NamedRefusalsPerTable = 1000;

}  // namespace

std::string DoubleQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

ColumnLiteral ColumnLiteralOf(std::string_view typeText, int mysqlType) {
  ColumnLiteral column;
  auto form = [&](LiteralForm f) {
    column.form = f;
    return column;
  };
  if (typeText == "BIT") return form(LiteralForm::Bit);
  if (mysqlType == mysql_type::Bit) return form(LiteralForm::BitValue);  // BIT(2..64): raw bytes
  if (typeText == "INT" || typeText == "SMALLINT" || typeText == "TINYINT" || typeText == "BIGINT")
    return form(LiteralForm::Integer);
  if (typeText == "FLOAT" || typeText == "REAL") return form(LiteralForm::Float);
  if (StartsWith(typeText, "DECIMAL")) {
    column.precision = 38;
    ReadNumbers(typeText, column.precision, &column.scale);
    return form(LiteralForm::Decimal);
  }
  if (StartsWith(typeText, "BINARY") || StartsWith(typeText, "VARBINARY") || typeText == "IMAGE")
    return form(LiteralForm::Binary);
  if (typeText == "DATE") return form(LiteralForm::Date);
  if (StartsWith(typeText, "DATETIME2(")) {
    ReadNumbers(typeText, column.scale, nullptr);
    return form(mysqlType == mysql_type::Time ? LiteralForm::TimeSpan : LiteralForm::DateTime);
  }
  if (StartsWith(typeText, "TIME(")) {
    ReadNumbers(typeText, column.scale, nullptr);
    return form(LiteralForm::Time);
  }
  if (StartsWith(typeText, "NCHAR(")) ReadNumbers(typeText, column.maxUnits, nullptr);
  return form(LiteralForm::Text);
}

std::optional<std::string> AppendValueLiteral(std::string& out, const Cell& cell,
                                              const ColumnLiteral& column) {
  if (!cell) {
    out += "NULL,";
    return std::nullopt;
  }
  const std::string_view text = *cell;
  switch (column.form) {
    case LiteralForm::Bit:
      if (!text.empty() && (text[0] == 0 || text[0] == 1)) {
        out += text[0] == 1 ? "1," : "0,";
      } else {
        AppendNumber(out, text, IsPlainInteger(text));
      }
      return std::nullopt;
    case LiteralForm::BitValue: {
      unsigned long long value = 0;
      for (char c : text) value = (value << 8) | static_cast<unsigned char>(c);
      AppendNumber(out, std::to_string(value), true);
      return std::nullopt;
    }
    case LiteralForm::Integer:
      if (text.empty()) {
        out += "NULL,";
      } else {
        AppendNumber(out, text, IsPlainInteger(text));
      }
      return std::nullopt;
    case LiteralForm::Float:
      // With an exponent T-SQL reads a float, bit for bit; without one, a decimal that is
      // rounded on its way to the column.
      if (!IsNumberText(text)) {
        AppendText(out, text);
      } else {
        out += text;
        if (text.find_first_of("eE") == std::string_view::npos) out += "E0";
        out += ',';
      }
      return std::nullopt;
    case LiteralForm::Decimal: {
      if (!IsDecimalText(text)) {
        AppendText(out, text);
        return std::nullopt;
      }
      // Trailing zeros of the fraction are no digits of the value.
      std::string_view value = text;
      const auto point = value.find('.');
      if (point != std::string_view::npos) {
        while (value.back() == '0') value.remove_suffix(1);
        if (value.back() == '.') value.remove_suffix(1);
      }
      std::string_view whole = value.substr(0, point);
      if (!whole.empty() && whole.front() == '-') whole.remove_prefix(1);
      while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
      const std::size_t fraction =
          point == std::string_view::npos || value.size() <= point ? 0 : value.size() - point - 1;
      if (fraction > column.scale)
        return "has more fraction digits than " + DecimalTypeText(column) + " holds";
      if (whole.size() > column.precision - column.scale)
        return "has more integer digits than " + DecimalTypeText(column) + " holds";
      out += value;
      out += ',';
      return std::nullopt;
    }
    case LiteralForm::Binary:
      AppendHex(out, text);
      return std::nullopt;
    case LiteralForm::Date:
    case LiteralForm::DateTime:
    case LiteralForm::Time:
    case LiteralForm::TimeSpan: {
      // MySQL's own text is already SQL Server's when it has the column's fraction digits and
      // is no zero or partial date: written as it is, without building another text.
      const std::size_t length = column.form == LiteralForm::Time ? 8 : column.form == LiteralForm::Date ? 10 : 19;
      const std::size_t withFraction = column.form == LiteralForm::Date || column.scale == 0
                                           ? length
                                           : length + 1 + column.scale;
      if (column.form != LiteralForm::TimeSpan && text.size() == withFraction &&
          (column.form == LiteralForm::Time
               ? text[0] <= '1' || (text[0] == '2' && text[1] <= '3')
               : text.substr(0, 4) != "0000" && text.substr(5, 2) != "00" &&
                     text.substr(8, 2) != "00")) {
        AppendText(out, text);
        return std::nullopt;
      }
      const DateForm dateForm = column.form == LiteralForm::Date       ? DateForm::Date
                                : column.form == LiteralForm::DateTime ? DateForm::DateTime
                                : column.form == LiteralForm::Time     ? DateForm::Time
                                                                       : DateForm::TimeSpan;
      const DateText date = SqlServerDateText(text, dateForm, column.scale);
      if (date.kind == DateText::Kind::NoDate) {
        if (column.keepsNotNull)
          return "is a zero or partial date, which SQL Server cannot hold, in a primary key column";
        out += "NULL,";
      } else {
        AppendText(out, date.kind == DateText::Kind::Value ? std::string_view(date.text) : text);
      }
      return std::nullopt;
    }
    case LiteralForm::Text: {
      if (column.maxUnits > 0) {
        std::string_view trimmed = text;
        while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
        if (Utf16Units(trimmed) > column.maxUnits)
          return "needs more than the " + std::to_string(column.maxUnits) +
                 " UTF-16 code units of NCHAR(" + std::to_string(column.maxUnits) + ")";
      }
      AppendText(out, text);
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::string ShownValue(std::string_view value, LiteralForm form) {
  constexpr std::size_t longest = 60;
  std::string shown;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto b = static_cast<unsigned char>(value[i]);
    if ((b & 0xC0) != 0x80 && ++characters > longest) {
      shown += "...";
      break;
    }
    if (b == 0) {
      shown += "\\0";
    } else {
      shown += value[i];
    }
  }
  if (form == LiteralForm::Text) return "'" + shown + "'";
  return shown;
}

std::string GetValueLiteral(const Cell& cell, std::string_view typeText, int mysqlType) {
  std::string out;
  if (AppendValueLiteral(out, cell, ColumnLiteralOf(typeText, mysqlType))) return {};
  return out;
}

namespace {
// TDS 7.2 and later send ALL_HEADERS before a batch's text.
constexpr std::uint64_t kBatchHeaderBytes = 22;

// A row whose statement SQL Server would refuse as a batch larger than `limit` bytes (its text
// counted in UTF-16): the column whose literal takes the most of it, so that the refusal can
// name it. `literalEnds` holds where each column's literal ends, the first beginning at
// `literalsBegin`.
std::optional<std::size_t> ColumnOverBatchLimit(std::string_view statement,
                                                std::size_t literalsBegin,
                                                const std::vector<std::size_t>& literalEnds,
                                                std::optional<std::uint64_t> limit) {
  // UTF-16 never takes more than two bytes for each byte of UTF-8: most rows stop here.
  if (!limit || kBatchHeaderBytes + 2 * std::uint64_t{statement.size()} <= *limit) {
    return std::nullopt;
  }
  if (kBatchHeaderBytes + 2 * std::uint64_t{Utf16Units(statement)} <= *limit) return std::nullopt;
  std::size_t largest = 0, largestSize = 0, begin = literalsBegin;
  for (std::size_t j = 0; j < literalEnds.size(); ++j) {
    if (literalEnds[j] - begin > largestSize) {
      largest = j;
      largestSize = literalEnds[j] - begin;
    }
    begin = literalEnds[j];
  }
  return largest;
}

void NameRefusedValue(RunReport* report, const std::string& table, const std::string& column,
                      std::string_view value, LiteralForm form, const std::string& why,
                      std::uint64_t refusedSoFar) {
  if (report == nullptr || refusedSoFar > NamedRefusalsPerTable) return;
  if (refusedSoFar == NamedRefusalsPerTable) {
    report->Add(ReportTopic::RowsRefused, table,
                table + ": further refused values are counted, not named");
    return;
  }
  report->Add(ReportTopic::RowsRefused, table,
              table + ", column " + column + ": the value " + ShownValue(value, form) + " " + why +
                  "; its row was not copied");
}
}  // namespace

CopyResult CopyTableRows(SourceDatabase& source, TargetConnection& target, RowCopyWindow& window,
                         const std::string& table, const CopyOptions& options,
                         const std::string& targetTable) {
  CopyResult result;
  StopSignal neverStopped;
  StopSignal& stop = options.stop != nullptr ? *options.stop : neverStopped;
  auto execute = [&](const std::string& statement) {
    target.TargetDatabase->ExecuteWithResults(statement, static_cast<std::int32_t>(statement.size()));
  };

  // While the identity column takes the table's own values: switched on before the first row,
  // off again on every way out but a broken connection.
  const std::string& into = targetTable.empty() ? table : targetTable;
  const std::string identityOn = "SET IDENTITY_INSERT " + Bracketed(into) + " ON";
  const std::string identityOff = "SET IDENTITY_INSERT " + Bracketed(into) + " OFF";
  bool identityIsOn = false;

  // Every way out: the identity switched off, then the report, if there is one. After a stop
  // that is the one statement still sent; the report is left out.
  auto end = [&](CopyOutcome outcome, std::string report = {}) {
    if (stop.Requested()) {
      outcome = CopyOutcome::Stopped;
      report.clear();
      if (const auto& server = target.TargetServer.Get()) server->Resume();
    }
    if (identityIsOn) {
      try {
        execute(identityOff);
      } catch (const TargetError&) {
        // A stop that came while it ran cancelled it: once more, now that statements run
        // again. Otherwise the next table that needs it reports the refusal of its own.
        if (stop.Requested()) {
          if (const auto& server = target.TargetServer.Get()) server->Resume();
          try {
            execute(identityOff);
          } catch (const TargetError&) {
          }
        }
      }
    }
    if (!report.empty()) window.ShowMessage(report, MessageButtons::Ok);
    result.outcome = outcome;
    return result;
  };

  // The listing comes first: while the rows stream in, the connection answers nothing else.
  const auto fields = source.FieldListing(table);
  if (!fields || fields->empty()) {
    return end(CopyOutcome::SourceFailed,
               "The columns of table " + table + " could not be read from MySQL.");
  }
  std::vector<ColumnLiteral> forms;
  bool hasIdentity = false;
  std::string prefix = "INSERT INTO " + Bracketed(into) + " (";
  const bool profiled = options.profiles != nullptr && options.profiles->size() == fields->size();
  for (std::size_t j = 0; j < fields->size(); ++j) {
    const FieldRecord& f = (*fields)[j];
    const std::string type = GetColumnType(f, profiled ? (*options.profiles)[j] : ColumnProfile{});
    forms.push_back(ColumnLiteralOf(type, f.type));
    forms.back().keepsNotNull = f.Has(mysql_flag::PriKey);
    hasIdentity = hasIdentity || f.Has(mysql_flag::AutoIncrement);
    if (&f != &fields->front()) prefix += ", ";
    prefix += Bracketed(f.org_name);
  }
  prefix += ") VALUES(";

  std::string errorText;
  const auto rows = source.ReadRows(table, errorText);
  if (!rows) {
    return end(CopyOutcome::SourceFailed,
               "The rows of table " + table + " could not be read from MySQL: " + errorText);
  }

  const std::string status = StatusText(table);
  const auto& server = target.TargetServer.Get();
  const std::optional<std::uint64_t> batchLimit = server ? server->BatchLimit() : std::nullopt;
  std::vector<std::size_t> literalEnds;
  std::string statement;
  while (true) {
    if (stop.Requested()) return end(CopyOutcome::Stopped);
    const std::vector<Cell>* row = rows->Next();
    if (row == nullptr) break;
    if (row->size() != forms.size()) {
      return end(CopyOutcome::SourceFailed,
                 "The rows of table " + table + " do not match its columns; the copy ended.");
    }
    if (stop.Requested()) return end(CopyOutcome::Stopped);
    if (hasIdentity && !identityIsOn) {
      identityIsOn = true;
      try {
        execute(identityOn);
      } catch (const TargetError& error) {
        // Refused: not on. Cancelled by a stop: the server may have done it before the cancel.
        identityIsOn = stop.Requested();
        return end(CopyOutcome::TargetFailed, FormatTargetError(error));
      }
    }

    statement.assign(prefix);
    literalEnds.clear();
    std::optional<std::string> refusal;
    for (std::size_t j = 0; j < forms.size() && !refusal; ++j) {
      refusal = AppendValueLiteral(statement, (*row)[j], forms[j]);
      literalEnds.push_back(statement.size());
      if (refusal) {
        ++result.rowsRefused;
        NameRefusedValue(options.report, table, (*fields)[j].org_name, *(*row)[j], forms[j].form,
                         *refusal, result.rowsRefused);
      }
    }
    if (!refusal) {
      statement.back() = ')';  // the last literal's ","
      statement += ';';
      if (const auto j = ColumnOverBatchLimit(statement, prefix.size(), literalEnds, batchLimit)) {
        refusal = "makes the row's INSERT statement larger than the " +
                  std::to_string(*batchLimit) +
                  " bytes that SQL Server takes in one batch (65 536 times its network packet "
                  "size)";
        ++result.rowsRefused;
        NameRefusedValue(options.report, table, (*fields)[*j].org_name, *(*row)[*j],
                         forms[*j].form, *refusal, result.rowsRefused);
      }
    }
    if (refusal) {
      if (!stop.Pause(options.pause)) return end(CopyOutcome::Stopped);
      window.SetStatusText(status);
      continue;
    }

    if (stop.Requested()) return end(CopyOutcome::Stopped);
    try {
      execute(statement);
      ++result.rowsCopied;
    } catch (const TargetError& error) {
      if (stop.Requested()) return end(CopyOutcome::Stopped);  // cancelled, not refused
      ++result.rowsRefused;
      if (error.ConnectionLost()) {
        identityIsOn = false;  // nothing more goes over a broken connection
        return end(CopyOutcome::TargetFailed, FormatTargetError(error));
      }
      // The box offers to stop the run: a table whose every row is refused would otherwise
      // hold the user in one box after another.
      window.ShowMessage(FormatTargetError(error), MessageButtons::OkStop);
    }

    if (!stop.Pause(options.pause)) return end(CopyOutcome::Stopped);
    window.SetStatusText(status);
  }

  if (const auto error = rows->Error()) {
    return end(CopyOutcome::SourceFailed,
               "Reading the rows of table " + table + " from MySQL failed after " +
                   std::to_string(result.rowsCopied + result.rowsRefused) + " row(s): " + *error);
  }
  return end(CopyOutcome::Completed);
}

}  // namespace morvane
