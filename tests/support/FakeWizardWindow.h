#pragma once
// A conversion window that records every operation, in order, into the same journal as the fake
// target, so that tests see what the user saw and what the server received as one story.

#include <functional>
#include <string>
#include <vector>

#include "engine/WizardWindow.h"
#include "tests/support/FakeTarget.h"

namespace morvane::test {

class FakeWizardWindow : public ConversionWindow {
 public:
  explicit FakeWizardWindow(TargetJournal& journal) : journal_(journal) {}

  // Page two as the user left it.
  std::vector<std::string> tables;  // the rows of the table list, sorted
  std::vector<int> selected;        // ascending
  std::string targetName;
  bool selectAllTicked = false;
  MessageAnswer overwriteAnswer = MessageAnswer::No;
  std::function<void(const std::string& message)> onMessage;
  std::function<void(const std::string& operation)> onOperation;  // after each logged one

  // What the window shows.
  bool locked = false, progressShown = false;
  int waitCursors = 0;
  std::string status;
  std::vector<std::string> messages;
  // The reports kept (file name and text), and the report path each box offered ("" for none).
  struct KeptReport {
    std::string fileName, text;
  };
  std::vector<KeptReport> keptReports;
  std::vector<std::string> offeredReports;

  void LockSelectionPage() override {
    locked = true;
    status = "Converting Table:";
    Log("lock");
  }
  void UnlockSelectionPage() override {
    locked = false;
    Log("unlock");
  }
  void ShowProgressArea(bool show) override {
    progressShown = show;
    Log(show ? "progress shown" : "progress hidden");
  }
  void ClearTableSelection() override {
    selected.clear();
    selectAllTicked = false;
    Log("selection cleared");
  }
  std::string TargetName() const override { return targetName; }
  int SelectedTableCount() const override { return static_cast<int>(selected.size()); }
  std::vector<int> SelectedTableIndices() const override { return selected; }
  std::string TableText(int index) const override { return tables.at(static_cast<std::size_t>(index)); }
  void SetProgressRange(int lower, int upper) override {
    Log("range " + std::to_string(lower) + ".." + std::to_string(upper));
  }
  void SetProgressStep(int step) override { Log("step size " + std::to_string(step)); }
  void SetProgressPosition(int position) override { Log("position " + std::to_string(position)); }
  void StepProgress() override { Log("step"); }
  void BeginWaitCursor() override { ++waitCursors; }
  void EndWaitCursor() override { --waitCursors; }
  void SetStatusText(const std::string& text) override {
    if (text != status) Log("status: " + text);
    status = text;
  }
  MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons) override {
    messages.push_back(text);
    Log((buttons == MessageButtons::YesNo ? "ask: " : "message: ") + text);
    if (onMessage) onMessage(text);
    return buttons == MessageButtons::YesNo ? overwriteAnswer : MessageAnswer::Ok;
  }
  std::string KeepReport(const std::string& fileName, const std::string& text) override {
    keptReports.push_back({fileName, text});
    return "/reports/" + fileName;
  }
  void ShowReportMessage(const std::string& text, const std::string& reportPath) override {
    offeredReports.push_back(reportPath);
    ShowMessage(text, MessageButtons::Ok);
  }

 private:
  void Log(const std::string& what) {
    journal_.sent.push_back("window: " + what);
    if (onOperation) onOperation(what);
  }
  TargetJournal& journal_;
};

}  // namespace morvane::test
