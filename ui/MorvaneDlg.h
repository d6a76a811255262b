#pragma once
// CMorvaneDlg: the main window of the wizard, built from template 102: every control of the
// template in tab order, the gradient background, the control colours, the image buttons and
// page one shown. The conversion behaviour of the handlers (connecting, listing, converting,
// help) is wired in by the code that drives the engine; until then those handlers do nothing.

#include <array>
#include <map>

#include <wx/dialog.h>
#include <wx/icon.h>

class wxEraseEvent;

namespace morvane::ui {

class CImageButton;

class CMorvaneDlg : public wxDialog {
 public:
  CMorvaneDlg();
  ~CMorvaneDlg() override;

  // The control of template 102 with that id (the image buttons included), or nullptr.
  wxWindow* Control(int id) const;
  template <class T>
  T* ControlAs(int id) const {
    return dynamic_cast<T*>(Control(id));
  }
  CImageButton* ImageButton(int id) const;
  const std::array<CImageButton*, 6>& ImageButtons() const { return m_imageButtons; }

  // The application icon (icon 128): the window's large and small icon.
  const wxIcon& Icon() const { return m_hIcon; }

 protected:
  // The window's initialisation, run once its controls exist.
  bool OnInitDialog();
  // Enter: the window stays open.
  void OnOK();
  // Esc, the close box and the Exit image button: the close path.
  void OnCancel();

  // Handlers of the window's events.
  void OnAboutButton(wxCommandEvent& event);
  void OnConnect(wxCommandEvent& event);
  void OnConvert(wxCommandEvent& event);
  void OnExitButton(wxCommandEvent& event);
  void OnHelpButton(wxCommandEvent& event);
  void OnStop(wxCommandEvent& event);
  void OnWindowsAuthentication(wxCommandEvent& event);
  void OnSqlServerAuthentication(wxCommandEvent& event);
  void OnSelchangeDatabase(wxCommandEvent& event);
  void OnSelectAllTables(wxCommandEvent& event);
  void OnSelchangeTables(wxCommandEvent& event);

 private:
  void BindHandlers();
  void OnEraseBkgnd(wxEraseEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnShow(wxShowEvent& event);

  wxIcon m_hIcon;
  std::map<int, wxWindow*> m_controls;
  std::array<CImageButton*, 6> m_imageButtons{};
  bool m_firstFocusGiven = false;
};

}  // namespace morvane::ui
