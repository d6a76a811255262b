#include "engine/CascadeActions.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <set>

#include "source/AsciiText.h"

namespace morvane {
namespace {

// RESTRICT and NO ACTION both mean NO ACTION on SQL Server; the others cascade.
std::string TargetRule(const std::string& mysqlRule) {
  const std::string rule = AsciiLowerText(mysqlRule);
  if (rule == "cascade") return "CASCADE";
  if (rule == "set null") return "SET NULL";
  if (rule == "set default") return "SET DEFAULT";
  return "NO ACTION";
}

// The cascading actions kept so far for one of ON DELETE / ON UPDATE: from a referenced table to
// the tables whose keys act on it. Table names in lower case.
class CascadeGraph {
 public:
  // Why adding an action from `parent` to `child` would make SQL Server refuse the key, or empty.
  std::string Refusal(const std::string& parent, const std::string& child,
                      const std::string& childName, const std::string& parentName) const {
    if (parent == child) {
      return "SQL Server refuses a cascading action on a key that references its own table " +
             childName;
    }
    const std::set<std::string> below = Reached(child);
    if (below.count(parent)) {
      return "SQL Server refuses a cycle of cascading actions through table " + parentName;
    }
    // A second path: a table at or above the parent already reaches the child or a table below it.
    std::set<std::string> above{parent};
    for (const auto& [from, tos] : edges_) {
      if (Reached(from).count(parent)) above.insert(from);
    }
    std::set<std::string> targets = below;
    targets.insert(child);
    for (const auto& target : targets) {  // in name order, so the table named is always the same
      for (const auto& from : above) {
        if (from != target && Reached(from).count(target)) {
          return "SQL Server refuses a second cascading path to table " +
                 (target == child ? childName : names_.at(target));
        }
      }
    }
    return "";
  }

  void Add(const std::string& parent, const std::string& child, const std::string& childName) {
    edges_[parent].push_back(child);
    names_.emplace(child, childName);
  }

 private:
  // The tables a change of `from` reaches (not `from` itself unless a cycle leads back to it,
  // which the kept actions never form).
  std::set<std::string> Reached(const std::string& from) const {
    std::set<std::string> seen;
    std::vector<std::string> todo{from};
    while (!todo.empty()) {
      const std::string at = todo.back();
      todo.pop_back();
      auto it = edges_.find(at);
      if (it == edges_.end()) continue;
      for (const auto& to : it->second) {
        if (seen.insert(to).second) todo.push_back(to);
      }
    }
    return seen;
  }

  std::map<std::string, std::vector<std::string>> edges_;
  std::map<std::string, std::string> names_;  // lower case → as written
};

}  // namespace

std::vector<CascadeDecision> DecideCascadeActions(const std::vector<CascadeKey>& keys) {
  std::vector<std::size_t> order(keys.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const std::string ta = AsciiLowerText(keys[a].table), tb = AsciiLowerText(keys[b].table);
    if (ta != tb) return ta < tb;
    return AsciiLowerText(keys[a].name) < AsciiLowerText(keys[b].name);
  });

  std::vector<CascadeDecision> out(keys.size());
  CascadeGraph onDelete, onUpdate;
  for (std::size_t i : order) {
    const CascadeKey& key = keys[i];
    CascadeDecision& d = out[i];
    const std::string child = AsciiLowerText(key.table);
    const std::string parent = AsciiLowerText(key.referencedTable);
    const auto decide = [&](const char* action, const std::string& mysqlRule, CascadeGraph& graph) {
      const std::string rule = TargetRule(mysqlRule);
      if (rule == "NO ACTION") return rule;
      const std::string why = graph.Refusal(parent, child, key.table, key.referencedTable);
      if (why.empty()) {
        graph.Add(parent, child, key.table);
        return rule;
      }
      d.lost.push_back(std::string(action) + " " + rule + " of foreign key " + key.name +
                       " of table " + key.table + " not carried (NO ACTION instead): " + why);
      return std::string("NO ACTION");
    };
    d.onDelete = decide("ON DELETE", key.onDelete, onDelete);
    d.onUpdate = decide("ON UPDATE", key.onUpdate, onUpdate);
  }
  return out;
}

}  // namespace morvane
