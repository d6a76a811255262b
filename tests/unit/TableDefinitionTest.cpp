#include <gtest/gtest.h>

#include "engine/SqlNames.h"
#include "engine/TableDefinition.h"
#include "tests/support/FakeSource.h"

namespace morvane {
namespace {

using namespace mysql_flag;
using test::Field;
namespace t = mysql_type;

constexpr int Latin1 = 8;
constexpr int Bin = 63;

TEST(TableDefinition, OrdersExample) {
  test::FakeSource source;
  source.tables["orders"].fields = test::OrdersFields();
  PendingIndex pending;

  const std::string columns = GetColumnList(source, "orders");
  const std::string keys = GetKeyClause(source, "orders", pending);

  EXPECT_EQ(columns,
            "[id] INT IDENTITY NOT NULL, [customer] NVARCHAR(40) NULL, [code] NCHAR(10) NOT NULL, "
            "[total] DECIMAL(10, 2) NULL, [note] NVARCHAR(MAX) NULL");
  EXPECT_EQ(keys, ", PRIMARY KEY([id]),  UNIQUE ([code])");
  EXPECT_EQ(pending.IndexPending, 1);
  EXPECT_EQ(pending.IndexStatement, "CREATE INDEX [ord_ind] ON [orders] ([customer]);");
  EXPECT_EQ(CreateTableStatement("orders", columns, keys),
            "CREATE TABLE [orders] ([id] INT IDENTITY NOT NULL, [customer] NVARCHAR(40) NULL, "
            "[code] NCHAR(10) NOT NULL, [total] DECIMAL(10, 2) NULL, [note] NVARCHAR(MAX) NULL, "
            "PRIMARY KEY([id]),  UNIQUE ([code]));");
}

struct KeyCase {
  const char* what;
  const char* table;
  std::vector<FieldRecord> fields;
  const char* keys;
  const char* index;  // nullptr: no index built, an earlier statement stays
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.what; }

class KeyWalk : public testing::TestWithParam<KeyCase> {};

TEST_P(KeyWalk, BuildsClausesAndIndex) {
  const KeyCase& c = GetParam();
  test::FakeSource source;
  source.tables[c.table].fields = c.fields;
  PendingIndex pending{"CREATE INDEX [earlier_ind] ON [earlier] ([x]);", 0};

  EXPECT_EQ(GetKeyClause(source, c.table, pending), c.keys);
  if (c.index) {
    EXPECT_EQ(pending.IndexPending, 1);
    EXPECT_EQ(pending.IndexStatement, c.index);
  } else {
    EXPECT_EQ(pending.IndexPending, 0);
    EXPECT_EQ(pending.IndexStatement, "CREATE INDEX [earlier_ind] ON [earlier] ([x]);");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyWalk,
    testing::Values(
        KeyCase{"no keys", "t", {Field("a", t::Long, 11, 0, Bin, 0)}, "", nullptr},
        KeyCase{"composite primary key",
                "t",
                {Field("a", t::Long, 11, 0, Bin, PriKey), Field("b", t::Long, 11, 0, Bin, PriKey)},
                ", PRIMARY KEY([a],[b])",
                nullptr},
        KeyCase{"composite unique is one constraint",
                "t",
                {Field("a", t::Long, 11, 0, Bin, UniqueKey),
                 Field("b", t::Long, 11, 0, Bin, UniqueKey)},
                ", UNIQUE ([a],[b])",
                nullptr},
        KeyCase{"unique before primary comes first",
                "t",
                {Field("u", t::Long, 11, 0, Bin, UniqueKey), Field("p", t::Long, 11, 0, Bin, PriKey)},
                ", UNIQUE ([u]),  PRIMARY KEY([p])",
                nullptr},
        KeyCase{"a primary column with the unique bit joins the unique clause",
                "t",
                {Field("p", t::Long, 11, 0, Bin, PriKey | UniqueKey),
                 Field("u", t::Long, 11, 0, Bin, UniqueKey)},
                ", PRIMARY KEY([p]),  UNIQUE ([p],[u])",
                nullptr},
        KeyCase{"first column a BLOB ends the walk",
                "t",
                {Field("b", t::Blob, 65535, 0, Bin, 0), Field("p", t::Long, 11, 0, Bin, PriKey),
                 Field("m", t::Long, 11, 0, Bin, MultipleKey)},
                "",
                nullptr},
        KeyCase{"a primary-key column of type 252 opens nothing",
                "t",
                {Field("b", t::Blob, 65535, 0, Latin1, PriKey),
                 Field("u", t::Long, 11, 0, Bin, UniqueKey)},
                "",
                nullptr},
        KeyCase{"a clause opened before the BLOB lists members after it",
                "t",
                {Field("p1", t::Long, 11, 0, Bin, PriKey), Field("b", t::Blob, 65535, 0, Bin, 0),
                 Field("p2", t::Long, 11, 0, Bin, PriKey),
                 Field("u", t::Long, 11, 0, Bin, UniqueKey)},
                ", PRIMARY KEY([p1],[p2])",
                nullptr},
        KeyCase{"index of MULTIPLE and PART key columns, primary excluded",
                "orders",
                {Field("id", t::Long, 11, 0, Bin, PriKey | PartKey),
                 Field("c", t::Long, 11, 0, Bin, MultipleKey | PartKey),
                 Field("d", t::Long, 11, 0, Bin, PartKey)},
                ", PRIMARY KEY([id])",
                "CREATE INDEX [ord_ind] ON [orders] ([c],[d]);"},
        KeyCase{"one-character table name",
                "x",
                {Field("c", t::Long, 11, 0, Bin, MultipleKey)},
                "",
                "CREATE INDEX [x_ind] ON [x] ([c]);"},
        KeyCase{"two-character table name",
                "xy",
                {Field("c", t::Long, 11, 0, Bin, MultipleKey)},
                "",
                "CREATE INDEX [xy_ind] ON [xy] ([c]);"},
        KeyCase{"non-Latin table name keeps whole characters",
                "παραγγελίες",
                {Field("c", t::Long, 11, 0, Bin, MultipleKey)},
                "",
                "CREATE INDEX [παρ_ind] ON [παραγγελίες] ([c]);"},
        KeyCase{"names with blanks, reserved words and brackets",
                "a]b c",
                {Field("order id", t::Long, 11, 0, Bin, PriKey), Field("key", t::Long, 11, 0, Bin, UniqueKey),
                 Field("x]; DROP TABLE t; --", t::Long, 11, 0, Bin, MultipleKey)},
                ", PRIMARY KEY([order id]),  UNIQUE ([key])",
                "CREATE INDEX [a]]b_ind] ON [a]]b c] ([x]]; DROP TABLE t; --]);"},
        KeyCase{"a TEXT prefix index is left out, a clause without members is not written",
                "docs",
                {Field("id", t::Long, 11, 0, Bin, PriKey), Field("title", t::VarString, 70000, 0, 8, MultipleKey),
                 Field("tag", t::Long, 11, 0, Bin, 0)},
                ", PRIMARY KEY([id])",
                nullptr},
        KeyCase{"large members are dropped from a clause that keeps others",
                "docs",
                {Field("u1", t::VarString, 40000, 0, 45, UniqueKey),
                 Field("u2", t::Long, 11, 0, Bin, UniqueKey),
                 Field("m1", t::VarString, 70000, 0, 45, MultipleKey | PartKey),
                 Field("m2", t::Long, 11, 0, Bin, PartKey)},
                ", UNIQUE ([u2])",
                "CREATE INDEX [doc_ind] ON [docs] ([m2]);"}));

TEST(TableDefinition, ColumnListForms) {
  test::FakeSource source;
  source.tables["t"].fields = {Field("id", t::Long, 11, 0, Bin, AutoIncrement | NotNull),
                        Field("odd", t::Geometry, 0, 0, Bin, 0),
                        Field("empty", t::String, 0, 0, 45, NotNull),
                        Field("user", t::Long, 11, 0, Bin, 0),
                        Field("a]b", t::Long, 11, 0, Bin, 0)};
  EXPECT_EQ(GetColumnList(source, "t"),
            "[id] INT IDENTITY NOT NULL, [odd] VARBINARY(MAX) NULL, [empty] NCHAR(1) NOT NULL, "
            "[user] INT NULL, "
            "[a]]b] INT NULL");
}

TEST(TableDefinition, ProfilesChooseTypesAndRelaxZeroDateColumns) {
  test::FakeSource source;
  source.tables["t"].fields = {Field("day", t::Date, 10, 0, Bin, NotNull | PriKey),
                               Field("made", t::DateTime, 26, 6, Bin, NotNull),
                               Field("sent", t::DateTime, 19, 0, Bin, NotNull),
                               Field("state", t::String, 32, 0, 45, NotNull | mysql_flag::Enum)};
  const std::vector<ColumnProfile> profiles{
      {.zeroDates = 2}, {.zeroDates = 1}, {}, {.longestValue = 8}};
  // A primary key member keeps NOT NULL (its zero dates are refused); other columns holding zero
  // dates are created NULL.
  EXPECT_EQ(GetColumnList(source, "t", &profiles),
            "[day] DATE NOT NULL, [made] DATETIME2(6) NULL, [sent] DATETIME2(0) NOT NULL, "
            "[state] NVARCHAR(8) NOT NULL");
}

TEST(TableDefinition, MissingFieldListingGivesEmptyTexts) {
  test::FakeSource source;
  PendingIndex pending{"kept", 1};
  EXPECT_EQ(GetColumnList(source, "gone"), "");
  EXPECT_EQ(GetKeyClause(source, "gone", pending), "");
  EXPECT_EQ(pending.IndexStatement, "kept");
  EXPECT_EQ(pending.IndexPending, 1);
}

TEST(SqlNames, BracketsQuotesAndCharacters) {
  EXPECT_EQ(Bracketed("shop"), "[shop]");
  EXPECT_EQ(Bracketed("a]]b"), "[a]]]]b]");
  EXPECT_EQ(Bracketed(""), "[]");
  EXPECT_EQ(Quoted("O'Brien's"), "'O''Brien''s'");
  EXPECT_EQ(FirstCharacters("orders", 3), "ord");
  EXPECT_EQ(FirstCharacters("ab", 3), "ab");
  EXPECT_EQ(FirstCharacters("😀é1x", 3), "😀é1");
}

}  // namespace
}  // namespace morvane
