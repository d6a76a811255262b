// The cascading actions the run keeps, sent to the SQL Server test server: every key is accepted,
// whatever the order of the statements, and a lost action put back is refused (1785).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/CascadeActions.h"
#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane {
namespace {

using test::OdbcTestClient;

// Self-references, a cycle, two paths to one table and two keys between the same tables, for
// DELETE and UPDATE.
const std::vector<CascadeKey> kKeys{
    {"region", "fk_region_parent", "region", "SET NULL", "CASCADE"},
    {"customer", "fk_customer_region", "region", "CASCADE", "CASCADE"},
    {"orders", "fk_orders_customer", "customer", "CASCADE", "CASCADE"},
    {"orders", "fk_orders_region", "region", "SET NULL", "RESTRICT"},
    {"invoice", "fk_invoice_orders", "orders", "CASCADE", "CASCADE"},
    {"invoice", "fk_invoice_customer", "customer", "CASCADE", "CASCADE"},
    {"store", "fk_store_manager", "staff", "SET NULL", "CASCADE"},
    {"staff", "fk_staff_store", "store", "CASCADE", "CASCADE"},
    {"flight", "fk_flight_from", "region", "CASCADE", "NO ACTION"},
    {"flight", "fk_flight_to", "region", "CASCADE", "NO ACTION"},
};

// Each table has an id and one nullable column per key it holds, named after the key.
std::vector<std::string> CreateTables() {
  std::map<std::string, std::vector<std::string>> columns;
  for (const auto& k : kKeys) {
    columns[k.table].push_back(k.name);
    columns[k.referencedTable];
  }
  std::vector<std::string> out;
  for (const auto& [table, keys] : columns) {
    std::string s = "CREATE TABLE [" + table + "] (id INT NOT NULL PRIMARY KEY";
    for (const auto& k : keys) s += ", [" + k + "] INT NULL";
    out.push_back(s + ")");
  }
  return out;
}

std::string AddKey(const CascadeKey& k, const std::string& onDelete, const std::string& onUpdate) {
  return "ALTER TABLE [" + k.table + "] ADD CONSTRAINT [" + k.name + "] FOREIGN KEY ([" + k.name +
         "]) REFERENCES [" + k.referencedTable + "] (id) ON DELETE " + onDelete + " ON UPDATE " +
         onUpdate;
}

class CascadeActionsOnServer : public testing::Test {
 protected:
  // A new database holding the tables, made the connection's current one.
  void NewDatabase() {
    if (!database_.empty()) client_.Run("USE master; DROP DATABASE [" + database_ + "]");
    database_ = test::UniqueName("cascade");
    client_.Run("CREATE DATABASE [" + database_ + "]; USE [" + database_ + "]");
    for (const auto& s : CreateTables()) client_.Run(s);
  }
  void TearDown() override {
    if (!database_.empty()) client_.Run("USE master; DROP DATABASE [" + database_ + "]");
  }

  OdbcTestClient client_{test::SqlServer()};
  std::string database_;
};

TEST_F(CascadeActionsOnServer, EveryKeyIsAcceptedInListOrderAndInReverse) {
  const auto decisions = DecideCascadeActions(kKeys);
  std::size_t lost = 0;
  for (const auto& d : decisions) lost += d.lost.size();
  EXPECT_EQ(lost, 8u);  // both self-reference actions, the cycle's two, four second paths

  std::vector<std::size_t> order(kKeys.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  for (int pass = 0; pass < 2; ++pass) {
    NewDatabase();
    for (std::size_t i : order) {
      const auto r = client_.Execute(AddKey(kKeys[i], decisions[i].onDelete, decisions[i].onUpdate));
      EXPECT_EQ(r.FirstError(), 0) << kKeys[i].name << ": "
                                   << (r.errors.empty() ? "" : r.errors.front().message);
    }
    std::reverse(order.begin(), order.end());
  }
}

TEST_F(CascadeActionsOnServer, EachLostActionPutBackIsRefused) {
  const auto decisions = DecideCascadeActions(kKeys);
  std::size_t tried = 0;
  for (std::size_t lostOne = 0; lostOne < kKeys.size(); ++lostOne) {
    const CascadeKey& k = kKeys[lostOne];
    const CascadeDecision& d = decisions[lostOne];
    for (bool onDelete : {true, false}) {
      const std::string& asked = onDelete ? k.onDelete : k.onUpdate;
      const std::string& kept = onDelete ? d.onDelete : d.onUpdate;
      if (kept != "NO ACTION" || asked == "RESTRICT" || asked == "NO ACTION") continue;
      ++tried;
      NewDatabase();
      for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (i != lostOne) client_.Run(AddKey(kKeys[i], decisions[i].onDelete, decisions[i].onUpdate));
      }
      const auto r = client_.Execute(AddKey(k, onDelete ? asked : d.onDelete, onDelete ? d.onUpdate : asked));
      EXPECT_EQ(r.FirstError(), 1785) << k.name << (onDelete ? " ON DELETE" : " ON UPDATE");
    }
  }
  EXPECT_EQ(tried, 8u);
}

}  // namespace
}  // namespace morvane
