#pragma once
// The row copy's tests: a window that records what the copy shows, and a fixture with a fake
// source and a recording target database "shop".

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/RowCopy.h"
#include "tests/support/FakeSource.h"
#include "tests/support/FakeTarget.h"

namespace morvane {

class RecordingWindow : public RowCopyWindow {
 public:
  std::vector<std::string> statusTexts, messages;
  std::vector<MessageButtons> buttonsShown;
  std::function<void()> onMessage;
  void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
  MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons) override {
    EXPECT_NE(buttons, MessageButtons::YesNo);
    messages.push_back(text);
    buttonsShown.push_back(buttons);
    if (onMessage) onMessage();
    return MessageAnswer::Ok;
  }
};

class RowCopy : public testing::Test {
 protected:
  void SetUp() override {
    target.TargetDatabase = std::make_shared<test::FakeTargetDatabase>(journal, "shop");
  }
  CopyResult Copy(const std::string& table) {
    return CopyTableRows(source, target, window, table, {std::chrono::milliseconds(0), &stop});
  }
  // The statements the database object received, without the "database shop: " tag.
  std::vector<std::string> Sent() const {
    std::vector<std::string> out;
    for (const auto& s : journal.sent) out.push_back(s.substr(std::string("database shop: ").size()));
    return out;
  }
  // Rows 1..count of one INT key column [n].
  void Numbers(const std::string& table, int count) {
    source.tables[table].fields = {
        test::Field("n", mysql_type::Long, 11, 0, 63, mysql_flag::NotNull | mysql_flag::PriKey)};
    for (int i = 1; i <= count; ++i) source.tables[table].rows.push_back({std::to_string(i)});
  }

  test::FakeSource source;
  test::TargetJournal journal;
  TargetConnection target;
  RecordingWindow window;
  StopSignal stop;
};

}  // namespace morvane
