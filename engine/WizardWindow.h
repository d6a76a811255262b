#pragma once
// What the conversion engine needs of the main window. The window carries every call to its
// user-interface thread and waits for it, so the engine may call from its worker thread.

#include <string>
#include <vector>

#include "target/SqlServerLogin.h"

namespace morvane {

// Every message box of the conversion is owned by the main window, has the caption
// "MySQL to MSSQL" (the same as the login's) and no icon.
inline constexpr const char* MessageCaption = kMessageBoxCaption;

// OkStop: an OK box that also lets the user stop the run; the window then requests the stop
// itself (as its Stop button does) and answers Ok.
enum class MessageButtons { Ok, YesNo, OkStop };
enum class MessageAnswer { Ok, Yes, No };

// The row copy's two uses of the window.
class RowCopyWindow {
 public:
  virtual ~RowCopyWindow() = default;
  virtual void SetStatusText(const std::string& text) = 0;
  // Shows the box and returns when the user has closed it.
  virtual MessageAnswer ShowMessage(const std::string& text, MessageButtons buttons) = 0;
};

}  // namespace morvane

namespace morvane {

// What the conversion run uses of the main window: page two's inputs, its status line,
// progress bar and message boxes, and the operations that change the window's state.
class ConversionWindow : public RowCopyWindow {
 public:
  // Disables the selection controls, shows the busy image in place of Convert; the status line
  // (still hidden) reads "Converting Table:".
  virtual void LockSelectionPage() = 0;
  // Enables them again, shows Convert; the table selection and the target name stay.
  virtual void UnlockSelectionPage() = 0;
  // Shows or hides the status line, the progress bar, the Stop button and its frame.
  virtual void ShowProgressArea(bool show) = 0;
  // Deselects every table and unticks "Select All Table".
  virtual void ClearTableSelection() = 0;

  virtual std::string TargetName() const = 0;
  virtual int SelectedTableCount() const = 0;
  virtual std::vector<int> SelectedTableIndices() const = 0;  // ascending
  virtual std::string TableText(int index) const = 0;

  virtual void SetProgressRange(int lower, int upper) = 0;
  virtual void SetProgressStep(int step) = 0;
  virtual void SetProgressPosition(int position) = 0;
  virtual void StepProgress() = 0;

  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;

  // Keeps the run's whole report (the text of ReportFileText) in a file named `fileName` in the
  // user's own data folder; returns the file's path, empty when it could not be written.
  virtual std::string KeepReport(const std::string& fileName, const std::string& text) = 0;
  // An OK box that also offers to open the kept report at `reportPath` with the desktop's
  // viewer (the box closes then); the plain OK box for an empty path.
  virtual void ShowReportMessage(const std::string& text, const std::string& reportPath) = 0;
};

// The label of the box's button that opens the report file.
inline constexpr const char* OpenReportLabel = "Open the full report";

}  // namespace morvane
