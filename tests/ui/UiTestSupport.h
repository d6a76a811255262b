#pragma once
// Helpers of the window tests: letting the window system catch up, capturing windows, reading
// the pointer's cursor, and a fake desktop handler.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <wx/image.h>
#include <wx/modalhook.h>
#include <wx/radiobut.h>
#include <wx/toplevel.h>
#include <wx/window.h>

#include <gtest/gtest.h>

#include "ui/MorvaneDlg.h"
#include "ui/WindowLook.h"

namespace morvane::test {

// Processes pending events for about `milliseconds`.
void Pump(int milliseconds);
// Processes events until done() is true or `milliseconds` have passed; returns done().
bool PumpUntil(const std::function<bool()>& done, int milliseconds);

// Xvfb runs without a window manager: the keyboard goes to the window under the pointer.
void FocusFollowsPointer();

// Whether a top-level window of process pid with that title is on the screen (mapped and
// viewable), as the X server knows it.
bool TopLevelWindowShown(const std::string& title, long pid);

// Gives a shown top-level window the keyboard (and so the theme's active look rather than its
// paler "backdrop" look) until another window takes it; keys no longer follow the pointer
// then. Returns whether the window became active.
bool Activate(wxTopLevelWindow& window);

// Shows a top-level window (keyboard following the pointer) and waits until it is drawn.
void ShowAndSettle(wxWindow& window);

// A click on a button or radio button of the main window, as its event (a radio button is set
// first, as a click sets it).
void Press(ui::CMorvaneDlg& dialog, int id);

// Tests of the main window: a new one shown for each test, and destroyed after it.
class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    dialog = new ui::CMorvaneDlg;
    ShowAndSettle(*dialog);
  }
  void TearDown() override {
    dialog->Destroy();
    Pump(50);
  }

  // A click on a button or radio button, as its event.
  void Press(int id) { test::Press(*dialog, id); }

  ui::CMorvaneDlg* dialog = nullptr;
};

// The client area of a shown window as the screen shows it (children included).
wxImage CaptureClient(wxWindow& window);

// The same, once the theme's animations (a radio button's or check box's change of state) have
// ended: two captures in a row alike.
wxImage CaptureSettled(wxWindow& window);

ui::Rgb PixelAt(const wxImage& image, int x, int y);
// Whether the w x h block of image at (x, y) equals picture pixel for pixel.
bool BlockEquals(const wxImage& image, int x, int y, const wxImage& picture);

// The cursor that the X server shows for the pointer now.
struct PointerCursor {
  int width = 0, height = 0, hotX = 0, hotY = 0;
  std::vector<unsigned long> argb;  // width * height pixels
};
PointerCursor CurrentCursor();

// Moves the pointer to a point of a window's client area (in client coordinates).
void MovePointer(wxWindow& window, const wxPoint& client);

// A fake xdg-open first on PATH that appends its arguments, one call per line, to a file.
class FakeDesktopHandler {
 public:
  FakeDesktopHandler();
  ~FakeDesktopHandler();
  FakeDesktopHandler(const FakeDesktopHandler&) = delete;
  FakeDesktopHandler& operator=(const FakeDesktopHandler&) = delete;

  // The calls recorded so far.
  std::vector<std::string> Calls() const;
  // Waits (processing events) until at least `count` calls are recorded.
  std::vector<std::string> WaitForCalls(std::size_t count, int milliseconds = 5000) const;

 private:
  std::filesystem::path m_dir;
  std::filesystem::path m_log;
  std::string m_oldPath;
};

// Answers every message box shown while it lives, without showing it: each box gets the next
// queued answer (wxID_OK when none is left), and what it showed is kept. Other dialogs are
// shown as usual.
class MessageBoxes : public wxModalDialogHook {
 public:
  struct Shown {
    std::string message;
    std::string caption;
    long style = 0;
    wxWindow* parent = nullptr;
  };

  MessageBoxes() { Register(); }
  ~MessageBoxes() override { Unregister(); }
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;

  // The answer (wxID_OK, wxID_YES, wxID_NO) of the next box without one.
  void Answer(int id) { m_answers.push_back(id); }
  // Called with each box before it is answered (to look at the window at that moment).
  std::function<void(const Shown&)> onShown;

  const std::vector<Shown>& Boxes() const { return m_shown; }
  std::vector<std::string> Messages() const;

 protected:
  int Enter(wxDialog* dialog) override;
  void Exit(wxDialog*) override {}

 private:
  std::vector<int> m_answers;
  std::vector<Shown> m_shown;
};

}  // namespace morvane::test
