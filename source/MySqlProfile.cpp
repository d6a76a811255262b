// The source reads that tell the engine what a table holds before it is created and after it
// is copied: the snapshot, one query per column, and the row count.
#include <mysql.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "source/MySqlResult.h"
#include "source/MySqlSource.h"

namespace morvane {
namespace {

// The cells of the first row of a one-row query; nothing when the server refuses.
std::optional<std::vector<std::optional<std::string>>> FirstRow(MYSQL* handle,
                                                                 const std::string& query) {
  if (mysql_real_query(handle, query.data(), query.size()) != 0) return std::nullopt;
  MySqlResult result(mysql_store_result(handle));
  if (!result) return std::nullopt;
  std::vector<std::optional<std::string>> cells(mysql_num_fields(result.get()));
  MYSQL_ROW row = mysql_fetch_row(result.get());
  if (row == nullptr) return cells;
  const unsigned long* lengths = mysql_fetch_lengths(result.get());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (row[i] != nullptr) cells[i] = std::string(row[i], lengths[i]);
  }
  return cells;
}

std::uint64_t Unsigned(const std::optional<std::string>& cell) {
  std::uint64_t n = 0;
  if (!cell) return 0;
  for (char c : *cell) {
    if (c < '0' || c > '9') break;
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return n;
}

// 'text' as a MySQL string literal.
std::string Quoted(MYSQL* handle, const std::string& text) {
  std::string out(text.size() * 2 + 1, '\0');
  const unsigned long length = mysql_real_escape_string(handle, out.data(), text.data(), text.size());
  out.resize(length);
  return "'" + out + "'";
}

// UTF-16 code units of the values of "enum('a','b''c')" or "set(...)": each value's units,
// with a quote doubled or a backslash escape counting as the one character it stands for.
std::vector<std::uint32_t> MemberUnits(std::string_view columnType) {
  std::vector<std::uint32_t> units;
  bool inside = false;
  for (std::size_t i = 0; i < columnType.size(); ++i) {
    const char c = columnType[i];
    if (!inside) {
      if (c == '\'') {
        inside = true;
        units.push_back(0);
      }
      continue;
    }
    if (c == '\'') {
      if (i + 1 < columnType.size() && columnType[i + 1] == '\'') {
        ++i;
        ++units.back();
      } else {
        inside = false;
      }
      continue;
    }
    if (c == '\\' && i + 1 < columnType.size()) {
      ++i;
      ++units.back();
      continue;
    }
    const auto b = static_cast<unsigned char>(c);
    if ((b & 0xC0) == 0x80) continue;
    units.back() += b >= 0xF0 ? 2 : 1;
  }
  return units;
}

}  // namespace

bool MySqlSourceDatabase::BeginSnapshot(std::string& errorText) {
  MYSQL* handle = connection_ ? connection_.get() : nullptr;
  if (handle == nullptr) {
    errorText = connection_.NotConnectedText();
    return false;
  }
  // MySQL 8 keeps TABLES statistics (the AUTO_INCREMENT counter among them) for a day unless
  // told otherwise; MariaDB has no such variable and refuses the statement, which is harmless.
  static constexpr std::string_view fresh = "SET SESSION information_schema_stats_expiry = 0";
  mysql_real_query(handle, fresh.data(), fresh.size());
  // One snapshot for every table only under REPEATABLE READ: under READ COMMITTED (a common
  // server setting) each statement would read the latest data. For the next transaction only.
  static constexpr std::string_view isolation =
      "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ";
  static constexpr std::string_view start =
      "START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY";
  if (mysql_real_query(handle, isolation.data(), isolation.size()) != 0 ||
      mysql_real_query(handle, start.data(), start.size()) != 0) {
    errorText = mysql_error(handle);
    return false;
  }
  return true;
}

void MySqlSourceDatabase::EndSnapshot() {
  // A connection closed by Cancel has ended its transaction: nothing to end, and nothing to
  // open again for it.
  MYSQL* handle = connection_.IfOpen();
  if (handle == nullptr) return;
  static constexpr std::string_view commit = "COMMIT";
  mysql_real_query(handle, commit.data(), commit.size());
}

std::vector<SourceDatabase::TableEngine> MySqlSourceDatabase::TablesOutsideSnapshot(
    const std::vector<std::string>& tables) {
  std::vector<TableEngine> outside;
  MYSQL* handle = connection_ ? connection_.get() : nullptr;
  if (handle == nullptr || tables.empty()) return outside;
  // Views have no engine; an engine the server does not list is taken to have no
  // transactions.
  static constexpr std::string_view query =
      "SELECT t.TABLE_NAME, t.ENGINE FROM information_schema.TABLES t "
      "LEFT JOIN information_schema.ENGINES e ON e.ENGINE = t.ENGINE "
      "WHERE t.TABLE_SCHEMA = DATABASE() AND t.ENGINE IS NOT NULL "
      "AND COALESCE(e.TRANSACTIONS, 'NO') <> 'YES' ORDER BY t.TABLE_NAME";
  if (mysql_real_query(handle, query.data(), query.size()) != 0) return outside;
  MySqlResult result(mysql_store_result(handle));
  if (!result) return outside;
  while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
    const unsigned long* lengths = mysql_fetch_lengths(result.get());
    if (row[0] == nullptr || row[1] == nullptr) continue;
    std::string name(row[0], lengths[0]);
    if (std::find(tables.begin(), tables.end(), name) == tables.end()) continue;
    outside.push_back({std::move(name), std::string(row[1], lengths[1])});
  }
  return outside;
}

std::optional<std::uint64_t> MySqlSourceDatabase::CountRows(const std::string& table) {
  MYSQL* handle = connection_ ? connection_.get() : nullptr;
  if (handle == nullptr) return std::nullopt;
  const auto row = FirstRow(handle, "SELECT COUNT(*) FROM " + Backticked(table));
  if (!row || row->empty() || !(*row)[0]) return std::nullopt;
  return Unsigned((*row)[0]);
}

std::optional<bool> MySqlSourceDatabase::ValuesUnique(const std::string& table,
                                                      const std::vector<std::string>& columns) {
  if (!connection_ || columns.empty()) return std::nullopt;
  // GROUP BY puts the NULLs of a column together, as one value.
  std::string list;
  for (const auto& c : columns) list += (list.empty() ? "" : ", ") + Backticked(c);
  const auto row = FirstRow(connection_.get(), "SELECT EXISTS(SELECT 1 FROM " + Backticked(table) +
                                                   " GROUP BY " + list + " HAVING COUNT(*) > 1)");
  if (!row || row->empty() || !(*row)[0]) return std::nullopt;
  return Unsigned((*row)[0]) == 0;
}

std::optional<ColumnProfile> MySqlSourceDatabase::ProfileColumn(const std::string& table,
                                                                const FieldRecord& field) {
  const ProfileQuery query = ProfileQueryOf(field);
  ColumnProfile profile;
  if (query == ProfileQuery::NoQuery) return profile;
  MYSQL* handle = connection_ ? connection_.get() : nullptr;
  if (handle == nullptr) return std::nullopt;
  const std::string c = Backticked(field.org_name);
  const std::string from = " FROM " + Backticked(table);
  switch (query) {
    case ProfileQuery::EnumValues:
    case ProfileQuery::SetValues: {
      const auto row = FirstRow(handle,
                                "SELECT COLUMN_TYPE FROM information_schema.COLUMNS WHERE "
                                "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = " +
                                    Quoted(handle, table) +
                                    " AND COLUMN_NAME = " + Quoted(handle, field.org_name));
      if (!row || row->empty() || !(*row)[0]) return std::nullopt;
      const auto members = MemberUnits(*(*row)[0]);
      for (std::uint32_t units : members) {
        if (query == ProfileQuery::EnumValues) {
          profile.longestValue = std::max(profile.longestValue, units);
        } else {
          profile.longestValue += units;
        }
      }
      if (query == ProfileQuery::SetValues && members.size() > 1)
        profile.longestValue += static_cast<std::uint32_t>(members.size() - 1);  // the commas
      return profile;
    }
    case ProfileQuery::TimeRange: {
      const auto row = FirstRow(handle, "SELECT EXISTS(SELECT 1" + from + " WHERE " + c +
                                            " < TIME'00:00:00' OR " + c + " >= TIME'24:00:00')");
      if (!row || row->empty()) return std::nullopt;
      profile.timeBeyondDay = Unsigned((*row)[0]) != 0;
      return profile;
    }
    case ProfileQuery::DecimalDigits: {
      const std::string text = "CAST(" + c + " AS CHAR)";
      const auto row = FirstRow(
          handle, "SELECT MAX(LENGTH(TRIM(LEADING '0' FROM SUBSTRING_INDEX(REPLACE(" + text +
                      ", '-', ''), '.', 1)))), MAX(LENGTH(TRIM(TRAILING '0' FROM IF(LOCATE('.', " +
                      text + ") > 0, SUBSTRING_INDEX(" + text + ", '.', -1), ''))))" + from);
      if (!row || row->size() < 2) return std::nullopt;
      profile.integerDigits = static_cast<std::uint32_t>(Unsigned((*row)[0]));
      profile.fractionDigits = static_cast<std::uint32_t>(Unsigned((*row)[1]));
      return profile;
    }
    case ProfileQuery::ZeroDates: {
      // A TIMESTAMP is an instant: UNIX_TIMESTAMP gives it as stored, while the same of its wall
      // time gives the one instant the session's time zone takes that wall time for.
      const bool instant = field.type == mysql_type::Timestamp;
      const auto row = FirstRow(
          handle, "SELECT SUM(YEAR(" + c + ") = 0 OR MONTH(" + c + ") = 0 OR DAYOFMONTH(" + c +
                      ") = 0)" +
                      (instant ? ", SUM(UNIX_TIMESTAMP(" + c + ") <> UNIX_TIMESTAMP(CAST(" + c +
                                     " AS DATETIME(6))))"
                               : std::string()) +
                      from);
      if (!row || row->size() < (instant ? 2u : 1u)) return std::nullopt;
      profile.zeroDates = Unsigned((*row)[0]);
      if (instant) {
        profile.repeatedWallTimes = Unsigned((*row)[1]);
        if (profile.repeatedWallTimes > 0) offsetColumns_.insert({table, field.org_name});
        else offsetColumns_.erase({table, field.org_name});
      }
      return profile;
    }
    case ProfileQuery::NoQuery: break;
  }
  return profile;
}

}  // namespace morvane
