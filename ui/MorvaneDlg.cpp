#include "ui/MorvaneDlg.h"

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include "ui/AboutDlg.h"
#include "ui/DialogBuilder.h"
#include "ui/Resources.h"
#include "ui/Templates.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

constexpr int kMySqlServerEdit = 1003;
constexpr int kWindowsAuthenticationRadio = 1009;
constexpr int kSqlServerAuthenticationRadio = 1010;
constexpr int kDatabaseCombo = 1011;
constexpr int kTableList = 1015;
constexpr int kSelectAllCheck = 1017;
constexpr int kStopButton = 1048;

}  // namespace

CMorvaneDlg::CMorvaneDlg() : m_hIcon(LoadIconResource(kAppIcon)) {
  const DialogTemplate& t = MainTemplate();
  SetBackgroundStyle(wxBG_STYLE_ERASE);
  Create(nullptr, wxID_ANY, wxString::FromUTF8(t.title), wxDefaultPosition, wxDefaultSize,
         wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX | wxDIALOG_NO_PARENT);
  SetFont(DialogFont());
  const wxSize client(DialogToPixelsX(t.w), DialogToPixelsY(t.h));
  SetClientSize(client);
  SetMinClientSize(client);
  SetMaxClientSize(client);

  m_controls = BuildControls(*this, t);
  ApplyControlColours(*this, MainControlColours());
  OnInitDialog();
  BindHandlers();
  CentreOnScreen();
}

CMorvaneDlg::~CMorvaneDlg() = default;

bool CMorvaneDlg::OnInitDialog() {
  // A GTK dialog has no system menu, so the window gets no About item there; the About image
  // button opens the box.

  // The application icon as the window's large and small icon. Minimised, the window is
  // shown by the window manager with this icon; dragging has no icon of its own.
  if (m_hIcon.IsOk()) SetIcon(m_hIcon);

  m_imageButtons = CreateImageButtons(*this);
  for (CImageButton* button : m_imageButtons) m_controls[button->GetId()] = button;
  ImageButton(kConvertButton)->Hide();
  ImageButton(kBusyButton)->Hide();

  if (auto* stop = ControlAs<wxButton>(kStopButton)) {
    stop->SetBitmap(LoadBitmapResource(kStopIcon));
  }

  if (auto* windows = ControlAs<wxRadioButton>(kWindowsAuthenticationRadio)) {
    windows->SetValue(true);
  }
  if (auto* server = ControlAs<wxTextCtrl>(kMySqlServerEdit)) server->SetValue("localhost");

  // The focus is not set here: the first tab stop, the MySQL server box, receives it when the
  // window first shows (OnShow).
  return true;
}

void CMorvaneDlg::BindHandlers() {
  Bind(wxEVT_ERASE_BACKGROUND, &CMorvaneDlg::OnEraseBkgnd, this);
  Bind(wxEVT_CHAR_HOOK, &CMorvaneDlg::OnCharHook, this);
  Bind(wxEVT_SHOW, &CMorvaneDlg::OnShow, this);
  Bind(wxEVT_CLOSE_WINDOW, &CMorvaneDlg::OnClose, this);
  Bind(wxEVT_BUTTON, &CMorvaneDlg::OnAboutButton, this, kAboutButton);
  Bind(wxEVT_BUTTON, &CMorvaneDlg::OnConnect, this, kNextButton);
  Bind(wxEVT_BUTTON, &CMorvaneDlg::OnConvert, this, kConvertButton);
  Bind(wxEVT_BUTTON, &CMorvaneDlg::OnExitButton, this, kExitButton);
  Bind(wxEVT_BUTTON, &CMorvaneDlg::OnHelpButton, this, kHelpButton);
  Bind(wxEVT_BUTTON, &CMorvaneDlg::OnStop, this, kStopButton);
  Bind(wxEVT_RADIOBUTTON, &CMorvaneDlg::OnWindowsAuthentication, this,
       kWindowsAuthenticationRadio);
  Bind(wxEVT_RADIOBUTTON, &CMorvaneDlg::OnSqlServerAuthentication, this,
       kSqlServerAuthenticationRadio);
  Bind(wxEVT_COMBOBOX, &CMorvaneDlg::OnSelchangeDatabase, this, kDatabaseCombo);
  Bind(wxEVT_CHECKBOX, &CMorvaneDlg::OnSelectAllTables, this, kSelectAllCheck);
  Bind(wxEVT_LISTBOX, &CMorvaneDlg::OnSelchangeTables, this, kTableList);
  // The busy image (1044) has no handler: clicking it does nothing.
}

wxWindow* CMorvaneDlg::Control(int id) const {
  const auto found = m_controls.find(id);
  return found == m_controls.end() ? nullptr : found->second;
}

CImageButton* CMorvaneDlg::ImageButton(int id) const {
  for (CImageButton* button : m_imageButtons) {
    if (button != nullptr && button->GetId() == id) return button;
  }
  return nullptr;
}

void CMorvaneDlg::OnEraseBkgnd(wxEraseEvent& event) {
  const wxRect client(GetClientSize());
  if (wxDC* dc = event.GetDC()) {
    FillGradient(*dc, client, kMainGradientTop, kMainGradientBottom);
  } else {
    wxClientDC own(this);
    FillGradient(own, client, kMainGradientTop, kMainGradientBottom);
  }
}

void CMorvaneDlg::OnCharHook(wxKeyEvent& event) {
  switch (event.GetKeyCode()) {
    case WXK_ESCAPE:
      OnCancel();
      return;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
      OnOK();
      return;
    default:
      event.Skip();
  }
}

void CMorvaneDlg::OnClose(wxCloseEvent&) { OnCancel(); }

void CMorvaneDlg::OnShow(wxShowEvent& event) {
  event.Skip();
  if (!event.IsShown() || m_firstFocusGiven) return;
  m_firstFocusGiven = true;
  // GTK gives a new window's focus to a control of its own choice; the first tab stop is the
  // one to have it, once the window is on the screen.
  CallAfter([this] {
    if (wxWindow* first = Control(kMySqlServerEdit)) first->SetFocus();
  });
}

void CMorvaneDlg::OnOK() {}

void CMorvaneDlg::OnCancel() {
  // Ending a run still in progress, closing the MySQL connection and opening the product's web
  // page come with the conversion wiring; the window itself ends here.
  if (IsModal()) {
    EndModal(wxID_CANCEL);
  } else {
    Hide();
  }
}

void CMorvaneDlg::OnAboutButton(wxCommandEvent&) {
  CAboutDlg about;
  about.ShowModal();
}

void CMorvaneDlg::OnExitButton(wxCommandEvent&) { OnCancel(); }

// Not built yet: connecting to both servers and switching to page two.
void CMorvaneDlg::OnConnect(wxCommandEvent&) {}

// Not built yet: starting the conversion run on its worker thread.
void CMorvaneDlg::OnConvert(wxCommandEvent&) {}

// Not built yet: opening the help file beside the executable.
void CMorvaneDlg::OnHelpButton(wxCommandEvent&) {}

// Not built yet: stopping a conversion run.
void CMorvaneDlg::OnStop(wxCommandEvent&) {}

// Not built yet: disabling the SQL Server login fields.
void CMorvaneDlg::OnWindowsAuthentication(wxCommandEvent&) {}

// Not built yet: enabling the SQL Server login fields.
void CMorvaneDlg::OnSqlServerAuthentication(wxCommandEvent&) {}

// Not built yet: listing the tables of the chosen database.
void CMorvaneDlg::OnSelchangeDatabase(wxCommandEvent&) {}

// Not built yet: selecting or deselecting every table.
void CMorvaneDlg::OnSelectAllTables(wxCommandEvent&) {}

// Not built yet: unticking "Select All Table" after a click on a table.
void CMorvaneDlg::OnSelchangeTables(wxCommandEvent&) {}

}  // namespace morvane::ui
