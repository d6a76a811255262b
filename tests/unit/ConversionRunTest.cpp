#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "tests/support/FakeRun.h"

namespace morvane {
namespace {

using namespace mysql_flag;
using test::Field;
using testing::ElementsAre;
using testing::HasSubstr;
namespace t = mysql_type;

const char* const Completed = "MySQL to MS SQL Database Conversion successfully completed.";

class ConversionRun : public test::FakeRunTest {
 protected:
  void SetUp() override {
    FakeRunTest::SetUp();
    source.tables["customers"] = {{Field("id", t::Long, 11, 0, 63, NotNull | PriKey)}, {{"1"}}};
    source.tables["orders"] = {test::OrdersFields(), {{"7", "O'Brien", "A1", "19.90", std::nullopt}}};
    source.tables["zeta"] = {{Field("z", t::Long, 11, 0, 63, 0)}, {{"5"}, {"6"}}};
    window.tables = {"customers", "orders", "zeta"};
  }

  // The journal without the rows, for a view of the run's own steps.
  std::vector<std::string> Steps() const {
    std::vector<std::string> steps;
    for (const auto& s : journal.sent) {
      if (s.find("INSERT INTO") == std::string::npos && s.find("IDENTITY_INSERT") == std::string::npos &&
          s.find("status: Converting Table: ") == std::string::npos) {
        steps.push_back(s);
      }
    }
    return steps;
  }
  bool SentToTarget() const {
    for (const auto& s : journal.sent) {
      if (s.rfind("window: ", 0) != 0) return true;
    }
    return false;
  }

  bool lost = false;
};

TEST_F(ConversionRun, WorkedExampleStatementByStatement) {
  window.selected = {0, 1};
  const RunSummary summary = Convert();

  EXPECT_EQ(summary.outcome, RunOutcome::Completed);
  EXPECT_THAT(
      Steps(),
      ElementsAre(
          "window: lock", "server: USE [shop]",
          "server: IF EXISTS(SELECT * FROM sysdatabases WHERE name=N'shop') DROP DATABASE [shop]",
          "server: CREATE DATABASE [shop] COLLATE Latin1_General_100_CI_AS_SC", "server: USE [shop]",
          "refresh", "lookup: shop",
          "window: message: You have selected 2 table(s) to convert.", "window: progress shown",
          "window: position 0",
          // every table read once, before the first is created
          "window: status: Reading Table: customers  ....",
          "window: status: Reading Table: orders  ....",
          // customers
          "server: USE [shop]", "window: range 0..2", "window: step size 1", "server: USE [shop]",
          "database shop: CREATE TABLE [customers] ([id] INT NOT NULL, PRIMARY KEY([id]));",
          "database shop: SELECT COUNT(*) FROM [customers]", "window: step",
          // orders: its index comes right after the table, before any row
          "server: USE [shop]", "window: range 0..2", "window: step size 1", "server: USE [shop]",
          "database shop: CREATE TABLE [orders] ([id] INT IDENTITY NOT NULL, [customer] "
          "NVARCHAR(40) NULL, [code] NCHAR(10) NOT NULL, [total] DECIMAL(10, 2) NULL, [note] "
          "NVARCHAR(MAX) NULL, PRIMARY KEY([id]));",
          "database shop: CREATE INDEX [customer] ON [orders] ([customer]);",
          "database shop: ALTER TABLE [orders] ADD CONSTRAINT [code] UNIQUE ([code]);",
          "database shop: SELECT COUNT(*) FROM [orders]", "window: step",
          "window: position 2", "window: status: Conversion complete",
          std::string("window: message: ") + Completed, "window: position 0",
          "window: progress hidden", "window: selection cleared", "window: unlock"));
  EXPECT_THAT(journal.sent, testing::Contains("database shop: INSERT INTO [orders] ([id], [customer], "
                                              "[code], [total], [note]) VALUES(7,N'O''Brien',N'A1',"
                                              "19.9,NULL);"));
  // One snapshot of the source for the whole run; one count per table in it.
  EXPECT_THAT(source.reads, ElementsAre("snapshot", "count customers", "count orders", "end snapshot"));
  EXPECT_FALSE(pending.IndexPending());
  EXPECT_EQ(window.waitCursors, 0);
  EXPECT_FALSE(window.locked);
  EXPECT_TRUE(window.selected.empty());
}

TEST_F(ConversionRun, MissingInputsSendNothing) {
  // Both missing: only the table message, since the selection is tested first.
  window.targetName = "";
  EXPECT_EQ(Convert().outcome, RunOutcome::NoTableSelected);
  EXPECT_THAT(window.messages,
              ElementsAre("Please select at least one table to continue the conversion."));

  window.messages.clear();
  window.selected = {1};
  EXPECT_EQ(Convert().outcome, RunOutcome::NoTargetName);
  EXPECT_THAT(window.messages, ElementsAre("Please enter a valid database name."));
  EXPECT_EQ(window.selected, std::vector<int>{1});  // the selection stays
  EXPECT_FALSE(SentToTarget());
  EXPECT_FALSE(window.locked);
  EXPECT_EQ(window.waitCursors, 0);
}

TEST_F(ConversionRun, ExistingDatabaseDeclinedSendsOnlyTheProbe) {
  created = true;  // shop exists
  window.selected = {0};
  window.overwriteAnswer = MessageAnswer::No;
  EXPECT_EQ(Convert().outcome, RunOutcome::OverwriteDeclined);
  EXPECT_THAT(Steps(), ElementsAre("window: lock", "server: USE [shop]",
                                   "window: ask: shop is already exist. Do you want to Overwrite "
                                   "the existing database?",
                                   "window: unlock"));
  EXPECT_EQ(window.selected, std::vector<int>{0});
}

TEST_F(ConversionRun, ExistingDatabaseOverwrittenLeavesItFirst) {
  created = true;
  window.selected = {0};
  window.overwriteAnswer = MessageAnswer::Yes;
  EXPECT_EQ(Convert().outcome, RunOutcome::Completed);
  const auto steps = Steps();
  ASSERT_GE(steps.size(), 6u);
  EXPECT_THAT(std::vector<std::string>(steps.begin() + 3, steps.begin() + 6),
              ElementsAre("server: USE [master]",
                          "server: IF EXISTS(SELECT * FROM sysdatabases WHERE name=N'shop') DROP "
                          "DATABASE [shop]",
                          "server: CREATE DATABASE [shop] COLLATE Latin1_General_100_CI_AS_SC"));
}

TEST_F(ConversionRun, NamesThatNeedQuotingStandForThemselves) {
  window.targetName = "my shop'; DROP DATABASE x; --]";
  window.selected = {0};
  window.overwriteAnswer = MessageAnswer::Yes;
  journal.refuse = nullptr;
  Convert();
  EXPECT_THAT(journal.sent, testing::Contains("server: IF EXISTS(SELECT * FROM sysdatabases WHERE "
                                              "name=N'my shop''; DROP DATABASE x; --]') DROP "
                                              "DATABASE [my shop'; DROP DATABASE x; --]]]"));
  EXPECT_THAT(journal.sent, testing::Contains("server: CREATE DATABASE [my shop'; DROP DATABASE x; --]]] COLLATE "
                                               "Latin1_General_100_CI_AS_SC"));
}

TEST_F(ConversionRun, PreparationFailureIsReportedAndKeepsTheSelection) {
  window.selected = {0, 2};
  refuseAlso = [](const std::string& s) -> std::optional<TargetError> {
    if (s.rfind("CREATE DATABASE", 0) == 0) return test::ServerError(1801, "Database 'shop' already exists.");
    return std::nullopt;
  };
  EXPECT_EQ(Convert().outcome, RunOutcome::PreparationFailed);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_THAT(window.messages[0], HasSubstr("Database 'shop' already exists."));
  EXPECT_EQ(window.selected, (std::vector<int>{0, 2}));
  EXPECT_EQ(journal.sent.back(), "window: unlock");
  EXPECT_FALSE(window.progressShown);
}

TEST_F(ConversionRun, ThreeTablesStepAfterEachTablesRows) {
  window.selected = {0, 1, 2};
  Convert();
  EXPECT_EQ(window.messages.front(), "You have selected 3 table(s) to convert.");
  const auto& sent = journal.sent;
  auto first = [&](const std::string& text) {
    return std::find(sent.begin(), sent.end(), text) - sent.begin();
  };
  auto last = [&](const std::string& part) {
    for (auto i = sent.size(); i-- > 0;) {
      if (sent[i].find(part) != std::string::npos) return static_cast<std::ptrdiff_t>(i);
    }
    return std::ptrdiff_t{-1};
  };
  std::vector<std::ptrdiff_t> steps;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    if (sent[i] == "window: step") steps.push_back(static_cast<std::ptrdiff_t>(i));
    if (sent[i] == "window: range 0..3") {
      EXPECT_EQ(sent[i + 1], "window: step size 1");
    }
  }
  ASSERT_EQ(steps.size(), 3u);
  // Each table's step comes after its last row and before the next table begins.
  EXPECT_LT(last("INSERT INTO [customers]"), steps[0]);
  EXPECT_LT(steps[0], first("database shop: " + std::string("CREATE TABLE [orders] ([id] INT IDENTITY NOT NULL, [customer] NVARCHAR(40) NULL, [code] NCHAR(10) NOT NULL, [total] DECIMAL(10, 2) NULL, [note] NTEXT NULL, PRIMARY KEY([id]));")));
  EXPECT_LT(last("INSERT INTO [orders]"), steps[1]);
  EXPECT_LT(steps[1], first("database shop: CREATE TABLE [zeta] ([z] INT NULL);"));
  EXPECT_LT(last("INSERT INTO [zeta]"), steps[2]);
}

TEST_F(ConversionRun, SecondOfThreeTablesFails) {
  window.selected = {0, 1, 2};
  refuseAlso = [](const std::string& s) -> std::optional<TargetError> {
    if (s.rfind("CREATE TABLE [orders]", 0) == 0) return test::ServerError(2715, "Cannot find data type.");
    return std::nullopt;
  };
  const RunSummary summary = Convert();
  EXPECT_EQ(summary.outcome, RunOutcome::TableFailed);
  EXPECT_EQ(summary.tablesCompleted, 1);
  EXPECT_THAT(journal.sent, testing::Contains("database shop: INSERT INTO [customers] ([id]) VALUES(1);"));
  for (const auto& s : journal.sent) {
    if (s != "window: status: Reading Table: zeta  ....") {
      EXPECT_EQ(s.find("zeta"), std::string::npos) << s;
    }
  }
  ASSERT_GE(window.messages.size(), 2u);
  EXPECT_THAT(window.messages.end()[-2], HasSubstr("Cannot find data type."));
  EXPECT_EQ(window.messages.back(),
            "The conversion ended early: a step failed (the message before this one named the "
            "error), and what came after it was not done. Table orders was cut short. "
            "1 of 3 selected table(s) were converted completely.");
  EXPECT_THAT(std::vector<std::string>(journal.sent.end() - 3, journal.sent.end()),
              ElementsAre("window: progress hidden", "window: selection cleared", "window: unlock"));
  EXPECT_TRUE(window.selected.empty());
  // The index of orders was never run and does not wait for a later table.
  EXPECT_TRUE(pending.IndexPending());
  window.selected = {2};
  created = false;
  journal.sent.clear();
  refuseAlso = nullptr;
  Convert();
  for (const auto& s : journal.sent) EXPECT_EQ(s.find("CREATE INDEX"), std::string::npos) << s;
}

TEST_F(ConversionRun, RefusedRowsAreNoSuccess) {
  window.selected = {2};
  refuseAlso = [](const std::string& s) -> std::optional<TargetError> {
    if (s.find("VALUES(6)") != std::string::npos) return test::ServerError(2627, "Violation of PRIMARY KEY.");
    return std::nullopt;
  };
  const RunSummary summary = Convert();
  EXPECT_EQ(summary.outcome, RunOutcome::Completed);
  EXPECT_EQ(summary.rowsRefused, 1u);
  EXPECT_FALSE(summary.allArrived);
  EXPECT_EQ(window.messages.back(),
            "MySQL to MS SQL Database Conversion completed, but 1 row(s) of 1 table(s) were "
            "refused. Not everything arrived as it is in MySQL:\n- zeta: 1 row(s) refused");
}

TEST_F(ConversionRun, ValuesRefusedByTheCopyAreNamedInTheFinalMessage) {
  // A zero date in a primary key column: the one value the copy still refuses itself (a
  // DECIMAL beyond 38 digits now arrives as its text).
  source.tables["zeta"] = {{Field("z", t::Date, 10, 0, 63, NotNull | PriKey)},
                           {{"2024-01-02"}, {"0000-00-00"}, {"2024-01-03"}}};
  source.tables["zeta"].profiles["z"] = {.zeroDates = 1};
  window.selected = {2};
  const RunSummary summary = Convert();
  EXPECT_EQ(summary.outcome, RunOutcome::Completed);
  EXPECT_EQ(summary.rowsRefused, 1u);
  EXPECT_THAT(journal.sent, testing::Contains("database shop: CREATE TABLE [zeta] ([z] DATE NOT NULL, PRIMARY KEY([z]));"));
  EXPECT_EQ(window.messages.back(),
            "MySQL to MS SQL Database Conversion completed, but 1 row(s) of 1 table(s) were "
            "refused. Not everything arrived as it is in MySQL:\n"
            "- zeta, column z: the value 0000-00-00 is a zero or partial date, which SQL Server "
            "cannot hold, in a primary key column; its row was not copied\n"
            "- zeta: 1 row(s) refused");
}

TEST_F(ConversionRun, ColumnsCreatedDifferentlyAreNamed) {
  using namespace mysql_flag;
  source.tables["zeta"] = {{Field("day", t::Date, 10, 0, 63, NotNull), Field("took", t::Time, 10, 0, 63, 0),
                            Field("shape", t::Geometry, 4294967295u, 0, 63, 0)},
                           {{"0000-00-00", "25:00:00", std::string(4, '\0')},
                            {"2024-02-29", "-01:00:00", std::nullopt}}};
  source.tables["zeta"].profiles["day"] = {.zeroDates = 1};
  source.tables["zeta"].profiles["took"] = {.timeBeyondDay = true};
  window.selected = {2};
  const RunSummary summary = Convert();
  EXPECT_FALSE(summary.allArrived);
  // One query for each column whose field record cannot tell: none for the geometry.
  EXPECT_THAT(source.reads, ElementsAre("snapshot", "profile zeta.day", "profile zeta.took",
                                        "count zeta", "end snapshot"));
  EXPECT_THAT(journal.sent, testing::Contains("database shop: CREATE TABLE [zeta] ([day] DATE NULL, "
                                              "[took] DATETIME2(0) NULL, [shape] VARBINARY(MAX) NULL);"));
  EXPECT_THAT(journal.sent, testing::Contains("database shop: INSERT INTO [zeta] ([day], [took], [shape]) "
                                              "VALUES(NULL,N'1900-01-02 01:00:00',0x00000000);"));
  EXPECT_EQ(window.messages.back(),
            "MySQL to MS SQL Database Conversion completed, but not everything arrived as it is in "
            "MySQL:\n"
            "- zeta, column day: created NULL although NOT NULL in MySQL; its 1 zero or partial "
            "date(s) arrive as NULL\n"
            "- zeta, column took: TIME values beyond one day; created DATETIME2(0), each value the "
            "moment that far from 1900-01-01 00:00:00 (25:00:00 is 1900-01-02 01:00:00, -01:00:00 "
            "is 1899-12-31 23:00:00)\n"
            "- zeta, column shape: GEOMETRY created VARBINARY(MAX), holding MySQL's own bytes (a "
            "4-byte SRID, then the WKB)");
}

TEST_F(ConversionRun, CountMismatchIsNoSuccess) {
  // Rows written to the table meanwhile, or a copy that lost some: the counts disagree.
  source.tables["zeta"].count = 3;
  window.selected = {2};
  const RunSummary summary = Convert();
  EXPECT_EQ(summary.outcome, RunOutcome::Completed);
  EXPECT_FALSE(summary.allArrived);
  EXPECT_EQ(window.messages.back(),
            "MySQL to MS SQL Database Conversion completed, but not everything arrived as it is in "
            "MySQL:\n- zeta: MySQL holds 3 row(s), SQL Server 2, and 0 were refused");
}

TEST_F(ConversionRun, ACountTheTargetCannotTellIsReported) {
  journal.answer = [](const std::string&) { return std::optional<std::int64_t>(); };
  window.selected = {2};
  Convert();
  EXPECT_EQ(window.messages.back(),
            "MySQL to MS SQL Database Conversion completed, but not everything arrived as it is in "
            "MySQL:\n- zeta: the rows could not be counted on SQL Server after the copy");
}

TEST_F(ConversionRun, ARefusedSnapshotIsReported) {
  source.snapshotRefusal = "Access denied";
  window.selected = {2};
  Convert();
  EXPECT_THAT(source.reads, ElementsAre("snapshot", "count zeta"));
  EXPECT_EQ(window.messages.back(),
            "MySQL to MS SQL Database Conversion completed, but not everything arrived as it is in "
            "MySQL:\n- MySQL refused a consistent snapshot (Access denied); each table was read as "
            "it was at its turn");
}

TEST_F(ConversionRun, AFailedTableEndsTheSnapshotToo) {
  refuseAlso = [](const std::string& s) -> std::optional<TargetError> {
    if (s.find("CREATE TABLE [zeta]") != std::string::npos) return test::ServerError(2714, "exists");
    return std::nullopt;
  };
  window.selected = {2};
  EXPECT_EQ(Convert().outcome, RunOutcome::TableFailed);
  EXPECT_THAT(source.reads, ElementsAre("snapshot", "count zeta", "end snapshot"));
}

TEST_F(ConversionRun, LostConnectionEndsTheRunAfterOneReport) {
  window.selected = {0, 2};
  refuseAlso = [this](const std::string& s) -> std::optional<TargetError> {
    if (s.find("INSERT INTO [customers]") != std::string::npos || lost) {
      lost = true;
      return TargetError(target_code::kConnectionLost, "[FreeTDS][SQL Server]", "Write to the server failed");
    }
    return std::nullopt;
  };
  EXPECT_EQ(Convert().outcome, RunOutcome::TableFailed);
  // The count, one report of the error, then how the run ended.
  ASSERT_EQ(window.messages.size(), 3u);
  EXPECT_THAT(window.messages[2], HasSubstr("Table customers was cut short."));
  for (const auto& s : journal.sent) {
    if (s != "window: status: Reading Table: zeta  ....") {
      EXPECT_EQ(s.find("zeta"), std::string::npos) << s;
    }
  }
}

TEST_F(ConversionRun, MissingFieldListingEndsTheRunWithoutCreatingTheTable) {
  window.tables = {"customers", "vanished"};
  window.selected = {0, 1};
  const RunSummary summary = Convert();
  EXPECT_EQ(summary.outcome, RunOutcome::TableFailed);
  ASSERT_GE(window.messages.size(), 2u);
  EXPECT_EQ(window.messages.end()[-2], "The columns of table vanished could not be read from MySQL.");
  for (const auto& s : journal.sent) EXPECT_EQ(s.find("CREATE TABLE [vanished]"), std::string::npos);
}

TEST_F(ConversionRun, StopBetweenTables) {
  window.selected = {0, 1, 2};
  window.onOperation = [this](const std::string& operation) {
    if (operation == "step") stop.Request();  // right after the first table
  };
  const RunSummary summary = Convert();
  EXPECT_EQ(summary.outcome, RunOutcome::Stopped);
  EXPECT_EQ(window.messages.back(),
            "The conversion was stopped. 1 of 3 selected table(s) were converted completely.");
  for (const auto& s : journal.sent) EXPECT_EQ(s.find("[orders]"), std::string::npos) << s;
  EXPECT_THAT(std::vector<std::string>(journal.sent.end() - 3, journal.sent.end()),
              ElementsAre("window: progress hidden", "window: selection cleared", "window: unlock"));
}

TEST_F(ConversionRun, StopBetweenRowsKeepsTheRowsThatArrived) {
  window.selected = {2};
  refuseAlso = [this](const std::string& s) -> std::optional<TargetError> {
    if (s.find("VALUES(5)") != std::string::npos) stop.Request();
    return std::nullopt;
  };
  EXPECT_EQ(Convert().outcome, RunOutcome::Stopped);
  EXPECT_THAT(journal.sent, testing::Contains("database shop: INSERT INTO [zeta] ([z]) VALUES(5);"));
  for (const auto& s : journal.sent) EXPECT_EQ(s.find("VALUES(6)"), std::string::npos) << s;
  EXPECT_EQ(window.messages.back(),
            "The conversion was stopped. Table zeta was cut short. 0 of 1 selected table(s) were converted completely.");
}

// Early ends: the final message says how the run ended and what it did, in the words of a
// completed run. alpha loses one refused row; child holds two foreign keys to parent.
class EarlyEnd : public ConversionRun {
 protected:
  void SetUp() override {
    ConversionRun::SetUp();
    source.tables["alpha"] = {{Field("z", t::Long, 11, 0, 63, 0)}, {{"5"}, {"6"}}};
    auto& child = source.tables["child"];
    child.fields = {Field("id", t::Long, 11, 0, 63, NotNull | PriKey),
                    Field("parent", t::Long, 11, 0, 63, 0)};
    child.rows = {{{"1"}, {"1"}}, {{"2"}, {"1"}}};
    TableSchema schema = test::SchemaFromFlags(child.fields);
    for (const char* name : {"to_parent", "to_other"})
      schema.foreignKeys.push_back({name, {"parent"}, "shop", true, "parent", {"id"}, "RESTRICT", "RESTRICT"});
    child.schema = schema;
    source.tables["parent"] = {{Field("id", t::Long, 11, 0, 63, NotNull | PriKey)}, {{"1"}}};
    window.tables = {"alpha", "child", "parent"};
    window.selected = {0, 1, 2};
  }
};

struct EarlyEndCase {
  const char* name;
  const char* trigger;  // the statement at which the run ends
  enum { Stop, LoseConnection, Refuse } how;
  RunOutcome outcome;
  std::vector<std::string> said;     // parts of the final message
  std::vector<std::string> notSaid;  // parts it must not hold
  std::string fileLine;              // a line of the report file
};

TEST_F(EarlyEnd, EachWayOutSaysWhatTheRunDidAndHowItEnded) {
  const std::string refused =
      "In the work done before the end, 1 row(s) of 1 table(s) were refused. Not everything "
      "arrived as it is in MySQL:\n- alpha: 1 row(s) refused";
  const std::string noKeys = "The foreign keys of the converted tables were not created.";
  const std::string otherLeft =
      "\n- foreign key to_other of table child was not created: the conversion ended before it was";
  const EarlyEndCase cases[] = {
      {"stop during the rows", "INSERT INTO [child] ([id], [parent]) VALUES(1,1);",
       EarlyEndCase::Stop, RunOutcome::Stopped,
       {"The conversion was stopped. Table child was cut short. 1 of 3 selected table(s) were "
        "converted completely.\n" + noKeys + "\n" + refused,
        "\n- foreign key to_parent of table child was not created: the conversion ended before it was", otherLeft},
       {},
       noKeys},
      {"stop during the count", "SELECT COUNT(*) FROM [parent]", EarlyEndCase::Stop,
       RunOutcome::Stopped,
       {"The conversion was stopped. 3 of 3 selected table(s) were converted completely.\n" + noKeys,
        "\n- parent: every row was copied, but the conversion was stopped before the rows were "
        "counted on SQL Server"},
       {"cut short"},
       "Tables converted completely: 3 of 3 selected\n"},
      {"stop during the foreign keys", "ALTER TABLE [child] ADD CONSTRAINT [to_other]",
       EarlyEndCase::Stop, RunOutcome::Stopped,
       {"The conversion was stopped. 3 of 3 selected table(s) were converted completely.\n"
        "Not all foreign keys of the converted tables were created (created: 1); the others are "
        "named in the report.\n" + refused,
        otherLeft},
       {"to_parent", "cut short"},
       "Not all foreign keys of the converted tables were created (created: 1)"},
      {"a lost connection during the foreign keys", "ALTER TABLE [child] ADD CONSTRAINT [to_other]",
       EarlyEndCase::LoseConnection, RunOutcome::TableFailed,
       {"The conversion ended early: a step failed (the message before this one named the error), "
        "and what came after it was not done. 3 of 3 selected table(s) were converted "
        "completely.\nNot all foreign keys of the converted tables were created (created: 1)",
        "\n- foreign key to_other of table child may not have been created: the connection to SQL "
        "Server was lost while it was being created"},
       {"to_parent", "cut short"},
       "- foreign key to_other of table child may not have been created"},
      {"a failed CREATE", "CREATE TABLE [child]", EarlyEndCase::Refuse, RunOutcome::TableFailed,
       {"The conversion ended early: a step failed (the message before this one named the error), "
        "and what came after it was not done. Table child was cut short. 1 of 3 "
        "selected table(s) were converted completely.\n" + noKeys + "\n" + refused,
        otherLeft},
       {},
       "- alpha: 1 row(s) refused\n"},
  };
  for (const EarlyEndCase& c : cases) {
    SCOPED_TRACE(c.name);
    journal.sent.clear();
    window.messages.clear();
    window.keptReports.clear();
    window.selected = {0, 1, 2};
    created = false;
    stop.Reset();
    bool ended = false;
    refuseAlso = [&](const std::string& s) -> std::optional<TargetError> {
      if (s.find("VALUES(6)") != std::string::npos) return test::ServerError(2627, "Violation of PRIMARY KEY.");
      if (ended || s.rfind(c.trigger, 0) != 0) return std::nullopt;
      ended = true;
      switch (c.how) {
        case EarlyEndCase::Stop:
          stop.Request();  // its cancel ends the statement
          return test::ServerError(3621, "The statement has been terminated.");
        case EarlyEndCase::LoseConnection:
          return TargetError(target_code::kConnectionLost, "[FreeTDS][SQL Server]", "Write to the server failed");
        case EarlyEndCase::Refuse: return test::ServerError(2715, "Cannot find data type.");
      }
      return std::nullopt;
    };
    EXPECT_EQ(Convert().outcome, c.outcome);
    ASSERT_TRUE(ended);
    ASSERT_FALSE(window.messages.empty());
    const std::string& message = window.messages.back();
    for (const auto& part : c.said) EXPECT_THAT(message, HasSubstr(part));
    for (const auto& part : c.notSaid) EXPECT_THAT(message, testing::Not(HasSubstr(part)));
    ASSERT_EQ(window.keptReports.size(), 1u);
    EXPECT_THAT(window.keptReports[0].text, HasSubstr(c.fileLine));
    EXPECT_EQ(window.keptReports[0].text.find("cut short") != std::string::npos,
              message.find("cut short") != std::string::npos);
  }
}

TEST_F(ConversionRun, TablesOutsideTheSnapshotAreNamed) {
  source.tables["zeta"].engine = "MyISAM";
  source.tables["orders"].engine = "MEMORY";
  window.selected = {0, 1, 2};
  EXPECT_EQ(Convert().outcome, RunOutcome::Completed);
  EXPECT_THAT(source.outsideAsked, ElementsAre(ElementsAre("customers", "orders", "zeta")));
  EXPECT_EQ(window.messages.back(),
            "MySQL to MS SQL Database Conversion completed, but not everything arrived as it is in "
            "MySQL:\n"
            "- table orders (MEMORY) takes no part in the snapshot: it was read as it was at its turn\n"
            "- table zeta (MyISAM) takes no part in the snapshot: it was read as it was at its turn");
}

TEST(RunReport, EmptyIsTheCompletionMessageWordForWord) {
  EXPECT_EQ(RunReport().FinalMessage(), Completed);
}

TEST(RunReport, KeepsShortAndCountsTheItemsItLeavesOut) {
  RunReport report;
  report.Add(ReportTopic::ColumnChanged, "a", "a, column c: changed");
  for (int i = 0; i < 3; ++i) report.AddRowsRefused("t" + std::to_string(i), 2);
  report.Add(ReportTopic::CountMismatch, "b", "b: counts differ");
  EXPECT_EQ(report.FinalMessage(3),
            "MySQL to MS SQL Database Conversion completed, but 6 row(s) of 3 table(s) were "
            "refused. Not everything arrived as it is in MySQL:\n- t0: 2 row(s) refused\n"
            "- t1: 2 row(s) refused\n- t2: 2 row(s) refused\n... and 2 further item(s).");
}

TEST(ConvertWorker, RunsOnItsOwnThreadAndStopsOnRequest) {
  test::TargetJournal journal;
  test::FakeWizardWindow window(journal);
  test::FakeSource source;
  source.tables["t"].fields = {Field("n", t::Long, 11, 0, 63, 0)};
  for (int i = 0; i < 1000; ++i) source.tables["t"].rows.push_back({std::to_string(i)});
  window.tables = {"t"};
  window.selected = {0};
  window.targetName = "db";
  window.overwriteAnswer = MessageAnswer::Yes;
  TargetConnection target;
  target.TargetServer = std::make_shared<test::FakeTargetServer>(journal);
  PendingIndex pending;
  std::promise<void> firstRow;
  bool signalled = false;
  journal.refuse = [&](const std::string& s) -> std::optional<TargetError> {
    if (s.find("INSERT") != std::string::npos && !signalled) {
      signalled = true;
      firstRow.set_value();
    }
    return std::nullopt;
  };

  ConvertWorker worker;
  EXPECT_FALSE(worker.ConvertStarted);
  // The product's own pause of 50 ms per row: 1000 rows would take 50 s without the stop.
  ASSERT_TRUE(worker.Start(window, source, target, pending));
  EXPECT_FALSE(worker.Start(window, source, target, pending));  // one run at a time
  ASSERT_EQ(firstRow.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
  EXPECT_TRUE(worker.ConvertStarted);
  worker.RequestStop();
  worker.Join();
  EXPECT_FALSE(worker.Running());
  EXPECT_THAT(window.messages.back(), HasSubstr("The conversion was stopped."));

  // The next run starts with no stop pending.
  window.selected = {0};
  journal.sent.clear();
  source.tables["t"].rows.resize(2);
  ASSERT_TRUE(worker.Start(window, source, target, pending, std::chrono::milliseconds(0)));
  worker.Join();
  EXPECT_EQ(window.messages.back(), "MySQL to MS SQL Database Conversion successfully completed.");
}

}  // namespace
}  // namespace morvane
