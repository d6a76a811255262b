#pragma once
// MySQL's expressions (expression defaults, CHECK constraints, generated columns) written as
// T-SQL that computes the same value, or the reason why that cannot be done.
//
// The text is read as information_schema shows it: MariaDB's form (`current_timestamp()`,
// `curdate()`, `(1 + 1)`, `json_valid(\`c\`)`, strings with backslash escapes) and MySQL 8's
// (backticks, charset introducers such as _utf8mb4'...', the whole text with its quotes escaped
// as \', extra parentheses). Where T-SQL computes something else than MySQL for the same words
// (integer division, division by zero, text compared with numbers, CONCAT with NULL, trailing
// blanks, LIKE's brackets and escapes, date arithmetic on DATE), the translation is written so
// that it computes MySQL's value, or the expression is refused: it is never translated into
// something that computes a different value. Collations: text is compared only under a MySQL
// binary collation with PAD SPACE (`_bin`, which the table's column gets as
// Latin1_General_100_BIN2); the case- and accent-insensitive collations of the two servers do not
// agree on accents and letters such as ß, and NO PAD collations do not ignore trailing blanks.
// MySQL's division of exact numbers shows 4 more decimals than its dividend
// (div_precision_increment's default) but keeps its quotient cut after 9, 18 or 27 decimals: a
// translated division compared with something is rounded to the shown decimals, a division as the
// whole value gives the kept quotient (what MySQL stores into a DECIMAL or DOUBLE column), and a
// division computed on further is refused.
//
// For a default or a computed column the value is the expression's own: the caller converts it to
// the column's type as MySQL does on storing (MySQL rounds a decimal stored into an integer
// column, where T-SQL's CAST cuts it off, and writes a division stored into text with its shown
// decimals).

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

// Where the expression stands, which decides whether a truth value or a value is wanted.
enum class ExpressionUse {
  Default,   // DEFAULT (expr): a value; no column may be referenced
  Computed,  // a computed column: a value
  Check,     // a CHECK constraint: a condition
};

// A column the expression may reference, as the table is created on SQL Server.
struct ExpressionColumn {
  std::string name;        // as MySQL names it (the same on SQL Server)
  std::string targetType;  // the SQL Server type the column gets: INT, NVARCHAR(40), DATETIME2(3)
  std::string mysqlType;   // information_schema's COLUMN_TYPE: int(11), decimal(10,2) unsigned
  std::string collation;   // MySQL's COLLATION_NAME for text columns, else empty
  bool nullable = true;
  // Facts about the stored values that a translation depends on; nullopt when not looked at.
  std::optional<bool> storesJsonScalar;  // a stored value is a JSON scalar (1, "a", true)
  // For each JSON path looked at: true when every stored value at that path is missing, a
  // string, a number or a boolean, and at most 4000 characters long.
  std::map<std::string, bool> jsonScalarAtPath;
};

struct TranslatedExpression {
  std::string sql;     // the T-SQL expression; empty when not translated
  std::string whyNot;  // why not, in words a DBA can act on, when `sql` is empty
  // What T-SQL takes the value for (not for a CHECK): "integer", "decimal", "float", "text",
  // "date", "datetime", "time", "bytes" or "null"; and whether it is the same at every reading.
  std::string kind = {};
  bool deterministic = true;

  explicit operator bool() const { return !sql.empty(); }
};

// The T-SQL for `text` as `use` needs it. Pure: no state; every failure is a `whyNot`.
TranslatedExpression TranslateExpression(const std::string& text, ExpressionUse use,
                                         const std::vector<ExpressionColumn>& columns);

}  // namespace morvane
