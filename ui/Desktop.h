#pragma once
// Hands an address to the desktop's default handler (xdg-open on Linux), unchecked.

#include <wx/string.h>

namespace morvane::ui {

// Opens a URL (https:, mailto:, file:) with the handler that the desktop has for it. Whether
// a handler exists or succeeds is not checked.
void OpenWithDesktop(const wxString& address);

// Opens a local file with the handler that the desktop has for its kind, unchecked.
void OpenFileWithDesktop(const wxString& path);

}  // namespace morvane::ui
