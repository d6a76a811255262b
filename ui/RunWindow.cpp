#include "ui/RunWindow.h"

#include "ui/Desktop.h"
#include "ui/MorvaneDlg.h"

namespace morvane::ui {

// Every task that crosses the hop holds copies of what it uses (the window's address and the
// call's values), never references into the worker's stack frame.

template <typename Work>
void RunWindow::Run(Work work) const {
  m_dialog->m_uiThread.Run([dialog = m_dialog, work]() mutable { work(*dialog); });
}

template <typename Work, typename Result>
Result RunWindow::Call(Work work, Result fallback) const {
  return m_dialog->m_uiThread.Call([dialog = m_dialog, work]() mutable { return work(*dialog); },
                                   std::move(fallback));
}

void RunWindow::SetStatusText(const std::string& text) {
  Run([text](CMorvaneDlg& dialog) { dialog.SetStatusLine(text); });
}

MessageAnswer RunWindow::ShowMessage(const std::string& text, MessageButtons buttons) {
  const MessageAnswer fallback =
      buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
  return Call([text, buttons](CMorvaneDlg& dialog) { return dialog.ShowMessageBox(text, buttons); },
              fallback);
}

void RunWindow::LockSelectionPage() {
  Run([](CMorvaneDlg& dialog) { dialog.LockSelectionPage(); });
}

void RunWindow::UnlockSelectionPage() {
  Run([](CMorvaneDlg& dialog) { dialog.UnlockSelectionPage(); });
}

void RunWindow::ShowProgressArea(bool show) {
  Run([show](CMorvaneDlg& dialog) { dialog.ShowProgressArea(show); });
}

void RunWindow::ClearTableSelection() {
  Run([](CMorvaneDlg& dialog) { dialog.ClearTableSelection(); });
}

std::string RunWindow::TargetName() const {
  return Call([](CMorvaneDlg& dialog) { return dialog.TargetNameText(); }, std::string());
}

int RunWindow::SelectedTableCount() const {
  return Call([](CMorvaneDlg& dialog) { return static_cast<int>(dialog.SelectedTableIndices().size()); },
              0);
}

std::vector<int> RunWindow::SelectedTableIndices() const {
  return Call([](CMorvaneDlg& dialog) { return dialog.SelectedTableIndices(); }, std::vector<int>());
}

std::string RunWindow::TableText(int index) const {
  return Call([index](CMorvaneDlg& dialog) { return dialog.TableRowText(index); }, std::string());
}

void RunWindow::SetProgressRange(int lower, int upper) {
  Run([lower, upper](CMorvaneDlg& dialog) { dialog.SetProgressRange(lower, upper); });
}

void RunWindow::SetProgressStep(int step) {
  Run([step](CMorvaneDlg& dialog) { dialog.m_progressStep = step; });
}

void RunWindow::SetProgressPosition(int position) {
  Run([position](CMorvaneDlg& dialog) { dialog.SetProgressPosition(position); });
}

void RunWindow::StepProgress() {
  Run([](CMorvaneDlg& dialog) { dialog.StepProgress(); });
}

void RunWindow::BeginWaitCursor() {
  Run([](CMorvaneDlg& dialog) { dialog.m_runWaitCursor.emplace(); });
}

void RunWindow::EndWaitCursor() {
  Run([](CMorvaneDlg& dialog) { dialog.m_runWaitCursor.reset(); });
}

// The file is written on the run's own thread: it touches no window, and a run ended by the
// window's close still leaves its report.
std::string RunWindow::KeepReport(const std::string& fileName, const std::string& text) {
  return WriteReportFile(fileName, text);
}

void RunWindow::ShowReportMessage(const std::string& text, const std::string& reportPath) {
  Call([text, reportPath](CMorvaneDlg& dialog) { return dialog.ShowReportBox(text, reportPath); },
       MessageAnswer::Ok);
}

}  // namespace morvane::ui
