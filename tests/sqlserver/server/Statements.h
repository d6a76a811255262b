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

// What a select list item, a VALUES item or a comparison side can be.
struct Expression {
  // Concat: arguments joined by +. Cast: CAST(arguments[0] AS name(castLength | MAX)).
  enum class Kind { Literal, Column, CountStar, Function, Variable, Concat, Cast };
  Kind kind = Kind::Literal;
  Literal literal;
  std::string name;                 // column, function (upper case), @@variable or CAST's type
  std::vector<Expression> arguments;
  std::int64_t castLength = 30;     // CAST(... AS NVARCHAR) without a length: 30
  bool castMax = false;
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
};

struct Delete {
  ObjectName table;
  std::vector<Condition> where;
};

// DBCC CHECKIDENT (table [, NORESEED | RESEED [, value]]) [WITH NO_INFOMSGS] (parsed in Dbcc.cpp).
struct DbccCheckIdent {
  std::string table;                   // the name, as a string or an identifier gives it
  bool noReseed = false;
  std::optional<std::int64_t> reseed;  // RESEED with a value
  bool noInfoMessages = false;
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
                            IfStatement, AlterTable, Delete, DbccCheckIdent>;
  Body body;
  int line = 1;
};

}  // namespace morvane::tds
