// The schema reads of MySqlSourceDatabase: SHOW INDEX and information_schema, one table at a
// time, over the same connection as the field listing.
#include <mysql.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "source/AsciiText.h"
#include "source/MySqlResult.h"
#include "source/MySqlSource.h"
#include "source/SchemaText.h"

namespace morvane {
namespace {

using Value = std::optional<std::string>;
using Rows = std::vector<std::vector<Value>>;

// Every row of the statement's result, all cells as text; nothing when the server refuses.
std::optional<Rows> QueryRows(MYSQL* handle, const std::string& statement) {
  if (mysql_real_query(handle, statement.data(), statement.size()) != 0) return std::nullopt;
  MySqlResult result(mysql_store_result(handle));
  if (!result) return std::nullopt;
  const unsigned int count = mysql_num_fields(result.get());
  Rows rows;
  while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
    const unsigned long* lengths = mysql_fetch_lengths(result.get());
    std::vector<Value> cells(count);
    for (unsigned int i = 0; i < count; ++i) {
      if (row[i] != nullptr) cells[i] = std::string(row[i], lengths[i]);
    }
    rows.push_back(std::move(cells));
  }
  return rows;
}

// 'text' as a MySQL string literal, escaped by the client library for the connection's set.
std::string Literal(MYSQL* handle, const std::string& text) {
  std::string buffer(text.size() * 2 + 1, '\0');
  const unsigned long length =
      mysql_real_escape_string(handle, buffer.data(), text.data(), text.size());
  return "'" + buffer.substr(0, length) + "'";
}

std::string Text(const Value& v) { return v ? *v : std::string(); }

bool ReadIndexes(MYSQL* handle, const std::string& table, TableSchema& schema) {
  // SHOW INDEX keeps the table's own order of keys (the primary key first) and columns.
  // Columns: Table, Non_unique, Key_name, Seq_in_index, Column_name, Collation, Cardinality,
  // Sub_part, Packed, Null, Index_type, ...
  const auto rows = QueryRows(handle, "SHOW INDEX FROM " + Backticked(table));
  if (!rows) return false;
  for (const auto& row : *rows) {
    if (row.size() < 11) return false;
    const std::string name = Text(row[2]);
    if (schema.indexes.empty() || schema.indexes.back().name != name) {
      IndexInfo index;
      index.name = name;
      index.unique = Text(row[1]) == "0";
      index.type = Text(row[10]);
      schema.indexes.push_back(std::move(index));
    }
    IndexColumn column;
    column.name = Text(row[4]);  // NULL for an expression part (MySQL 8)
    if (row[7]) column.prefix = static_cast<std::uint32_t>(std::strtoul(row[7]->c_str(), nullptr, 10));
    column.nullable = Text(row[9]) == "YES";
    schema.indexes.back().columns.push_back(std::move(column));
  }
  return true;
}

bool ReadColumns(MYSQL* handle, const std::string& where, TableSchema& schema) {
  const bool mariaDb = std::strstr(mysql_get_server_info(handle), "MariaDB") != nullptr;
  const auto rows = QueryRows(
      handle,
      "SELECT COLUMN_NAME, COLUMN_DEFAULT, IS_NULLABLE, COLLATION_NAME, EXTRA, "
      "GENERATION_EXPRESSION, CHARACTER_SET_NAME, CHARACTER_MAXIMUM_LENGTH, DATA_TYPE "
      "FROM information_schema.COLUMNS" + where +
          " ORDER BY ORDINAL_POSITION");
  if (!rows) return false;
  for (const auto& row : *rows) {
    ColumnInfo column;
    column.name = Text(row[0]);
    column.extra = Text(row[4]);
    const ColumnDefault parsed =
        DecodedBinaryDefault(ParseColumnDefault(row[1], column.extra, mariaDb), Text(row[8]), mariaDb);
    column.defaultKind = parsed.kind;
    column.defaultValue = parsed.value;
    column.nullable = Text(row[2]) == "YES";
    column.collation = Text(row[3]);
    column.generationExpression = Text(row[5]);
    column.characterSet = Text(row[6]);
    if (row[7]) column.maxCharacters = std::strtoull(row[7]->c_str(), nullptr, 10);
    schema.columns.push_back(std::move(column));
  }
  return true;
}

bool ReadForeignKeys(MYSQL* handle, const std::string& table, TableSchema& schema) {
  const auto rows = QueryRows(
      handle,
      "SELECT k.CONSTRAINT_NAME, k.COLUMN_NAME, k.REFERENCED_TABLE_SCHEMA, "
      "k.REFERENCED_TABLE_NAME, k.REFERENCED_COLUMN_NAME, r.UPDATE_RULE, r.DELETE_RULE, "
      "k.REFERENCED_TABLE_SCHEMA = DATABASE() "
      "FROM information_schema.KEY_COLUMN_USAGE k "
      "JOIN information_schema.REFERENTIAL_CONSTRAINTS r "
      "ON r.CONSTRAINT_SCHEMA = k.CONSTRAINT_SCHEMA AND r.CONSTRAINT_NAME = k.CONSTRAINT_NAME "
      "AND r.TABLE_NAME = k.TABLE_NAME "
      "WHERE k.TABLE_SCHEMA = DATABASE() AND k.TABLE_NAME = " + Literal(handle, table) +
          " AND k.REFERENCED_TABLE_NAME IS NOT NULL "
          "ORDER BY k.CONSTRAINT_NAME, k.ORDINAL_POSITION");
  if (!rows) return false;
  for (const auto& row : *rows) {
    const std::string name = Text(row[0]);
    if (schema.foreignKeys.empty() || schema.foreignKeys.back().name != name) {
      ForeignKeyInfo key;
      key.name = name;
      key.referencedSchema = Text(row[2]);
      key.referencedTable = Text(row[3]);
      key.onUpdate = Text(row[5]);
      key.onDelete = Text(row[6]);
      key.sameDatabase = Text(row[7]) == "1";
      schema.foreignKeys.push_back(std::move(key));
    }
    schema.foreignKeys.back().columns.push_back(Text(row[1]));
    schema.foreignKeys.back().referencedColumns.push_back(Text(row[4]));
  }
  return true;
}

// The names a one-column query gives; an older server without the view gives none.
std::vector<std::string> Names(MYSQL* handle, const std::string& statement) {
  std::vector<std::string> names;
  if (const auto rows = QueryRows(handle, statement)) {
    for (const auto& row : *rows) names.push_back(Text(row[0]));
  }
  return names;
}

}  // namespace

std::optional<TableSchema> MySqlSourceDatabase::Schema(const std::string& table) {
  MYSQL* handle = connection_ ? connection_.get() : nullptr;
  if (handle == nullptr) return std::nullopt;
  const std::string where =
      " WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = " + Literal(handle, table);
  TableSchema schema;
  if (!ReadColumns(handle, where, schema) || schema.columns.empty()) return std::nullopt;
  if (!ReadIndexes(handle, table, schema)) return std::nullopt;
  if (!ReadForeignKeys(handle, table, schema)) return std::nullopt;

  schema.checkConstraints = Names(
      handle, "SELECT CONSTRAINT_NAME FROM information_schema.TABLE_CONSTRAINTS" + where +
                  " AND CONSTRAINT_TYPE = 'CHECK' ORDER BY CONSTRAINT_NAME");
  schema.triggers = Names(handle,
                          "SELECT TRIGGER_NAME FROM information_schema.TRIGGERS WHERE "
                          "EVENT_OBJECT_SCHEMA = DATABASE() AND EVENT_OBJECT_TABLE = " +
                              Literal(handle, table) + " ORDER BY TRIGGER_NAME");

  // The counter as it is now: the session reads TABLES fresh (BeginSnapshot sets it).
  const auto tables =
      QueryRows(handle, "SELECT TABLE_TYPE, AUTO_INCREMENT FROM information_schema.TABLES" + where);
  if (tables && !tables->empty()) {
    const auto& row = tables->front();
    schema.tableType = Text(row[0]);
    schema.isView = schema.tableType == "VIEW";
    const bool identity = std::any_of(schema.columns.begin(), schema.columns.end(), [](const auto& c) {
      return AsciiLowerText(c.extra).find("auto_increment") != std::string::npos;
    });
    if (row[1] && identity) schema.autoIncrement = std::strtoull(row[1]->c_str(), nullptr, 10);
  }
  return schema;
}

}  // namespace morvane
