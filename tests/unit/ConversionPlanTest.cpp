// The plan of a run, built from catalogue values as the read hands them over: each decision a
// table of shapes, and the run carrying a plan out against the fakes.
#include <array>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/ConversionPlan.h"
#include "tests/support/FakeRun.h"
#include "tests/support/FakeSource.h"

namespace morvane {
namespace {

using namespace mysql_flag;
using test::Field;
using testing::AllOf;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
namespace t = mysql_type;

constexpr int Utf8mb4 = 45;  // the connection's set: every text field reports it
constexpr int Bin = 63;

// A table as the read hands it over: its fields, a schema made from their flags (unless
// given), empty profiles and the number of rows.
TableRead Read(std::string table, std::vector<FieldRecord> fields, std::uint64_t rows = 1,
               std::optional<TableSchema> schema = std::nullopt) {
  TableRead r;
  r.table = std::move(table);
  r.schema = schema ? *schema : test::SchemaFromFlags(fields);
  r.profiles = std::vector<ColumnProfile>(fields.size());
  r.fields = std::move(fields);
  r.rowCount = rows;
  return r;
}

ConversionPlan Plan(std::vector<TableRead> tables, std::map<UniqueQuestion, bool> unique = {}) {
  SchemaNames names;
  return PlanConversion({std::move(tables), std::move(unique)}, names);
}

std::vector<std::string> Texts(const TablePlan& t) {
  std::vector<std::string> texts;
  for (const auto& item : t.items) texts.push_back(item.text);
  return texts;
}

// n columns of one type, named c1, c2, ...
std::vector<FieldRecord> Columns(std::size_t n, int type, std::uint32_t length, int charsetnr) {
  std::vector<FieldRecord> fields;
  for (std::size_t i = 1; i <= n; ++i)
    fields.push_back(Field("c" + std::to_string(i), type, length, 0, charsetnr, 0));
  return fields;
}

// ---- Row size ------------------------------------------------------------------------------

TEST(ConversionPlanRowSize, CountsAsSqlServerDoes) {
  // Sixteen NCHAR(255): 8 160 bytes of data, 4 + 2 + 2 of overhead.
  EXPECT_EQ(FixedRowBytes(std::vector<std::string>(16, "NCHAR(255)")), 8168u);
  // Eight BIT columns take one byte; NVARCHAR nothing; DATETIME2(0) six, TIME(7) five.
  EXPECT_EQ(FixedRowBytes({"BIT", "BIT", "BIT", "BIT", "BIT", "BIT", "BIT", "BIT", "BIT",
                           "NVARCHAR(100)", "DATETIME2(0)", "TIME(7)", "DECIMAL(38, 2)"}),
            2u + 6 + 5 + 17 + 4 + 2 + 2);
}

struct RowShape {
  const char* name;
  std::vector<FieldRecord> fields;
  std::vector<std::string> changed;  // the columns created NVARCHAR / VARBINARY
  const char* leftOut;               // part of the reason the table is left out, or ""
};

class ConversionPlanRows : public testing::TestWithParam<RowShape> {};

TEST_P(ConversionPlanRows, WidestFixedColumnsVaryUntilTheRowFits) {
  const RowShape& shape = GetParam();
  const ConversionPlan plan = Plan({Read("wide", shape.fields)});
  const TablePlan& t = plan.tables[0];
  if (*shape.leftOut != '\0') {
    EXPECT_THAT(t.leftOut, HasSubstr(shape.leftOut));
    EXPECT_THAT(Texts(t), Contains(t.leftOut));
    EXPECT_TRUE(t.createStatement.empty());
    return;
  }
  EXPECT_TRUE(t.leftOut.empty());
  EXPECT_LE(FixedRowBytes(t.Types()), MaxRowBytes);
  std::vector<std::string> changed;
  for (const auto& c : t.columns) {
    if (c.type.starts_with("NVARCHAR") || c.type.starts_with("VARBINARY")) {
      changed.push_back(c.field.org_name);
      EXPECT_THAT(Texts(t), Contains("wide, column " + c.field.org_name + ": created " + c.type +
                                     ": the row's fixed part would exceed SQL Server's 8 060 bytes"));
    }
  }
  EXPECT_EQ(changed, shape.changed);
}

std::vector<FieldRecord> WithWidest() {
  auto fields = Columns(15, t::String, 1020, Utf8mb4);      // 15 x NCHAR(255)
  fields.push_back(Field("wide", t::String, 600, 0, Bin, 0));  // BINARY(600), the widest
  return fields;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ConversionPlanRows,
    testing::Values(
        RowShape{"fifteen", Columns(15, t::String, 1020, Utf8mb4), {}, ""},
        RowShape{"sixteen", Columns(16, t::String, 1020, Utf8mb4), {"c1"}, ""},
        RowShape{"thirty", Columns(30, t::String, 1020, Utf8mb4),
                 {"c1", "c2", "c3", "c4", "c5", "c6", "c7", "c8", "c9", "c10", "c11", "c12",
                  "c13", "c14", "c15"}, ""},
        RowShape{"binaryWidest", WithWidest(), {"wide"}, ""},
        RowShape{"bigints", Columns(1010, t::LongLong, 20, Bin), {}, "8 060"},
        RowShape{"columns", Columns(1025, t::Long, 11, Bin), {}, "1025 columns, more than the 1 024"}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- DECIMAL beyond 38 digits --------------------------------------------------------------

TEST(ConversionPlanDecimal, ValuesBeyond38DigitsKeepTheirExactText) {
  struct Case {
    FieldRecord field;
    std::uint32_t integer, fraction;
    const char* type;
  };
  const Case cases[] = {
      {Field("d", t::NewDecimal, 67, 30, Bin, 0), 35, 30, "NVARCHAR(67)"},  // DECIMAL(65,30)
      {Field("d", t::NewDecimal, 66, 30, Bin, Unsigned), 35, 30, "NVARCHAR(66)"},
      {Field("d", t::NewDecimal, 66, 0, Bin, 0), 39, 0, "NVARCHAR(66)"},  // DECIMAL(65,0)
      {Field("d", t::NewDecimal, 67, 30, Bin, 0), 20, 10, "DECIMAL(38, 18)"},
      {Field("d", t::NewDecimal, 67, 30, Bin, 0), 8, 30, "DECIMAL(38, 30)"},
      {Field("d", t::NewDecimal, 12, 2, Bin, 0), 0, 0, "DECIMAL(10, 2)"},
  };
  for (const auto& c : cases) {
    TableRead r = Read("money", {c.field});
    (*r.profiles)[0].integerDigits = c.integer;
    (*r.profiles)[0].fractionDigits = c.fraction;
    const ConversionPlan plan = Plan({r});
    const TablePlan& t = plan.tables[0];
    EXPECT_EQ(t.columns[0].type, c.type) << c.integer << "+" << c.fraction;
    const bool text = std::string(c.type).starts_with("NVARCHAR");
    EXPECT_EQ(!Texts(t).empty(), text);
    if (!text) continue;
    EXPECT_THAT(Texts(t), ElementsAre("money, column d: its values need " +
                                        std::to_string(c.integer + c.fraction) +
                                        " digits, more than the 38 of SQL Server's DECIMAL; "
                                        "created " + c.type + ", each value its exact decimal text"));
  }
}

// A TIMESTAMP keeps its wall time in DATETIME2 unless the profile found wall times shared by
// two instants; then DATETIMEOFFSET, named. A DATETIME, which has no instant, never changes.
TEST(ConversionPlanTimestamp, RepeatedWallTimesGiveDateTimeOffsetNamed) {
  TableRead r = Read("log", {Field("at", t::Timestamp, 26, 6, Bin, 0),
                             Field("plain", t::Timestamp, 19, 0, Bin, 0),
                             Field("local", t::DateTime, 19, 0, Bin, 0)});
  (*r.profiles)[0].repeatedWallTimes = 2;
  (*r.profiles)[2].repeatedWallTimes = 1;  // not asked of a DATETIME; ignored if ever given
  const ConversionPlan plan = Plan({r});
  const TablePlan& t = plan.tables[0];
  EXPECT_EQ(t.columns[0].type, "DATETIMEOFFSET(6)");
  EXPECT_EQ(t.columns[1].type, "DATETIME2(0)");
  EXPECT_EQ(t.columns[2].type, "DATETIME2(0)");
  EXPECT_THAT(Texts(t), ElementsAre("log, column at: created DATETIMEOFFSET(6): 2 value(s) whose "
                                    "wall time in MySQL's session time zone names another "
                                    "instant too (the repeated hour of a daylight-saving "
                                    "change); each value keeps its wall time with its offset "
                                    "from UTC at that instant"));
  // Eight to ten bytes, as SQL Server stores it.
  EXPECT_EQ(FixedRowBytes({"DATETIMEOFFSET(0)", "DATETIMEOFFSET(7)"}), 8u + 10 + 4 + 2 + 1);
}

// ---- Text widths by character set ----------------------------------------------------------

TEST(ConversionPlanWidths, VarcharWidthsComeFromTheColumnsCharacterSet) {
  struct Case {
    const char* set;
    std::uint64_t characters;
    const char* type;
  };
  const Case cases[] = {
      {"latin1", 40, "NVARCHAR(40)"},   {"utf8mb3", 40, "NVARCHAR(40)"},
      {"ascii", 40, "NVARCHAR(40)"},    {"utf8mb4", 40, "NVARCHAR(80)"},
      {"utf16", 40, "NVARCHAR(80)"},    {"utf32", 40, "NVARCHAR(80)"},
      {"gb18030", 40, "NVARCHAR(80)"},  {"utf8mb4", 2001, "NVARCHAR(MAX)"},
      {"utf8mb3", 4000, "NVARCHAR(4000)"},
  };
  for (const auto& c : cases) {
    // The connection is utf8mb4: the field reports four bytes a character whatever the column's set.
    const auto field = Field("name", t::VarString, static_cast<std::uint32_t>(4 * c.characters), 0,
                             Utf8mb4, 0);
    TableSchema schema = test::SchemaFromFlags({field});
    schema.columns[0].characterSet = c.set;
    schema.columns[0].maxCharacters = c.characters;
    const ConversionPlan plan = Plan({Read("people", {field}, 1, schema)});
    EXPECT_EQ(plan.tables[0].columns[0].type, c.type) << c.set << " " << c.characters;
  }
}

TEST(ConversionPlanWidths, KeysAreJudgedOnTheseWidths) {
  // VARCHAR(800) utf8mb3 in a unique key: NVARCHAR(800) is 1 600 bytes, within the 1 700 a
  // key may have; taken twice as wide it would be left out.
  const auto field = Field("code", t::VarString, 3200, 0, Utf8mb4, UniqueKey);
  TableSchema schema = test::SchemaFromFlags({field});
  schema.columns[0].characterSet = "utf8mb3";
  schema.columns[0].maxCharacters = 800;
  const ConversionPlan plan = Plan({Read("codes", {field}, 1, schema)});
  const TablePlan& t = plan.tables[0];
  EXPECT_EQ(t.columns[0].type, "NVARCHAR(800)");
  ASSERT_EQ(t.indexStatements.size(), 1u);
  EXPECT_THAT(t.indexStatements[0].IndexStatement, HasSubstr("CREATE UNIQUE INDEX [code]"));
  EXPECT_THAT(Texts(t), IsEmpty());
}

// ---- Foreign-key column types --------------------------------------------------------------

TableSchema WithKey(std::vector<FieldRecord> fields, std::string name, std::string column,
                    std::string referenced, std::string referencedColumn) {
  TableSchema schema = test::SchemaFromFlags(fields);
  schema.foreignKeys.push_back(
      {std::move(name), {std::move(column)}, "shop", true, std::move(referenced),
       {std::move(referencedColumn)}, "RESTRICT", "RESTRICT"});
  return schema;
}

TEST(ConversionPlanForeignKeyTypes, TheReferencingColumnTakesTheReferencedType) {
  struct Case {
    FieldRecord referencing, referenced;
    const char* type;  // the referencing column's type, or "" when the key is left out
  };
  const Case cases[] = {
      // VARCHAR(10) referencing VARCHAR(20) (latin1 fields report one byte a character)
      {Field("code", t::VarString, 10, 0, 8, MultipleKey),
       Field("code", t::VarString, 20, 0, 8, NotNull | PriKey), "NVARCHAR(20)"},
      {Field("code", t::String, 10, 0, 8, MultipleKey),
       Field("code", t::VarString, 20, 0, 8, NotNull | PriKey), "NVARCHAR(20)"},
      {Field("code", t::Long, 11, 0, Bin, MultipleKey),
       Field("code", t::LongLong, 20, 0, Bin, NotNull | PriKey), "BIGINT"},
      {Field("code", t::Long, 10, 0, Bin, MultipleKey | Unsigned),
       Field("code", t::LongLong, 20, 0, Bin, NotNull | PriKey | Unsigned), "DECIMAL(20, 0)"},
      {Field("code", t::NewDecimal, 7, 2, Bin, MultipleKey),
       Field("code", t::NewDecimal, 12, 4, Bin, NotNull | PriKey), "DECIMAL(10, 4)"},
      // The referenced type is narrower: it does not hold every value.
      {Field("code", t::VarString, 20, 0, 8, MultipleKey),
       Field("code", t::VarString, 10, 0, 8, NotNull | PriKey), ""},
      {Field("code", t::LongLong, 20, 0, Bin, MultipleKey),
       Field("code", t::Long, 11, 0, Bin, NotNull | PriKey), ""},
      {Field("code", t::Date, 10, 0, Bin, MultipleKey),
       Field("code", t::DateTime, 19, 0, Bin, NotNull | PriKey), ""},
  };
  for (const auto& c : cases) {
    // The referenced table comes later in the list.
    const auto child = Read("child", {c.referencing}, 1,
                            WithKey({c.referencing}, "fk_parent", "code", "parent", "code"));
    const ConversionPlan plan = Plan({child, Read("parent", {c.referenced})});
    const TablePlan& t = plan.tables[0];
    ASSERT_EQ(plan.foreignKeys.size(), 1u);
    const std::string referenced = plan.tables[1].columns[0].type;
    if (*c.type == '\0') {
      EXPECT_TRUE(plan.foreignKeys[0].statement.empty()) << referenced;
      EXPECT_THAT(plan.foreignKeys[0].whyNot,
                  HasSubstr("does not hold every value of the former; SQL Server requires both "
                            "to have the same type"));
      EXPECT_NE(t.columns[0].type, referenced);
      continue;
    }
    EXPECT_EQ(t.columns[0].type, c.type);
    EXPECT_EQ(referenced, c.type);
    EXPECT_THAT(plan.foreignKeys[0].statement, HasSubstr("FOREIGN KEY ([code]) REFERENCES [parent]"));
    EXPECT_THAT(Texts(t), Contains(AllOf(HasSubstr("child, column code: created " + std::string(c.type)),
                                         HasSubstr("the type of column code of table parent that "
                                                   "foreign key fk_parent references"))));
  }
}

TEST(ConversionPlanForeignKeyTypes, TypeHoldsOnlyWhatItCan) {
  EXPECT_TRUE(TypeHolds("NVARCHAR(20)", "NCHAR(10)"));
  EXPECT_FALSE(TypeHolds("NCHAR(10)", "NVARCHAR(20)"));
  EXPECT_TRUE(TypeHolds("SMALLINT", "TINYINT"));
  EXPECT_FALSE(TypeHolds("TINYINT", "SMALLINT"));
  EXPECT_FALSE(TypeHolds("BIGINT", "DECIMAL(19, 0)"));
  EXPECT_TRUE(TypeHolds("BIGINT", "DECIMAL(18, 0)"));
  EXPECT_TRUE(TypeHolds("DECIMAL(19, 0)", "BIGINT"));
  EXPECT_FALSE(TypeHolds("DECIMAL(10, 2)", "DECIMAL(10, 3)"));
  EXPECT_TRUE(TypeHolds("VARBINARY(16)", "BINARY(16)"));
  EXPECT_FALSE(TypeHolds("NVARCHAR(20)", "INT"));
}

// ---- Foreign keys to keys SQL Server cannot reference as they are --------------------------

struct ReferenceCase {
  const char* name;
  std::uint32_t parentFlags;  // of parent.code
  bool unique;                // what the data tells
  const char* parentStatement;  // part of the statement made for parent.code, "" for none
  bool carried;
  const char* said;           // part of the report item or the reason, naming it
};

class ConversionPlanReferences : public testing::TestWithParam<ReferenceCase> {};

TEST_P(ConversionPlanReferences, DecidedBeforeAnythingIsSent) {
  const ReferenceCase& c = GetParam();
  const auto parentFields = std::vector<FieldRecord>{
      Field("id", t::Long, 11, 0, Bin, NotNull | PriKey), Field("code", t::Long, 11, 0, Bin, c.parentFlags)};
  const auto childField = Field("code", t::Long, 11, 0, Bin, MultipleKey);
  const auto child = Read("child", {childField}, 1, WithKey({childField}, "fk_code", "code", "parent", "code"));
  const TableRead parent = Read("parent", parentFields);

  EXPECT_THAT(UniqueQuestions({child, parent}),
              ElementsAre(UniqueQuestion{"parent", {"code"}}));
  const ConversionPlan plan = Plan({child, parent}, {{UniqueQuestion{"parent", {"code"}}, c.unique}});
  const TablePlan& p = plan.tables[1];
  std::string statements;
  for (const auto& s : p.indexStatements) statements += s.IndexStatement + "\n";
  EXPECT_THAT(statements, HasSubstr(c.parentStatement));
  ASSERT_EQ(plan.foreignKeys.size(), 1u);
  EXPECT_EQ(plan.foreignKeys[0].statement.empty(), !c.carried);
  if (c.carried) EXPECT_THAT(Texts(p), Contains(HasSubstr(c.said)));
  else EXPECT_THAT(plan.foreignKeys[0].whyNot, HasSubstr(c.said));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ConversionPlanReferences,
    testing::Values(
        ReferenceCase{"nullableUniqueOneNull", UniqueKey, true,
                      "ALTER TABLE [parent] ADD CONSTRAINT [code] UNIQUE ([code]);", true,
                      "parent: unique key code was created as a UNIQUE constraint so that foreign "
                      "key fk_code of table child can reference it: it admits only one row with "
                      "NULL in (code), where MySQL admits any number"},
        ReferenceCase{"nullableUniqueManyNulls", UniqueKey, false,
                      "CREATE UNIQUE INDEX [code] ON [parent] ([code]) WHERE [code] IS NOT NULL;",
                      false, "which holds more than one row with NULL in (code)"},
        ReferenceCase{"indexUniqueData", MultipleKey, true,
                      "ADD CONSTRAINT [UQ_parent_code] UNIQUE ([code]);", true,
                      "parent: a UNIQUE constraint on (code) was added so that foreign key fk_code "
                      "of table child can reference it"},
        ReferenceCase{"indexEqualValues", MultipleKey, false, "CREATE INDEX [code]", false,
                      "are not a primary or unique key and hold equal values in more than one row"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ConversionPlanReferences, AKeyToAPrimaryKeyAsksNothing) {
  const auto childField = Field("parent", t::Long, 11, 0, Bin, MultipleKey);
  const auto child = Read("child", {childField}, 1, WithKey({childField}, "fk", "parent", "parent", "id"));
  EXPECT_THAT(UniqueQuestions({child, Read("parent", {Field("id", t::Long, 11, 0, Bin, NotNull | PriKey)})}),
              IsEmpty());
}

// ---- The AUTO_INCREMENT counter and the kinds of table -------------------------------------

TEST(ConversionPlanCounter, AnEmptyTableStartsAtTheCounterOneWithRowsIsReseeded) {
  const auto id = Field("id", t::Long, 11, 0, Bin, NotNull | PriKey | AutoIncrement);
  TableSchema schema = test::SchemaFromFlags({id});
  schema.autoIncrement = 1000;
  const ConversionPlan plan = Plan({Read("full", {id}, 3, schema), Read("empty", {id}, 0, schema)});
  EXPECT_EQ(plan.tables[0].nextIdentity, 1000u);
  EXPECT_EQ(plan.tables[0].identitySeed, std::nullopt);
  EXPECT_THAT(plan.tables[0].columnList, HasSubstr("[id] INT IDENTITY NOT NULL"));
  EXPECT_EQ(plan.tables[1].nextIdentity, std::nullopt);
  EXPECT_THAT(plan.tables[1].columnList, HasSubstr("[id] INT IDENTITY(1000, 1) NOT NULL"));
  EXPECT_THAT(Texts(plan.tables[0]), IsEmpty());
  EXPECT_THAT(Texts(plan.tables[1]), IsEmpty());
  EXPECT_EQ(ReseedStatement("full", 999), "DBCC CHECKIDENT ('[full]', RESEED, 999);");
}

TEST(ConversionPlanKinds, SystemVersionedTablesSequencesAndViewsAreNamed) {
  const struct {
    const char* type;
    const char* said;
  } cases[] = {
      {"SYSTEM VERSIONED", "t is a system-versioned table in MariaDB; its current rows arrived, its history did not"},
      {"SEQUENCE", "t is a sequence in MariaDB; it arrived as a table of its one row"},
      {"VIEW", "t is a view in MySQL; it arrived as a table of its rows"},
  };
  for (const auto& c : cases) {
    const auto f = Field("n", t::Long, 11, 0, Bin, 0);
    TableSchema schema = test::SchemaFromFlags({f});
    schema.tableType = c.type;
    schema.isView = std::string(c.type) == "VIEW";
    EXPECT_THAT(Texts(Plan({Read("t", {f}, 1, schema)}).tables[0]), ElementsAre(HasSubstr(c.said)));
  }
  const auto f = Field("n", t::Long, 11, 0, Bin, 0);
  TableSchema base = test::SchemaFromFlags({f});
  base.tableType = "BASE TABLE";
  EXPECT_THAT(Texts(Plan({Read("t", {f}, 1, base)}).tables[0]), IsEmpty());
}

// ---- The run carries the plan out ----------------------------------------------------------

class ConversionPlanRun : public test::FakeRunTest {};

TEST_F(ConversionPlanRun, ATableSqlServerCannotHoldIsNamedAndTheRunGoesOn) {
  window.tables = {"a_wide", "b_next"};
  window.selected = {0, 1};
  source.tables["a_wide"].fields = Columns(1025, t::Long, 11, Bin);
  source.tables["b_next"].fields = {Field("n", t::Long, 11, 0, Bin, 0)};
  source.tables["b_next"].rows = {{"1"}};
  const RunSummary summary = Convert();
  EXPECT_EQ(summary.outcome, RunOutcome::Completed);
  EXPECT_EQ(summary.tablesCompleted, 1);
  EXPECT_THAT(journal.sent, Not(Contains(HasSubstr("CREATE TABLE [a_wide]"))));
  EXPECT_THAT(journal.sent, Contains("database shop: CREATE TABLE [b_next] ([n] INT NULL);"));
  EXPECT_THAT(journal.sent, Contains(HasSubstr("table a_wide was not created: it has 1025 columns")));
}

TEST_F(ConversionPlanRun, EveryTableIsReadOnceBeforeTheFirstTableIsCreated) {
  window.tables = {"a", "b"};
  window.selected = {0, 1};
  for (const char* name : {"a", "b"}) {
    source.tables[name].fields = {Field("d", t::Date, 10, 0, Bin, 0)};
    source.tables[name].rows = {{"2024-01-02"}};
  }
  Convert();
  EXPECT_EQ(source.listings, 2);
  EXPECT_THAT(source.reads, ElementsAre("snapshot", "profile a.d", "count a", "profile b.d",
                                        "count b", "end snapshot"));
}

TEST_F(ConversionPlanRun, TheCounterIsCarriedAfterTheRows) {
  window.tables = {"full", "empty"};
  window.selected = {0, 1};
  const auto id = Field("id", t::Long, 11, 0, Bin, NotNull | PriKey | AutoIncrement);
  for (const char* name : {"full", "empty"}) {
    TableSchema schema = test::SchemaFromFlags({id});
    schema.autoIncrement = 42;
    source.tables[name].fields = {id};
    source.tables[name].schema = schema;
  }
  source.tables["full"].rows = {{"7"}};
  Convert();
  const auto& e = journal.sent;
  const auto insert = std::find_if(e.begin(), e.end(), [](const std::string& s) {
    return s.find("INSERT INTO [full]") != std::string::npos;
  });
  const auto reseed = std::find(e.begin(), e.end(), "database shop: DBCC CHECKIDENT ('[full]', RESEED, 41);");
  ASSERT_NE(insert, e.end());
  ASSERT_NE(reseed, e.end());
  EXPECT_LT(insert, reseed);
  EXPECT_THAT(e, Contains("database shop: CREATE TABLE [empty] ([id] INT IDENTITY(42, 1) NOT NULL, PRIMARY KEY([id]));"));
  EXPECT_THAT(e, Not(Contains(HasSubstr("DBCC CHECKIDENT ('[empty]'"))));
}

}  // namespace
}  // namespace morvane

namespace morvane {
namespace {

// ---- Cascading actions and expression defaults -------------------------------------------

// Tables of an id and one referencing column per key, every key to an id.
struct CascadeShape {
  const char* name;
  // table, key, referenced table, ON DELETE, ON UPDATE
  std::vector<std::array<const char*, 5>> keys;
  std::vector<const char*> actions;  // per key in order: "ON DELETE x ON UPDATE y"
  std::vector<const char*> lost;     // beginnings of the lines naming a lost action
};

void PrintTo(const CascadeShape& c, std::ostream* os) { *os << c.name; }

class ConversionPlanCascades : public testing::TestWithParam<CascadeShape> {};

TEST_P(ConversionPlanCascades, ActionsSqlServerRefusesBecomeNoActionAndAreNamed) {
  const CascadeShape& shape = GetParam();
  std::map<std::string, std::vector<FieldRecord>> fields;
  for (const auto& [table, key, referenced, onDelete, onUpdate] : shape.keys) {
    for (const std::string each : {table, referenced})
      if (!fields.count(each)) fields[each] = {Field("id", t::Long, 11, 0, Bin, NotNull | PriKey)};
    fields[table].push_back(Field(std::string("to_") + key, t::Long, 11, 0, Bin, MultipleKey));
  }
  std::vector<TableRead> tables;
  for (const auto& [name, f] : fields) {
    TableSchema schema = test::SchemaFromFlags(f);
    for (const auto& [table, key, referenced, onDelete, onUpdate] : shape.keys)
      if (table == name)
        schema.foreignKeys.push_back({key, {std::string("to_") + key}, "shop", true, referenced,
                                      {"id"}, onDelete, onUpdate});
    tables.push_back(Read(name, f, 1, schema));
  }
  const ConversionPlan plan = Plan(std::move(tables));
  ASSERT_EQ(plan.foreignKeys.size(), shape.actions.size());
  std::vector<std::string> lost;
  for (std::size_t i = 0; i < shape.actions.size(); ++i) {
    const auto& key = plan.foreignKeys[i];
    EXPECT_THAT(key.statement, HasSubstr(std::string(") ") + shape.actions[i] + ";")) << i;
    for (const auto& l : key.lostActions) lost.push_back(l);
  }
  ASSERT_EQ(lost.size(), shape.lost.size()) << testing::PrintToString(lost);
  for (std::size_t i = 0; i < lost.size(); ++i)
    EXPECT_EQ(lost[i].rfind(shape.lost[i], 0), 0u) << lost[i];
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ConversionPlanCascades,
    testing::Values(
        CascadeShape{"a key to another table keeps its actions",
                     {{"child", "up", "parent", "CASCADE", "SET NULL"}},
                     {"ON DELETE CASCADE ON UPDATE SET NULL"},
                     {}},
        CascadeShape{"a key to its own table",
                     {{"staff", "boss", "staff", "CASCADE", "RESTRICT"}},
                     {"ON DELETE NO ACTION ON UPDATE NO ACTION"},
                     {"ON DELETE CASCADE of foreign key boss of table staff not carried (NO "
                      "ACTION instead): "}},
        CascadeShape{"a second path to a table, ON DELETE and ON UPDATE apart",
                     {{"b", "b_a", "a", "CASCADE", "CASCADE"},
                      {"c", "c_a", "a", "CASCADE", "RESTRICT"},
                      {"c", "c_b", "b", "SET NULL", "CASCADE"}},
                     {"ON DELETE CASCADE ON UPDATE CASCADE", "ON DELETE CASCADE ON UPDATE NO ACTION",
                      "ON DELETE NO ACTION ON UPDATE CASCADE"},
                     {"ON DELETE SET NULL of foreign key c_b of table c not carried"}}));

TEST(ConversionPlanDefaults, ExpressionDefaultsTranslatedOrNamed) {
  TableSchema schema = test::SchemaFromFlags({Field("id", t::Long, 11, 0, Bin, NotNull | PriKey),
                                              Field("two", t::Long, 11, 0, Bin, 0),
                                              Field("code", t::Long, 11, 0, Bin, 0)});
  schema.columns[1].defaultKind = DefaultKind::Expression;
  schema.columns[1].defaultValue = "(1 + 1)";
  schema.columns[2].defaultKind = DefaultKind::Expression;
  schema.columns[2].defaultValue = "`id` * 2";
  const ConversionPlan plan = Plan({Read("t", {Field("id", t::Long, 11, 0, Bin, NotNull | PriKey),
                                               Field("two", t::Long, 11, 0, Bin, 0),
                                               Field("code", t::Long, 11, 0, Bin, 0)},
                                         1, schema)});
  const TablePlan& t = plan.tables[0];
  EXPECT_THAT(t.createStatement, HasSubstr("[two] INT NULL DEFAULT ((CAST(1 AS BIGINT) + 1))"));
  EXPECT_THAT(t.createStatement, HasSubstr("[code] INT NULL,"));
  EXPECT_THAT(Texts(t), Contains("t: column code: DEFAULT `id` * 2 was not translated (it "
                                 "references column id; a DEFAULT on SQL Server cannot reference "
                                 "a column)"));
}

}  // namespace
}  // namespace morvane
