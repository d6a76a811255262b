#pragma once
// Foreign keys, created once every table of the run has its rows, so that a key may reference
// a table that comes later in the list.

#include <map>
#include <string>
#include <vector>

#include "engine/SchemaNames.h"
#include "source/TableSchema.h"

namespace morvane {

struct PendingForeignKey {
  std::string table;   // the MySQL table that holds the key
  std::string target;  // its name on SQL Server
  ForeignKeyInfo key;
  std::string whyNot = {};  // set when the plan has decided the key cannot be carried
};

// ON DELETE / ON UPDATE: RESTRICT and NO ACTION become NO ACTION; CASCADE, SET NULL and
// SET DEFAULT stay.
std::string ForeignKeyRule(const std::string& mysqlRule);

struct ForeignKeyStatement {
  std::string statement;  // empty when the key is not carried
  std::string what;       // "foreign key x of table t"
  std::string whyNot;     // why it is not carried, when statement is empty
  // The cascading actions the plan gave up (DecideCascadeActions), one report line each.
  std::vector<std::string> lostActions = {};
  // The same key with NO ACTION for both, to send when SQL Server refuses the statement's
  // actions all the same (1785); empty when the statement has no cascading action.
  std::string noActionStatement = {};
  std::string actions = {};  // its cascading actions: "ON DELETE CASCADE and ON UPDATE SET NULL"
};

// The ALTER TABLE ... ADD CONSTRAINT ... FOREIGN KEY statement for each key, in order.
// `converted` maps each MySQL table the run converted to its name on SQL Server; a key whose
// referenced table is not among them is not carried. The cascading actions of the keys carried
// are those DecideCascadeActions keeps; each one it gives up is named in lostActions.
std::vector<ForeignKeyStatement> ForeignKeyStatements(
    const std::vector<PendingForeignKey>& keys, const std::map<std::string, std::string>& converted,
    SchemaNames& names);

}  // namespace morvane
