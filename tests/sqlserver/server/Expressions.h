#pragma once
// The values of expressions and the truth of search conditions, one evaluator for every place
// SQL Server takes them: DEFAULT, CHECK, computed columns, INSERT values and select lists. Types
// follow "Data type precedence" and "Precision, scale, and length"; conversions to a type go
// through ConvertLiteral (Convert.h), so every type it knows works in CAST and CONVERT.

#include <functional>
#include <optional>
#include <string>

#include "tests/sqlserver/server/Collation.h"
#include "tests/sqlserver/server/Convert.h"
#include "tests/sqlserver/server/Statements.h"
#include "tests/sqlserver/server/Types.h"

namespace morvane::tds {

// A value with its type. A uniqueidentifier (NEWID()) is not a column type of this server: it is
// carried as its 36-character text with `guid` set.
struct Typed {
  ColumnType type;
  Value value;
  bool guid = false;
  bool columnCollation = false;  // a column's value: its collation is implicit, not the default
  bool nullConstant = false;     // the NULL constant: no type of its own in + and -
};

// Three-valued logic: a comparison with NULL is UNKNOWN.
enum class Truth { False, True, Unknown };

// What an expression sees.
struct Scope {
  DateSettings dates;
  std::string collation = kDefaultCollation;  // the database's: that of constants
  // A column of the row (CHECK, computed columns, select lists); nullopt for an unknown name.
  // Without it, a column name is error 207.
  std::function<std::optional<Typed>(const std::string&)> column;
  // The session's functions and @@variables (OBJECT_ID, DB_NAME, @@SPID, ...): nullopt when the
  // name is not one of them.
  std::function<std::optional<Literal>(const Expression&)> session;
  // Typing only (a computed column's type): a CASE branch that fails to evaluate is left out
  // of the result type instead of failing.
  bool typing = false;
};

Typed Evaluate(const Expression& e, const Scope& scope);
// What SQL Server checks when it compiles an expression it keeps (DEFAULT, CHECK, computed
// columns): every function exists (195) and has a valid number of arguments (174, 189).
void CheckFunctions(const Expression& e, const Scope& scope);
Truth Test(const Expression& e, const Scope& scope);

// A constant of the batch with the type SQL Server gives it (int or numeric(p, 0) for integers,
// numeric(p, s), float, varchar(n) or nvarchar(n), varbinary(n); NULL as an int).
Typed TypedConstant(const Literal& l, const DateSettings& dates);
// The value as a constant of the batch (what ConvertLiteral converts).
Literal LiteralOf(const Typed& v);
// A value converted to a column type (Store) or for a comparison (Compare).
Value ConvertTyped(const Typed& v, const ColumnType& type, const DateSettings& dates,
                   Purpose purpose = Purpose::Store, const ConversionTarget* target = nullptr);
// The rank of a type in "Data type precedence" (higher wins).
int Precedence(const ColumnType& type, bool guid = false);
// The type two values of a VALUES column, CASE or COALESCE are converted to: the one of higher
// precedence, wide enough for both (lengths, precision and scale).
ColumnType CommonType(const ColumnType& a, const ColumnType& b);

// "Deterministic and nondeterministic functions": false when the expression can give another
// value for the same input. `columnType` gives the types of column references.
bool IsDeterministic(const Expression& e, const Scope& scope);
// Calls `f` with every column name the expression refers to.
void ForEachColumn(const Expression& e, const std::function<void(const std::string&)>& f);
// The text sys.check_constraints, sys.computed_columns and sys.default_constraints show: names
// in brackets, constants in parentheses, function names in lower case (this server's form; the
// documentation does not give SQL Server's).
std::string DefinitionText(const Expression& e);

// The type CAST and CONVERT name, with SQL Server's checks (Definitions.cpp).
ColumnType ResolveType(const ColumnDefinition& c, int ordinal);

}  // namespace morvane::tds
