#pragma once
// CLinkCur: a static text that shows the hand cursor (cursor 131) while the pointer is over it
// and the standard arrow otherwise. It reports clicks: a left click sends wxEVT_BUTTON with the
// label's id to its owner.

#include <wx/cursor.h>
#include <wx/generic/stattextg.h>

namespace morvane::ui {

// A generic (self-drawn) static text, so that it has a window of its own on every platform: it
// receives the pointer's motion and clicks and owns its cursor.
class CLinkCur : public wxGenericStaticText {
 public:
  CLinkCur(wxWindow* parent, int id, const wxString& text, const wxPoint& position,
           const wxSize& size);
  ~CLinkCur() override;

  // Answers the set-cursor request: the hand over the label's client area, the arrow
  // elsewhere.
  void OnSetCursor(wxSetCursorEvent& event);

 private:
  void OnLeftDown(wxMouseEvent& event);

  wxCursor m_hand;
};

}  // namespace morvane::ui
