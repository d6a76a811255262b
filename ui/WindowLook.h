#pragma once
// The look that the main window and the About box share: the vertical gradient background,
// the control-colour table, the dialog font and the image buttons of the main window.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include <wx/bitmap.h>
#include <wx/control.h>
#include <wx/font.h>

class wxDC;
class wxRect;
class wxStaticBox;
class wxWindow;

namespace morvane::ui {

struct Rgb {
  std::uint8_t r, g, b;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Gradient colours of the two dialogs (top, bottom).
inline constexpr Rgb kMainGradientTop{244, 250, 255};
inline constexpr Rgb kMainGradientBottom{234, 240, 245};
inline constexpr Rgb kAboutGradientTop{255, 255, 255};
inline constexpr Rgb kAboutGradientBottom{240, 240, 240};

// Colour of pixel row y (0 <= y < height) of the gradient: each channel
// top + ((bottom - top) * y) / height in signed integers, truncated toward zero, so the bottom
// colour itself is never reached.
constexpr Rgb GradientRow(Rgb top, Rgb bottom, int y, int height) {
  auto channel = [y, height](std::uint8_t from, std::uint8_t to) {
    return static_cast<std::uint8_t>(int{from} + ((int{to} - int{from}) * y) / height);
  };
  return {channel(top.r, bottom.r), channel(top.g, bottom.g), channel(top.b, bottom.b)};
}

// Paints the whole client rectangle, one solid fill per pixel row, straight onto dc.
void FillGradient(wxDC& dc, const wxRect& client, Rgb top, Rgb bottom);

// A row of the control-colour table: the control's opaque background and, where given, its
// text colour. Controls not in a table keep the theme's colours.
struct ControlColour {
  int id;
  Rgb background;
  std::optional<Rgb> text;
};

std::span<const ControlColour> MainControlColours();
std::span<const ControlColour> AboutControlColours();
const ControlColour* FindControlColour(std::span<const ControlColour> table, int id);

// The theme's radio and check indicators need more height than a 10-unit box gives them;
// a 12-pixel indicator fits, as on the template's system.
void FitIndicatorToBox(wxWindow& control);

// A group box's title starts this many pixels right of the frame's left edge (GTK would
// otherwise draw it over the frame's top-left corner).
inline constexpr int kGroupBoxTitleIndent = 8;
// Moves a left-aligned group box title kGroupBoxTitleIndent pixels into the frame; call it
// once the box has its size and font.
void IndentGroupBoxTitle(wxStaticBox& box);

// The theme draws a progress bar as a thin line at the bottom of its box; this one fills the
// height of its box, as the template's bordered bar does.
void FitProgressBarToBox(wxWindow& bar);

// Gives every child of dialog named in table its colours. A group box gets its colour behind
// its title only, as the dialog manager paints it: a filled frame, drawn after the controls
// made before it, would hide them. A radio button or check box gets it behind its text only,
// so that the theme's indicator shows whether it is checked.
void ApplyControlColours(wxWindow& dialog, std::span<const ControlColour> table);

// The font of both dialogs' texts: Liberation Sans (metric-compatible with Arial) at 7.5
// points, whose 6 x 13 pixel character cell matches the base units of the templates, so every
// text fits its box.
wxFont DialogFont();

// An owner-drawn push button that shows only a bitmap and is exactly as large as it. It draws
// its pressed image while held down, its focused image while it has the focus, its disabled
// image while disabled and its normal image otherwise, and sends wxEVT_BUTTON with its id when
// released over itself. It is no tab stop.
class CImageButton : public wxControl {
 public:
  enum class Image { Normal, Pressed, Focused, Disabled };

  CImageButton(wxWindow* parent, int id, const wxPoint& position, const wxBitmap& normal,
               const wxBitmap& pressed, const wxBitmap& focused, const wxBitmap& disabled);

  // The image that the button shows in its present state.
  Image CurrentImage() const;
  const wxBitmap& BitmapFor(Image image) const;
  bool IsHeldDown() const { return m_heldDown; }

  bool AcceptsFocusFromKeyboard() const override { return false; }
  bool Enable(bool enable = true) override;

 protected:
  wxSize DoGetBestSize() const override;

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void OnFocusChange(wxFocusEvent& event);
  void SetHeldDown(bool heldDown);

  std::array<wxBitmap, 4> m_bitmaps;
  bool m_heldDown = false;
  bool m_tracking = false;
};

// The image buttons of the main window, in creation order.
struct ImageButtonSpec {
  int id;
  const char* role;
  int x, y;     // client-area position, pixels
  int normal;   // bitmap resource ids
  int pressed;
};

inline constexpr int kAboutButton = 1038;
inline constexpr int kNextButton = 1039;
inline constexpr int kConvertButton = 1040;
inline constexpr int kExitButton = 1041;
inline constexpr int kHelpButton = 1042;
inline constexpr int kBusyButton = 1044;

std::span<const ImageButtonSpec> ImageButtonSpecs();

// Creates the six image buttons as visible children of parent, in creation order; the focused
// image is the normal one and the disabled image the pressed one. The parent owns them.
std::array<CImageButton*, 6> CreateImageButtons(wxWindow& parent);

}  // namespace morvane::ui
