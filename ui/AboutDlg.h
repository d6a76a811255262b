#pragma once
// CAboutDlg: the About box (template 100) with the product's picture, title and version, the
// maker's name and two link labels, one for mail and one for the web page.

#include <map>

#include <wx/dialog.h>

class wxDC;
class wxEraseEvent;

namespace morvane::ui {

class CLinkCur;

inline constexpr int kAboutTitleLabel = 1031;
inline constexpr int kAboutMakerLabel = 1032;
inline constexpr int kAboutMailLink = 1035;
inline constexpr int kAboutWebLink = 1036;

// The address that a click on the mail link opens, and the one that a click on the web link
// (and the main window's close) opens.
wxString MailLinkAddress();
wxString ProductWebPage();

class CAboutDlg : public wxDialog {
 public:
  // Without a parent the box is owned by the active window of the program, as a modal dialog
  // is, and opens centred over it.
  explicit CAboutDlg(wxWindow* parent = nullptr);
  ~CAboutDlg() override;

  // Paints the box's background; a derived class may paint it otherwise. Returns true when
  // the background has been erased.
  virtual bool OnEraseBkgnd(wxDC& dc);

  wxWindow* Control(int id) const;
  CLinkCur& MailLink() const { return *m_mailLink; }
  CLinkCur& WebLink() const { return *m_webLink; }

 protected:
  // Attaches the two link labels to their controls.
  void DoDataExchange();

 private:
  void CentreOverOwner();
  void OnEraseBackground(wxEraseEvent& event);
  void OnClickedMailLink(wxCommandEvent& event);
  void OnClickedWebLink(wxCommandEvent& event);

  std::map<int, wxWindow*> m_controls;
  CLinkCur* m_mailLink = nullptr;
  CLinkCur* m_webLink = nullptr;
};

}  // namespace morvane::ui
