#include "engine/SourceProfiles.h"

namespace morvane {

std::optional<std::vector<ColumnProfile>> ProfileColumns(SourceDatabase& source,
                                                         const std::string& table,
                                                         const std::vector<FieldRecord>& fields) {
  std::vector<ColumnProfile> profiles;
  profiles.reserve(fields.size());
  for (const auto& f : fields) {
    if (ProfileQueryOf(f) == ProfileQuery::NoQuery) {
      profiles.emplace_back();
      continue;
    }
    auto profile = source.ProfileColumn(table, f);
    if (!profile) return std::nullopt;
    profiles.push_back(*profile);
  }
  return profiles;
}

}  // namespace morvane
