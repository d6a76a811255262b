// INSERT ... VALUES: conversion of every value, NULL checks, identity and row version values,
// unique keys; the statement stores all of its rows or none of them.

#include "tests/sqlserver/server/Expressions.h"
#include "tests/sqlserver/server/Session.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {

Session::Outcome Session::InsertRows(const Insert& s) {
  std::lock_guard lock(catalogue_.mutex);
  Database* db = nullptr;
  Table* t = FindTable(s.table, &db);
  if (!t) throw SqlError(208, 16, "Invalid object name '" + s.table.written + "'.", ErrorScope::Batch);
  if (s.rows.size() > 1000) {
    throw SqlError(10738, 15,
                   "The number of row value expressions in the INSERT statement exceeds the "
                   "maximum allowed number of 1000 row values.",
                   ErrorScope::Batch);
  }
  const std::string qualified = db->name + ".dbo." + t->name;
  const bool identityInsert = identityInsert_ &&
                              EqualsIgnoringCase(identityInsert_->first, db->name) &&
                              EqualsIgnoringCase(identityInsert_->second, t->name);
  std::optional<std::size_t> identityColumn;
  for (std::size_t i = 0; i < t->columns.size(); ++i) {
    if (t->columns[i].identity) identityColumn = i;
  }

  // The target columns, in the order of the values.
  std::vector<std::size_t> targets;
  if (s.columnList) {
    for (const auto& name : s.columns) {
      auto at = t->ColumnIndex(name);
      if (!at) throw SqlError(207, 16, "Invalid column name '" + name + "'.", ErrorScope::Batch);
      for (std::size_t seen : targets) {
        if (seen == *at) {
          throw SqlError(264, 16,
                         "The column name '" + t->columns[*at].name +
                             "' is specified more than once in the SET clause or column list of "
                             "an INSERT. A column cannot be assigned more than one value in the "
                             "same clause. Modify the clause to make sure that a column is "
                             "updated only once. If this statement updates or inserts columns "
                             "into a view, column aliasing can conceal the duplication in your "
                             "code.",
                         ErrorScope::Batch);
        }
      }
      if (t->columns[*at].computed) {
        throw SqlError(271, 16,
                       "The column \"" + t->columns[*at].name +
                           "\" cannot be modified because it is either a computed column or is the result "
                           "of a UNION operator.",
                       ErrorScope::Batch);
      }
      targets.push_back(*at);
    }
  } else {
    for (std::size_t i = 0; i < t->columns.size(); ++i) {
      if (!t->columns[i].identity && !t->columns[i].computed) targets.push_back(i);
    }
  }
  for (const auto& row : s.rows) {
    if (s.columnList && row.size() < targets.size()) {
      throw SqlError(109, 15,
                     "There are more columns in the INSERT statement than values specified in "
                     "the VALUES clause. The number of values in the VALUES clause must match "
                     "the number of columns specified in the INSERT statement.",
                     ErrorScope::Batch);
    }
    if (s.columnList && row.size() > targets.size()) {
      throw SqlError(110, 15,
                     "There are fewer columns in the INSERT statement than values specified in "
                     "the VALUES clause. The number of values in the VALUES clause must match "
                     "the number of columns specified in the INSERT statement.",
                     ErrorScope::Batch);
    }
    if (!s.columnList && row.size() != targets.size()) {
      if (identityInsert && identityColumn && row.size() == targets.size() + 1) {
        throw SqlError(8101, 16,
                       "An explicit value for the identity column in table '" + qualified +
                           "' can only be specified when a column list is used and "
                           "IDENTITY_INSERT is ON.");
      }
      throw SqlError(213, 16, "Column name or number of supplied values does not match table definition.");
    }
  }
  bool explicitIdentity = false;
  for (std::size_t c : targets) explicitIdentity = explicitIdentity || t->columns[c].identity;
  if (explicitIdentity && !identityInsert) {
    throw SqlError(544, 16,
                   "Cannot insert explicit value for identity column in table '" + t->name +
                       "' when IDENTITY_INSERT is set to OFF.");
  }
  if (identityInsert && identityColumn && !explicitIdentity) {
    throw SqlError(545, 16,
                   "Explicit value must be specified for identity column in table '" + t->name +
                       "' either when IDENTITY_INSERT is set to ON or when a replication user is "
                       "inserting into a NOT FOR REPLICATION identity column.");
  }

  // The values, typed. The rows of a VALUES list are typed like a UNION ALL ("Table Value
  // Constructor"): each column's values convert to the type of highest precedence among them
  // (the NULL constant takes no part).
  const Scope scope = ExpressionScope();
  std::vector<std::vector<Typed>> typed;
  for (const auto& values : s.rows) {
    std::vector<Typed> row;
    for (const auto& value : values) row.push_back(tds::Evaluate(value, scope));
    typed.push_back(std::move(row));
  }
  if (typed.size() > 1) {
    auto isNullConstant = [](const Expression& e) {
      return e.kind == Expression::Kind::Literal && e.literal.kind == Literal::Kind::Null;
    };
    for (std::size_t v = 0; v < targets.size(); ++v) {
      std::optional<ColumnType> common;
      for (std::size_t r = 0; r < typed.size(); ++r) {
        if (isNullConstant(s.rows[r][v]) || typed[r][v].guid) continue;
        common = common ? CommonType(*common, typed[r][v].type) : typed[r][v].type;
      }
      if (!common) continue;
      for (auto& row : typed) {
        Typed& value = row[v];
        if (IsNull(value.value) || value.guid || value.type.kind == common->kind) continue;
        value = {*common, ConvertTyped(value, *common, options_.dates, Purpose::Compare)};
      }
    }
  }

  std::vector<Row> newRows;
  std::vector<std::set<std::string>> pending(t->indexes.size());
  std::optional<std::int64_t> identity = t->lastIdentity;
  std::uint64_t rowVersion = db->rowVersion;
  for (const auto& values : typed) {
    Row row(t->columns.size());
    std::vector<bool> given(t->columns.size(), false);
    for (std::size_t v = 0; v < values.size(); ++v) {
      const Column& col = t->columns[targets[v]];
      const ConversionTarget target{qualified, col.name};
      row[targets[v]] = ConvertTyped(values[v], col.type, options_.dates, Purpose::Store, &target);
      given[targets[v]] = true;
    }
    for (std::size_t c = 0; c < t->columns.size(); ++c) {
      const Column& col = t->columns[c];
      if (!given[c] && !col.identity && !col.computed && col.type.kind != Kind::Timestamp) {
        row[c] = DefaultOf(col, qualified);
      }
      if (col.identity && !given[c]) {
        std::int64_t next = identity ? *identity + col.increment : col.seed;
        Int128 max = col.type.kind == Kind::Decimal ? Pow10(col.type.precision) - 1
                                                    : *IntegerRangeMax(col.type.kind);
        if (next > max || next < (col.type.kind == Kind::Decimal ? -max : IntegerRangeMin(col.type.kind))) {
          throw SqlError(8115, 16, "Arithmetic overflow error converting IDENTITY to data type " +
                                       TypeName(col.type.kind) + ".");
        }
        identity = next;
        t->lastIdentity = identity;  // identity values are spent even when the statement fails
        row[c] = col.type.kind == Kind::Decimal ? Value(DecimalValue{next, 0}) : Value(next);
      } else if (col.identity && given[c] && !IsNull(row[c])) {
        std::int64_t v = col.type.kind == Kind::Decimal
                             ? static_cast<std::int64_t>(std::get<DecimalValue>(row[c]).units)
                             : std::get<std::int64_t>(row[c]);
        if (!identity || (col.increment > 0 ? v > *identity : v < *identity)) identity = v;
      }
      if (col.type.kind == Kind::Timestamp) {
        ++rowVersion;
        Bytes b(8);
        for (int i = 0; i < 8; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rowVersion >> (8 * (7 - i)));
        row[c] = b;
      }
    }
    ComputeColumns(*t, row);
    for (std::size_t c = 0; c < t->columns.size(); ++c) {
      const Column& col = t->columns[c];
      if (IsNull(row[c]) && !col.nullable) {
        throw SqlError(515, 16,
                       "Cannot insert the value NULL into column '" + col.name + "', table '" +
                           qualified + "'; column does not allow nulls. INSERT fails.");
      }
    }
    CheckRow(*db, *t, row, "INSERT");
    for (const Index& index : t->indexes) {
      if (!InIndex(index, row)) continue;
      int bytes = KeyBytes(*t, index, row);
      if (bytes > KeyLimit(index)) {
        throw SqlError(1946, 16,
                       "Operation failed. The index entry of length " + std::to_string(bytes) +
                           " bytes for the index '" + index.name + "' exceeds the maximum length of " +
                           std::to_string(KeyLimit(index)) + " bytes for " +
                           (index.clustered ? "clustered" : "nonclustered") + " indexes.");
      }
    }
    for (std::size_t i = 0; i < t->indexes.size(); ++i) {
      const Index& index = t->indexes[i];
      if (!index.unique || !InIndex(index, row)) continue;
      std::string key = IndexKey(*t, index, row);
      if (index.keys.count(key) || !pending[i].insert(key).second) {
        if (index.primaryKey || index.uniqueConstraint) {
          throw SqlError(2627, 14,
                         "Violation of " + std::string(index.primaryKey ? "PRIMARY KEY" : "UNIQUE KEY") +
                             " constraint '" + index.name + "'. Cannot insert duplicate key in object 'dbo." +
                             t->name + "'. The duplicate key value is " + KeyDisplay(index, row) + ".");
        }
        throw SqlError(2601, 14,
                       "Cannot insert duplicate key row in object 'dbo." + t->name +
                           "' with unique index '" + index.name + "'. The duplicate key value is " +
                           KeyDisplay(index, row) + ".");
      }
    }
    newRows.push_back(std::move(row));
  }
  CheckParents(*db, *t, newRows, "INSERT");
  for (std::size_t i = 0; i < t->indexes.size(); ++i) t->indexes[i].keys.merge(pending[i]);
  t->lastIdentity = identity;
  db->rowVersion = rowVersion;
  if (identityColumn && !newRows.empty()) {
    const Value& v = newRows.back()[*identityColumn];
    if (auto* i = std::get_if<std::int64_t>(&v)) lastIdentity_ = *i;
    if (auto* d = std::get_if<DecimalValue>(&v)) lastIdentity_ = static_cast<std::int64_t>(d->units);
  }
  for (auto& row : newRows) t->rows.push_back(std::move(row));
  return {true, s.rows.size(), 0xC3};
}

}  // namespace morvane::tds
