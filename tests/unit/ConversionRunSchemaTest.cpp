// The run's handling of keys, foreign keys and table names: what SQL Server refuses is named in
// the final message and never ends the run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/FakeRun.h"

namespace morvane {
namespace {

using namespace mysql_flag;
using test::Field;
using testing::Contains;
using testing::HasSubstr;
using testing::Not;
namespace t = mysql_type;

class RunSchema : public test::FakeRunTest {
 protected:
  void AddTable(const std::string& name, std::vector<ForeignKeyInfo> keys = {}) {
    auto& table = source.tables[name];
    table.fields = {Field("id", t::Long, 11, 0, 63, NotNull | PriKey),
                    Field("parent", t::Long, 11, 0, 63, 0),
                    Field("code", t::Long, 11, 0, 63, NotNull | UniqueKey)};
    table.rows = {{{"1"}, {"1"}, {"10"}}};
    TableSchema schema = test::SchemaFromFlags(table.fields);
    schema.foreignKeys = std::move(keys);
    table.schema = schema;
    window.tables.push_back(name);
  }

  std::ptrdiff_t First(const std::string& piece) const {
    for (std::size_t i = 0; i < journal.sent.size(); ++i)
      if (journal.sent[i].find(piece) != std::string::npos) return static_cast<std::ptrdiff_t>(i);
    return -1;
  }
};

ForeignKeyInfo Key(std::string name, std::string referenced, std::string onDelete = "RESTRICT") {
  return {std::move(name), {"parent"}, "shop", true, std::move(referenced), {"id"}, std::move(onDelete), "RESTRICT"};
}

TEST_F(RunSchema, RefusedKeyIsNamedAndTheTableKeepsItsRows) {
  AddTable("a");
  window.selected = {0};
  refuseAlso = [](const std::string& s) -> std::optional<TargetError> {
    if (s.find("ADD CONSTRAINT [code]") != std::string::npos)
      return test::ServerError(1919, "Column 'code' in table 'a' is of a type that is invalid for use as a key column in an index.");
    return std::nullopt;
  };
  EXPECT_EQ(Convert().outcome, RunOutcome::Completed);
  EXPECT_THAT(journal.sent, Contains("database shop: INSERT INTO [a] ([id], [parent], [code]) VALUES(1,1,10);"));
  EXPECT_THAT(window.messages.back(),
              HasSubstr("\n- unique key code of table a was not created: Column 'code' in table 'a' is "
                        "of a type that is invalid"));
}

TEST_F(RunSchema, ForeignKeysComeAfterTheLastTable) {
  AddTable("child", {Key("to_parent", "parent", "CASCADE"), Key("to_gone", "gone"),
                     Key("orphan", "parent")});
  AddTable("parent");
  window.selected = {0, 1};
  refuseAlso = [](const std::string& s) -> std::optional<TargetError> {
    if (s.find("[orphan]") != std::string::npos)
      return test::ServerError(547, "The ALTER TABLE statement conflicted with the FOREIGN KEY constraint \"orphan\".");
    return std::nullopt;
  };
  EXPECT_EQ(Convert().outcome, RunOutcome::Completed);
  const auto key = First("ALTER TABLE [child] ADD CONSTRAINT [to_parent] FOREIGN KEY ([parent]) "
                         "REFERENCES [parent] ([id]) ON DELETE CASCADE ON UPDATE NO ACTION;");
  ASSERT_GE(key, 0);
  EXPECT_GT(key, First("INSERT INTO [parent]"));
  EXPECT_EQ(First("[to_gone]"), -1);
  const std::string& message = window.messages.back();
  EXPECT_THAT(message, HasSubstr("\n- foreign key to_gone of table child was not carried (its table "
                                 "gone was not converted in this run)"));
  EXPECT_THAT(message, HasSubstr("\n- foreign key orphan of table child was not created: The ALTER "
                                 "TABLE statement conflicted"));
}

// SQL Server refusing the kept actions all the same (1785) gets the key with NO ACTION; a key
// refused even so is named missing.
TEST_F(RunSchema, KeyRefusedForItsActionsIsSentAgainWithNoAction) {
  AddTable("child", {Key("kept", "parent", "CASCADE")});
  AddTable("other", {Key("gone", "parent", "CASCADE")});
  AddTable("parent");
  window.selected = {0, 1, 2};
  refuseAlso = [](const std::string& s) -> std::optional<TargetError> {
    if (s.find("ON DELETE CASCADE") != std::string::npos || s.find("[gone]") != std::string::npos)
      return test::ServerError(1785, "Introducing FOREIGN KEY constraint may cause cycles or "
                                     "multiple cascade paths.");
    return std::nullopt;
  };
  EXPECT_EQ(Convert().outcome, RunOutcome::Completed);
  const auto cascade = First("ADD CONSTRAINT [kept] FOREIGN KEY ([parent]) REFERENCES [parent] "
                             "([id]) ON DELETE CASCADE ON UPDATE NO ACTION;");
  const auto noAction = First("ADD CONSTRAINT [kept] FOREIGN KEY ([parent]) REFERENCES [parent] "
                              "([id]) ON DELETE NO ACTION ON UPDATE NO ACTION;");
  ASSERT_GE(cascade, 0);
  EXPECT_GT(noAction, cascade);
  EXPECT_GE(First("ADD CONSTRAINT [gone] FOREIGN KEY ([parent]) REFERENCES [parent] ([id]) ON "
                  "DELETE NO ACTION ON UPDATE NO ACTION;"), 0);
  const std::string& message = window.messages.back();
  EXPECT_THAT(message, HasSubstr("\n- ON DELETE CASCADE of foreign key kept of table child not "
                                 "carried (NO ACTION instead): SQL Server refused it: Introducing"));
  EXPECT_THAT(message, Not(HasSubstr("foreign key kept of table child was not created")));
  EXPECT_THAT(message, Not(HasSubstr("of foreign key gone of table other not carried")));
  EXPECT_THAT(message, HasSubstr("\n- foreign key gone of table other was not created: "
                                 "Introducing"));
}

TEST_F(RunSchema, StoppedRunSaysItsForeignKeysWereNotCreated) {
  AddTable("child", {Key("to_parent", "parent")});
  AddTable("parent");
  window.selected = {0, 1};
  window.onOperation = [this](const std::string& operation) {
    if (operation == "step") stop.Request();
  };
  EXPECT_EQ(Convert().outcome, RunOutcome::Stopped);
  // The key that the plan renamed in parent, never created, is not said to be.
  EXPECT_EQ(window.messages.back(),
            "The conversion was stopped. 1 of 2 selected table(s) were converted completely.\n"
            "The foreign keys of the converted tables were not created.\n"
            "In the work done before the end, not everything arrived as it is in MySQL:\n"
            "- foreign key to_parent of table child was not created: the conversion ended before it was");
  EXPECT_EQ(First("FOREIGN KEY"), -1);
}

TEST_F(RunSchema, FailedTableSaysItsForeignKeysWereNotCreated) {
  AddTable("child", {Key("to_parent", "parent")});
  AddTable("parent");
  window.selected = {0, 1};
  refuseAlso = [](const std::string& s) -> std::optional<TargetError> {
    if (s.rfind("CREATE TABLE [parent]", 0) == 0) return test::ServerError(2715, "Cannot find data type.");
    return std::nullopt;
  };
  EXPECT_EQ(Convert().outcome, RunOutcome::TableFailed);
  EXPECT_THAT(window.messages.back(),
              HasSubstr("Table parent was cut short. 1 of 2 selected table(s) were converted "
                        "completely.\nThe foreign keys of the converted tables were not created."));
  EXPECT_THAT(window.messages.back(),
              HasSubstr("\n- foreign key to_parent of table child was not created: the conversion "
                        "ended before it was"));
  EXPECT_EQ(First("FOREIGN KEY"), -1);
}

TEST_F(RunSchema, TablesDifferingOnlyInCaseBothArrive) {
  AddTable("Users");
  AddTable("users", {Key("to_users", "Users")});
  window.selected = {0, 1};
  EXPECT_EQ(Convert().outcome, RunOutcome::Completed);
  EXPECT_GE(First("database shop: CREATE TABLE [Users] ("), 0);
  EXPECT_GE(First("database shop: CREATE TABLE [users_2] ("), 0);
  EXPECT_THAT(journal.sent, Contains("database shop: INSERT INTO [users_2] ([id], [parent], [code]) VALUES(1,1,10);"));
  // Both tables' unique keys are named code: the second takes its table's name.
  EXPECT_GE(First("ALTER TABLE [users_2] ADD CONSTRAINT [users_2_code] UNIQUE ([code]);"), 0);
  EXPECT_GE(First("ALTER TABLE [users_2] ADD CONSTRAINT [to_users] FOREIGN KEY ([parent]) "
                  "REFERENCES [Users] ([id])"),
            0);
  EXPECT_THAT(window.messages.back(),
              HasSubstr("\n- table users was created as users_2: SQL Server takes its name for "
                        "that of table Users (the database compares names regardless of letter "
                        "case, width and kana)"));
}

}  // namespace
}  // namespace morvane
