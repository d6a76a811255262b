#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "engine/RowCopy.h"
#include "tests/unit/RowCopyFixture.h"

namespace morvane {
namespace {

using namespace mysql_flag;
using test::Field;
using testing::ElementsAre;
namespace t = mysql_type;

TEST_F(RowCopy, OrdersKeepIdentityValuesAndNameTheColumns) {
  source.tables["orders"] = {test::OrdersFields(),
                             {{"7", "O'Brien", "A1", "19.90", std::nullopt},
                              {"9", std::nullopt, "B''2", "20", ""}}};
  const CopyResult result = Copy("orders");

  EXPECT_EQ(result.outcome, CopyOutcome::Completed);
  EXPECT_EQ(result.rowsCopied, 2u);
  EXPECT_THAT(Sent(),
              ElementsAre("SET IDENTITY_INSERT [orders] ON",
                          "INSERT INTO [orders] ([id], [customer], [code], [total], [note]) "
                          "VALUES(7,N'O''Brien',N'A1',19.9,NULL);",
                          "INSERT INTO [orders] ([id], [customer], [code], [total], [note]) "
                          "VALUES(9,NULL,N'B''''2',20,N'');",
                          "SET IDENTITY_INSERT [orders] OFF"));
  EXPECT_THAT(window.statusTexts, ElementsAre("Converting Table: orders  ....",
                                              "Converting Table: orders  ...."));
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(RowCopy, TableWithoutRowsSendsNothing) {
  source.tables["empty"] = {test::OrdersFields(), {}};
  EXPECT_EQ(Copy("empty").outcome, CopyOutcome::Completed);
  EXPECT_TRUE(journal.sent.empty());
  EXPECT_TRUE(window.statusTexts.empty());
}

TEST_F(RowCopy, EveryColumnAutoIncrement) {
  source.tables["ids"] = {{Field("id", t::Long, 11, 0, 63, NotNull | PriKey | AutoIncrement)},
                          {{"3"}}};
  Copy("ids");
  EXPECT_THAT(Sent(), ElementsAre("SET IDENTITY_INSERT [ids] ON",
                                  "INSERT INTO [ids] ([id]) VALUES(3);",
                                  "SET IDENTITY_INSERT [ids] OFF"));
}

TEST_F(RowCopy, RefusedRowIsReportedAndSkipped) {
  Numbers("t", 5);
  journal.refuse = [](const std::string& s) -> std::optional<TargetError> {
    if (s.find("VALUES(3)") != std::string::npos) {
      return test::ServerError(2627, "Violation of PRIMARY KEY constraint.");
    }
    return std::nullopt;
  };
  const CopyResult result = Copy("t");

  EXPECT_EQ(result.outcome, CopyOutcome::Completed);
  EXPECT_EQ(result.rowsCopied, 4u);
  EXPECT_EQ(result.rowsRefused, 1u);
  EXPECT_EQ(journal.sent.size(), 5u);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_THAT(window.messages[0], testing::HasSubstr("Violation of PRIMARY KEY constraint."));
  EXPECT_THAT(window.messages[0], testing::HasSubstr("IDispatch error #2627"));
  // The box of a refused row also lets the user stop the run.
  EXPECT_EQ(window.buttonsShown, std::vector<MessageButtons>{MessageButtons::OkStop});
  EXPECT_EQ(window.statusTexts.size(), 5u);
}

TEST_F(RowCopy, LostConnectionEndsTheTableAfterOneReport) {
  Numbers("t", 5);
  journal.refuse = [](const std::string& s) -> std::optional<TargetError> {
    if (s.find("VALUES(1)") != std::string::npos) return std::nullopt;
    return TargetError(target_code::kConnectionLost, "[FreeTDS][SQL Server]",
                       "Write to the server failed");
  };
  const CopyResult result = Copy("t");
  EXPECT_EQ(result.outcome, CopyOutcome::TargetFailed);
  EXPECT_EQ(journal.sent.size(), 2u);
  EXPECT_EQ(window.messages.size(), 1u);
}

TEST_F(RowCopy, StopBetweenRowsKeepsWhatArrivedAndSwitchesIdentityOff) {
  source.tables["ids"] = {{Field("id", t::Long, 11, 0, 63, NotNull | PriKey | AutoIncrement)},
                          {{"1"}, {"2"}, {"3"}}};
  journal.refuse = [this](const std::string& s) -> std::optional<TargetError> {
    if (s.find("VALUES(2)") != std::string::npos) stop.Request();
    return std::nullopt;
  };
  const CopyResult result = Copy("ids");
  EXPECT_EQ(result.outcome, CopyOutcome::Stopped);
  EXPECT_EQ(result.rowsCopied, 2u);
  EXPECT_THAT(Sent(), ElementsAre("SET IDENTITY_INSERT [ids] ON",
                                  "INSERT INTO [ids] ([id]) VALUES(1);",
                                  "INSERT INTO [ids] ([id]) VALUES(2);",
                                  "SET IDENTITY_INSERT [ids] OFF"));
}

TEST_F(RowCopy, StopEndsThePauseEarly) {
  Numbers("t", 3);
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop.Request();
  });
  // A pause far longer than any test may take: only the stop can end it.
  const CopyResult result =
      CopyTableRows(source, target, window, "t", {std::chrono::hours(1), &stop});
  stopper.join();
  EXPECT_EQ(result.outcome, CopyOutcome::Stopped);
  EXPECT_EQ(result.rowsCopied, 1u);
}

TEST_F(RowCopy, SourceFailuresAreReported) {
  Numbers("broken", 2);
  source.tables["broken"].errorAfterRows = "Lost connection to server during query";
  const CopyResult broken = Copy("broken");
  EXPECT_EQ(broken.outcome, CopyOutcome::SourceFailed);
  EXPECT_EQ(broken.rowsCopied, 2u);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_THAT(window.messages[0], testing::HasSubstr("Lost connection to server during query"));
  EXPECT_THAT(window.messages[0], testing::HasSubstr("broken"));

  window.messages.clear();
  EXPECT_EQ(Copy("gone").outcome, CopyOutcome::SourceFailed);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_THAT(window.messages[0], testing::HasSubstr("gone"));
}

TEST_F(RowCopy, IdentitySwitchRefusedEndsTheTable) {
  source.tables["ids"] = {{Field("id", t::Long, 11, 0, 63, NotNull | AutoIncrement)}, {{"1"}}};
  journal.refuse = [](const std::string&) -> std::optional<TargetError> {
    return test::ServerError(8107, "IDENTITY_INSERT is already ON for table 'x'.");
  };
  EXPECT_EQ(Copy("ids").outcome, CopyOutcome::TargetFailed);
  EXPECT_EQ(journal.sent.size(), 1u);
  EXPECT_EQ(window.messages.size(), 1u);
}

TEST_F(RowCopy, EmptyDatabaseHolderIsReportedPerRow) {
  Numbers("t", 2);
  target.TargetDatabase.Reset();
  const CopyResult result = Copy("t");
  EXPECT_EQ(result.rowsRefused, 2u);
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_THAT(window.messages[0], testing::HasSubstr("-2147467261"));
}

TEST_F(RowCopy, ValuesThatWouldChangeAreRefusedAndNamedNotSent) {
  source.tables["orders"] = {
      {Field("day", t::Date, 10, 0, 63, NotNull | PriKey), Field("code", t::String, 8, 0, 45, 0),
       Field("total", t::NewDecimal, 67, 30, 63, 0), Field("took", t::Time, 10, 0, 63, 0)},
      {{"2024-02-29", "DE", "123456789012.5", "-01:00:00"},
       {"0000-00-00", "FR", "1", "00:00:00"},
       {"2024-03-01", "😀😀", "1", "00:00:00"},
       {"2024-03-02", "IT", "1.1234567890123456789012345678901", "00:00:00"}}};
  // CHAR(2); 12 integer and 31 fraction digits, more than 38: the exact text; TIME beyond one
  // day.
  const std::vector<ColumnProfile> profiles{
      {}, {}, {.integerDigits = 12, .fractionDigits = 31}, {.timeBeyondDay = true}};
  RunReport report;
  CopyOptions options{std::chrono::milliseconds(0), &stop, &profiles, &report};
  const CopyResult result = CopyTableRows(source, target, window, "orders", options);

  EXPECT_EQ(result.outcome, CopyOutcome::Completed);
  EXPECT_EQ(result.rowsCopied, 2u);
  EXPECT_EQ(result.rowsRefused, 2u);
  EXPECT_TRUE(window.messages.empty());  // named in the report, not one box per row
  EXPECT_THAT(Sent(), ElementsAre("INSERT INTO [orders] ([day], [code], [total], [took]) "
                                  "VALUES(N'2024-02-29',N'DE',N'123456789012.5',"
                                  "N'1899-12-31 23:00:00');",
                                  "INSERT INTO [orders] ([day], [code], [total], [took]) "
                                  "VALUES(N'2024-03-02',N'IT',"
                                  "N'1.1234567890123456789012345678901',N'1900-01-01 00:00:00');"));
  std::vector<std::string> items;
  for (const auto& item : report.Items()) items.push_back(item.text);
  EXPECT_THAT(items,
              ElementsAre("orders, column day: the value 0000-00-00 is a zero or partial date, "
                          "which SQL Server cannot hold, in a primary key column; its row was "
                          "not copied",
                          "orders, column code: the value '😀😀' needs more than the 2 UTF-16 "
                          "code units of NCHAR(2); its row was not copied"));
  EXPECT_EQ(window.statusTexts.size(), 4u);
}

}  // namespace
}  // namespace morvane
