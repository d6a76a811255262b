#pragma once
// The statements the TDS test server understands, as the parser leaves them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tests/sqlserver/server/Types.h"

namespace morvane::tds {

// [database].[schema].[name]; empty parts were not written.
struct ObjectName {
  std::string database;
  std::string schema;
  std::string name;
  std::string written;  // as in the batch, for error texts
};

// A constant of the batch.
struct Literal {
  // DateTime: the value of GETDATE() (datetime) or SYSDATETIME() (datetime2), with `text`
  // "yyyy-mm-dd hh:mm:ss.fffffff" and `dateTime2` telling which.
  enum class Kind { Null, Integer, Decimal, Float, String, Binary, DateTime };
  Kind kind = Kind::Null;
  std::string text;  // digits with sign, or string content (UTF-8)
  Bytes bytes;       // Binary
  bool unicode = false;
  bool dateTime2 = false;
  bool max = false;  // a String of a (MAX) type (from CAST or + over one)
};

// A scalar expression or a search condition, as SQL Server takes them in DEFAULT, CHECK, computed
// columns, VALUES and select lists (Expressions.h evaluates them).
struct Expression {
  // Literal, Column (`name`), CountStar, Function (`name` upper case, `arguments`), Variable
  // (@@name), Concat (the arguments joined by +: kept for callers that build one).
  // Negate: -arguments[0]. Arithmetic: arguments[0] `name` arguments[1] (+ - * / %).
  // Cast: CAST(arguments[0] AS type), Convert: CONVERT(type, arguments[0][, arguments[1]]).
  // Case: [arguments[0] when hasOperand] then WHEN/THEN pairs, then ELSE when hasElse.
  // Search conditions (no value, only TRUE, FALSE or UNKNOWN):
  // Compare (`name` = <> < <= > >=), And, Or, Not, IsNull, In (arguments[0] IN the rest),
  // Between (arguments[0] BETWEEN [1] AND [2]), Like (arguments[0] LIKE [1] [ESCAPE [2]]);
  // `negated` for IS NOT NULL, NOT IN, NOT BETWEEN, NOT LIKE.
  enum class Kind {
    Literal, Column, CountStar, Function, Variable, Concat, Cast, Convert, Negate, Arithmetic, Case,
    Compare, And, Or, Not, IsNull, In, Between, Like
  };
  Kind kind = Kind::Literal;
  Literal literal;
  std::string name;                 // column, function (upper case), @@variable, CAST's type, operator
  std::vector<Expression> arguments;
  std::int64_t castLength = 30;     // CAST(... AS NVARCHAR) without a length: 30
  bool castMax = false;
  std::vector<std::int64_t> typeArguments;  // CAST/CONVERT: (n) or (p, s) as written
  bool negated = false;
  bool hasOperand = false;
  bool hasElse = false;
  std::size_t operatorToken = 0;    // the parser's: where a condition's operator stood
  std::string written;

  bool IsCondition() const { return kind >= Kind::Compare; }
};

struct UseStatement { std::string database; };
struct CreateDatabase {
  std::string name;
  std::string collation;  // COLLATE, empty when not written
};
struct DropDatabase { std::vector<std::string> names; };

// [CONSTRAINT name] CHECK (condition)
struct CheckDefinition {
  std::string name;
  Expression condition;
};

struct ColumnDefinition {
  std::string name;
  std::string typeName;               // as written ("NVARCHAR", "DOUBLE PRECISION")
  std::vector<std::int64_t> typeArguments;  // (n) or (p, s)
  bool typeMax = false;               // (MAX)
  std::string collation;              // COLLATE name
  std::optional<Expression> defaultValue;  // [CONSTRAINT name] DEFAULT ...
  std::string defaultName;
  std::optional<bool> nullable;
  bool identity = false;
  std::int64_t seed = 1;
  std::int64_t increment = 1;
  bool primaryKey = false;  // column-level constraints
  bool unique = false;
  std::string constraintName;
  std::optional<bool> clustered;
  std::vector<CheckDefinition> checks;  // column-level CHECK constraints
  std::optional<Expression> computed;          // c AS (expr)
  bool persisted = false;
};

struct KeyConstraint {
  bool primaryKey = false;
  std::string name;
  std::optional<bool> clustered;
  std::vector<std::string> columns;
};

struct CreateTable {
  ObjectName table;
  std::vector<ColumnDefinition> columns;
  std::vector<KeyConstraint> constraints;
  std::vector<CheckDefinition> checks;  // table-level CHECK constraints
};

struct DropTable { std::vector<ObjectName> tables; bool ifExists = false; };

struct CreateIndex {
  bool unique = false;
  bool clustered = false;
  std::string name;
  ObjectName table;
  std::vector<std::string> columns;
  std::vector<bool> descending;
  std::vector<std::string> filterNotNull;  // WHERE [c] IS NOT NULL [AND ...]
};

struct SetOption {
  std::string option;  // upper case: QUOTED_IDENTIFIER, DATEFORMAT, LANGUAGE, TEXTSIZE, ...
  std::string value;   // ON, OFF, dmy, a number, a language name
};

struct SetIdentityInsert { ObjectName table; bool on = false; };

struct Insert {
  ObjectName table;
  bool columnList = false;
  std::vector<std::string> columns;
  std::vector<std::vector<Expression>> rows;
};

struct Condition {
  Expression left;
  std::string op;  // "=", "<>", "IS NULL", "IS NOT NULL"
  Expression right;
};

struct OrderItem {
  Expression key;
  bool descending = false;
};

struct SelectItem {
  Expression expression;
  bool star = false;
  std::string alias;
};

struct Select {
  std::optional<std::int64_t> top;
  std::vector<SelectItem> items;
  std::optional<ObjectName> from;
  std::vector<Condition> where;  // joined by AND
  std::vector<OrderItem> orderBy;
};

struct Execute {
  std::string procedure;  // as written, without schema
  std::vector<Expression> arguments;
};

struct ForeignKeyDefinition {
  std::string name;
  std::vector<std::string> columns;
  ObjectName referenced;
  std::vector<std::string> referencedColumns;
  std::string onDelete = "NO_ACTION";  // NO_ACTION, CASCADE, SET_NULL, SET_DEFAULT
  std::string onUpdate = "NO_ACTION";
};

// ALTER TABLE t [WITH CHECK | WITH NOCHECK] ADD CONSTRAINT n FOREIGN KEY ... | DEFAULT x FOR c
struct AlterTable {
  ObjectName table;
  bool noCheck = false;
  std::optional<ForeignKeyDefinition> foreignKey;
  std::optional<KeyConstraint> key;  // ADD [CONSTRAINT n] PRIMARY KEY | UNIQUE (...)
  std::string defaultName;
  std::optional<Expression> defaultValue;
  std::string defaultColumn;
  std::optional<CheckDefinition> check;  // ADD [CONSTRAINT n] CHECK (condition)
};

struct Delete {
  ObjectName table;
  std::vector<Condition> where;
};

struct Statement;
struct IfStatement {
  bool negate = false;
  Select query;
  std::shared_ptr<Statement> then;
  std::shared_ptr<Statement> otherwise;
};

struct Statement {
  using Body = std::variant<UseStatement, CreateDatabase, DropDatabase, CreateTable, DropTable,
                            CreateIndex, SetOption, SetIdentityInsert, Insert, Select, Execute,
                            IfStatement, AlterTable, Delete>;
  Body body;
  int line = 1;
};

}  // namespace morvane::tds
