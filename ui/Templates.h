#pragma once
// The two dialog templates of the program as data: the main window (102) and the About box
// (100). Geometry is in dialog units of 8-point MS Sans Serif; DialogToPixels converts it with
// that font's base units at 96 dpi (6 x 13 pixels per 4 x 8 units).

#include <span>

namespace morvane::ui {

// Control ids of the templates. kNoId marks controls without an id of their own.
inline constexpr int kNoId = -1;
// The OK command of a dialog (made as wxWidgets' wxID_OK).
inline constexpr int kOkId = 1;
// Page two's "Copy at full speed (no pause between rows)" box, after the template's last id.
inline constexpr int kFullSpeedCheck = 1050;

enum class ControlKind {
  Edit,
  RadioButton,
  CheckBox,
  ComboBox,
  ListBox,
  PushButton,
  GroupBox,
  Label,
  LinkLabel,
  ProgressBar,
  Picture,
  Placeholder,  // hidden 8 x 8 static whose id an image button takes over
};

// Style bits of a template control.
namespace style {
inline constexpr unsigned kNone = 0;
inline constexpr unsigned kTabStop = 1u << 0;
inline constexpr unsigned kBorder = 1u << 1;
inline constexpr unsigned kAutoHScroll = 1u << 2;
inline constexpr unsigned kPassword = 1u << 3;
inline constexpr unsigned kDisabled = 1u << 4;
inline constexpr unsigned kHidden = 1u << 5;  // not visible when the window opens
inline constexpr unsigned kCentredTitle = 1u << 6;
inline constexpr unsigned kSorted = 1u << 7;
inline constexpr unsigned kVScroll = 1u << 8;
inline constexpr unsigned kDropDownList = 1u << 9;
inline constexpr unsigned kMultipleToggle = 1u << 10;  // a click toggles one item
inline constexpr unsigned kNotify = 1u << 11;          // reports clicks or selection changes
inline constexpr unsigned kNoIntegralHeight = 1u << 12;
inline constexpr unsigned kSmooth = 1u << 13;
inline constexpr unsigned kFlat = 1u << 14;
inline constexpr unsigned kIcon = 1u << 15;  // shows its icon instead of its text
inline constexpr unsigned kDefault = 1u << 16;
inline constexpr unsigned kNoPrefix = 1u << 17;  // ampersands shown as typed
inline constexpr unsigned kGroupStart = 1u << 18;
inline constexpr unsigned kWrap = 1u << 19;
}  // namespace style

struct ControlTemplate {
  int id;
  ControlKind kind;
  unsigned style;
  const char* text;
  int x, y, w, h;  // dialog units; a picture is sized by its bitmap (w and h 0)
  int bitmap;      // picture's bitmap or push button's icon resource, 0 for none
};

struct DialogTemplate {
  int id;
  const char* title;
  int w, h;  // client area, dialog units
  std::span<const ControlTemplate> controls;
};

// Template 102: the main window, controls in template (= tab) order.
const DialogTemplate& MainTemplate();
// Template 100: the About box.
const DialogTemplate& AboutTemplate();

// The control of a template with that id, or nullptr.
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id);

struct PixelRect {
  int x, y, w, h;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Dialog units to pixels, each value rounded to the nearest pixel as the dialog manager does
// (4 horizontal units are 6 pixels, 8 vertical units are 13 pixels).
int DialogToPixelsX(int units);
int DialogToPixelsY(int units);
PixelRect DialogToPixels(const ControlTemplate& control);

// Product texts shared by both dialogs.
inline constexpr const char* kProductTitle = "Quilbrook Database Converter - MySQL to MS SQL";
inline constexpr const char* kProductVersion = "version - 2.0.1.5";
inline constexpr const char* kMakerName = "Quilbrook Software";
// The contact address and the web address are short enough for their labels in the About
// box (66 and 84 dialog units).
inline constexpr const char* kMakerContact = "info@quilbrook.test";
inline constexpr const char* kProductWebAddress = "www.quilbrook.test";
// What the desktop is asked to open for the web address (a bare host name is not a URL).
inline constexpr const char* kProductWebPage = "https://www.quilbrook.test";

}  // namespace morvane::ui
