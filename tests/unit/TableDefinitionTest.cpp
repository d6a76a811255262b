#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/SqlNames.h"
#include "engine/TableDefinition.h"
#include "tests/support/FakeSource.h"

namespace morvane {
namespace {

using namespace mysql_flag;
using test::Field;
using testing::ElementsAre;
using testing::HasSubstr;
namespace t = mysql_type;

constexpr int Latin1 = 8;
constexpr int Utf8mb4 = 45;
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
  EXPECT_EQ(keys, ", PRIMARY KEY([id])");
  ASSERT_EQ(pending.IndexStatements.size(), 2u);
  EXPECT_EQ(pending.IndexStatements[0].IndexStatement,
            "CREATE INDEX [customer] ON [orders] ([customer]);");
  EXPECT_EQ(pending.IndexStatements[1].IndexStatement,
            "ALTER TABLE [orders] ADD CONSTRAINT [code] UNIQUE ([code]);");
  EXPECT_EQ(pending.IndexStatements[1].what, "unique key code of table orders");
  EXPECT_EQ(CreateTableStatement("orders", columns, keys),
            "CREATE TABLE [orders] ([id] INT IDENTITY NOT NULL, [customer] NVARCHAR(40) NULL, "
            "[code] NCHAR(10) NOT NULL, [total] DECIMAL(10, 2) NULL, [note] NVARCHAR(MAX) NULL, "
            "PRIMARY KEY([id]));");
}

// An index as SHOW INDEX reports it: name, uniqueness, type, members (name, prefix, nullable).
IndexInfo Index(std::string name, bool unique, std::vector<IndexColumn> columns,
                std::string type = "BTREE") {
  return IndexInfo{std::move(name), unique, std::move(type), std::move(columns)};
}
IndexColumn Col(std::string name, bool nullable = false, std::optional<std::uint32_t> prefix = {}) {
  return IndexColumn{std::move(name), prefix, nullable};
}

struct KeyCase {
  const char* what;
  const char* table;
  std::vector<FieldRecord> fields;
  std::vector<IndexInfo> indexes;
  const char* keys;
  std::vector<std::string> statements;
  std::vector<std::string> leftOut;  // a piece of each item's text, in order
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.what; }

class KeyWalk : public testing::TestWithParam<KeyCase> {};

TEST_P(KeyWalk, BuildsKeysIndexesAndLeavesOut) {
  const KeyCase& c = GetParam();
  test::FakeSource source;
  auto& table = source.tables[c.table];
  table.fields = c.fields;
  TableSchema schema = test::SchemaFromFlags(c.fields);
  schema.indexes = c.indexes;
  table.schema = schema;
  PendingIndex pending;

  EXPECT_EQ(GetKeyClause(source, c.table, pending), c.keys);
  std::vector<std::string> statements;
  for (const auto& s : pending.IndexStatements) statements.push_back(s.IndexStatement);
  EXPECT_EQ(statements, c.statements);
  ASSERT_EQ(pending.LeftOut.size(), c.leftOut.size()) << testing::PrintToString(pending.LeftOut);
  for (std::size_t i = 0; i < c.leftOut.size(); ++i)
    EXPECT_THAT(pending.LeftOut[i], HasSubstr(c.leftOut[i]));
}

const FieldRecord IntNotNull(const char* name) { return Field(name, t::Long, 11, 0, Bin, NotNull); }
const FieldRecord IntNull(const char* name) { return Field(name, t::Long, 11, 0, Bin, 0); }

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyWalk,
    testing::Values(
        KeyCase{"no keys", "t", {IntNull("a")}, {}, "", {}, {}},
        KeyCase{"composite primary key in key order",
                "t",
                {IntNotNull("a"), IntNotNull("b")},
                {Index("PRIMARY", true, {Col("b"), Col("a")})},
                ", PRIMARY KEY([b],[a])",
                {},
                {}},
        KeyCase{"two single-column unique keys are two constraints",
                "users",
                {IntNotNull("id"), Field("email", t::VarString, 240, 0, Utf8mb4, NotNull),
                 Field("username", t::VarString, 160, 0, Utf8mb4, NotNull)},
                {Index("PRIMARY", true, {Col("id")}), Index("email", true, {Col("email")}),
                 Index("username", true, {Col("username")})},
                ", PRIMARY KEY([id])",
                {"ALTER TABLE [users] ADD CONSTRAINT [email] UNIQUE ([email]);",
                 "ALTER TABLE [users] ADD CONSTRAINT [username] UNIQUE ([username]);"},
                {}},
        KeyCase{"a composite unique key stays unique",
                "receipts",
                {IntNotNull("shop"), IntNotNull("number")},
                {Index("shop", true, {Col("shop"), Col("number")})},
                "",
                {"ALTER TABLE [receipts] ADD CONSTRAINT [shop] UNIQUE ([shop],[number]);"},
                {}},
        KeyCase{"a nullable unique key is a filtered unique index over its nullable members",
                "t",
                {IntNotNull("a"), IntNull("b"), IntNull("c")},
                {Index("abc", true, {Col("a"), Col("b", true), Col("c", true)})},
                "",
                {"CREATE UNIQUE INDEX [abc] ON [t] ([a],[b],[c]) WHERE [b] IS NOT NULL AND [c] IS "
                 "NOT NULL;"},
                {}},
        KeyCase{"other indexes each their own, named after MySQL's",
                "t",
                {IntNull("a"), IntNull("b")},
                {Index("by_a", false, {Col("a", true)}), Index("by_ba", false, {Col("b", true), Col("a", true)})},
                "",
                {"CREATE INDEX [by_a] ON [t] ([a]);", "CREATE INDEX [by_ba] ON [t] ([b],[a]);"},
                {}},
        KeyCase{"a prefix index indexes the whole column",
                "docs",
                {Field("title", t::VarString, 200, 0, Latin1, 0)},
                {Index("title", false, {Col("title", true, 100)})},
                "",
                {"CREATE INDEX [title] ON [docs] ([title]);"},
                {}},
        KeyCase{"a prefix key on a TEXT column is left out and named",
                "docs",
                {IntNotNull("id"), Field("body", t::Blob, 65535, 0, Utf8mb4, 0)},
                {Index("PRIMARY", true, {Col("id")}), Index("body", true, {Col("body", true, 20)}),
                 Index("body_2", false, {Col("body", true, 20)})},
                ", PRIMARY KEY([id])",
                {},
                {"docs: unique key body was not carried (column body is of type NVARCHAR(MAX)",
                 "docs: index body_2 was not carried"}},
        KeyCase{"a variable-width key over 1700 bytes is left out, its limit named",
                "wide",
                {Field("a", t::VarString, 1016, 0, Utf8mb4, 0), Field("b", t::VarString, 1016, 0, Utf8mb4, 0)},
                {Index("ab", false, {Col("a", true), Col("b", true)}), Index("a", true, {Col("a", true)})},
                "",
                {"CREATE UNIQUE INDEX [a] ON [wide] ([a]) WHERE [a] IS NOT NULL;"},
                {"index ab was not carried (its key can be 2032 bytes long, more than the 1700"}},
        KeyCase{"a primary key over 900 bytes is nonclustered",
                "wide",
                {Field("a", t::VarString, 1016, 0, Utf8mb4, NotNull)},
                {Index("PRIMARY", true, {Col("a")})},
                ", PRIMARY KEY NONCLUSTERED([a])",
                {},
                {}},
        KeyCase{"FULLTEXT, SPATIAL and functional indexes are named",
                "t",
                {Field("body", t::VarString, 200, 0, Latin1, 0), IntNull("a")},
                {Index("ft", false, {Col("body", true)}, "FULLTEXT"),
                 Index("sp", false, {Col("a", true)}, "SPATIAL"),
                 Index("fn", false, {Col("", true)})},
                "",
                {},
                {"FULLTEXT index ft was not carried", "SPATIAL index sp was not carried",
                 "index fn was not carried (it indexes an expression)"}},
        KeyCase{"a constraint named like its table takes the table's name as prefix",
                "code",
                {IntNotNull("code")},
                {Index("code", true, {Col("code")})},
                "",
                {"ALTER TABLE [code] ADD CONSTRAINT [code_code] UNIQUE ([code]);"},
                {}},
        KeyCase{"names with blanks, reserved words and brackets",
                "a]b c",
                {IntNotNull("order id"), IntNotNull("key"), IntNull("x]; DROP TABLE t; --")},
                {Index("PRIMARY", true, {Col("order id")}), Index("key", true, {Col("key")}),
                 Index("x]y", false, {Col("x]; DROP TABLE t; --", true)})},
                ", PRIMARY KEY([order id])",
                {"ALTER TABLE [a]]b c] ADD CONSTRAINT [key] UNIQUE ([key]);",
                 "CREATE INDEX [x]]y] ON [a]]b c] ([x]]; DROP TABLE t; --]);"},
                {}}));

TEST(TableDefinition, FortyIndexesAreFortyStatementsAndThirtyThreeColumnsAreTooMany) {
  test::FakeSource source;
  auto& table = source.tables["many"];
  TableSchema schema;
  IndexInfo all = Index("all", false, {});
  for (int i = 0; i < 40; ++i) {
    const std::string name = "c" + std::to_string(i);
    table.fields.push_back(Field(name, t::Long, 11, 0, Bin, 0));
    schema.indexes.push_back(Index(name, false, {Col(name, true)}));
    if (i < 33) all.columns.push_back(Col(name, true));
  }
  schema.indexes.push_back(all);
  table.schema = schema;
  PendingIndex pending;
  EXPECT_EQ(GetKeyClause(source, "many", pending), "");
  ASSERT_EQ(pending.IndexStatements.size(), 40u);
  EXPECT_EQ(pending.IndexStatements[39].IndexStatement, "CREATE INDEX [c39] ON [many] ([c39]);");
  EXPECT_THAT(pending.LeftOut, ElementsAre("many: index all was not carried (it has more than 32 columns)"));
}

TEST(TableDefinition, RenamedTableGetsItsStatementsUnderItsNewName) {
  test::FakeSource source;
  source.tables["users"].fields = {Field("id", t::Long, 11, 0, Bin, NotNull | UniqueKey)};
  PendingIndex pending;
  pending.Names.ClaimTables({"Users", "users"});
  EXPECT_EQ(GetKeyClause(source, "users", "users_2", pending), "");
  ASSERT_EQ(pending.IndexStatements.size(), 1u);
  EXPECT_EQ(pending.IndexStatements[0].IndexStatement,
            "ALTER TABLE [users_2] ADD CONSTRAINT [id] UNIQUE ([id]);");
}

// The AUTO_INCREMENT counter is carried (the plan's tests), so it is no longer named here.
TEST(TableDefinition, ForeignKeysChecksTriggersAndViewsAreHandedOnAndTheCounterIsNotNamed) {
  test::FakeSource source;
  auto& table = source.tables["orders"];
  table.fields = {Field("id", t::Long, 11, 0, Bin, NotNull | PriKey | AutoIncrement),
                  Field("customer", t::Long, 11, 0, Bin, 0)};
  TableSchema schema = test::SchemaFromFlags(table.fields);
  schema.foreignKeys.push_back({"fk_customer", {"customer"}, "shop", true, "customers", {"id"}, "CASCADE", "RESTRICT"});
  schema.checkConstraints = {"positive"};
  schema.triggers = {"stamp"};
  schema.isView = true;
  schema.autoIncrement = 1000;
  table.schema = schema;
  PendingIndex pending;
  EXPECT_EQ(GetKeyClause(source, "orders", "orders", pending), ", PRIMARY KEY([id])");
  ASSERT_EQ(pending.ForeignKeys.size(), 1u);
  EXPECT_EQ(pending.ForeignKeys[0].key.name, "fk_customer");
  EXPECT_THAT(pending.LeftOut,
              ElementsAre("orders: CHECK constraint positive was not carried",
                          "orders: trigger stamp was not carried",
                          "orders is a view in MySQL; it arrived as a table of its rows"));
}

TEST(TableDefinition, UnreadableSchemaIsNamedAndGivesNoKeys) {
  test::FakeSource source;
  source.tables["t"].fields = {Field("id", t::Long, 11, 0, Bin, NotNull | PriKey)};
  source.tables["t"].schemaUnreadable = true;
  PendingIndex pending;
  EXPECT_EQ(GetKeyClause(source, "t", pending), "");
  EXPECT_THAT(pending.LeftOut, ElementsAre("t: its keys and indexes could not be read from MySQL"));
}

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

struct ColumnCase {
  const char* what;
  FieldRecord field;
  ColumnInfo column;
  const char* definition;
  const char* leftOut;  // a piece of the one item left out, or nullptr
};

void PrintTo(const ColumnCase& c, std::ostream* os) { *os << c.what; }

class ColumnPieces : public testing::TestWithParam<ColumnCase> {};

TEST_P(ColumnPieces, CollationAndDefault) {
  const ColumnCase& c = GetParam();
  test::FakeSource source;
  source.tables["t"].fields = {c.field};
  TableSchema schema;
  schema.columns = {c.column};
  source.tables["t"].schema = schema;
  PendingIndex pending;
  EXPECT_EQ(GetColumnList(source, "t", pending), c.definition);
  if (c.leftOut) {
    ASSERT_EQ(pending.LeftOut.size(), 1u);
    EXPECT_THAT(pending.LeftOut[0], HasSubstr(c.leftOut));
  } else {
    EXPECT_TRUE(pending.LeftOut.empty()) << testing::PrintToString(pending.LeftOut);
  }
}

ColumnInfo Info(DefaultKind kind, std::string value, std::string collation = "",
                std::string extra = "", std::string generated = "") {
  return ColumnInfo{"c", kind, std::move(value), std::move(collation), std::move(extra),
                    std::move(generated), true};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColumnPieces,
    testing::Values(
        ColumnCase{"case-insensitive text keeps the database's collation",
                   Field("c", t::VarString, 40, 0, Utf8mb4, 0),
                   Info(DefaultKind::Absent, "", "utf8mb4_general_ci"), "[c] NVARCHAR(20) NULL", nullptr},
        ColumnCase{"binary collation", Field("c", t::VarString, 40, 0, Utf8mb4, 0),
                   Info(DefaultKind::Absent, "", "utf8mb4_bin"),
                   "[c] NVARCHAR(20) COLLATE Latin1_General_100_BIN2 NULL", nullptr},
        ColumnCase{"case-sensitive collation", Field("c", t::String, 10, 0, Latin1, 0),
                   Info(DefaultKind::Absent, "", "latin1_general_cs"),
                   "[c] NCHAR(10) COLLATE Latin1_General_100_CS_AS_SC NULL", nullptr},
        ColumnCase{"text literal", Field("c", t::VarString, 40, 0, Utf8mb4, NotNull),
                   Info(DefaultKind::Literal, "it's"), "[c] NVARCHAR(20) NOT NULL DEFAULT N'it''s'",
                   nullptr},
        ColumnCase{"number literal", Field("c", t::NewDecimal, 12, 2, Bin, 0),
                   Info(DefaultKind::Literal, "1.50"), "[c] DECIMAL(10, 2) NULL DEFAULT 1.5", nullptr},
        ColumnCase{"integer literal", Field("c", t::Long, 11, 0, Bin, 0),
                   Info(DefaultKind::Literal, "-3"), "[c] INT NULL DEFAULT -3", nullptr},
        ColumnCase{"bit literal", Field("c", t::Bit, 1, 0, Bin, 0), Info(DefaultKind::Literal, "1"),
                   "[c] BIT NULL DEFAULT 1", nullptr},
        ColumnCase{"date literal", Field("c", t::DateTime, 19, 0, Bin, 0),
                   Info(DefaultKind::Literal, "2024-02-29 10:00:00"),
                   "[c] DATETIME2(0) NULL DEFAULT N'2024-02-29 10:00:00'", nullptr},
        ColumnCase{"zero date has no SQL Server value", Field("c", t::DateTime, 19, 0, Bin, 0),
                   Info(DefaultKind::Literal, "0000-00-00 00:00:00"), "[c] DATETIME2(0) NULL",
                   "t: column c: DEFAULT '0000-00-00 00:00:00' was not carried"},
        ColumnCase{"CURRENT_TIMESTAMP", Field("c", t::Timestamp, 19, 0, Bin, NotNull),
                   Info(DefaultKind::CurrentTimestamp, "current_timestamp()"),
                   "[c] DATETIME2(0) NOT NULL DEFAULT sysdatetime()", nullptr},
        ColumnCase{"ON UPDATE CURRENT_TIMESTAMP is named, the default kept",
                   Field("c", t::Timestamp, 19, 0, Bin, NotNull),
                   Info(DefaultKind::CurrentTimestamp, "current_timestamp()", "",
                        "on update current_timestamp()"),
                   "[c] DATETIME2(0) NOT NULL DEFAULT sysdatetime()",
                   "t: column c: ON UPDATE CURRENT_TIMESTAMP was not carried"},
        ColumnCase{"untranslated expression default is named with the reason",
                   Field("c", t::Long, 11, 0, Bin, 0),
                   Info(DefaultKind::Expression, "(floor(rand() * 10))"), "[c] INT NULL",
                   "t: column c: DEFAULT (floor(rand() * 10)) was not translated (it calls rand()"},
        ColumnCase{"expression default", Field("c", t::Long, 11, 0, Bin, 0),
                   Info(DefaultKind::Expression, "(1 + 1)"), "[c] INT NULL DEFAULT ((CAST(1 AS BIGINT) + 1))",
                   nullptr},
        ColumnCase{"UUID() default", Field("c", t::String, 144, 0, Utf8mb4, 0),
                   Info(DefaultKind::Expression, "uuid()"),
                   "[c] NCHAR(36) NULL DEFAULT (LOWER(CONVERT(CHAR(36), NEWID())))", nullptr},
        ColumnCase{"CURDATE() default", Field("c", t::Date, 10, 0, Bin, 0),
                   Info(DefaultKind::Expression, "curdate()"),
                   "[c] DATE NULL DEFAULT (CONVERT(DATE, SYSDATETIME()))", nullptr},
        ColumnCase{"a default stored otherwise is named",
                   Field("c", t::VarString, 160, 0, Utf8mb4, 0),
                   Info(DefaultKind::Expression, "curdate()"), "[c] NVARCHAR(80) NULL",
                   "t: column c: DEFAULT curdate() was not translated (its value is a date, which "
                   "SQL Server would store into NVARCHAR(80) otherwise than MySQL)"},
        ColumnCase{"a default naming a column is named", Field("c", t::Long, 11, 0, Bin, 0),
                   Info(DefaultKind::Expression, "`a` + 1"), "[c] INT NULL",
                   "t: column c: DEFAULT `a` + 1 was not translated (it references column a; a "
                   "DEFAULT on SQL Server cannot reference a column)"},
        ColumnCase{"generated column is named", Field("c", t::Long, 11, 0, Bin, 0),
                   Info(DefaultKind::Absent, "", "", "VIRTUAL GENERATED", "`a` + 1"), "[c] INT NULL",
                   "t: column c is generated (`a` + 1); its values arrive as a plain column"}));


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
  PendingIndex pending;
  pending.IndexStatements.push_back({"kept", "kept"});
  EXPECT_EQ(GetColumnList(source, "gone"), "");
  EXPECT_EQ(GetKeyClause(source, "gone", pending), "");
  ASSERT_EQ(pending.IndexStatements.size(), 1u);
  EXPECT_EQ(pending.IndexStatements[0].IndexStatement, "kept");
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
