// A row whose INSERT statement would be larger than the largest batch the server takes is
// refused before it is sent, named with its table and the column of its largest value. The
// server counts the batch in UTF-16 bytes, after the 22 bytes of ALL_HEADERS.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "engine/RowCopy.h"
#include "engine/RunReport.h"
#include "tests/support/FakeSource.h"
#include "tests/support/FakeTarget.h"

namespace morvane {
namespace {

using testing::HasSubstr;
namespace t = mysql_type;

class LimitedServer final : public test::FakeTargetServer {
 public:
  LimitedServer(test::TargetJournal& journal, std::optional<std::uint64_t> limit)
      : FakeTargetServer(journal), limit_(limit) {}
  std::optional<std::uint64_t> BatchLimit() override { return limit_; }

 private:
  std::optional<std::uint64_t> limit_;
};

class NoWindow : public RowCopyWindow {
 public:
  void SetStatusText(const std::string&) override {}
  MessageAnswer ShowMessage(const std::string& text, MessageButtons) override {
    ADD_FAILURE() << text;
    return MessageAnswer::Ok;
  }
};

std::string Repeated(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

struct Row {
  const char* name;
  std::string body;
  bool sent;
};

class BatchLimit : public testing::Test {
 protected:
  // Copies one row per case of a table (id, title, body) into a server that takes at most
  // `limit` bytes a batch; returns the statements that went out.
  std::vector<std::string> Copy(const std::vector<Row>& rows, std::optional<std::uint64_t> limit) {
    using namespace mysql_flag;
    auto& table = source.tables["notes"];
    table.fields = {test::Field("id", t::Long, 11, 0, 63, NotNull | PriKey),
                    test::Field("title", t::VarString, 80, 0, 45, 0),
                    test::Field("body", t::Blob, 4294967295u, 0, 45, 0)};
    table.rows.clear();
    journal.sent.clear();
    report = RunReport();
    int id = 0;
    for (const auto& r : rows) table.rows.push_back({std::to_string(++id), "a title", r.body});
    target.TargetServer = std::make_shared<LimitedServer>(journal, limit);
    target.TargetDatabase = std::make_shared<test::FakeTargetDatabase>(journal, "shop");
    StopSignal stop;
    CopyOptions options{std::chrono::milliseconds(0), &stop};
    options.report = &report;
    result = CopyTableRows(source, target, window, "notes", options);
    return journal.sent;
  }

  test::FakeSource source;
  test::TargetJournal journal;
  TargetConnection target;
  NoWindow window;
  RunReport report;
  CopyResult result;
};

TEST_F(BatchLimit, ARowOverTheLimitIsRefusedBeforeItIsSentAndNamed) {
  // The statement's length without its body, from a row copied without a limit.
  const std::string tag = "database shop: ";
  const std::size_t fixed = Copy({{"probe", "", true}}, std::nullopt).at(0).size() - tag.size();
  // 1000 bytes leave room for (1000 - 22) / 2 UTF-16 code units: n of them for the body.
  const int n = static_cast<int>((1000 - 22) / 2 - fixed);
  ASSERT_GT(n, 100);
  const std::vector<Row> rows{
      {"small", "short", true},
      {"at the limit", Repeated("x", n), true},
      {"one over", Repeated("x", n + 1), false},
      // Two bytes of UTF-8, one code unit each: counted in UTF-16, not in bytes of UTF-8.
      {"two-byte letters", Repeated("\xC3\xA9", n), true},
      // Four bytes of UTF-8, two code units each: counted in code units, not in characters.
      {"emoji", Repeated("\xF0\x9F\x98\x80", n / 2 + 1), false},
      {"emoji at the limit", Repeated("\xF0\x9F\x98\x80", n / 2) + Repeated("x", n % 2), true},
  };
  const auto sent = Copy(rows, 1000);
  ASSERT_EQ(sent.size(), 4u);
  std::size_t next = 0;
  for (const auto& r : rows) {
    if (r.sent) {
      EXPECT_THAT(sent.at(next++), HasSubstr(r.body)) << r.name;
    }
  }
  EXPECT_EQ(sent[1].size(), tag.size() + fixed + static_cast<std::size_t>(n));
  EXPECT_EQ(result.rowsRefused, 2u);
  EXPECT_EQ(result.outcome, CopyOutcome::Completed);
  const auto& items = report.Items();
  ASSERT_EQ(items.size(), 2u);
  for (const auto& item : items) {
    EXPECT_EQ(item.table, "notes");
    EXPECT_THAT(item.text, HasSubstr("notes, column body: the value "));
    EXPECT_THAT(item.text, HasSubstr("makes the row's INSERT statement larger than the 1000 bytes "
                                     "that SQL Server takes in one batch"));
    EXPECT_THAT(item.text, HasSubstr("its row was not copied"));
  }
}

TEST_F(BatchLimit, WithoutAKnownLimitEveryRowIsSent) {
  const auto sent = Copy({{"large", Repeated("x", 100000), true}}, std::nullopt);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(result.rowsRefused, 0u);
}

}  // namespace
}  // namespace morvane
