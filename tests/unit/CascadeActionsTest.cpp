// Which cascading actions of a run's foreign keys SQL Server can take: the fixed rule, its named
// losses, and that the outcome does not depend on the order of the keys.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>

#include "engine/CascadeActions.h"

namespace morvane {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

CascadeKey Key(std::string table, std::string name, std::string referenced, std::string onDelete,
               std::string onUpdate = "RESTRICT") {
  return {std::move(table), std::move(name), std::move(referenced), std::move(onDelete),
          std::move(onUpdate)};
}

// SQL Server's reading, written apart from the rule under test: from any table, following the
// cascading actions of one kind, no table is reached twice and none leads back to the start.
bool SqlServerAccepts(const std::vector<CascadeKey>& keys, const std::vector<CascadeDecision>& d,
                      bool onDelete) {
  std::vector<std::pair<std::string, std::string>> edges;  // referenced → holder
  std::set<std::string> tables;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    tables.insert(keys[i].table);
    tables.insert(keys[i].referencedTable);
    if ((onDelete ? d[i].onDelete : d[i].onUpdate) != "NO ACTION")
      edges.emplace_back(keys[i].referencedTable, keys[i].table);
  }
  for (const auto& start : tables) {
    std::multiset<std::string> reached;
    std::function<bool(const std::string&, int)> walk = [&](const std::string& from, int depth) {
      if (depth > 64) return false;
      for (const auto& [p, c] : edges) {
        if (p != from) continue;
        if (c == start || reached.count(c)) return false;
        reached.insert(c);
        if (!walk(c, depth + 1)) return false;
      }
      return true;
    };
    if (!walk(start, 0)) return false;
  }
  return true;
}

TEST(CascadeActions, KeepsActionsThatMakeOnePathOnly) {
  const std::vector<CascadeKey> keys{Key("orders", "fk_orders_customer", "customer", "CASCADE", "CASCADE"),
                                     Key("order_line", "fk_line_order", "orders", "CASCADE", "NO ACTION"),
                                     Key("customer", "fk_customer_country", "country", "SET NULL")};
  const auto d = DecideCascadeActions(keys);
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].onDelete, "CASCADE");
  EXPECT_EQ(d[0].onUpdate, "CASCADE");
  EXPECT_EQ(d[1].onDelete, "CASCADE");
  EXPECT_EQ(d[1].onUpdate, "NO ACTION");
  EXPECT_EQ(d[2].onDelete, "SET NULL");
  EXPECT_EQ(d[2].onUpdate, "NO ACTION");  // RESTRICT
  for (const auto& one : d) EXPECT_THAT(one.lost, IsEmpty());
}

TEST(CascadeActions, SelfReferenceLosesItsCascadingActionsOnly) {
  const auto d = DecideCascadeActions({Key("employee", "fk_manager", "employee", "SET NULL", "CASCADE"),
                                       Key("tree", "fk_parent", "tree", "RESTRICT", "NO ACTION")});
  EXPECT_EQ(d[0].onDelete, "NO ACTION");
  EXPECT_EQ(d[0].onUpdate, "NO ACTION");
  EXPECT_THAT(d[0].lost,
              ElementsAre("ON DELETE SET NULL of foreign key fk_manager of table employee not carried "
                          "(NO ACTION instead): SQL Server refuses a cascading action on a key that "
                          "references its own table employee",
                          "ON UPDATE CASCADE of foreign key fk_manager of table employee not carried "
                          "(NO ACTION instead): SQL Server refuses a cascading action on a key that "
                          "references its own table employee"));
  EXPECT_EQ(d[1].onDelete, "NO ACTION");
  EXPECT_THAT(d[1].lost, IsEmpty());  // nothing cascading was asked for
}

TEST(CascadeActions, SecondPathLosesTheActionOfTheLaterKeyByName) {
  // a → b → d and a → d: table b's key comes first, then d's by name, so fk_d_b makes the
  // second path.
  const std::vector<CascadeKey> keys{Key("d", "fk_d_b", "b", "CASCADE"),
                                     Key("d", "fk_d_a", "a", "CASCADE"),
                                     Key("b", "fk_b_a", "a", "CASCADE")};
  const auto d = DecideCascadeActions(keys);
  EXPECT_EQ(d[2].onDelete, "CASCADE");  // table b first
  EXPECT_EQ(d[1].onDelete, "CASCADE");  // fk_d_a before fk_d_b
  EXPECT_EQ(d[0].onDelete, "NO ACTION");
  EXPECT_THAT(d[0].lost, ElementsAre("ON DELETE CASCADE of foreign key fk_d_b of table d not carried "
                                     "(NO ACTION instead): SQL Server refuses a second cascading path "
                                     "to table d"));
}

TEST(CascadeActions, TwoKeysBetweenTheSameTablesAreTwoPaths) {
  const auto d = DecideCascadeActions({Key("flight", "fk_to", "airport", "CASCADE"),
                                       Key("flight", "fk_from", "airport", "CASCADE")});
  EXPECT_EQ(d[1].onDelete, "CASCADE");
  EXPECT_EQ(d[0].onDelete, "NO ACTION");
  EXPECT_EQ(d[0].lost.size(), 1u);
}

TEST(CascadeActions, CycleIsNamedThroughTheReferencedTable) {
  // The sample database's store and staff reference each other, ON UPDATE CASCADE both.
  const auto d = DecideCascadeActions({Key("store", "fk_store_staff", "staff", "RESTRICT", "CASCADE"),
                                       Key("staff", "fk_staff_store", "store", "RESTRICT", "CASCADE")});
  EXPECT_EQ(d[1].onUpdate, "CASCADE");  // staff before store
  EXPECT_EQ(d[0].onUpdate, "NO ACTION");
  EXPECT_THAT(d[0].lost, ElementsAre("ON UPDATE CASCADE of foreign key fk_store_staff of table store "
                                     "not carried (NO ACTION instead): SQL Server refuses a cycle of "
                                     "cascading actions through table staff"));
}

TEST(CascadeActions, DeleteAndUpdateAreJudgedApart) {
  // Together they would make two paths from a to c; each kind alone makes one.
  const auto d = DecideCascadeActions({Key("b", "fk_b", "a", "CASCADE", "NO ACTION"),
                                       Key("c", "fk_cb", "b", "CASCADE", "NO ACTION"),
                                       Key("c", "fk_ca", "a", "NO ACTION", "CASCADE")});
  EXPECT_EQ(d[0].onDelete, "CASCADE");
  EXPECT_EQ(d[1].onDelete, "CASCADE");
  EXPECT_EQ(d[2].onUpdate, "CASCADE");
  for (const auto& one : d) EXPECT_THAT(one.lost, IsEmpty());
}

TEST(CascadeActions, NamesDifferingInCaseAreOneTable) {
  const auto d = DecideCascadeActions({Key("Node", "fk_up", "node", "CASCADE")});
  EXPECT_EQ(d[0].onDelete, "NO ACTION");
}

// A schema like the well-known sample database: every key ON DELETE RESTRICT ON UPDATE CASCADE.
std::vector<CascadeKey> SampleKeys() {
  const char* edges[][3] = {
      {"address", "fk_address_city", "city"},
      {"city", "fk_city_country", "country"},      {"customer", "fk_customer_address", "address"},
      {"customer", "fk_customer_store", "store"},  {"film", "fk_film_language", "language"},
      {"film", "fk_film_language_original", "language"}, {"film_actor", "fk_film_actor_actor", "actor"},
      {"film_actor", "fk_film_actor_film", "film"}, {"film_category", "fk_film_category_category", "category"},
      {"film_category", "fk_film_category_film", "film"}, {"inventory", "fk_inventory_film", "film"},
      {"inventory", "fk_inventory_store", "store"}, {"payment", "fk_payment_customer", "customer"},
      {"payment", "fk_payment_rental", "rental"},  {"payment", "fk_payment_staff", "staff"},
      {"rental", "fk_rental_customer", "customer"}, {"rental", "fk_rental_inventory", "inventory"},
      {"rental", "fk_rental_staff", "staff"},      {"staff", "fk_staff_address", "address"},
      {"staff", "fk_staff_store", "store"},        {"store", "fk_store_address", "address"},
      {"store", "fk_store_staff", "staff"}};
  std::vector<CascadeKey> keys;
  for (const auto& e : edges) keys.push_back(Key(e[0], e[1], e[2], "RESTRICT", "CASCADE"));
  return keys;
}

TEST(CascadeActions, EveryOrderOfTheKeysGivesTheSameDecisions) {
  std::vector<CascadeKey> keys = SampleKeys();
  const auto first = DecideCascadeActions(keys);
  std::mt19937 random(26);
  for (int round = 0; round < 20; ++round) {
    std::vector<std::size_t> order(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), random);
    std::vector<CascadeKey> shuffled;
    for (std::size_t i : order) shuffled.push_back(keys[i]);
    const auto d = DecideCascadeActions(shuffled);
    for (std::size_t i = 0; i < order.size(); ++i) {
      EXPECT_EQ(d[i].onUpdate, first[order[i]].onUpdate) << keys[order[i]].name;
      EXPECT_EQ(d[i].lost, first[order[i]].lost) << keys[order[i]].name;
    }
  }
}

TEST(CascadeActions, KeptActionsAreAcceptedAndEveryLostOneWouldBeRefused) {
  // The sample schema and random graphs: what is kept passes SQL Server's reading, and putting
  // back any one lost action fails it (nothing is given up that could have been kept).
  std::vector<std::vector<CascadeKey>> schemas{SampleKeys()};
  std::mt19937 random(1785);
  const char* rules[] = {"CASCADE", "SET NULL", "RESTRICT", "NO ACTION"};
  for (int n = 0; n < 40; ++n) {
    std::vector<CascadeKey> keys;
    for (int k = 0; k < 12; ++k) {
      keys.push_back(Key("t" + std::to_string(random() % 7), "k" + std::to_string(k),
                         "t" + std::to_string(random() % 7), rules[random() % 4], rules[random() % 4]));
    }
    schemas.push_back(keys);
  }
  std::size_t lostCount = 0;
  for (const auto& keys : schemas) {
    const auto d = DecideCascadeActions(keys);
    for (bool onDelete : {true, false}) {
      ASSERT_TRUE(SqlServerAccepts(keys, d, onDelete));
      for (std::size_t i = 0; i < keys.size(); ++i) {
        auto back = d;
        std::string& rule = onDelete ? back[i].onDelete : back[i].onUpdate;
        const std::string& asked = onDelete ? keys[i].onDelete : keys[i].onUpdate;
        if (rule != "NO ACTION" || asked == "RESTRICT" || asked == "NO ACTION") continue;
        ++lostCount;
        rule = asked;
        EXPECT_FALSE(SqlServerAccepts(keys, back, onDelete)) << keys[i].name;
      }
    }
  }
  EXPECT_GT(lostCount, 20u);
}

TEST(CascadeActions, SampleDatabaseKeepsEveryKeyAndNamesEachLostAction) {
  const auto d = DecideCascadeActions(SampleKeys());
  std::size_t kept = 0, lost = 0;
  for (const auto& one : d) {
    EXPECT_EQ(one.onDelete, "NO ACTION");
    kept += one.onUpdate == "CASCADE";
    lost += one.lost.size();
    EXPECT_EQ(one.lost.size(), one.onUpdate == "CASCADE" ? 0u : 1u);
  }
  EXPECT_EQ(kept + lost, 22u);
  EXPECT_GT(kept, 0u);
}

}  // namespace
}  // namespace morvane
