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
  enum class Kind { Null, Integer, Decimal, Float, String, Binary };
  Kind kind = Kind::Null;
  std::string text;  // digits with sign, or string content (UTF-8)
  Bytes bytes;       // Binary
  bool unicode = false;
};

// What a select list item, a VALUES item or a comparison side can be.
struct Expression {
  enum class Kind { Literal, Column, CountStar, Function, Variable };
  Kind kind = Kind::Literal;
  Literal literal;
  std::string name;                 // column, function (upper case) or @@variable
  std::vector<Expression> arguments;
  std::string written;
};

struct UseStatement { std::string database; };
struct CreateDatabase {
  std::string name;
  std::string collation;  // COLLATE, empty when not written
};
struct DropDatabase { std::vector<std::string> names; };

struct ColumnDefinition {
  std::string name;
  std::string typeName;               // as written ("NVARCHAR", "DOUBLE PRECISION")
  std::vector<std::int64_t> typeArguments;  // (n) or (p, s)
  bool typeMax = false;               // (MAX)
  std::string collation;              // COLLATE name
  std::optional<bool> nullable;
  bool identity = false;
  std::int64_t seed = 1;
  std::int64_t increment = 1;
  bool primaryKey = false;  // column-level constraints
  bool unique = false;
  std::string constraintName;
  std::optional<bool> clustered;
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
};

struct DropTable { std::vector<ObjectName> tables; bool ifExists = false; };

struct CreateIndex {
  bool unique = false;
  bool clustered = false;
  std::string name;
  ObjectName table;
  std::vector<std::string> columns;
  std::vector<bool> descending;
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

struct Statement;
struct IfStatement {
  bool negate = false;
  Select query;
  std::shared_ptr<Statement> then;
  std::shared_ptr<Statement> otherwise;
};

struct Statement {
  std::variant<UseStatement, CreateDatabase, DropDatabase, CreateTable, DropTable, CreateIndex,
               SetOption, SetIdentityInsert, Insert, Select, Execute, IfStatement>
      body;
  int line = 1;
};

}  // namespace morvane::tds
