#include "engine/RowCopy.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
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
  if (StartsWith(typeText, "DATETIMEOFFSET(")) {
    ReadNumbers(typeText, column.scale, nullptr);
    return form(LiteralForm::DateTimeOffset);
  }
  if (StartsWith(typeText, "TIME(")) {
    ReadNumbers(typeText, column.scale, nullptr);
    return form(LiteralForm::Time);
  }
  if (StartsWith(typeText, "NCHAR(")) ReadNumbers(typeText, column.maxUnits, nullptr);
  // A CHAR(n) created NVARCHAR(n) so that its table's row fits holds as many units as NCHAR(n).
  if (mysqlType == mysql_type::String && StartsWith(typeText, "NVARCHAR(") &&
      typeText != "NVARCHAR(MAX)") {
    ReadNumbers(typeText, column.maxUnits, nullptr);
    column.varying = true;
  }
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
    case LiteralForm::DateTimeOffset: {
      const auto space = text.rfind(' ');
      const std::string_view offset =
          space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
      const auto digit = [&](std::size_t i) { return offset[i] >= '0' && offset[i] <= '9'; };
      const bool hasOffset = offset.size() == 9 && (offset[0] == '+' || offset[0] == '-') &&
                             digit(1) && digit(2) && offset[3] == ':' && digit(4) && digit(5) &&
                             offset[6] == ':' && digit(7) && digit(8);
      if (!hasOffset) {
        // Only a zero date comes without an offset: NULL, or refused in a primary key.
        if (SqlServerDateText(text, DateForm::DateTime, column.scale).kind != DateText::Kind::NoDate)
          return std::string("came without its offset from UTC");
        ColumnLiteral wall = column;
        wall.form = LiteralForm::DateTime;
        return AppendValueLiteral(out, cell, wall);
      }
      if (offset.substr(7) != "00" || offset.substr(1, 5) > "14:00")
        return "has the offset " + std::string(offset) +
               " from UTC, which DATETIMEOFFSET cannot hold (whole minutes, at most 14:00)";
      const DateText date = SqlServerDateText(text.substr(0, space), DateForm::DateTime, column.scale);
      if (date.kind != DateText::Kind::Value) return std::string("is no date and time SQL Server reads");
      AppendText(out, date.text + " " + std::string(offset.substr(0, 6)));
      return std::nullopt;
    }
    case LiteralForm::Text: {
      if (column.maxUnits > 0) {
        std::string_view trimmed = text;
        while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
        if (Utf16Units(trimmed) > column.maxUnits)
          return "needs more than the " + std::to_string(column.maxUnits) +
                 " UTF-16 code units of " + (column.varying ? "NVARCHAR(" : "NCHAR(") +
                 std::to_string(column.maxUnits) + ")";
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

LiteralKind KindOfLiteral(std::string_view literal) {
  if (literal.substr(0, 4) == "NULL") return LiteralKind::Null;
  if (literal.substr(0, 2) == "N'" || literal.substr(0, 5) == "CAST(") return LiteralKind::Text;
  if (literal.substr(0, 2) == "0x") return LiteralKind::Binary;
  if (literal.find_first_of("eE") != std::string_view::npos) return LiteralKind::Float;
  if (literal.find('.') != std::string_view::npos) return LiteralKind::Decimal;
  return LiteralKind::Integer;
}

bool KindsShareColumn(LiteralKind a, LiteralKind b, const ColumnLiteral& column) {
  if (a == b) return true;
  const bool integerAndDecimal = (a == LiteralKind::Integer && b == LiteralKind::Decimal) ||
                                 (a == LiteralKind::Decimal && b == LiteralKind::Integer);
  // int is DECIMAL(10, 0) beside a decimal; the column's check keeps every decimal literal
  // within DECIMAL(p, s), so the common type has at most max(10 + s, p) digits.
  return integerAndDecimal && column.form == LiteralForm::Decimal && column.scale + 10 <= 38;
}

InsertBatch::InsertBatch(std::string head, std::vector<ColumnLiteral> columns,
                         std::size_t maxRows, std::size_t maxBytes)
    : head_(std::move(head)),
      columns_(std::move(columns)),
      maxRows_(maxRows),
      maxBytes_(maxBytes),
      kinds_(columns_.size(), LiteralKind::Null) {}

bool InsertBatch::TryAdd(std::string_view literals, const std::vector<LiteralKind>& kinds) {
  if (!Empty()) {
    // "(" + the literals with their last "," as ")" + "," for the next row or the final ";".
    if (Rows() >= maxRows_ || head_.size() + rows_.size() + literals.size() + 2 > maxBytes_)
      return false;
    for (std::size_t j = 0; j < kinds_.size() && j < kinds.size(); ++j) {
      if (kinds[j] != LiteralKind::Null && kinds_[j] != LiteralKind::Null &&
          !KindsShareColumn(kinds_[j], kinds[j], columns_[j]))
        return false;
    }
  }
  for (std::size_t j = 0; j < kinds_.size() && j < kinds.size(); ++j) {
    if (kinds_[j] == LiteralKind::Null) kinds_[j] = kinds[j];
  }
  if (!literals.empty() && literals.back() == ',') literals.remove_suffix(1);
  rows_ += '(';
  rows_ += literals;
  rows_ += "),";
  ends_.push_back(rows_.size() - 1);
  return true;
}

std::string InsertBatch::Statement() const {
  std::string statement = head_ + rows_;
  if (!statement.empty() && statement.back() == ',') statement.back() = ';';
  return statement;
}

std::string InsertBatch::RowStatement(std::size_t i) const {
  const std::size_t begin = i == 0 ? 0 : ends_[i - 1] + 1;
  return head_ + rows_.substr(begin, ends_[i] - begin) + ";";
}

void InsertBatch::Clear() {
  rows_.clear();
  ends_.clear();
  kinds_.assign(columns_.size(), LiteralKind::Null);
}

namespace {
// TDS 7.2 and later send ALL_HEADERS before a batch's text.
constexpr std::uint64_t kBatchHeaderBytes = 22;

// A row whose statement SQL Server would refuse as a batch larger than `limit` bytes (its text
// counted in UTF-16): the column whose literal takes the most of it, so that the refusal can
// name it. The row's statement is `head` + "(" + `literals` with the last "," made ")" + ";";
// `literalEnds` holds where each column's literal ends in `literals`.
std::optional<std::size_t> ColumnOverBatchLimit(std::string_view head, std::string_view literals,
                                                const std::vector<std::size_t>& literalEnds,
                                                std::optional<std::uint64_t> limit) {
  constexpr std::uint64_t brackets = 2;  // "(" and ";"
  // UTF-16 never takes more than two bytes for each byte of UTF-8: most rows stop here.
  if (!limit ||
      kBatchHeaderBytes + 2 * (std::uint64_t{head.size()} + literals.size() + brackets) <= *limit) {
    return std::nullopt;
  }
  if (kBatchHeaderBytes +
          2 * (std::uint64_t{Utf16Units(head)} + Utf16Units(literals) + brackets) <= *limit)
    return std::nullopt;
  std::size_t largest = 0, largestSize = 0, begin = 0;
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

namespace {

// At the full pace the rows are read on a thread of their own while the statements go out. The
// reader copies rows into chunks and hands them over through a short queue, so memory stays the
// same at any table size. Until the pipe is closed only that thread uses the source connection;
// it ends between rows at a stop, and the cancel of the source ends a wait inside a row.
class RowPipe : public RowReader {
 public:
  RowPipe(RowReader& rows, StopSignal& stop)
      : rows_(rows), stop_(stop), thread_([this] { Read(); }) {}
  ~RowPipe() override { Close(); }
  RowPipe(const RowPipe&) = delete;
  RowPipe& operator=(const RowPipe&) = delete;

  // Ends the reading thread and waits for it: afterwards the caller has the connection again.
  void Close() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  const std::vector<Cell>* Next() override {
    while (!current_ || row_ == current_->rowEnds.size()) {
      current_.reset();
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return !queue_.empty() || finished_ || closed_; });
      if (queue_.empty()) return nullptr;
      current_ = std::move(queue_.front());
      queue_.pop_front();
      row_ = 0;
      lock.unlock();
      changed_.notify_all();
    }
    const std::size_t begin = row_ == 0 ? 0 : current_->rowEnds[row_ - 1];
    cells_.clear();
    for (std::size_t c = begin; c < current_->rowEnds[row_]; ++c) {
      const auto [offset, length] = current_->cells[c];
      const std::string_view bytes(current_->bytes);
      cells_.push_back(length == kNoValue ? Cell() : Cell(bytes.substr(offset, length)));
    }
    ++row_;
    return &cells_;
  }

  std::optional<std::string> Error() const override {
    std::lock_guard lock(mutex_);
    return error_;
  }

 private:
  static constexpr std::size_t kNoValue = static_cast<std::size_t>(-1);
  static constexpr std::size_t kChunkRows = 256;
  static constexpr std::size_t kChunkBytes = std::size_t{256} << 10;
  static constexpr std::size_t kQueuedChunks = 4;

  struct Chunk {
    std::string bytes;
    std::vector<std::pair<std::size_t, std::size_t>> cells;  // offset, length (kNoValue: NULL)
    std::vector<std::size_t> rowEnds;                        // past each row's last cell
  };

  void Read() {
    auto chunk = std::make_unique<Chunk>();
    bool handedOver = true;
    while (handedOver && !stop_.Requested()) {
      const std::vector<Cell>* row = rows_.Next();
      if (row == nullptr) break;
      for (const Cell& cell : *row) {
        if (!cell) {
          chunk->cells.emplace_back(0, kNoValue);
          continue;
        }
        chunk->cells.emplace_back(chunk->bytes.size(), cell->size());
        chunk->bytes += *cell;
      }
      chunk->rowEnds.push_back(chunk->cells.size());
      if (chunk->rowEnds.size() >= kChunkRows || chunk->bytes.size() >= kChunkBytes) {
        handedOver = HandOver(std::move(chunk));
        chunk = std::make_unique<Chunk>();
      }
    }
    if (handedOver && !chunk->rowEnds.empty()) HandOver(std::move(chunk));
    auto error = rows_.Error();
    {
      std::lock_guard lock(mutex_);
      error_ = std::move(error);
      finished_ = true;
    }
    changed_.notify_all();
  }

  // Waits for room in the queue; false when the pipe was closed meanwhile.
  bool HandOver(std::unique_ptr<Chunk> chunk) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kQueuedChunks || closed_; });
    if (closed_) return false;
    queue_.push_back(std::move(chunk));
    lock.unlock();
    changed_.notify_all();
    return true;
  }

  RowReader& rows_;
  StopSignal& stop_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Chunk>> queue_;
  bool closed_ = false, finished_ = false;
  std::optional<std::string> error_;
  std::unique_ptr<Chunk> current_;  // the writer's chunk
  std::size_t row_ = 0;
  std::vector<Cell> cells_;
  std::thread thread_;  // last: it starts once everything it uses exists
};

// The status line at the full pace: at most ten changes a second, however fast rows go.
constexpr std::chrono::milliseconds kStatusInterval{100};

}  // namespace

CopyResult CopyTableRows(SourceDatabase& source, TargetConnection& target, RowCopyWindow& window,
                         const std::string& table, const CopyOptions& options,
                         const std::string& targetTable) {
  // The listing comes first: while the rows stream in, the connection answers nothing else.
  const auto fields = source.FieldListing(table);
  std::vector<std::string> types;
  if (fields) {
    const bool profiled = options.profiles != nullptr && options.profiles->size() == fields->size();
    for (std::size_t j = 0; j < fields->size(); ++j)
      types.push_back(GetColumnType((*fields)[j], profiled ? (*options.profiles)[j] : ColumnProfile{}));
  }
  return CopyTableRows(source, target, window, table, fields ? *fields : std::vector<FieldRecord>{},
                       types, options, targetTable);
}

CopyResult CopyTableRows(SourceDatabase& source, TargetConnection& target, RowCopyWindow& window,
                         const std::string& table, const std::vector<FieldRecord>& fieldList,
                         const std::vector<std::string>& types, const CopyOptions& options,
                         const std::string& targetTable) {
  const std::vector<FieldRecord>* fields = &fieldList;
  CopyResult result;
  StopSignal neverStopped;
  StopSignal& stop = options.stop != nullptr ? *options.stop : neverStopped;
  const bool full = options.pace == Pace::Full;
  const std::chrono::milliseconds pause = full ? std::chrono::milliseconds(0) : options.pause;
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

  if (fields->empty() || types.size() != fields->size()) {
    return end(CopyOutcome::SourceFailed,
               "The columns of table " + table + " could not be read from MySQL.");
  }
  std::vector<ColumnLiteral> forms;
  bool hasIdentity = false;
  std::string head = "INSERT INTO " + Bracketed(into) + " (";
  for (std::size_t j = 0; j < fields->size(); ++j) {
    const FieldRecord& f = (*fields)[j];
    const std::string& type = types[j];
    forms.push_back(ColumnLiteralOf(type, f.type));
    forms.back().keepsNotNull = f.Has(mysql_flag::PriKey);
    hasIdentity = hasIdentity || f.Has(mysql_flag::AutoIncrement);
    if (&f != &fields->front()) head += ", ";
    head += Bracketed(f.org_name);
  }
  head += ") VALUES";

  std::string errorText;
  const auto sourceRows = source.ReadRows(table, *fields, errorText);
  if (!sourceRows) {
    return end(CopyOutcome::SourceFailed,
               "The rows of table " + table + " could not be read from MySQL: " + errorText);
  }
  // Declared after the source's rows, so that its thread has ended before they are freed.
  std::optional<RowPipe> pipe;
  if (full) pipe.emplace(*sourceRows, stop);
  RowReader& rows = full ? static_cast<RowReader&>(*pipe) : *sourceRows;

  const std::string status = StatusText(table);
  auto lastStatus = std::chrono::steady_clock::now() - kStatusInterval;
  auto writeStatus = [&] {
    const auto now = std::chrono::steady_clock::now();
    if (full && now - lastStatus < kStatusInterval) return;
    lastStatus = now;
    window.SetStatusText(status);
  };

  // Sends one row's statement as the gentle pace always has: a refusal shows its box and counts
  // the row. False when the copy must end (`ending` then says how).
  std::optional<CopyOutcome> ending;
  std::string endingReport;
  auto sendRow = [&](const std::string& statement) {
    if (stop.Requested()) {
      ending = CopyOutcome::Stopped;
      return false;
    }
    try {
      execute(statement);
      ++result.rowsCopied;
    } catch (const TargetError& error) {
      if (stop.Requested()) {  // cancelled, not refused
        ending = CopyOutcome::Stopped;
        return false;
      }
      ++result.rowsRefused;
      if (error.ConnectionLost()) {
        identityIsOn = false;  // nothing more goes over a broken connection
        ending = CopyOutcome::TargetFailed;
        endingReport = FormatTargetError(error);
        return false;
      }
      // The box offers to stop the run: a table whose every row is refused would otherwise
      // hold the user in one box after another.
      window.ShowMessage(FormatTargetError(error), MessageButtons::OkStop);
    }
    return true;
  };

  // The rows gathered at the full pace go in one statement. SQL Server stores all of its rows or
  // none: when it refuses, every row goes again on its own, so that each refused row is named
  // in its own box and counted, and every other row arrives.
  // SQL Server takes no batch larger than 65 536 times its packet size (the text in UTF-16): a
  // multi-row statement stays within that too, whatever the bound asked for.
  const auto& server = target.TargetServer.Get();
  const std::optional<std::uint64_t> batchLimit = server ? server->BatchLimit() : std::nullopt;
  std::size_t maxStatementBytes = options.maxStatementBytes;
  if (batchLimit && *batchLimit > kBatchHeaderBytes)
    maxStatementBytes = static_cast<std::size_t>(
        std::min<std::uint64_t>(maxStatementBytes, (*batchLimit - kBatchHeaderBytes) / 2));
  InsertBatch batch(head, forms, options.maxRowsPerStatement, maxStatementBytes);
  auto sendBatch = [&] {
    if (batch.Empty()) return true;
    bool sent = true;
    if (batch.Rows() == 1) {
      sent = sendRow(batch.RowStatement(0));
    } else if (stop.Requested()) {
      ending = CopyOutcome::Stopped;
      sent = false;
    } else {
      try {
        execute(batch.Statement());
        result.rowsCopied += batch.Rows();
      } catch (const TargetError& error) {
        if (stop.Requested()) {
          ending = CopyOutcome::Stopped;
          sent = false;
        } else if (error.ConnectionLost()) {
          result.rowsRefused += batch.Rows();
          identityIsOn = false;
          ending = CopyOutcome::TargetFailed;
          endingReport = FormatTargetError(error);
          sent = false;
        } else {
          for (std::size_t i = 0; i < batch.Rows() && sent; ++i)
            sent = sendRow(batch.RowStatement(i));
        }
      }
    }
    batch.Clear();
    return sent;
  };

  std::string literals;
  std::vector<LiteralKind> kinds(forms.size());
  std::vector<std::size_t> literalEnds;
  while (true) {
    if (stop.Requested()) return end(CopyOutcome::Stopped);
    const std::vector<Cell>* row = rows.Next();
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

    literals.clear();
    literalEnds.clear();
    std::optional<std::string> refusal;
    for (std::size_t j = 0; j < forms.size() && !refusal; ++j) {
      const std::size_t start = literals.size();
      refusal = AppendValueLiteral(literals, (*row)[j], forms[j]);
      literalEnds.push_back(literals.size());
      if (refusal) {
        ++result.rowsRefused;
        NameRefusedValue(options.report, table, (*fields)[j].org_name, *(*row)[j], forms[j].form,
                         *refusal, result.rowsRefused);
      } else {
        kinds[j] = KindOfLiteral(std::string_view(literals).substr(start));
      }
    }
    if (!refusal) {
      if (const auto j = ColumnOverBatchLimit(head, literals, literalEnds, batchLimit)) {
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
      if (!stop.Pause(pause)) return end(CopyOutcome::Stopped);
      writeStatus();
      continue;
    }

    if (full) {
      if (!batch.TryAdd(literals, kinds)) {
        if (!sendBatch()) return end(*ending, endingReport);
        writeStatus();
        batch.TryAdd(literals, kinds);
      }
      continue;
    }
    batch.TryAdd(literals, kinds);
    if (!sendBatch()) return end(*ending, endingReport);
    if (!stop.Pause(pause)) return end(CopyOutcome::Stopped);
    writeStatus();
  }
  if (!sendBatch()) return end(*ending, endingReport);
  if (full && result.rowsCopied + result.rowsRefused > 0) window.SetStatusText(status);

  if (const auto error = rows.Error()) {
    return end(CopyOutcome::SourceFailed,
               "Reading the rows of table " + table + " from MySQL failed after " +
                   std::to_string(result.rowsCopied + result.rowsRefused) + " row(s): " + *error);
  }
  return end(CopyOutcome::Completed);
}

}  // namespace morvane
