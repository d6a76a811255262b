#include "engine/ColumnDefaults.h"

#include "engine/ExpressionTranslator.h"
#include "engine/RowCopy.h"
#include "source/AsciiText.h"

namespace morvane {
namespace {

std::string BaseName(const std::string& type) { return type.substr(0, type.find('(')); }

bool IsTextType(const std::string& typeText) {
  const std::string base = BaseName(typeText);
  return base == "NCHAR" || base == "NVARCHAR" || base == "NTEXT" || base == "CHAR" ||
         base == "VARCHAR" || base == "TEXT";
}

// The function giving the current time in the column's type, or empty.
std::string CurrentTimeFunction(const std::string& typeText) {
  const std::string base = BaseName(typeText);
  if (base == "DATETIME2") return "sysdatetime()";
  if (base == "DATETIME" || base == "SMALLDATETIME") return "getdate()";
  if (base == "DATETIMEOFFSET") return "sysdatetimeoffset()";
  return "";
}

// Why SQL Server would store a value of this kind into a column of this type otherwise than MySQL
// does, or empty when it stores it alike (the same kind, or a number into a wider kind of number,
// a date into a date and time).
std::string StoredOtherwise(const std::string& kind, const std::string& typeText) {
  const std::string base = BaseName(typeText);
  const auto among = [&](std::initializer_list<const char*> kinds) {
    for (const char* k : kinds)
      if (kind == k) return true;
    return false;
  };
  bool alike = kind == "null";
  if (base == "TINYINT" || base == "SMALLINT" || base == "INT" || base == "BIGINT")
    alike = alike || among({"integer"});
  else if (base == "DECIMAL" || base == "NUMERIC")
    alike = alike || among({"integer", "decimal"});
  else if (base == "FLOAT" || base == "REAL")
    alike = alike || among({"integer", "decimal", "float"});
  else if (IsTextType(typeText))
    alike = alike || among({"text"});
  else if (base == "DATE")
    alike = alike || among({"date"});
  else if (base == "DATETIME2" || base == "DATETIME")
    alike = alike || among({"date", "datetime"});
  else if (base == "TIME")
    alike = alike || among({"time"});
  else if (base == "VARBINARY" || base == "BINARY")
    alike = alike || among({"bytes"});
  if (alike) return "";
  return "its value is " + (kind == "bytes" ? kind : "a " + kind) + ", which SQL Server would store into " +
         typeText + " otherwise than MySQL";
}

}  // namespace

std::string TargetCollation(const std::string& mysqlCollation) {
  const std::string c = AsciiLowerText(mysqlCollation);
  if (c.empty() || c == "binary") return "";
  const auto ends = [&](const std::string& tail) {
    return c.size() >= tail.size() && c.compare(c.size() - tail.size(), tail.size(), tail) == 0;
  };
  if (ends("_bin")) return "Latin1_General_100_BIN2";
  if (ends("_cs")) return "Latin1_General_100_CS_AS_SC";
  return "";
}

std::string CollateClause(const std::string& typeText, const ColumnInfo* column) {
  if (column == nullptr || !IsTextType(typeText)) return "";
  const std::string collation = TargetCollation(column->collation);
  return collation.empty() ? "" : " COLLATE " + collation;
}

std::string DefaultClause(const std::string& table, const FieldRecord& field,
                          const std::string& typeText, const ColumnInfo* column,
                          std::vector<std::string>& leftOut) {
  if (column == nullptr) return "";
  const std::string name = table + ": column " + field.org_name;
  if (!column->generationExpression.empty()) {
    leftOut.push_back(name + " is generated (" + column->generationExpression +
                      "); its values arrive as a plain column");
    return "";
  }
  if (AsciiLowerText(column->extra).find("on update") != std::string::npos)
    leftOut.push_back(name + ": ON UPDATE CURRENT_TIMESTAMP was not carried");

  switch (column->defaultKind) {
    case DefaultKind::Absent: return "";
    case DefaultKind::Expression: {
      const TranslatedExpression expression =
          TranslateExpression(column->defaultValue, ExpressionUse::Default, {});
      std::string why = expression.whyNot;
      if (expression && (why = StoredOtherwise(expression.kind, typeText)).empty())
        return " DEFAULT (" + expression.sql + ")";
      leftOut.push_back(name + ": DEFAULT " + column->defaultValue + " was not translated (" +
                        why + ")");
      return "";
    }
    case DefaultKind::CurrentTimestamp: {
      const std::string function = CurrentTimeFunction(typeText);
      if (function.empty()) {
        leftOut.push_back(name + ": DEFAULT " + column->defaultValue + " was not carried");
        return "";
      }
      return " DEFAULT " + function;
    }
    case DefaultKind::Literal: break;
  }
  if (field.Has(mysql_flag::AutoIncrement)) return "";
  const ColumnLiteral form = ColumnLiteralOf(typeText, field.type);
  std::string literal;
  if (form.form == LiteralForm::BitValue) {
    // The source writes a bit default as its number already.
    literal = column->defaultValue + ",";
    if (column->defaultValue.find_first_not_of("0123456789") != std::string::npos) literal.clear();
  } else if (AppendValueLiteral(literal, Cell(column->defaultValue), form)) {
    literal.clear();  // a value that would not arrive unchanged
  }
  if (literal.empty() || literal == "NULL,") {
    leftOut.push_back(name + ": DEFAULT '" + column->defaultValue +
                      "' was not carried (SQL Server has no such value)");
    return "";
  }
  literal.pop_back();  // the ","
  return " DEFAULT " + literal;
}

}  // namespace morvane
