#include "ui/MorvaneDlg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/stdpaths.h>
#include <wx/textctrl.h>

#include "ui/AboutDlg.h"
#include "ui/Desktop.h"
#include "ui/DialogBuilder.h"
#include "ui/Resources.h"
#include "ui/Templates.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

constexpr int kSqlServerNameEdit = 1000;
constexpr int kSqlServerLoginEdit = 1001;
constexpr int kSqlServerPasswordEdit = 1002;
constexpr int kMySqlServerEdit = 1003;
constexpr int kMySqlLoginEdit = 1004;
constexpr int kMySqlPasswordEdit = 1005;
constexpr int kTargetNameEdit = 1007;
constexpr int kWindowsAuthenticationRadio = 1009;
constexpr int kSqlServerAuthenticationRadio = 1010;
constexpr int kDatabaseCombo = 1011;
constexpr int kProgressBar = 1013;
constexpr int kTableList = 1015;
constexpr int kSelectAllCheck = 1017;
constexpr int kStatusLine = 1037;
constexpr int kStopButton = 1048;
constexpr int kStopFrame = 1049;

const char* const kMySqlFailedMessage =
    "There is an error to connect with MySQL. Please check your input parameters or server "
    "configuration.";
const char* const kSqlServerFailedMessage =
    "There is an error to connect with MS SQL. Please check your input parameters or server "
    "configuration.";

// Page one's controls, in the order they are hidden when page two appears.
constexpr int kPageOneControls[] = {1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026,
                                    1009, 1010, 1000, 1001, 1002, 1003, 1004, 1005};
// Page two's controls, in the order they are shown.
constexpr int kPageTwoControls[] = {1007, 1011, 1015, 1017, 1027, 1028, 1029, 1030,
                                    kFullSpeedCheck};
// The controls a run disables, in this order.
constexpr int kSelectionControls[] = {1007, 1011, 1015, 1017, 1027, 1028, 1029, 1030,
                                      kFullSpeedCheck};
// The progress area, in the order it is shown or hidden.
constexpr int kProgressArea[] = {kStatusLine, kProgressBar, kStopButton, kStopFrame};
// The six edit boxes of page one, in the order they are emptied.
constexpr int kPageOneEdits[] = {1003, 1004, 1005, 1000, 1001, 1002};

std::string Utf8(const wxString& text) { return text.utf8_string(); }
wxString FromUtf8(const std::string& text) { return wxString::FromUTF8(text); }

void QueueOnUiThread(std::function<void()> task) { wxTheApp->CallAfter(std::move(task)); }

// How long the close path lets a stopped run end before the window is gone, and how long the
// program waits for it before it ends.
constexpr std::chrono::milliseconds kCloseWaitBound{3000};
constexpr std::chrono::milliseconds kWorkerEndBound{30000};

}  // namespace

CMorvaneDlg::CMorvaneDlg() : m_hIcon(LoadIconResource(kAppIcon)), m_uiThread(QueueOnUiThread) {
  // A stop cancels what the run waits for: the target's running statement, the source's
  // streamed rows. Called from the stopping thread while the run works.
  m_convertWorker.SetCancel([this] {
    MySqlConnection.Cancel();
    if (const auto& server = m_target.TargetServer.Get()) server->Cancel();
  });
  const DialogTemplate& t = MainTemplate();
  CreateFromTemplate(*this, nullptr, t,
                     wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX | wxDIALOG_NO_PARENT);

  m_controls = BuildControls(*this, t);
  ApplyControlColours(*this, MainControlColours());
  OnInitDialog();
  BindHandlers();
  CentreOnScreen();
}

CMorvaneDlg::~CMorvaneDlg() {
  // The program ends only after the worker: it may still be using the connections that go with
  // this window. Its waits were cancelled, so it ends promptly; should it not, the program ends
  // without it rather than free what it uses.
  if (!EndConversionRun(kWorkerEndBound)) {
    std::fputs("morvane: the conversion did not end; leaving without it\n", stderr);
    std::_Exit(0);
  }
}

bool CMorvaneDlg::OnInitDialog() {
  // The record starts empty, and so do the boxes.
  DoDataExchange(false);

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

void CMorvaneDlg::DoDataExchange(bool saveAndValidate) {
  struct Binding {
    int id;
    std::string ConnectionSettings::*field;
  };
  static constexpr Binding bindings[] = {
      {kSqlServerNameEdit, &ConnectionSettings::sqlServerName},
      {kSqlServerPasswordEdit, &ConnectionSettings::sqlServerPassword},
      {kSqlServerLoginEdit, &ConnectionSettings::sqlServerLogin},
      {kMySqlServerEdit, &ConnectionSettings::mysqlServer},
      {kMySqlPasswordEdit, &ConnectionSettings::mysqlPassword},
      {kMySqlLoginEdit, &ConnectionSettings::mysqlLogin},
  };
  for (const Binding& b : bindings) {
    auto* edit = ControlAs<wxTextCtrl>(b.id);
    if (edit == nullptr) continue;
    if (saveAndValidate) {
      m_settings.*b.field = Utf8(edit->GetValue());
    } else {
      edit->ChangeValue(FromUtf8(m_settings.*b.field));
    }
  }
  if (saveAndValidate) {
    const auto* sqlServer = ControlAs<wxRadioButton>(kSqlServerAuthenticationRadio);
    m_settings.authentication = sqlServer != nullptr && sqlServer->GetValue()
                                    ? Authentication::SqlServerAuthentication
                                    : Authentication::WindowsAuthentication;
  }
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
  if (wxWindow* list = Control(kTableList)) {
    // GTK's multiple selection replaces the selection on a plain click; here a click toggles
    // the one row under the pointer, as the list's style asks. A double click is two clicks.
    list->Bind(wxEVT_LEFT_DOWN, &CMorvaneDlg::OnTableListClick, this);
    list->Bind(wxEVT_LEFT_DCLICK, [](wxMouseEvent&) {});
  }
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
  // The window goes at once; a run still working is stopped and given a short while to end,
  // so that the MySQL connection is closed here. A run that takes longer is waited for (with a
  // bound) when the window object goes, before the program ends, and the connection closed then.
  m_uiThread.Close();
  if (m_convertWorker.Running()) m_convertWorker.RequestStop();
  m_runWaitCursor.reset();
  if (IsModal()) {
    EndModal(wxID_CANCEL);
  } else {
    Hide();
  }
  if (EndConversionRun(kCloseWaitBound)) CloseMySqlConnection(MySqlConnection);
  OpenWithDesktop(kProductWebPage);
}

bool CMorvaneDlg::EndConversionRun(std::chrono::milliseconds bound) {
  if (m_convertWorker.Running()) m_convertWorker.RequestStop();
  // From here on every call of the run returns at once without touching the window, so the
  // worker cannot wait on it.
  m_uiThread.Close();
  m_runWaitCursor.reset();
  if (!m_convertWorker.WaitFor(bound)) return false;
  m_convertWorker.Join();  // it has returned: this only collects the thread
  return true;
}

void CMorvaneDlg::OnAboutButton(wxCommandEvent&) {
  CAboutDlg about;
  about.ShowModal();
}

void CMorvaneDlg::OnExitButton(wxCommandEvent&) { OnCancel(); }

void CMorvaneDlg::OnConnect(wxCommandEvent&) {
  DoDataExchange(true);
  const wxBusyCursor wait;

  if (OpenMySqlConnection(MySqlConnection, m_settings.mysqlServer, m_settings.mysqlLogin,
                          m_settings.mysqlPassword) == 0) {
    // The fixed text, then why on a line of its own when the source can tell (a character set
    // the server will not keep, a refused authentication plugin, a changed certificate).
    std::string message = kMySqlFailedMessage;
    if (const std::string why = MySqlConnection.ConnectFailure(); !why.empty()) message += "\n" + why;
    ShowMessageBox(message, MessageButtons::Ok);
    return;
  }
  if (ConnectSqlServer(m_target, m_settings.sqlServerName, m_settings.sqlServerLogin,
                       m_settings.sqlServerPassword, m_settings.authentication, *this) == 0) {
    ShowMessageBox(kSqlServerFailedMessage, MessageButtons::Ok);
    return;
  }

  // The databases are listed before page one is emptied: a server that has nothing to convert
  // leaves the user on page one with the fields as typed.
  if (auto* combo = ControlAs<wxComboBox>(kDatabaseCombo)) combo->Clear();
  ListDatabases(MySqlConnection, *this);
  if (DatabaseCount() == 0) {
    ShowMessageBox(kNoDatabaseMessage, MessageButtons::Ok);
    return;
  }

  for (int id : kPageOneEdits) {
    if (auto* edit = ControlAs<wxTextCtrl>(id)) edit->ChangeValue(wxString());
  }
  DoDataExchange(true);  // no credentials remain in the window
  const std::string name = SelectedDatabase();
  if (auto* all = ControlAs<wxCheckBox>(kSelectAllCheck)) all->SetValue(false);
  ListTables(MySqlConnection, *this, name);
  ShowSelectionPage();
}

void CMorvaneDlg::ShowSelectionPage() {
  ImageButton(kNextButton)->Hide();
  for (int id : kPageOneControls) Control(id)->Hide();
  for (int id : kPageTwoControls) Control(id)->Show();
  ImageButton(kBusyButton)->Hide();
  ImageButton(kConvertButton)->Show();
  // The focus was on a page-one box, now hidden: page two's first tab stop takes it, so that
  // the keys (Esc among them) keep reaching the window.
  Control(kDatabaseCombo)->SetFocus();
}

void CMorvaneDlg::KeepFocusInTheWindow(int preferred) {
  wxWindow* focus = FindFocus();
  const bool usable = focus != nullptr && focus != this && focus->IsShownOnScreen() &&
                      focus->IsEnabled() && IsDescendant(focus);
  if (usable) return;
  wxWindow* target = Control(preferred);
  if (target != nullptr && target->IsShownOnScreen() && target->IsEnabled()) {
    target->SetFocus();
  } else {
    SetFocusIgnoringChildren();
  }
}

void CMorvaneDlg::OnConvert(wxCommandEvent&) {
  // Refused while a run works; the run locks page two as its first step. The pace box keeps
  // its state from run to run; unticked, the run pauses as it always has.
  const auto* fullSpeed = ControlAs<wxCheckBox>(kFullSpeedCheck);
  const Pace pace = fullSpeed != nullptr && fullSpeed->GetValue() ? Pace::Full : Pace::Gentle;
  m_convertWorker.Start(m_runWindow, m_source, m_target, m_pendingIndex,
                        std::chrono::milliseconds(50), pace);
}

wxString CMorvaneDlg::HelpFilePath() {
  // The executable has no extension: the help file is named after it with "html".
  return wxStandardPaths::Get().GetExecutablePath() + ".html";
}

void CMorvaneDlg::OnHelpButton(wxCommandEvent&) { OpenFileWithDesktop(HelpFilePath()); }

// The run reports the stop itself and gives the window back.
void CMorvaneDlg::OnStop(wxCommandEvent&) { StopConversionRun(); }

void CMorvaneDlg::StopConversionRun() {
  if (!m_convertWorker.Running()) return;
  if (wxWindow* stop = Control(kStopButton)) stop->Disable();
  SetStatusLine(kStoppingStatus);
  KeepFocusInTheWindow(kStopButton);
  m_convertWorker.RequestStop();
}

void CMorvaneDlg::OnWindowsAuthentication(wxCommandEvent&) {
  for (int id : {kSqlServerLoginEdit, kSqlServerPasswordEdit}) Control(id)->Disable();
}

void CMorvaneDlg::OnSqlServerAuthentication(wxCommandEvent&) {
  for (int id : {kSqlServerLoginEdit, kSqlServerPasswordEdit}) Control(id)->Enable();
}

void CMorvaneDlg::OnSelchangeDatabase(wxCommandEvent&) {
  // The run has the connection while it works (the box is disabled then anyway).
  if (m_convertWorker.Running()) return;
  DoDataExchange(true);
  const std::string name = SelectedDatabase();
  SetTargetName(name);
  if (auto* all = ControlAs<wxCheckBox>(kSelectAllCheck)) all->SetValue(false);
  ListTables(MySqlConnection, *this, name);
}

void CMorvaneDlg::OnSelectAllTables(wxCommandEvent&) {
  const auto* all = ControlAs<wxCheckBox>(kSelectAllCheck);
  SetAllTablesSelected(all != nullptr && all->GetValue());
}

void CMorvaneDlg::SetAllTablesSelected(bool selected) {
  auto* list = ControlAs<wxListBox>(kTableList);
  if (list == nullptr) return;
  const int count = static_cast<int>(list->GetCount());
  for (int i = 0; i < count; ++i) {
    if (selected) {
      list->SetSelection(i);
    } else {
      list->Deselect(i);
    }
  }
}

void CMorvaneDlg::OnSelchangeTables(wxCommandEvent&) {
  auto* all = ControlAs<wxCheckBox>(kSelectAllCheck);
  if (all != nullptr && all->GetValue()) all->SetValue(false);
}

void CMorvaneDlg::OnTableListClick(wxMouseEvent& event) {
  auto* list = ControlAs<wxListBox>(kTableList);
  if (list == nullptr || !list->IsEnabled()) return;
  list->SetFocus();
  const int row = list->HitTest(event.GetPosition());
  if (row == wxNOT_FOUND) return;
  if (list->IsSelected(row)) {
    list->Deselect(row);
  } else {
    list->SetSelection(row);
  }
  wxCommandEvent changed(wxEVT_LISTBOX, kTableList);
  changed.SetEventObject(list);
  changed.SetInt(row);
  changed.SetString(list->GetString(static_cast<unsigned>(row)));
  list->ProcessWindowEvent(changed);
}

// The listings.

void CMorvaneDlg::AddDatabase(const std::string& name) {
  if (auto* combo = ControlAs<wxComboBox>(kDatabaseCombo)) combo->Append(FromUtf8(name));
}

int CMorvaneDlg::DatabaseCount() const {
  const auto* combo = ControlAs<wxComboBox>(kDatabaseCombo);
  return combo == nullptr ? 0 : static_cast<int>(combo->GetCount());
}

void CMorvaneDlg::SelectFirstDatabase() {
  if (DatabaseCount() > 0) ControlAs<wxComboBox>(kDatabaseCombo)->SetSelection(0);
}

std::string CMorvaneDlg::SelectedDatabase() const {
  const auto* combo = ControlAs<wxComboBox>(kDatabaseCombo);
  return combo == nullptr ? std::string() : Utf8(combo->GetStringSelection());
}

void CMorvaneDlg::SetTargetName(const std::string& name) {
  if (auto* edit = ControlAs<wxTextCtrl>(kTargetNameEdit)) edit->ChangeValue(FromUtf8(name));
}

void CMorvaneDlg::ClearTables() {
  if (auto* list = ControlAs<wxListBox>(kTableList)) list->Clear();
}

void CMorvaneDlg::AddTable(const std::string& name) {
  if (auto* list = ControlAs<wxListBox>(kTableList)) list->Append(FromUtf8(name));
}

void CMorvaneDlg::ShowMessage(const std::string& text) {
  ShowMessageBox(text, MessageButtons::Ok);
}

bool CMorvaneDlg::AllowUnencryptedLogin(const std::string& sqlServerName) {
  return ShowMessageBox(UnencryptedLoginQuestion(sqlServerName), MessageButtons::YesNo) ==
         MessageAnswer::Yes;
}

MessageAnswer CMorvaneDlg::ShowMessageBox(const std::string& text, MessageButtons buttons) {
  // The box shows the normal pointer even while the window waits.
  const wxBusyCursorSuspender normalPointer;
  const bool question = buttons == MessageButtons::YesNo;
  const bool offerStop = buttons == MessageButtons::OkStop && m_convertWorker.Running();
  wxMessageDialog box(this, FromUtf8(text), wxString::FromUTF8(MessageCaption),
                      (question ? wxYES_NO : offerStop ? wxOK | wxCANCEL : wxOK) | wxICON_NONE);
  if (offerStop) box.SetOKCancelLabels(wxString("OK"), wxString(kStopInBoxLabel));
  const int answer = box.ShowModal();
  if (offerStop && answer == wxID_CANCEL) StopConversionRun();
  if (!question) return MessageAnswer::Ok;
  return answer == wxID_YES ? MessageAnswer::Yes : MessageAnswer::No;
}

MessageAnswer CMorvaneDlg::ShowReportBox(const std::string& text, const std::string& reportPath) {
  if (reportPath.empty()) return ShowMessageBox(text, MessageButtons::Ok);
  const wxBusyCursorSuspender normalPointer;
  // Yes is OK, the default (Enter); No opens the report; Esc closes the box as OK does.
  wxMessageDialog box(this, FromUtf8(text), wxString::FromUTF8(MessageCaption),
                      wxYES_NO | wxYES_DEFAULT | wxICON_NONE);
  box.SetYesNoLabels(wxString("OK"), wxString::FromUTF8(OpenReportLabel));
  if (box.ShowModal() == wxID_NO) OpenFileWithDesktop(FromUtf8(reportPath));
  return MessageAnswer::Ok;
}

// The operations of the run on the window.

void CMorvaneDlg::SetSelectionPageEnabled(bool enable) {
  for (int id : kSelectionControls) Control(id)->Enable(enable);
}

void CMorvaneDlg::LockSelectionPage() {
  ControlAs<wxStaticText>(kStatusLine)->SetLabelText("Converting Table:");
  SetSelectionPageEnabled(false);
  ImageButton(kConvertButton)->Hide();
  ImageButton(kBusyButton)->Show();
  KeepFocusInTheWindow(kStopButton);
}

void CMorvaneDlg::UnlockSelectionPage() {
  SetSelectionPageEnabled(true);
  ImageButton(kConvertButton)->Show();
  ImageButton(kBusyButton)->Hide();
  KeepFocusInTheWindow(kDatabaseCombo);
}

void CMorvaneDlg::ShowProgressArea(bool show) {
  if (show) Control(kStopButton)->Enable();  // a stop of an earlier run disabled it
  for (int id : kProgressArea) Control(id)->Show(show);
  KeepFocusInTheWindow(show ? kStopButton : kDatabaseCombo);
}

void CMorvaneDlg::ClearTableSelection() {
  SetAllTablesSelected(false);
  if (auto* all = ControlAs<wxCheckBox>(kSelectAllCheck)) all->SetValue(false);
}

std::vector<int> CMorvaneDlg::SelectedTableIndices() const {
  std::vector<int> indices;
  if (const auto* list = ControlAs<wxListBox>(kTableList)) {
    wxArrayInt selections;
    list->GetSelections(selections);
    indices.assign(selections.begin(), selections.end());
  }
  std::sort(indices.begin(), indices.end());
  return indices;
}

// The progress bar counts from 0; the run's range starts where it says.
void CMorvaneDlg::SetProgressRange(int lower, int upper) {
  m_progressLower = lower;
  ControlAs<wxGauge>(kProgressBar)->SetRange(std::max(upper - lower, 1));
}

void CMorvaneDlg::SetProgressPosition(int position) {
  auto* gauge = ControlAs<wxGauge>(kProgressBar);
  gauge->SetValue(std::clamp(position - m_progressLower, 0, gauge->GetRange()));
}

void CMorvaneDlg::StepProgress() {
  auto* gauge = ControlAs<wxGauge>(kProgressBar);
  gauge->SetValue(std::clamp(gauge->GetValue() + m_progressStep, 0, gauge->GetRange()));
}

void CMorvaneDlg::SetStatusLine(const std::string& text) {
  ControlAs<wxStaticText>(kStatusLine)->SetLabelText(FromUtf8(text));
}

std::string CMorvaneDlg::TargetNameText() const {
  return Utf8(ControlAs<wxTextCtrl>(kTargetNameEdit)->GetValue());
}

std::string CMorvaneDlg::TableRowText(int index) const {
  const auto* list = ControlAs<wxListBox>(kTableList);
  return index >= 0 && static_cast<unsigned>(index) < list->GetCount()
             ? Utf8(list->GetString(static_cast<unsigned>(index)))
             : std::string();
}

}  // namespace morvane::ui
