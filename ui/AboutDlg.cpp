#include "ui/AboutDlg.h"

#include <wx/dcclient.h>

#include "ui/DialogBuilder.h"
#include "ui/Desktop.h"
#include "ui/LinkCur.h"
#include "ui/Templates.h"
#include "ui/WindowLook.h"

namespace morvane::ui {

wxString MailLinkAddress() {
  return wxString("mailto:") + wxString::FromUTF8(kMakerContact) + "?subject=info";
}

wxString ProductWebPage() { return wxString::FromUTF8(kProductWebPage); }

CAboutDlg::CAboutDlg(wxWindow* parent) {
  const DialogTemplate& t = AboutTemplate();
  CreateFromTemplate(*this, parent, t, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);

  m_controls = BuildControls(*this, t);
  DoDataExchange();
  ApplyControlColours(*this, AboutControlColours());

  Bind(wxEVT_ERASE_BACKGROUND, &CAboutDlg::OnEraseBackground, this);
  Bind(wxEVT_BUTTON, &CAboutDlg::OnClickedMailLink, this, kAboutMailLink);
  Bind(wxEVT_BUTTON, &CAboutDlg::OnClickedWebLink, this, kAboutWebLink);
  CentreOverOwner();
}

void CAboutDlg::CentreOverOwner() {
  // Without a parent of its own, the modal box belongs to the program's active window.
  const wxWindow* owner = GetParentForModalDialog(GetParent(), GetWindowStyle());
  if (owner == nullptr) {
    CentreOnScreen();
    return;
  }
  const wxRect area = owner->GetScreenRect();
  const wxSize size = GetSize();
  SetPosition(wxPoint(area.x + (area.width - size.x) / 2, area.y + (area.height - size.y) / 2));
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange() {
  m_mailLink = dynamic_cast<CLinkCur*>(Control(kAboutMailLink));
  m_webLink = dynamic_cast<CLinkCur*>(Control(kAboutWebLink));
  wxASSERT(m_mailLink != nullptr && m_webLink != nullptr);
}

wxWindow* CAboutDlg::Control(int id) const {
  const auto found = m_controls.find(id);
  return found == m_controls.end() ? nullptr : found->second;
}

bool CAboutDlg::OnEraseBkgnd(wxDC& dc) {
  FillGradient(dc, wxRect(GetClientSize()), kAboutGradientTop, kAboutGradientBottom);
  return true;
}

void CAboutDlg::OnEraseBackground(wxEraseEvent& event) {
  wxDC* dc = event.GetDC();
  bool erased = false;
  if (dc != nullptr) {
    erased = OnEraseBkgnd(*dc);
  } else {
    wxClientDC client(this);
    erased = OnEraseBkgnd(client);
  }
  if (!erased) event.Skip();
}

void CAboutDlg::OnClickedMailLink(wxCommandEvent&) { OpenWithDesktop(MailLinkAddress()); }

void CAboutDlg::OnClickedWebLink(wxCommandEvent&) { OpenWithDesktop(ProductWebPage()); }

}  // namespace morvane::ui
