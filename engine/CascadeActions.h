#pragma once
// Which referential actions of the foreign keys a run creates SQL Server can take. SQL Server
// refuses a key (error 1785, "may cause cycles or multiple cascade paths") whose cascading action
// would let one change reach a table by two paths, or come back to where it started, a key that
// references its own table included; it takes the same key with NO ACTION. ON DELETE and ON UPDATE
// are judged apart.
//
// The rule, fixed so that the outcome never depends on the order in which the keys are listed or
// their statements sent: the keys are taken in the order of their table's name and then their own
// name (byte order, ASCII letters without regard to case, as the database's collation compares
// names); a key's cascading action (CASCADE, SET NULL, SET DEFAULT) is kept when, together with
// the cascading actions kept before it, every table is reached from any other by at most one path
// and no path returns to its start; otherwise that action becomes NO ACTION and is named. Every
// set of kept actions, and every part of one, is thus one SQL Server accepts, whatever the order
// of the ALTER TABLE statements.

#include <string>
#include <vector>

namespace morvane {

struct CascadeKey {
  std::string table;            // the table that holds the key, by its name on SQL Server
  std::string name;             // the key's name, for the report
  std::string referencedTable;  // the table it references, by its name on SQL Server
  std::string onDelete;         // MySQL's rule: RESTRICT, NO ACTION, CASCADE, SET NULL, SET DEFAULT
  std::string onUpdate;
};

struct CascadeDecision {
  std::string onDelete;  // the rule to create: NO ACTION, CASCADE, SET NULL or SET DEFAULT
  std::string onUpdate;
  std::vector<std::string> lost;  // one line per action not carried, in plain words
};

// One decision per key, in the order of `keys`. Pure: no state, no failure.
std::vector<CascadeDecision> DecideCascadeActions(const std::vector<CascadeKey>& keys);

}  // namespace morvane
