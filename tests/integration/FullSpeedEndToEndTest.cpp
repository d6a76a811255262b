// The full pace from the MariaDB test server to the SQL Server test server: the same values as
// the gentle pace and as MySQL holds them, a refused row among good ones, very wide rows, and a
// stop inside a multi-row statement.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>

#include "engine/RowCopy.h"
#include "tests/integration/EndToEnd.h"
#include "tests/integration/StopRelay.h"
#include "tests/support/OdbcTestClient.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;

// Keeps the boxes; the status line is not looked at here.
class BoxesWindow : public RowCopyWindow {
 public:
  std::vector<std::string> messages;
  void SetStatusText(const std::string&) override {}
  MessageAnswer ShowMessage(const std::string& text, MessageButtons) override {
    messages.push_back(text);
    return MessageAnswer::Ok;
  }
};

class FullSpeedEndToEnd : public test::EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    CreateTargetDatabase();
  }
  // Creates the table on the target and copies it at that pace.
  CopyResult Copy(const std::string& table, Pace pace) {
    CreateTargetTable(table);
    CopyOptions options{0ms, nullptr, &profiles, &report};
    options.pace = pace;
    return CopyTableRows(source, target, window, table, options);
  }
  // The same, into a new target database of its own.
  CopyResult CopyIntoAnotherDatabase(const std::string& table, Pace pace) {
    targetName = test::UniqueName("dst");
    CreateTargetDatabase();
    return Copy(table, pace);
  }
  std::vector<test::OdbcTypedRow> Typed(const std::string& query) {
    test::OdbcTestClient client(test::SqlServer(), targetName);
    return client.TypedQuery(query);
  }

  BoxesWindow window;
  RunReport report;
};

// Two values read back alike.
bool Equal(const test::OdbcValue& a, const test::OdbcValue& b) {
  return a.kind == b.kind && a.integer == b.integer && a.real == b.real && a.text == b.text &&
         a.bytes == b.bytes && a.DateText() == b.DateText();
}

// "-001.2300" -> "-1.23", as SQL Server's exact text and MySQL's compare.
std::string PlainDecimal(std::string s) {
  const bool negative = !s.empty() && s[0] == '-';
  if (negative) s.erase(0, 1);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  while (s.size() > 1 && s[0] == '0' && s[1] != '.') s.erase(0, 1);
  return (negative && s != "0" ? "-" : "") + s;
}

class FullSpeedRows : public FullSpeedEndToEnd, public testing::WithParamInterface<int> {};

// A thousand rows make one statement; 1 001 make two. The DECIMAL(38, 20) column mixes integer
// and fraction literals, which may share one; the others mix NULLs with values.
TEST_P(FullSpeedRows, ArriveAsAtTheGentlePaceAndAsMySqlHoldsThem) {
  const int rows = GetParam();
  Source({"CREATE TABLE mix (id INT AUTO_INCREMENT PRIMARY KEY, i BIGINT, n DECIMAL(38,20), "
          "m DECIMAL(10,2), d DOUBLE, f FLOAT, vc VARCHAR(40), tx TEXT, vb VARBINARY(8), "
          "dt DATETIME(6), b BIT(1))",
          "INSERT INTO mix SELECT seq, CAST(seq AS SIGNED) * 1000003 - 9000000000, "
          "IF(seq % 3 = 0, seq, seq / 7), IF(seq % 4 = 0, NULL, seq / 4), seq * 1.1e-5 + 1e300 * (seq = 5), "
          "seq / 3, CONCAT('it''s ', seq, ' 😀'), IF(seq % 5 = 0, NULL, REPEAT('x', seq % 50)), "
          "UNHEX(LPAD(HEX(seq), 8, '0')), '2024-02-29 00:00:00' + INTERVAL seq * 1000001 MICROSECOND, "
          "seq % 2 FROM seq_1_to_" + std::to_string(rows)});

  const CopyResult gentle = Copy("mix", Pace::Gentle);
  const std::string select =
      "SELECT [id], [i], [n], [m], [d], [f], [vc], [tx], [vb], [dt], [b] FROM [mix] ORDER BY [id]";
  const auto atGentlePace = Typed(select);
  const CopyResult full = CopyIntoAnotherDatabase("mix", Pace::Full);
  const auto atFullSpeed = Typed(select);

  EXPECT_EQ(gentle.rowsCopied, static_cast<std::uint64_t>(rows));
  EXPECT_EQ(full.outcome, CopyOutcome::Completed);
  EXPECT_EQ(full.rowsCopied, static_cast<std::uint64_t>(rows));
  EXPECT_EQ(full.rowsRefused, 0u);
  EXPECT_THAT(window.messages, testing::ElementsAre());
  ASSERT_EQ(atFullSpeed.size(), static_cast<std::size_t>(rows));
  ASSERT_EQ(atGentlePace.size(), atFullSpeed.size());
  for (std::size_t r = 0; r < atFullSpeed.size(); ++r) {
    for (std::size_t j = 0; j < atFullSpeed[r].size(); ++j)
      ASSERT_TRUE(Equal(atFullSpeed[r][j], atGentlePace[r][j])) << "row " << r + 1 << ", column " << j;
  }

  // And against MySQL itself: integers, exact decimals, doubles bit for bit, texts and bytes.
  const auto held = mariadb.Query("SELECT id, i, n, m, d, CAST(f AS DOUBLE), vc, tx, vb FROM " +
                                   test::Backticked(sourceName) + ".mix ORDER BY id");
  ASSERT_EQ(held.size(), atFullSpeed.size());
  for (std::size_t r = 0; r < held.size(); ++r) {
    const auto& m = held[r];
    const auto& s = atFullSpeed[r];
    SCOPED_TRACE("row " + *m[0]);
    EXPECT_EQ(std::to_string(s[1].integer), *m[1]);
    EXPECT_EQ(PlainDecimal(s[2].text), PlainDecimal(*m[2]));
    if (m[3]) {
      EXPECT_EQ(PlainDecimal(s[3].text), PlainDecimal(*m[3]));
    } else {
      EXPECT_TRUE(s[3].IsNull());
    }
    EXPECT_EQ(s[4].real, std::strtod(m[4]->c_str(), nullptr));
    EXPECT_EQ(s[5].real, std::strtod(m[5]->c_str(), nullptr));
    EXPECT_EQ(s[6].text, *m[6]);
    if (m[7]) {
      EXPECT_EQ(s[7].text, *m[7]);
    } else {
      EXPECT_TRUE(s[7].IsNull());
    }
    EXPECT_EQ(std::string(s[8].bytes.begin(), s[8].bytes.end()), *m[8]);
  }
}

INSTANTIATE_TEST_SUITE_P(Counts, FullSpeedRows, testing::Values(1000, 1001));

TEST_F(FullSpeedEndToEnd, ARefusedRowAmongGoodOnesIsNamedAndTheOthersArrive) {
  Source({"CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(10))",
          "INSERT INTO t SELECT seq, CONCAT('v', seq) FROM seq_1_to_1000"});
  CreateTargetTable("t");
  // The target already holds row 500: SQL Server refuses the statement of 1 000 rows whole.
  test::OdbcTestClient client(test::SqlServer(), targetName);
  ASSERT_TRUE(client.Execute("INSERT INTO [t] VALUES (500, 'there')").ok);
  CopyOptions options{0ms, nullptr, &profiles, &report};
  options.pace = Pace::Full;
  const CopyResult result = CopyTableRows(source, target, window, "t", options);

  EXPECT_EQ(result.outcome, CopyOutcome::Completed);
  EXPECT_EQ(result.rowsCopied, 999u);
  EXPECT_EQ(result.rowsRefused, 1u);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_THAT(window.messages[0], HasSubstr("(500)"));
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM [t]"), std::optional<std::string>("1000"));
  EXPECT_EQ(client.Scalar("SELECT [v] FROM [t] WHERE [id] = 500"), std::optional<std::string>("there"));
  EXPECT_EQ(client.Scalar("SELECT [v] FROM [t] WHERE [id] = 501"), std::optional<std::string>("v501"));
}

TEST_F(FullSpeedEndToEnd, VeryWideRowsArriveWhole) {
  // 700 000 characters a row: each statement holds one row (the bound is 1 MiB).
  Source({"CREATE TABLE wide (id INT PRIMARY KEY, body LONGTEXT)",
          "INSERT INTO wide SELECT seq, REPEAT(CHAR(64 + seq), 700000) FROM seq_1_to_5"});
  const CopyResult result = Copy("wide", Pace::Full);
  EXPECT_EQ(result.rowsCopied, 5u);
  EXPECT_THAT(window.messages, testing::ElementsAre());
  const auto rows = Typed("SELECT [id], [body] FROM [wide] ORDER BY [id]");
  ASSERT_EQ(rows.size(), 5u);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(rows[static_cast<std::size_t>(i)][1].text, std::string(700000, static_cast<char>('A' + i)));
}

TEST_F(FullSpeedEndToEnd, StopInsideAMultiRowStatementCancelsItAndSendsNoRowAgain) {
  Source({"CREATE TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, v INT)",
          "INSERT INTO t (v) SELECT seq FROM seq_1_to_3000"});
  CreateTargetTable("t");
  // The second statement of many rows is held by the link, as a slow server would.
  test::StopRelay link(test::SqlServer().host, test::SqlServer().port);
  link.HoldBatch("),(", 1);
  TargetConnection relayed;
  const auto s = test::SqlServer();
  test::FailOnMessage box;
  ASSERT_EQ(ConnectSqlServer(relayed, "127.0.0.1," + std::to_string(link.Port()), s.user,
                             s.password, Authentication::SqlServerAuthentication, box),
            1);
  const std::string use = "USE [" + targetName + "]";
  relayed.TargetServer->ExecuteWithResults(use, static_cast<std::int32_t>(use.size()));
  LookUpTargetDatabase(relayed, targetName);

  StopSignal stop;
  CopyOptions options{0ms, &stop, &profiles, &report};
  options.pace = Pace::Full;
  auto copy = std::async(std::launch::async,
                         [&] { return CopyTableRows(source, relayed, window, "t", options); });
  ASSERT_TRUE(link.WaitUntilHolding(120s));
  stop.Request();
  relayed.TargetServer->Cancel();
  ASSERT_EQ(copy.wait_for(120s), std::future_status::ready);
  const CopyResult result = copy.get();

  EXPECT_EQ(result.outcome, CopyOutcome::Stopped);
  EXPECT_EQ(result.rowsCopied, 1000u);
  EXPECT_TRUE(link.HeldBatchCancelled());
  EXPECT_EQ(link.BatchesAfterTheHeldOne(), std::vector<std::string>{"SET IDENTITY_INSERT [t] OFF"});
  EXPECT_THAT(window.messages, testing::ElementsAre());
  test::OdbcTestClient client(test::SqlServer(), targetName);
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM [t]"), std::optional<std::string>("1000"));
}

}  // namespace
}  // namespace morvane
