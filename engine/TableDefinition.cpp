#include "engine/TableDefinition.h"

#include <vector>

#include "engine/ColumnType.h"
#include "engine/SqlNames.h"

namespace morvane {
namespace {

std::string TypeOf(const FieldRecord& f) {
  return GetColumnType(f.type, f.length, f.decimals, f.charsetnr, f.flags);
}

// SQL Server refuses these as members of a key or an index (error 1919).
bool CanBeKeyMember(const FieldRecord& f) {
  const std::string type = TypeOf(f);
  return type != "NTEXT" && type != "IMAGE" && type.find("(MAX)") == std::string::npos;
}

template <typename Wanted>
std::string MemberList(const std::vector<FieldRecord>& fields, Wanted wanted) {
  std::string names;
  for (const auto& f : fields) {
    if (!wanted(f) || !CanBeKeyMember(f)) continue;
    if (!names.empty()) names += ",";
    names += Bracketed(f.org_name);
  }
  return names;
}

}  // namespace

bool RelaxedForZeroDates(const FieldRecord& field, const ColumnProfile& profile) {
  return profile.zeroDates > 0 && field.Has(mysql_flag::NotNull) && !field.Has(mysql_flag::PriKey);
}

std::string GetColumnList(SourceDatabase& source, const std::string& table,
                          const std::vector<ColumnProfile>* profiles) {
  const auto fields = source.FieldListing(table);
  if (!fields) return "";
  const bool profiled = profiles != nullptr && profiles->size() == fields->size();
  std::string list;
  for (std::size_t j = 0; j < fields->size(); ++j) {
    const FieldRecord& f = (*fields)[j];
    const ColumnProfile profile = profiled ? (*profiles)[j] : ColumnProfile{};
    if (!list.empty()) list += ", ";
    list += Bracketed(f.org_name) + " " + GetColumnType(f, profile);
    if (f.Has(mysql_flag::AutoIncrement)) list += " IDENTITY";
    list += f.Has(mysql_flag::NotNull) && !RelaxedForZeroDates(f, profile) ? " NOT NULL" : " NULL";
  }
  return list;
}

std::string GetKeyClause(SourceDatabase& source, const std::string& table, PendingIndex& pending) {
  using namespace mysql_flag;
  const auto fields = source.FieldListing(table);
  if (!fields) return "";

  std::string text = ",";
  bool primaryPending = true, uniquePending = true, indexPending = true;
  for (const auto& f : *fields) {
    // The first BLOB or TEXT column ends the walk: no clause opens at it or after it.
    if (f.type == mysql_type::Blob) break;
    if (f.Has(PriKey) && primaryPending) {
      primaryPending = false;
      const auto names = MemberList(*fields, [](const FieldRecord& m) { return m.Has(PriKey); });
      if (!names.empty()) text += " PRIMARY KEY(" + names + "), ";
    } else if (f.Has(UniqueKey) && !f.Has(PriKey) && uniquePending) {
      uniquePending = false;
      const auto names = MemberList(*fields, [](const FieldRecord& m) { return m.Has(UniqueKey); });
      if (!names.empty()) text += " UNIQUE (" + names + "), ";
    } else if (f.Has(MultipleKey) && !f.Has(PriKey) && indexPending) {
      indexPending = false;
      const auto names = MemberList(*fields, [](const FieldRecord& m) {
        return (m.Has(MultipleKey) || m.Has(PartKey)) && !m.Has(PriKey);
      });
      if (!names.empty()) {
        pending.IndexPending = 1;
        pending.IndexStatement = "CREATE INDEX " +
                                 Bracketed(std::string(FirstCharacters(table, 3)) + "_ind") +
                                 " ON " + Bracketed(table) + " (" + names + ");";
      }
    }
  }
  return text.size() < 2 ? "" : text.substr(0, text.size() - 2);
}

std::string CreateTableStatement(const std::string& table, const std::string& columns,
                                 const std::string& keys) {
  return "CREATE TABLE " + Bracketed(table) + " (" + columns + keys + ");";
}

}  // namespace morvane
