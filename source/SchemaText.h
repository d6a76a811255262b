#pragma once
// The texts MySQL and MariaDB write into information_schema, read into plain values. No
// client library needed.

#include <optional>
#include <string>

#include "source/TableSchema.h"

namespace morvane {

struct ColumnDefault {
  DefaultKind kind = DefaultKind::Absent;
  std::string value;  // a literal unquoted (a bit value b'101' as its number), or the expression
};

// COLUMN_DEFAULT with EXTRA, as the server wrote them. MariaDB (10.2.7+) quotes text literals
// ('pending'), writes NULL for DEFAULT NULL and expressions bare (current_timestamp(),
// curdate()); MySQL writes literals bare and marks expressions with DEFAULT_GENERATED in EXTRA.
ColumnDefault ParseColumnDefault(const std::optional<std::string>& columnDefault,
                                 const std::string& extra, bool mariaDbForm);

// MySQL 8 writes the default of a BINARY or VARBINARY column as hex (0x616263 for 'abc', the
// padding of BINARY(n) included); MariaDB writes it quoted, as text. For such a column on
// MySQL, a literal in that form becomes the bytes it stands for; everything else is returned
// as it came. dataType is information_schema.COLUMNS.DATA_TYPE.
ColumnDefault DecodedBinaryDefault(ColumnDefault parsed, const std::string& dataType,
                                   bool mariaDbForm);

}  // namespace morvane
