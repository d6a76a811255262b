#include "ui/LinkCur.h"

#include "ui/Resources.h"

namespace morvane::ui {

CLinkCur::CLinkCur(wxWindow* parent, int id, const wxString& text, const wxPoint& position,
                   const wxSize& size)
    : wxGenericStaticText(parent, id, text, position, size, wxST_NO_AUTORESIZE | wxALIGN_LEFT),
      m_hand(LoadLinkCursor()) {
  Bind(wxEVT_SET_CURSOR, &CLinkCur::OnSetCursor, this);
  Bind(wxEVT_LEFT_DOWN, &CLinkCur::OnLeftDown, this);
}

CLinkCur::~CLinkCur() = default;

void CLinkCur::OnSetCursor(wxSetCursorEvent& event) {
  const bool overClient = GetClientRect().Contains(event.GetX(), event.GetY());
  event.SetCursor(overClient ? m_hand : *wxSTANDARD_CURSOR);
}

void CLinkCur::OnLeftDown(wxMouseEvent& event) {
  // The label reports clicks to its owner, as a notifying static control does.
  wxCommandEvent clicked(wxEVT_BUTTON, GetId());
  clicked.SetEventObject(this);
  ProcessWindowEvent(clicked);
  event.Skip();
}

}  // namespace morvane::ui
