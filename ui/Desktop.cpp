#include "ui/Desktop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

namespace {

// Makes each missing folder of an absolute path with mode 0700 (the XDG rule for the folders of
// a user's data).
bool MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

bool WriteAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string ReportFolder() {
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
    base = data;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.local/share";
  } else {
    return {};
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/morvane/reports";
}

std::string WriteReportFile(const std::string& fileName, const std::string& text) {
  const std::string folder = ReportFolder();
  if (folder.empty() || fileName.empty() || !MakeFolders(folder)) return {};
  const std::size_t dot = fileName.rfind('.');
  const std::string stem = fileName.substr(0, dot), extension = dot == std::string::npos ? "" : fileName.substr(dot);
  for (int n = 1; n < 1000; ++n) {
    const std::string path =
        folder + "/" + (n == 1 ? fileName : stem + " (" + std::to_string(n) + ")" + extension);
    // A new file only, readable by the user alone; a link in its place is not followed.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return {};
    }
    const bool written = WriteAll(fd, text);
    if (::close(fd) != 0 || !written) {
      ::unlink(path.c_str());
      return {};
    }
    return path;
  }
  return {};
}

}  // namespace morvane::ui
