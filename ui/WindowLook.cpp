#include "ui/WindowLook.h"

#include <algorithm>
#include <memory>
#include <string>

#include <gtk/gtk.h>
#include <wx/dc.h>
#include <wx/checkbox.h>
#include <wx/dcclient.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/window.h>

#include "ui/Resources.h"

namespace morvane::ui {
namespace {

wxColour ToColour(Rgb c) { return wxColour(c.r, c.g, c.b); }

constexpr Rgb kMainPale{240, 246, 251};
constexpr Rgb kMainPaler{238, 244, 249};
constexpr Rgb kMainStatus{236, 242, 247};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};

constexpr std::array kMainColours = {
    ControlColour{1019, kMainPale, {}},   ControlColour{1020, kMainPale, {}},
    ControlColour{1021, kMainPale, {}},   ControlColour{1024, kMainPale, {}},
    ControlColour{1027, kMainPale, {}},   ControlColour{1028, kMainPale, {}},
    ControlColour{1009, kMainPale, {}},   ControlColour{1010, kMainPale, {}},
    ControlColour{1029, kMainPale, {}},   ControlColour{1022, kMainPaler, {}},
    ControlColour{1023, kMainPaler, {}},  ControlColour{1025, kMainPaler, {}},
    ControlColour{1026, kMainPaler, {}},  ControlColour{1017, kMainPaler, {}},
    ControlColour{1030, kMainPaler, {}},  ControlColour{1037, kMainStatus, {}},
    ControlColour{1048, kMainStatus, kRed},   ControlColour{1050, kMainPaler, {}},
};

constexpr std::array kAboutColours = {
    ControlColour{1031, {252, 252, 252}, {}}, ControlColour{1032, {248, 248, 248}, {}},
    ControlColour{1033, {244, 244, 244}, {}}, ControlColour{1034, {244, 244, 244}, {}},
    ControlColour{1035, {244, 244, 244}, kBlue}, ControlColour{1036, {244, 244, 244}, kBlue},
};

constexpr std::array kImageButtons = {
    ImageButtonSpec{kAboutButton, "About", 20, 13, 135, 136},
    ImageButtonSpec{kConvertButton, "Convert", 460, 416, 140, 139},
    ImageButtonSpec{kHelpButton, "Help", 380, 416, 145, 144},
    ImageButtonSpec{kExitButton, "Exit", 540, 416, 142, 141},
    ImageButtonSpec{kNextButton, "Next", 460, 416, 138, 137},
    ImageButtonSpec{kBusyButton, "busy", 460, 416, 152, 152},
};

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};

// Adds a style sheet to one GTK widget (not to its children).
void StyleWidget(GtkWidget* widget, const std::string& css) {
  const std::unique_ptr<GtkCssProvider, GObjectUnref> provider(gtk_css_provider_new());
  gtk_css_provider_load_from_data(provider.get(), css.c_str(), -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                 GTK_STYLE_PROVIDER(provider.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_USER);  // above the styles wxWidgets sets
}

// Gives one GTK widget an opaque background colour.
void SetWidgetBackground(GtkWidget* widget, Rgb colour) {
  StyleWidget(widget, "* { background-color: rgb(" + std::to_string(colour.r) + "," +
                          std::to_string(colour.g) + "," + std::to_string(colour.b) + "); }");
}

// A group box paints its colour behind its title only, as the dialog manager does; its
// inside stays the window's background, so the controls within it stay visible.
void TintGroupBoxTitle(wxStaticBox& box, Rgb colour) {
  GtkWidget* frame = box.GetHandle();
  if (frame == nullptr || !GTK_IS_FRAME(frame)) return;
  if (GtkWidget* title = gtk_frame_get_label_widget(GTK_FRAME(frame))) {
    SetWidgetBackground(title, colour);
  }
}

// A radio button or check box gets its colour behind its text only: the theme's indicator
// keeps its own drawing, so a checked button shows its filled disc or box. (A colour given to
// the whole GTK widget repaints the indicator too, and the checked state no longer shows.)
void TintIndicatorLabel(wxWindow& control, Rgb colour) {
  GtkWidget* button = control.GetHandle();
  if (button == nullptr || !GTK_IS_BIN(button)) return;
  if (GtkWidget* label = gtk_bin_get_child(GTK_BIN(button))) SetWidgetBackground(label, colour);
}

}  // namespace

void FillGradient(wxDC& dc, const wxRect& client, Rgb top, Rgb bottom) {
  const int height = client.GetHeight();
  const int width = client.GetWidth();
  dc.SetPen(*wxTRANSPARENT_PEN);
  for (int y = 0; y < height; ++y) {
    dc.SetBrush(wxBrush(ToColour(GradientRow(top, bottom, y, height))));
    dc.DrawRectangle(client.GetX(), client.GetY() + y, width, 1);
  }
  dc.SetBrush(wxNullBrush);
  dc.SetPen(wxNullPen);
}

void FitIndicatorToBox(wxWindow& control) {
  if (GtkWidget* widget = control.GetHandle()) {
    StyleWidget(widget, "radio, check { min-width: 12px; min-height: 12px; margin-top: 0; "
                        "margin-bottom: 0; padding: 0; }");
  }
}

void IndentGroupBoxTitle(wxStaticBox& box) {
  GtkWidget* frame = box.GetHandle();
  if (frame == nullptr || !GTK_IS_FRAME(frame)) return;
  GtkWidget* title = gtk_frame_get_label_widget(GTK_FRAME(frame));
  if (title == nullptr) return;
  int natural = 0;
  gtk_widget_get_preferred_width(title, nullptr, &natural);
  // GTK places the title at label_xalign of the room that the frame leaves beside it (its
  // width less the title's, less three pixels of padding on each side).
  const int room = box.GetSize().x - natural - 6;
  if (room <= kGroupBoxTitleIndent) return;
  gtk_frame_set_label_align(GTK_FRAME(frame),
                            static_cast<float>(kGroupBoxTitleIndent) / static_cast<float>(room),
                            0.5f);
}

void FitProgressBarToBox(wxWindow& bar) {
  GtkWidget* widget = bar.GetHandle();
  if (widget == nullptr) return;
  // The trough fills the box (less its one-pixel border), the bar the trough.
  const int inner = std::max(bar.GetSize().y - 2, 1);
  StyleWidget(widget, "progressbar { min-height: 0; } progressbar trough { min-height: " +
                          std::to_string(inner) + "px; } progressbar progress { min-height: " +
                          std::to_string(std::max(inner - 2, 1)) + "px; }");
}

std::span<const ControlColour> MainControlColours() { return kMainColours; }
std::span<const ControlColour> AboutControlColours() { return kAboutColours; }

const ControlColour* FindControlColour(std::span<const ControlColour> table, int id) {
  for (const ControlColour& row : table) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

void ApplyControlColours(wxWindow& dialog, std::span<const ControlColour> table) {
  for (wxWindow* child : dialog.GetChildren()) {
    const ControlColour* row = FindControlColour(table, child->GetId());
    if (row == nullptr) continue;
    if (auto* box = dynamic_cast<wxStaticBox*>(child)) {
      TintGroupBoxTitle(*box, row->background);
      if (row->text) box->SetForegroundColour(ToColour(*row->text));
      continue;
    }
    if (dynamic_cast<wxRadioButton*>(child) != nullptr ||
        dynamic_cast<wxCheckBox*>(child) != nullptr) {
      TintIndicatorLabel(*child, row->background);
      if (row->text) child->SetForegroundColour(ToColour(*row->text));
      continue;
    }
    child->SetBackgroundColour(ToColour(row->background));
    if (row->text) child->SetForegroundColour(ToColour(*row->text));
  }
}

wxFont DialogFont() { return wxFont(wxFontInfo(7.5).FaceName("Liberation Sans")); }

// --- CImageButton ---------------------------------------------------------------------------

CImageButton::CImageButton(wxWindow* parent, int id, const wxPoint& position,
                           const wxBitmap& normal, const wxBitmap& pressed,
                           const wxBitmap& focused, const wxBitmap& disabled)
    : m_bitmaps{normal, pressed, focused, disabled} {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Create(parent, id, position, normal.GetSize(), wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE);
  SetInitialSize(normal.GetSize());
  Bind(wxEVT_PAINT, &CImageButton::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &CImageButton::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &CImageButton::OnLeftDown, this);
  Bind(wxEVT_LEFT_UP, &CImageButton::OnLeftUp, this);
  Bind(wxEVT_MOTION, &CImageButton::OnMotion, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &CImageButton::OnCaptureLost, this);
  Bind(wxEVT_SET_FOCUS, &CImageButton::OnFocusChange, this);
  Bind(wxEVT_KILL_FOCUS, &CImageButton::OnFocusChange, this);
}

CImageButton::Image CImageButton::CurrentImage() const {
  if (m_heldDown) return Image::Pressed;
  if (HasFocus()) return Image::Focused;
  if (!IsEnabled()) return Image::Disabled;
  return Image::Normal;
}

const wxBitmap& CImageButton::BitmapFor(Image image) const {
  return m_bitmaps[static_cast<std::size_t>(image)];
}

bool CImageButton::Enable(bool enable) {
  if (!enable) SetHeldDown(false);
  const bool changed = wxControl::Enable(enable);
  Refresh();
  return changed;
}

wxSize CImageButton::DoGetBestSize() const { return m_bitmaps[0].GetSize(); }

void CImageButton::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  const wxBitmap& bitmap = BitmapFor(CurrentImage());
  if (bitmap.IsOk()) dc.DrawBitmap(bitmap, 0, 0, false);
}

void CImageButton::OnLeftDown(wxMouseEvent&) {
  if (!IsEnabled()) return;
  if (!HasCapture()) CaptureMouse();
  m_tracking = true;
  SetHeldDown(true);
}

void CImageButton::OnMotion(wxMouseEvent& event) {
  if (m_tracking) SetHeldDown(GetClientRect().Contains(event.GetPosition()));
}

void CImageButton::OnLeftUp(wxMouseEvent&) {
  if (!m_tracking) return;
  m_tracking = false;
  if (HasCapture()) ReleaseMouse();
  const bool click = m_heldDown;
  SetHeldDown(false);
  if (click && IsEnabled()) {
    wxCommandEvent clicked(wxEVT_BUTTON, GetId());
    clicked.SetEventObject(this);
    ProcessWindowEvent(clicked);
  }
}

void CImageButton::OnCaptureLost(wxMouseCaptureLostEvent&) {
  m_tracking = false;
  SetHeldDown(false);
}

void CImageButton::OnFocusChange(wxFocusEvent& event) {
  Refresh();
  event.Skip();
}

void CImageButton::SetHeldDown(bool heldDown) {
  if (m_heldDown == heldDown) return;
  m_heldDown = heldDown;
  Refresh();
}

// --- the image buttons of the main window ---------------------------------------------------

std::span<const ImageButtonSpec> ImageButtonSpecs() { return kImageButtons; }

std::array<CImageButton*, 6> CreateImageButtons(wxWindow& parent) {
  std::array<CImageButton*, 6> buttons{};
  for (std::size_t i = 0; i < kImageButtons.size(); ++i) {
    const ImageButtonSpec& spec = kImageButtons[i];
    const wxBitmap normal = LoadBitmapResource(spec.normal);
    const wxBitmap pressed = LoadBitmapResource(spec.pressed);
    buttons[i] = new CImageButton(&parent, spec.id, wxPoint(spec.x, spec.y), normal, pressed,
                                  normal, pressed);
  }
  return buttons;
}

}  // namespace morvane::ui
