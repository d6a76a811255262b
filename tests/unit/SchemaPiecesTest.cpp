#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/ColumnDefaults.h"
#include "engine/ForeignKeys.h"
#include "engine/SchemaNames.h"
#include "engine/TableKeys.h"
#include "source/SchemaText.h"

namespace morvane {
namespace {

using testing::ElementsAre;

struct DefaultCase {
  const char* what;
  std::optional<std::string> columnDefault;
  const char* extra;
  bool mariaDb;
  DefaultKind kind;
  const char* value;
};

void PrintTo(const DefaultCase& c, std::ostream* os) { *os << c.what; }

class DefaultText : public testing::TestWithParam<DefaultCase> {};

TEST_P(DefaultText, ReadsAsTheServerWroteIt) {
  const DefaultCase& c = GetParam();
  const ColumnDefault d = ParseColumnDefault(c.columnDefault, c.extra, c.mariaDb);
  EXPECT_EQ(d.kind, c.kind);
  EXPECT_EQ(d.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefaultText,
    testing::Values(
        DefaultCase{"no default", std::nullopt, "", true, DefaultKind::Absent, ""},
        DefaultCase{"MariaDB DEFAULT NULL", "NULL", "", true, DefaultKind::Absent, ""},
        DefaultCase{"MariaDB quoted text", "'pending'", "", true, DefaultKind::Literal, "pending"},
        DefaultCase{"MariaDB quoted text with a quote", "'it''s'", "", true, DefaultKind::Literal, "it's"},
        DefaultCase{"MariaDB text NULL", "'NULL'", "", true, DefaultKind::Literal, "NULL"},
        DefaultCase{"MariaDB empty text", "''", "", true, DefaultKind::Literal, ""},
        DefaultCase{"MariaDB number", "-1.50", "", true, DefaultKind::Literal, "-1.50"},
        DefaultCase{"MariaDB bit", "b'101'", "", true, DefaultKind::Literal, "5"},
        DefaultCase{"MariaDB current_timestamp()", "current_timestamp()",
                    "on update current_timestamp()", true, DefaultKind::CurrentTimestamp,
                    "current_timestamp()"},
        DefaultCase{"MariaDB current_timestamp(3)", "current_timestamp(3)", "", true,
                    DefaultKind::CurrentTimestamp, "current_timestamp(3)"},
        DefaultCase{"MariaDB expression", "curdate()", "", true, DefaultKind::Expression, "curdate()"},
        DefaultCase{"MariaDB two literals are an expression", "concat('a','b')", "", true,
                    DefaultKind::Expression, "concat('a','b')"},
        DefaultCase{"MySQL bare text", "pending", "", false, DefaultKind::Literal, "pending"},
        DefaultCase{"MySQL text that looks like a function", "now()", "", false,
                    DefaultKind::Literal, "now()"},
        DefaultCase{"MySQL CURRENT_TIMESTAMP", "CURRENT_TIMESTAMP",
                    "DEFAULT_GENERATED on update CURRENT_TIMESTAMP", false,
                    DefaultKind::CurrentTimestamp, "CURRENT_TIMESTAMP"},
        DefaultCase{"MySQL expression", "(rand())", "DEFAULT_GENERATED", false,
                    DefaultKind::Expression, "(rand())"}));

TEST(KeyColumnWidth, DeclaredMaximumPerType) {
  struct W {
    const char* type;
    std::optional<std::uint32_t> bytes;
    bool variable;
  };
  for (const W& w : {W{"INT", 4, false}, W{"BIGINT", 8, false}, W{"DECIMAL(10, 2)", 9, false},
                     W{"DECIMAL(38, 0)", 17, false}, W{"NCHAR(10)", 20, false},
                     W{"NVARCHAR(850)", 1700, true}, W{"VARBINARY(900)", 900, true},
                     W{"DATETIME2(6)", 8, false}, W{"FLOAT", 8, false}, W{"NTEXT", std::nullopt, false},
                     W{"NVARCHAR(MAX)", std::nullopt, false}, W{"IMAGE", std::nullopt, false},
                     W{"", std::nullopt, false}}) {
    const auto width = KeyColumnWidth(w.type);
    ASSERT_EQ(width.has_value(), w.bytes.has_value()) << w.type;
    if (width) {
      EXPECT_EQ(width->bytes, *w.bytes) << w.type;
      EXPECT_EQ(width->variable, w.variable) << w.type;
    }
  }
}

TEST(SchemaNames, TablesDifferingOnlyInCaseGetNamesOfTheirOwn) {
  SchemaNames names;
  EXPECT_THAT(names.ClaimTables({"Users", "orders", "users", "users_2", "USERS"}),
              ElementsAre("Users", "orders", "users_3", "users_2", "USERS_4"));
  // A constraint never takes a table's name.
  EXPECT_EQ(names.ClaimConstraint("orders", "USERS"), "orders_USERS");
  EXPECT_EQ(names.ClaimConstraint("orders", "uq"), "uq");
  EXPECT_EQ(names.ClaimConstraint("Users", "uq"), "Users_uq");
  // Index names are unique per table only.
  EXPECT_EQ(names.ClaimIndex("Users", "Users_uq"), "Users_uq_2");
  EXPECT_EQ(names.ClaimIndex("users_3", "uq"), "uq");
  // A foreign key may share its name with an index of its table, not with another object.
  EXPECT_EQ(names.ClaimIndex("orders", "fk"), "fk");
  EXPECT_EQ(names.ClaimConstraint("orders", "fk", false), "fk");
  EXPECT_EQ(names.ClaimConstraint("orders", "fk", false), "orders_fk");
}

TEST(SchemaNames, LongNamesStayWithinTheLimit) {
  SchemaNames names;
  const std::string table(100, 't');
  const std::string key(64, 'k');
  names.ClaimTables({table});
  EXPECT_EQ(names.ClaimConstraint(table, key), key);
  const std::string prefixed = names.ClaimConstraint(table, key);
  EXPECT_EQ(prefixed, table + "_" + std::string(27, 'k'));
  const std::string numbered = names.ClaimConstraint(table, key);
  EXPECT_EQ(numbered.size(), 128u);
  EXPECT_EQ(numbered.substr(126), "_2");
}

TEST(ForeignKeys, StatementsRulesAndWhatIsNotCarried) {
  EXPECT_EQ(ForeignKeyRule("RESTRICT"), "NO ACTION");
  EXPECT_EQ(ForeignKeyRule("NO ACTION"), "NO ACTION");
  EXPECT_EQ(ForeignKeyRule("CASCADE"), "CASCADE");
  EXPECT_EQ(ForeignKeyRule("SET NULL"), "SET NULL");
  EXPECT_EQ(ForeignKeyRule("SET DEFAULT"), "SET DEFAULT");

  SchemaNames names;
  names.ClaimTables({"orders", "Customers", "customers"});
  const std::vector<PendingForeignKey> keys{
      {"orders", "orders",
       {"fk_c", {"customer", "shop"}, "shop", true, "customers", {"id", "shop"}, "CASCADE", "RESTRICT"}},
      {"orders", "orders", {"fk_p", {"product"}, "shop", true, "products", {"id"}, "NO ACTION", "NO ACTION"}},
      {"orders", "orders", {"fk_x", {"x"}, "other", false, "customers", {"id"}, "NO ACTION", "NO ACTION"}}};
  const auto statements =
      ForeignKeyStatements(keys, {{"orders", "orders"}, {"customers", "customers_2"}}, names);
  ASSERT_EQ(statements.size(), 3u);
  EXPECT_EQ(statements[0].statement,
            "ALTER TABLE [orders] ADD CONSTRAINT [fk_c] FOREIGN KEY ([customer],[shop]) REFERENCES "
            "[customers_2] ([id],[shop]) ON DELETE CASCADE ON UPDATE NO ACTION;");
  EXPECT_EQ(statements[1].statement, "");
  EXPECT_EQ(statements[1].what, "foreign key fk_p of table orders");
  EXPECT_EQ(statements[1].whyNot, "its table products was not converted in this run");
  EXPECT_EQ(statements[2].whyNot, "it references table customers of database other");
}

// Actions SQL Server refuses are decided in the plan: the key stays, with NO ACTION for them.
TEST(ForeignKeys, RefusedActionsBecomeNoActionAndAreNamed) {
  SchemaNames names;
  names.ClaimTables({"staff", "Orders"});
  const std::vector<PendingForeignKey> keys{
      {"staff", "staff",
       {"boss", {"boss_id"}, "shop", true, "staff", {"id"}, "SET NULL", "CASCADE"}},
      {"orders", "Orders",
       {"by", {"staff_id"}, "shop", true, "staff", {"id"}, "CASCADE", "RESTRICT"}}};
  const auto statements =
      ForeignKeyStatements(keys, {{"staff", "staff"}, {"orders", "Orders"}}, names);
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0].statement,
            "ALTER TABLE [staff] ADD CONSTRAINT [boss] FOREIGN KEY ([boss_id]) REFERENCES [staff] "
            "([id]) ON DELETE NO ACTION ON UPDATE NO ACTION;");
  EXPECT_EQ(statements[0].noActionStatement, "");
  ASSERT_EQ(statements[0].lostActions.size(), 2u);
  EXPECT_EQ(statements[0].lostActions[0].rfind(
                "ON DELETE SET NULL of foreign key boss of table staff not carried (NO ACTION "
                "instead): ", 0), 0u);
  EXPECT_EQ(statements[0].lostActions[1].rfind("ON UPDATE CASCADE of foreign key boss", 0), 0u);
  EXPECT_EQ(statements[1].statement,
            "ALTER TABLE [Orders] ADD CONSTRAINT [by] FOREIGN KEY ([staff_id]) REFERENCES [staff] "
            "([id]) ON DELETE CASCADE ON UPDATE NO ACTION;");
  EXPECT_EQ(statements[1].noActionStatement,
            "ALTER TABLE [Orders] ADD CONSTRAINT [by] FOREIGN KEY ([staff_id]) REFERENCES [staff] "
            "([id]) ON DELETE NO ACTION ON UPDATE NO ACTION;");
  EXPECT_EQ(statements[1].actions, "ON DELETE CASCADE");
  EXPECT_TRUE(statements[1].lostActions.empty());
}

TEST(ColumnDefaults, Collations) {
  EXPECT_EQ(TargetCollation("utf8mb4_bin"), "Latin1_General_100_BIN2");
  EXPECT_EQ(TargetCollation("utf8mb4_nopad_bin"), "Latin1_General_100_BIN2");
  EXPECT_EQ(TargetCollation("utf8mb4_0900_as_cs"), "Latin1_General_100_CS_AS_SC");
  EXPECT_EQ(TargetCollation("latin1_general_cs"), "Latin1_General_100_CS_AS_SC");
  EXPECT_EQ(TargetCollation("utf8mb4_general_ci"), "");
  EXPECT_EQ(TargetCollation("utf8mb4_0900_ai_ci"), "");
  EXPECT_EQ(TargetCollation(""), "");
  ColumnInfo binary{"c", DefaultKind::Absent, "", "utf8mb4_bin", "", "", true};
  EXPECT_EQ(CollateClause("NVARCHAR(20)", &binary), " COLLATE Latin1_General_100_BIN2");
  EXPECT_EQ(CollateClause("INT", &binary), "");
  EXPECT_EQ(CollateClause("NVARCHAR(20)", nullptr), "");
}

}  // namespace
}  // namespace morvane
