#include "engine/SchemaNames.h"

#include "engine/SqlNames.h"

namespace morvane {
namespace {

// SQL Server names hold at most 128 characters.
constexpr std::size_t MaxNameCharacters = 128;

std::string Limited(const std::string& name) { return std::string(FirstCharacters(name, MaxNameCharacters)); }

std::string Numbered(const std::string& name, int n) {
  const std::string suffix = "_" + std::to_string(n);
  return std::string(FirstCharacters(name, MaxNameCharacters - suffix.size())) + suffix;
}

}  // namespace

std::string SchemaNames::Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool SchemaNames::ObjectFree(const std::string& name) const { return !objects_.contains(Folded(name)); }

bool SchemaNames::IndexFree(const std::string& table, const std::string& name) const {
  const auto it = indexes_.find(Folded(table));
  return it == indexes_.end() || !it->second.contains(Folded(name));
}

std::vector<std::string> SchemaNames::ClaimTables(const std::vector<std::string>& tables) {
  std::vector<std::string> names(tables.size());
  std::set<std::string> own;  // every table's own name, so that no new name takes one
  for (const auto& t : tables) own.insert(Folded(t));
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (ObjectFree(tables[i])) {
      names[i] = tables[i];
      objects_.insert(Folded(tables[i]));
    }
  }
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (!names[i].empty()) continue;
    for (int n = 2;; ++n) {
      const std::string candidate = Numbered(tables[i], n);
      if (ObjectFree(candidate) && !own.contains(Folded(candidate))) {
        names[i] = candidate;
        objects_.insert(Folded(candidate));
        break;
      }
    }
  }
  return names;
}

std::string SchemaNames::ClaimConstraint(const std::string& table, const std::string& wanted,
                                         bool isIndex) {
  auto free = [&](const std::string& name) {
    return ObjectFree(name) && (!isIndex || IndexFree(table, name));
  };
  std::string name = Limited(wanted);
  if (!free(name)) name = Limited(table + "_" + wanted);
  for (int n = 2; !free(name); ++n) name = Numbered(table + "_" + wanted, n);
  objects_.insert(Folded(name));
  if (isIndex) indexes_[Folded(table)].insert(Folded(name));
  return name;
}

std::string SchemaNames::ClaimIndex(const std::string& table, const std::string& wanted) {
  std::string name = Limited(wanted);
  for (int n = 2; !IndexFree(table, name); ++n) name = Numbered(wanted, n);
  indexes_[Folded(table)].insert(Folded(name));
  return name;
}

}  // namespace morvane
