#include "tests/ui/UiTestSupport.h"

#include <algorithm>
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
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

namespace morvane::test {

void Press(ui::CMorvaneDlg& dialog, int id) {
  wxWindow* control = dialog.Control(id);
  if (auto* radio = dynamic_cast<wxRadioButton*>(control)) {
    radio->SetValue(true);
    wxCommandEvent click(wxEVT_RADIOBUTTON, id);
    click.SetEventObject(radio);
    click.SetInt(1);
    radio->ProcessWindowEvent(click);
    return;
  }
  wxCommandEvent click(wxEVT_BUTTON, id);
  click.SetEventObject(control);
  control->ProcessWindowEvent(click);
}

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

namespace {

// The viewable top-level X window of process pid with that title, or 0.
Window FindTopLevelWindow(Display* display, const std::string& title, long pid) {
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (pidAtom != 0 &&
      XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0) {
    for (unsigned i = 0; i < count && found == 0; ++i) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display, children[i], &attributes) == 0 ||
          attributes.map_state != IsViewable) {
        continue;
      }
      Atom type = 0;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* value = nullptr;
      long owner = 0;
      if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type,
                             &format, &items, &after, &value) == Success && value != nullptr) {
        if (format == 32 && items == 1) owner = static_cast<long>(*reinterpret_cast<unsigned long*>(value));
        XFree(value);
      }
      if (owner != pid) continue;
      char* name = nullptr;
      if (XFetchName(display, children[i], &name) != 0 && name != nullptr) {
        if (title == name) found = children[i];
        XFree(name);
      }
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

}  // namespace

bool TopLevelWindowShown(const std::string& title, long pid) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  const bool shown = FindTopLevelWindow(display, title, pid) != 0;
  XCloseDisplay(display);
  return shown;
}

bool Activate(wxTopLevelWindow& window) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  const Window found = FindTopLevelWindow(display, window.GetTitle().utf8_string(), getpid());
  if (found != 0) XSetInputFocus(display, found, RevertToPointerRoot, CurrentTime);
  XCloseDisplay(display);
  return found != 0 && PumpUntil([&] { return window.IsActive(); }, 10000);
}

void ShowAndSettle(wxWindow& window) {
  FocusFollowsPointer();
  window.Show();
  window.Raise();
  window.Update();
  // On the screen as the X server knows it, then a moment for its first drawing.
  const std::string title = window.GetLabel().utf8_string();
  EXPECT_TRUE(PumpUntil([&] { return TopLevelWindowShown(title, getpid()); }, 30000))
      << title << " did not appear";
  window.Update();
  Pump(300);
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

wxImage CaptureSettled(wxWindow& window) {
  wxImage last = CaptureClient(window);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < end) {
    Pump(50);
    wxImage next = CaptureClient(window);
    if (next.GetSize() == last.GetSize() &&
        std::equal(next.GetData(), next.GetData() + 3 * next.GetWidth() * next.GetHeight(),
                   last.GetData())) {
      return next;
    }
    last = next;
  }
  ADD_FAILURE() << "the window kept changing";
  return last;
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
  const wxPoint screen = window.ClientToScreen(client);
  wxUIActionSimulator simulator;
  simulator.MouseMove(screen);
  // The X server has moved the pointer; then a moment for the crossing and motion events.
  EXPECT_TRUE(PumpUntil([&] { return wxGetMouseState().GetPosition() == screen; }, 10000));
  Pump(100);
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

}  // namespace morvane::test
