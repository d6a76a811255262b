#pragma once
// Hands an address to the desktop's default handler (xdg-open on Linux), unchecked.

#include <string>

#include <wx/string.h>

namespace morvane::ui {

// Opens a URL (https:, mailto:, file:) with the handler that the desktop has for it. Whether
// a handler exists or succeeds is not checked.
void OpenWithDesktop(const wxString& address);

// Opens a local file with the handler that the desktop has for its kind, unchecked.
void OpenFileWithDesktop(const wxString& path);

// The folder of the run's report files: $XDG_DATA_HOME/morvane/reports, or
// ~/.local/share/morvane/reports when XDG_DATA_HOME is unset, empty or not absolute. Empty when
// neither it nor HOME is known.
std::string ReportFolder();

// Writes `text` into a new file `fileName` of the report folder (made, private to the user, when
// missing); an existing file is never overwritten: the name gets " (2)", " (3)", ... before
// its extension. Returns the file's path, empty when it could not be written.
std::string WriteReportFile(const std::string& fileName, const std::string& text);

}  // namespace morvane::ui
