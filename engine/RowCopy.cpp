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

void AppendText(std::string& out, std::string_view text) {
  out += "N'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
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

LiteralForm LiteralFormOf(std::string_view typeText, int mysqlType) {
  if (typeText == "BIT") return LiteralForm::Bit;
  if (mysqlType == mysql_type::Bit) return LiteralForm::BitValue;  // BIT(2..64): raw bytes
  if (typeText == "INT" || typeText == "SMALLINT" || typeText == "TINYINT" || typeText == "BIGINT")
    return LiteralForm::Integer;
  if (StartsWith(typeText, "FLOAT") || StartsWith(typeText, "REAL") ||
      StartsWith(typeText, "DECIMAL"))
    return LiteralForm::Number;
  if (StartsWith(typeText, "BINARY") || StartsWith(typeText, "VARBINARY") || typeText == "IMAGE")
    return LiteralForm::Binary;
  if (typeText == "DATETIME" || typeText == "SMALLDATETIME") return LiteralForm::DateTime;
  return LiteralForm::Text;
}

void AppendValueLiteral(std::string& out, const Cell& cell, LiteralForm form) {
  if (!cell) {
    out += "NULL,";
    return;
  }
  const std::string_view text = *cell;
  switch (form) {
    case LiteralForm::Bit:
      if (!text.empty() && (text[0] == 0 || text[0] == 1)) {
        out += text[0] == 1 ? "1," : "0,";
      } else {
        AppendNumber(out, text, IsPlainInteger(text));
      }
      return;
    case LiteralForm::BitValue: {
      unsigned long long value = 0;
      for (char c : text) value = (value << 8) | static_cast<unsigned char>(c);
      AppendNumber(out, std::to_string(value), true);
      return;
    }
    case LiteralForm::Integer:
      if (text.empty()) {
        out += "NULL,";
      } else {
        AppendNumber(out, text, IsPlainInteger(text));
      }
      return;
    case LiteralForm::Number:
      if (IsPlainInteger(text)) {
        AppendNumber(out, text, true, ".0,");
      } else {
        AppendNumber(out, text, IsNumberText(text));
      }
      return;
    case LiteralForm::Binary:
      AppendHex(out, text);
      return;
    case LiteralForm::DateTime: {
      const DateText date = SqlServerDateText(text);
      if (date.kind == DateText::Kind::NoDate) {
        out += "NULL,";
      } else {
        AppendText(out, date.kind == DateText::Kind::Value ? std::string_view(date.text) : text);
      }
      return;
    }
    case LiteralForm::Text:
      AppendText(out, text);
      return;
  }
}

std::string GetValueLiteral(const Cell& cell, std::string_view typeText, int mysqlType) {
  std::string out;
  AppendValueLiteral(out, cell, LiteralFormOf(typeText, mysqlType));
  return out;
}

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
        // The next table that needs it reports the refusal of its own statement.
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
  std::vector<LiteralForm> forms;
  bool hasIdentity = false;
  std::string prefix = "INSERT INTO " + Bracketed(into) + " (";
  for (const auto& f : *fields) {
    const std::string type = GetColumnType(f.type, f.length, f.decimals, f.charsetnr, f.flags);
    forms.push_back(LiteralFormOf(type, f.type));
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
      try {
        execute(identityOn);
        identityIsOn = true;
      } catch (const TargetError& error) {
        return end(CopyOutcome::TargetFailed, FormatTargetError(error));
      }
    }

    statement.assign(prefix);
    for (std::size_t j = 0; j < forms.size(); ++j) AppendValueLiteral(statement, (*row)[j], forms[j]);
    statement.back() = ')';  // the last literal's ","
    statement += ';';

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
