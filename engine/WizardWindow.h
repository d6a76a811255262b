#pragma once
// What the conversion engine needs of the main window. The window carries every call to its
// user-interface thread and waits for it, so the engine may call from its worker thread.

#include <string>

namespace morvane {

// Every message box of the conversion is owned by the main window, has the caption
// "MySQL to MSSQL" and no icon.
inline constexpr const char* MessageCaption = "MySQL to MSSQL";

enum class MessageButtons { Ok, YesNo };
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
