#pragma once
// What the conversion run does with the main window. The run calls from its worker thread; each
// call is carried to the user-interface thread through the window's one hop (UiThread) and
// waited for. Once the window has gone into its close path, every call returns at once with its
// fallback and touches nothing.

#include <string>
#include <vector>

#include "engine/WizardWindow.h"

namespace morvane::ui {

class CMorvaneDlg;

class RunWindow : public ConversionWindow {
 public:
  explicit RunWindow(CMorvaneDlg& dialog) : m_dialog(&dialog) {}

  void SetStatusText(const std::string& text) override;
  MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons) override;
  void LockSelectionPage() override;
  void UnlockSelectionPage() override;
  void ShowProgressArea(bool show) override;
  void ClearTableSelection() override;
  std::string TargetName() const override;
  int SelectedTableCount() const override;
  std::vector<int> SelectedTableIndices() const override;
  std::string TableText(int index) const override;
  void SetProgressRange(int lower, int upper) override;
  void SetProgressStep(int step) override;
  void SetProgressPosition(int position) override;
  void StepProgress() override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  std::string KeepReport(const std::string& fileName, const std::string& text) override;
  void ShowReportMessage(const std::string& text, const std::string& reportPath) override;

 private:
  // Runs work(dialog) on the user-interface thread and waits for it.
  template <typename Work>
  void Run(Work work) const;
  template <typename Work, typename Result>
  Result Call(Work work, Result fallback) const;

  CMorvaneDlg* m_dialog;
};

}  // namespace morvane::ui
