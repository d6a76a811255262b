#pragma once
// The pieces of a column definition that come from what MySQL defines beyond the type: the
// collation and the default value.

#include <string>
#include <vector>

#include "source/FieldRecord.h"
#include "source/TableSchema.h"

namespace morvane {

// The collation of the target database: case-insensitive, accent-sensitive, and with
// supplementary-character support, so that characters beyond the Basic Multilingual Plane
// (emoji) compare as themselves.
inline constexpr const char* DatabaseCollation = "Latin1_General_100_CI_AS_SC";

// The SQL Server collation for a text column of this MySQL collation when it differs from the
// database's: Latin1_General_100_BIN2 for binary collations (_bin), Latin1_General_100_CS_AS_SC
// for case-sensitive ones (_cs); empty otherwise.
std::string TargetCollation(const std::string& mysqlCollation);

// " COLLATE name" for a text column whose collation differs from the database's, else empty.
std::string CollateClause(const std::string& typeText, const ColumnInfo* column);

// " DEFAULT value" for a column whose default SQL Server can hold: a literal in the form its
// values take, CURRENT_TIMESTAMP as the function for the column's type, an expression as its
// translation (" DEFAULT (expr)") when SQL Server stores its value into the column as MySQL
// does. Anything else that MySQL defines for the column and the target does not carry (an
// expression not translated, ON UPDATE CURRENT_TIMESTAMP, a generation expression) is added to
// `leftOut` in plain words.
std::string DefaultClause(const std::string& table, const FieldRecord& field,
                          const std::string& typeText, const ColumnInfo* column,
                          std::vector<std::string>& leftOut);

}  // namespace morvane
