// CHECK constraints and computed columns: their making (CREATE TABLE, ALTER TABLE ... ADD CHECK),
// the values of computed columns for new rows, and the checks of rows against the constraints.

#include "tests/sqlserver/server/Session.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {
namespace {

SqlError Err(int number, std::string text) { return SqlError(number, 16, std::move(text)); }

// What an expression of a table sees: the columns of `row`, or (typing) NULLs of their types.
Scope RowScope(Scope scope, const Table& t, const Row* row) {
  scope.column = [&t, row](const std::string& name) -> std::optional<Typed> {
    auto at = t.ColumnIndex(name);
    if (!at) return std::nullopt;
    Typed v{t.columns[*at].type, row ? (*row)[*at] : Value{}};
    v.columnCollation = true;
    return v;
  };
  scope.typing = row == nullptr;
  return scope;
}

}  // namespace

CheckConstraint Session::MakeCheck(Database& db, const Table& t, const CheckDefinition& d, int parentColumn) {
  CheckConstraint c;
  c.objectId = catalogue_.nextObjectId;
  catalogue_.nextObjectId += 16007;
  const std::string column = parentColumn > 0 ? t.columns[static_cast<std::size_t>(parentColumn - 1)].name : "";
  c.name = d.name.empty() ? GeneratedName("CK", t.name, column, c.objectId) : d.name;
  c.condition = d.condition;
  c.parentColumn = parentColumn;
  ForEachColumn(d.condition, [&](const std::string& name) {
    auto at = t.ColumnIndex(name);
    if (!at) throw SqlError(207, 16, "Invalid column name '" + name + "'.", ErrorScope::Batch);
    if (parentColumn > 0 && static_cast<int>(*at) != parentColumn - 1) {
      throw Err(8141, "Column CHECK constraint for column '" + column + "' references another column, table '" +
                          t.name + "'.");
    }
  });
  CheckFunctions(d.condition, ExpressionScope());
  c.definition = "(" + DefinitionText(d.condition) + ")";
  if (db.objectNames.count(c.name)) {
    throw Err(2714, "There is already an object named '" + c.name + "' in the database.");
  }
  return c;
}

void Session::ResolveComputed(Table& t) {
  const Scope typing = RowScope(ExpressionScope(), t, nullptr);
  for (Column& c : t.columns) {
    if (!c.computed) continue;
    ForEachColumn(*c.computed, [&](const std::string& name) {
      auto at = t.ColumnIndex(name);
      if (!at) throw SqlError(207, 16, "Invalid column name '" + name + "'.", ErrorScope::Batch);
      if (t.columns[*at].computed) {
        throw Err(1759, "Computed column '" + t.columns[*at].name + "' in table '" + t.name +
                            "' is not allowed to be used in another computed-column definition.");
      }
    });
    CheckFunctions(*c.computed, typing);
    Typed v = tds::Evaluate(*c.computed, typing);
    c.type = v.type;
    if (v.guid) throw NotModelled("computed columns of type uniqueidentifier");
    c.deterministic = IsDeterministic(*c.computed, typing);
    c.computedDefinition = "(" + DefinitionText(*c.computed) + ")";
    if (c.persisted && !c.deterministic) {
      throw Err(4936, "Computed column '" + c.name + "' in table '" + t.name +
                          "' cannot be persisted because the column is non-deterministic.");
    }
  }
}

void Session::ComputeColumns(const Table& t, Row& row) {
  const Scope scope = RowScope(ExpressionScope(), t, &row);
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    const Column& c = t.columns[i];
    if (!c.computed) continue;
    Typed v = tds::Evaluate(*c.computed, scope);
    row[i] = v.type.kind == c.type.kind || IsNull(v.value) ? v.value
                                                           : ConvertTyped(v, c.type, options_.dates, Purpose::Compare);
  }
}

void Session::CheckRow(const Database& db, const Table& t, const Row& row, const char* statement) {
  const Scope scope = RowScope(ExpressionScope(), t, &row);
  for (const CheckConstraint& c : t.checks) {
    if (Test(c.condition, scope) != Truth::False) continue;  // UNKNOWN passes
    std::string column;
    if (c.parentColumn > 0) column = ", column '" + t.columns[static_cast<std::size_t>(c.parentColumn - 1)].name + "'";
    throw Err(547, std::string("The ") + statement + " statement conflicted with the CHECK constraint \"" + c.name +
                       "\". The conflict occurred in database \"" + db.name + "\", table \"dbo." + t.name + "\"" +
                       column + ".");
  }
}

Session::Outcome Session::AddCheck(Database& db, Table& t, const CheckDefinition& d, bool noCheck) {
  CheckConstraint c = MakeCheck(db, t, d, 0);
  c.notTrusted = noCheck;
  // WITH CHECK (the default for a new constraint): the rows already there must pass.
  if (!noCheck) {
    Table probe;
    probe.name = t.name;
    probe.columns = t.columns;
    probe.collation = t.collation;
    probe.checks = {c};
    for (const Row& row : t.rows) CheckRow(db, probe, row, "ALTER TABLE");
  }
  db.objectNames.insert(c.name);
  t.checks.push_back(std::move(c));
  return {};
}

}  // namespace morvane::tds
