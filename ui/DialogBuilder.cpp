#include "ui/DialogBuilder.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/LinkCur.h"
#include "ui/Resources.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

bool Has(const ControlTemplate& control, unsigned bit) { return (control.style & bit) != 0; }

wxWindow* MakeControl(wxWindow& parent, const ControlTemplate& c) {
  const PixelRect r = DialogToPixels(c);
  const wxPoint position(r.x, r.y);
  const wxSize size(r.w, r.h);
  const wxString text = wxString::FromUTF8(c.text);
  // Template id 1 is the dialog's OK command.
  const int id = c.id == kNoId ? wxID_ANY : c.id == kOkId ? wxID_OK : c.id;

  switch (c.kind) {
    case ControlKind::Edit:
      return new wxTextCtrl(&parent, id, text, position, size,
                            Has(c, style::kPassword) ? wxTE_PASSWORD : 0);
    case ControlKind::RadioButton: {
      auto* radio = new wxRadioButton(&parent, id, text, position, size,
                                      Has(c, style::kGroupStart) ? wxRB_GROUP : 0);
      FitIndicatorToBox(*radio);
      return radio;
    }
    case ControlKind::CheckBox: {
      auto* check = new wxCheckBox(&parent, id, text, position, size);
      FitIndicatorToBox(*check);
      return check;
    }
    case ControlKind::ComboBox:
      return new wxComboBox(&parent, id, wxString(), position,
                            wxSize(r.w, DialogToPixelsY(kComboBoxHeightUnits)), 0, nullptr,
                            wxCB_READONLY | (Has(c, style::kSorted) ? wxCB_SORT : 0));
    case ControlKind::ListBox:
      return new wxListBox(&parent, id, position, size, 0, nullptr,
                           (Has(c, style::kSorted) ? wxLB_SORT : 0) |
                               (Has(c, style::kMultipleToggle) ? wxLB_MULTIPLE : wxLB_SINGLE) |
                               (Has(c, style::kVScroll) ? wxLB_NEEDED_SB : 0));
    case ControlKind::PushButton: {
      long flags = Has(c, style::kFlat) ? wxBORDER_NONE : 0;
      if (Has(c, style::kIcon)) flags |= wxBU_NOTEXT;
      auto* button = new wxButton(&parent, id, text, position, size, flags);
      // An icon button keeps its text as its label (for accessibility), without showing it.
      if (Has(c, style::kIcon)) button->wxControl::SetLabel(text);
      if (Has(c, style::kDefault)) button->SetDefault();
      return button;
    }
    case ControlKind::GroupBox:
      return new wxStaticBox(&parent, id, text, position, size,
                             Has(c, style::kCentredTitle) ? wxALIGN_CENTRE_HORIZONTAL : 0);
    case ControlKind::Label: {
      auto* label = new wxStaticText(&parent, id, wxString(), position, size,
                                     wxST_NO_AUTORESIZE | wxALIGN_LEFT);
      label->SetFont(DialogFont());
      if (Has(c, style::kNoPrefix)) {
        label->SetLabelText(text);
      } else {
        label->SetLabel(text);
      }
      if (Has(c, style::kWrap)) label->Wrap(r.w);
      return label;
    }
    case ControlKind::LinkLabel:
      return new CLinkCur(&parent, id, text, position, size);
    case ControlKind::ProgressBar: {
      auto* gauge = new wxGauge(&parent, id, 100, position, size, wxGA_HORIZONTAL | wxGA_SMOOTH);
      FitProgressBarToBox(*gauge);
      return gauge;
    }
    case ControlKind::Picture:
      return new wxStaticBitmap(&parent, id, LoadBitmapResource(c.bitmap), position);
    case ControlKind::Placeholder:
      return nullptr;
  }
  return nullptr;
}

}  // namespace

std::map<int, wxWindow*> BuildControls(wxWindow& dialog, const DialogTemplate& dialogTemplate) {
  std::map<int, wxWindow*> controls;
  const wxFont font = DialogFont();
  for (const ControlTemplate& c : dialogTemplate.controls) {
    wxWindow* control = MakeControl(dialog, c);
    if (control == nullptr) continue;
    control->SetFont(font);
    if (auto* box = dynamic_cast<wxStaticBox*>(control);
        box != nullptr && !Has(c, style::kCentredTitle) && *c.text != '\0') {
      IndentGroupBoxTitle(*box);  // measured in the dialog font
    }
    if (Has(c, style::kDisabled)) control->Disable();
    if (Has(c, style::kHidden)) control->Hide();
    if (c.id != kNoId) controls.emplace(c.id, control);
  }
  return controls;
}

void CreateFromTemplate(wxDialog& dialog, wxWindow* parent, const DialogTemplate& t, long style) {
  dialog.SetBackgroundStyle(wxBG_STYLE_ERASE);
  dialog.Create(parent, wxID_ANY, wxString::FromUTF8(t.title), wxDefaultPosition, wxDefaultSize,
                style);
  dialog.SetFont(DialogFont());
  const wxSize client(DialogToPixelsX(t.w), DialogToPixelsY(t.h));
  dialog.SetClientSize(client);
  dialog.SetMinClientSize(client);
  dialog.SetMaxClientSize(client);
}

}  // namespace morvane::ui
