#include "tests/ui/UiTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/msgdlg.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

// Last: X11 defines macros (None, Bool) that clash with other headers.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

namespace morvane::test {

void Pump(int milliseconds) {
  PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    wxTheApp->Yield(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void FocusFollowsPointer() {
  if (Display* display = XOpenDisplay(nullptr)) {
    XSetInputFocus(display, PointerRoot, RevertToPointerRoot, CurrentTime);
    XCloseDisplay(display);
  }
}

void ShowAndSettle(wxWindow& window) {
  FocusFollowsPointer();
  window.Show();
  window.Raise();
  window.Update();
  Pump(500);
}

wxImage CaptureClient(wxWindow& window) {
  // A full repaint first, so that the capture shows every control in drawing order.
  window.Refresh();
  window.Update();
  Pump(100);
  const wxSize size = window.GetClientSize();
  wxBitmap bitmap(size.x, size.y, 24);
  {
    wxClientDC source(&window);
    wxMemoryDC target(bitmap);
    target.Blit(0, 0, size.x, size.y, &source, 0, 0);
  }
  return bitmap.ConvertToImage();
}

ui::Rgb PixelAt(const wxImage& image, int x, int y) {
  return {image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)};
}

bool BlockEquals(const wxImage& image, int x, int y, const wxImage& picture) {
  for (int dy = 0; dy < picture.GetHeight(); ++dy) {
    for (int dx = 0; dx < picture.GetWidth(); ++dx) {
      if (!(PixelAt(image, x + dx, y + dy) == PixelAt(picture, dx, dy))) return false;
    }
  }
  return true;
}

PointerCursor CurrentCursor() {
  PointerCursor cursor;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    ADD_FAILURE() << "no X display";
    return cursor;
  }
  if (XFixesCursorImage* image = XFixesGetCursorImage(display)) {
    cursor.width = image->width;
    cursor.height = image->height;
    cursor.hotX = image->xhot;
    cursor.hotY = image->yhot;
    // Each pixel is 32-bit ARGB held in an unsigned long (sign-extended on 64-bit systems).
    const std::size_t count = static_cast<std::size_t>(image->width) * image->height;
    for (std::size_t i = 0; i < count; ++i) cursor.argb.push_back(image->pixels[i] & 0xFFFFFFFFul);
    XFree(image);
  } else {
    ADD_FAILURE() << "the X server gave no cursor image";
  }
  XCloseDisplay(display);
  return cursor;
}

void MovePointer(wxWindow& window, const wxPoint& client) {
  wxUIActionSimulator simulator;
  simulator.MouseMove(window.ClientToScreen(client));
  Pump(200);
}

FakeDesktopHandler::FakeDesktopHandler() {
  char pattern[] = "/tmp/morvane-xdg-open-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr) {
    ADD_FAILURE() << "cannot make a folder for the fake xdg-open";
    return;
  }
  m_dir = dir;
  m_log = m_dir / "calls.txt";
  const std::filesystem::path script = m_dir / "xdg-open";
  {
    std::ofstream out(script);
    out << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << m_log.string() << "'\n";
  }
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  const char* path = std::getenv("PATH");
  m_oldPath = path != nullptr ? path : "";
  setenv("PATH", (m_dir.string() + ":" + m_oldPath).c_str(), 1);
}

FakeDesktopHandler::~FakeDesktopHandler() {
  setenv("PATH", m_oldPath.c_str(), 1);
  std::error_code ignored;
  std::filesystem::remove_all(m_dir, ignored);
}

std::vector<std::string> FakeDesktopHandler::Calls() const {
  std::vector<std::string> calls;
  std::ifstream in(m_log);
  for (std::string line; std::getline(in, line);) calls.push_back(line);
  return calls;
}

std::vector<std::string> FakeDesktopHandler::WaitForCalls(std::size_t count,
                                                          int milliseconds) const {
  PumpUntil([&] { return Calls().size() >= count; }, milliseconds);
  return Calls();
}

int MessageBoxes::Enter(wxDialog* dialog) {
  auto* box = dynamic_cast<wxMessageDialog*>(dialog);
  if (box == nullptr) return wxID_NONE;
  const Shown shown{box->GetMessage().utf8_string(), box->GetTitle().utf8_string(),
                    box->GetMessageDialogStyle(), box->GetParent()};
  m_shown.push_back(shown);
  if (onShown) onShown(shown);
  if (m_answers.empty()) return wxID_OK;
  const int answer = m_answers.front();
  m_answers.erase(m_answers.begin());
  return answer;
}

std::vector<std::string> MessageBoxes::Messages() const {
  std::vector<std::string> messages;
  for (const Shown& shown : m_shown) messages.push_back(shown.message);
  return messages;
}

std::filesystem::path ScreenshotDir() { return MORVANE_SCREENSHOT_DIR; }

}  // namespace morvane::test
