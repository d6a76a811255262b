#include "engine/TableKeys.h"

#include <algorithm>
#include <cstdlib>

#include "engine/SqlNames.h"
#include "source/AsciiText.h"

namespace morvane {
namespace {

// The number in "TYPE(n)" or "TYPE(p, s)" (the first), or `fallback` without parentheses.
long SizeIn(const std::string& type, long fallback) {
  const auto open = type.find('(');
  if (open == std::string::npos) return fallback;
  return std::strtol(type.c_str() + open + 1, nullptr, 10);
}

std::string BaseName(const std::string& type) { return type.substr(0, type.find('(')); }

struct Member {
  std::string name;
  std::optional<KeyWidth> width;
  bool nullable = false;
};

std::string KindOf(const IndexInfo& index) {
  if (index.Primary()) return "primary key";
  return index.unique ? "unique key " + index.name : "index " + index.name;
}

}  // namespace

std::optional<KeyWidth> KeyColumnWidth(const std::string& typeText) {
  if (typeText.find("(MAX)") != std::string::npos) return std::nullopt;
  const std::string base = BaseName(typeText);
  if (base == "TINYINT" || base == "BIT") return KeyWidth{1, false};
  if (base == "SMALLINT") return KeyWidth{2, false};
  if (base == "INT" || base == "REAL" || base == "SMALLDATETIME" || base == "SMALLMONEY")
    return KeyWidth{4, false};
  if (base == "BIGINT" || base == "DATETIME" || base == "MONEY") return KeyWidth{8, false};
  if (base == "FLOAT") return KeyWidth{SizeIn(typeText, 53) <= 24 ? 4u : 8u, false};
  if (base == "DECIMAL" || base == "NUMERIC") {
    const long p = SizeIn(typeText, 18);
    return KeyWidth{p <= 9 ? 5u : p <= 19 ? 9u : p <= 28 ? 13u : 17u, false};
  }
  if (base == "DATE") return KeyWidth{3, false};
  if (base == "TIME") return KeyWidth{5, false};
  if (base == "DATETIME2") return KeyWidth{8, false};
  if (base == "DATETIMEOFFSET") return KeyWidth{10, false};
  if (base == "UNIQUEIDENTIFIER") return KeyWidth{16, false};
  const auto n = static_cast<std::uint32_t>(std::max(SizeIn(typeText, 1), 1L));
  if (base == "CHAR" || base == "BINARY") return KeyWidth{n, false};
  if (base == "VARCHAR" || base == "VARBINARY") return KeyWidth{n, true};
  if (base == "NCHAR") return KeyWidth{2 * n, false};
  if (base == "NVARCHAR") return KeyWidth{2 * n, true};
  return std::nullopt;
}

TableKeys BuildTableKeys(const std::string& table, const std::string& target,
                         const std::vector<FieldRecord>& fields,
                         const std::vector<std::string>& typeTexts, const TableSchema& schema,
                         SchemaNames& names, const KeyChoices& choices) {
  TableKeys keys;
  names.HoldTable(target);
  auto leaveOut = [&](const std::string& what, const std::string& why) {
    keys.leftOut.push_back(table + ": " + what + " was not carried (" + why + ")");
  };

  for (const auto& index : schema.indexes) {
    const std::string what = KindOf(index);
    if (index.type == "FULLTEXT" || index.type == "SPATIAL") {
      leaveOut(index.type + " " + what, "SQL Server has no such index in a table definition");
      continue;
    }
    std::vector<Member> members;
    std::string problem;
    for (const auto& column : index.columns) {
      if (column.name.empty()) {
        problem = "it indexes an expression";
        break;
      }
      Member m{column.name, std::nullopt, column.nullable};
      for (std::size_t i = 0; i < fields.size(); ++i) {
        if (AsciiLowerText(fields[i].org_name) == AsciiLowerText(column.name)) {
          m.name = fields[i].org_name;
          m.width = KeyColumnWidth(typeTexts[i]);
          if (!m.width)
            problem = "column " + m.name + " is of type " +
                      (typeTexts[i].empty() ? std::string("without a mapping") : typeTexts[i]) +
                      ", which cannot be a key column on SQL Server";
          break;
        }
      }
      if (!problem.empty()) break;
      if (!m.width) {
        problem = "its column " + column.name + " is not in the table";
        break;
      }
      members.push_back(m);
    }
    if (problem.empty() && members.size() > KeyColumnLimit)
      problem = "it has more than 32 columns";
    std::uint32_t bytes = 0;
    for (const auto& m : members) bytes += m.width->bytes;
    if (problem.empty() && bytes > KeyLimit)
      problem = "its key can be " + std::to_string(bytes) +
                " bytes long, more than the 1700 SQL Server allows";
    if (!problem.empty()) {
      leaveOut(what, problem);
      continue;
    }

    std::string list;
    std::string filter;
    for (const auto& m : members) {
      if (!list.empty()) list += ",";
      list += Bracketed(m.name);
      if (m.nullable) filter += (filter.empty() ? " WHERE " : " AND ") + Bracketed(m.name) + " IS NOT NULL";
    }

    keys.carried.push_back(index.name);
    const bool unfiltered = std::find(choices.unfiltered.begin(), choices.unfiltered.end(),
                                      index.name) != choices.unfiltered.end();
    if (index.Primary()) {
      // A clustered key holds at most 900 bytes; a wider primary key is nonclustered.
      keys.keyClause = std::string(", PRIMARY KEY") + (bytes > ClusteredKeyLimit ? " NONCLUSTERED" : "") +
                       "(" + list + ")";
    } else if (index.unique && (filter.empty() || unfiltered)) {
      const std::string name = names.ClaimConstraint(target, index.name);
      keys.statements.push_back({"ALTER TABLE " + Bracketed(target) + " ADD CONSTRAINT " +
                                     Bracketed(name) + " UNIQUE (" + list + ");",
                                 "unique key " + index.name + " of table " + table});
    } else {
      // MySQL admits any number of rows with NULL in a unique key: the filtered index does too.
      const std::string name = names.ClaimIndex(target, index.name);
      keys.statements.push_back({std::string("CREATE ") + (index.unique ? "UNIQUE " : "") +
                                     "INDEX " + Bracketed(name) + " ON " + Bracketed(target) +
                                     " (" + list + ")" + (index.unique ? filter : "") + ";",
                                 what + " of table " + table});
    }
  }
  for (const auto& added : choices.added) {
    std::string list;
    for (const auto& c : added.columns) list += (list.empty() ? "" : ",") + Bracketed(c);
    const std::string name = names.ClaimConstraint(target, "UQ_" + target + "_" + added.columns.front());
    keys.statements.push_back({"ALTER TABLE " + Bracketed(target) + " ADD CONSTRAINT " +
                                   Bracketed(name) + " UNIQUE (" + list + ");",
                               "the UNIQUE constraint on (" + list + ") of table " + table +
                                   " that " + added.forKey + " references"});
  }
  return keys;
}

}  // namespace morvane
