// The whole report as the file the user keeps: every item under its topic, how the run ended,
// and the run handing it to the window on each way out after its table work.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "engine/RunReport.h"
#include "tests/support/FakeRun.h"

namespace morvane {
namespace {

using namespace mysql_flag;
using namespace std::chrono;
using test::Field;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
namespace t = mysql_type;

const system_clock::time_point kWhen = sys_days{2026y / December / 1} + 9h + 5min + 7s;

// Twenty items: more than the final message shows.
RunReport ManyItems() {
  RunReport report;
  for (int i = 0; i < 16; ++i)
    report.Add(ReportTopic::SchemaLeftOut, "t" + std::to_string(i),
               "foreign key fk" + std::to_string(i) + " of table t" + std::to_string(i) +
                   " was not created: Foreign key references invalid table.");
  report.Add(ReportTopic::ColumnChanged, "zeta", "zeta, column z: created NULL");
  report.Add(ReportTopic::TableRenamed, "über", "table über was created as über_2");
  report.AddRowsRefused("orders", 3);
  report.Add(ReportTopic::SourceView, "", "MySQL refused a consistent snapshot");
  return report;
}

TEST(ReportFileText, EveryItemUnderItsTopicInTheFinalMessagesOrder) {
  const RunReport report = ManyItems();
  const std::string text = ReportFileText(report, {RunEnd::Way::Completed, "", 5, 5, false}, "shop", kWhen);
  EXPECT_EQ(text.substr(0, text.find("\n\nEvery item")),
            "MySQL to MS SQL Database Conversion: report\n"
            "Target database: shop\n"
            "Time: 2026-12-01 09:05:07 UTC\n"
            "The conversion completed.\n"
            "Tables converted completely: 5 of 5 selected\n"
            "Rows refused: 3 in 1 table(s)");
  EXPECT_THAT(text, HasSubstr("\n\nEvery item (20):\n\nRows refused:\n- orders: 3 row(s) refused\n"
                              "\nTables, keys and indexes created under another name:\n"
                              "- table über was created as über_2\n"
                              "\nColumns created differently:\n- zeta, column z: created NULL\n"
                              "\nKeys, indexes, defaults and foreign keys not carried:\n"
                              "- foreign key fk0 of table t0 was not created"));
  EXPECT_THAT(text, HasSubstr("- foreign key fk15 of table t15 was not created: Foreign key "
                              "references invalid table.\n\nReading MySQL:\n"
                              "- MySQL refused a consistent snapshot\n"));
  // The final message cuts the list short; the file does not.
  EXPECT_THAT(report.FinalMessage(), Not(HasSubstr("fk15")));
  for (const ReportItem& item : report.Items()) EXPECT_THAT(text, HasSubstr("- " + item.text + "\n"));
}

TEST(ReportFileText, AnItemThatDoesNotNameItsTableGetsItInFront) {
  RunReport report;
  report.Add(ReportTopic::ColumnChanged, "zeta", "column z: created NULL");
  EXPECT_THAT(ReportFileText(report, {}, "shop", kWhen),
              HasSubstr("\n- table zeta: column z: created NULL\n"));
}

TEST(ReportFileText, SaysHowTheRunEnded) {
  struct Case {
    RunEnd end;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{RunEnd::Way::Completed, "", 2, 2, false},
       {"The conversion completed.\n", "Tables converted completely: 2 of 2 selected\n",
        "\nNothing was adapted, left out or refused: everything arrived as it is in MySQL.\n"}},
      {{RunEnd::Way::Stopped, "orders", 1, 3, true},
       {"The conversion was stopped by the user.\n", "Tables converted completely: 1 of 3 selected\n",
        "Table orders was cut short.\n", "The foreign keys of the converted tables were not created.\n",
        "\nNothing was adapted, left out or refused in the work done before the end.\n"}},
      {{RunEnd::Way::Failed, "orders", 0, 4, false},
       {"The conversion ended early: a step failed (its message box named the error), and what "
        "came after it was not done.\n",
        "Tables converted completely: 0 of 4 selected\n", "Table orders was cut short.\n"}},
  };
  for (const Case& c : cases) {
    const std::string text = ReportFileText(RunReport(), c.end, "shop", kWhen);
    for (const auto& line : c.lines) EXPECT_THAT(text, HasSubstr(line));
    EXPECT_EQ(text.find("foreign keys") != std::string::npos, c.end.foreignKeysLeft) << text;
    EXPECT_EQ(text.find("cut short") != std::string::npos, !c.end.cutShort.empty()) << text;
  }
}

TEST(ReportFileName, DatabaseAndTimeAsAFileNameCanHoldThem) {
  EXPECT_EQ(ReportFileName("shop", kWhen), "shop 2026-12-01 090507 UTC.txt");
  EXPECT_EQ(ReportFileName("Über/Жук\tx", kWhen), "Über_Жук_x 2026-12-01 090507 UTC.txt");
  EXPECT_EQ(ReportFileName("..", kWhen), "_. 2026-12-01 090507 UTC.txt");
  // 128 characters of four bytes: cut to 50 whole characters.
  std::string longName;
  for (int i = 0; i < 128; ++i) longName += "😀";
  EXPECT_EQ(ReportFileName(longName, kWhen), longName.substr(0, 200) + " 2026-12-01 090507 UTC.txt");
  EXPECT_EQ(ReportFileName("a" + longName, kWhen), "a" + longName.substr(0, 196) + " 2026-12-01 090507 UTC.txt");
}

// The run hands the whole report to the window on each way out after its table work.
class RunReportFile : public test::FakeRunTest {
 protected:
  void SetUp() override {
    FakeRunTest::SetUp();
    source.tables["Über"] = {{Field("id", t::Long, 11, 0, 63, NotNull | PriKey)}, {{"1"}}};
    source.tables["über"] = {{Field("id", t::Long, 11, 0, 63, NotNull | PriKey)}, {{"2"}}};
    source.tables["zeta"] = {{Field("z", t::Long, 11, 0, 63, 0)}, {{"5"}, {"6"}}};
    window.tables = {"Über", "über", "zeta"};
    window.selected = {0, 1, 2};
  }
};

TEST_F(RunReportFile, CompletedWithItemsIsKeptAndOffered) {
  EXPECT_EQ(Convert().outcome, RunOutcome::Completed);
  ASSERT_EQ(window.keptReports.size(), 1u);
  const auto& kept = window.keptReports[0];
  EXPECT_THAT(kept.fileName, testing::MatchesRegex("shop [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{6} UTC\\.txt"));
  EXPECT_THAT(kept.text, HasSubstr("The conversion completed.\nTables converted completely: 3 of 3"));
  EXPECT_THAT(kept.text, HasSubstr("\n- table über was created as über_2: SQL Server takes its name "
                                   "for that of table Über"));
  EXPECT_THAT(window.offeredReports, ElementsAre("/reports/" + kept.fileName));
  EXPECT_THAT(window.messages.back(), HasSubstr("- table über was created as über_2"));
}

TEST_F(RunReportFile, CompletedWithoutItemsIsKeptButNotOffered) {
  window.selected = {2};
  EXPECT_EQ(Convert().outcome, RunOutcome::Completed);
  ASSERT_EQ(window.keptReports.size(), 1u);
  EXPECT_THAT(window.keptReports[0].text, HasSubstr("everything arrived as it is in MySQL"));
  EXPECT_THAT(window.offeredReports, ElementsAre(""));
  EXPECT_EQ(window.messages.back(), "MySQL to MS SQL Database Conversion successfully completed.");
}

TEST_F(RunReportFile, StoppedIsKeptSayingSo) {
  refuseAlso = [this](const std::string& s) -> std::optional<TargetError> {
    if (s.find("VALUES(5)") != std::string::npos) stop.Request();
    return std::nullopt;
  };
  EXPECT_EQ(Convert().outcome, RunOutcome::Stopped);
  ASSERT_EQ(window.keptReports.size(), 1u);
  const std::string& text = window.keptReports[0].text;
  EXPECT_THAT(text, HasSubstr("The conversion was stopped by the user.\n"
                              "Tables converted completely: 2 of 3 selected\n"
                              "Table zeta was cut short.\n"));
  EXPECT_THAT(text, HasSubstr("- table über was created as über_2"));
  EXPECT_THAT(window.offeredReports, ElementsAre("/reports/" + window.keptReports[0].fileName));
  EXPECT_THAT(window.messages.back(), HasSubstr("The conversion was stopped. Table zeta was cut short."));
}

TEST_F(RunReportFile, FailedIsKeptSayingSo) {
  refuseAlso = [](const std::string& s) -> std::optional<TargetError> {
    if (s.rfind("CREATE TABLE [zeta]", 0) == 0) return test::ServerError(2715, "Cannot find data type.");
    return std::nullopt;
  };
  EXPECT_EQ(Convert().outcome, RunOutcome::TableFailed);
  ASSERT_EQ(window.keptReports.size(), 1u);
  EXPECT_THAT(window.keptReports[0].text,
              HasSubstr("The conversion ended early: a step failed (its message box named the "
                        "error), and what came after it was not done.\n"
                        "Tables converted completely: 2 of 3 selected\nTable zeta was cut short.\n"));
  // The error's own box, then how the run ended, with what it did.
  ASSERT_GE(window.messages.size(), 2u);
  EXPECT_THAT(window.messages.end()[-2], HasSubstr("Cannot find data type."));
  EXPECT_THAT(window.messages.back(), HasSubstr("\n- table über was created as über_2"));
}

}  // namespace
}  // namespace morvane
