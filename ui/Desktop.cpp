#include "ui/Desktop.h"

#include <wx/log.h>
#include <wx/utils.h>

namespace morvane::ui {

void OpenWithDesktop(const wxString& address) {
  const wxLogNull quiet;  // no message box when no handler is found
  // The result tells whether a handler could be started; nothing is reported either way.
  static_cast<void>(wxLaunchDefaultBrowser(address));
}

void OpenFileWithDesktop(const wxString& path) {
  const wxLogNull quiet;
  static_cast<void>(wxLaunchDefaultApplication(path));
}

}  // namespace morvane::ui
