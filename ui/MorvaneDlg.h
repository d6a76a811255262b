#pragma once
// CMorvaneDlg: the main window of the wizard, built from template 102: page one connects to
// MySQL and SQL Server, page two lists the databases and tables and starts the conversion run
// on its worker thread, which drives the window through the user-interface thread.
//
// The window owns the state of the whole process: the MySQL connection, the SQL Server objects,
// the pending index statement, the conversion worker and the record of page one.

#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <wx/dialog.h>
#include <wx/icon.h>
#include <wx/utils.h>

#include "engine/ConversionRun.h"
#include "engine/TableDefinition.h"
#include "engine/WizardWindow.h"
#include "source/ListingWindow.h"
#include "source/MySqlSource.h"
#include "target/SqlServerLogin.h"
#include "target/TargetServer.h"
#include "ui/ConnectionSettings.h"
#include "ui/RunWindow.h"
#include "ui/UiThread.h"

class wxEraseEvent;

namespace morvane::ui {

class CImageButton;

// The message shown when the MySQL server has no database besides its system databases.
inline constexpr const char* kNoDatabaseMessage =
    "The MySQL server has no database to convert: it lists only its system databases.";
// The status line while a stop is under way.
inline constexpr const char* kStoppingStatus = "Stopping...";
// The second button of a refused row's box.
inline constexpr const char* kStopInBoxLabel = "Stop the conversion";

class CMorvaneDlg : public wxDialog, public ListingWindow, public TargetMessageBox {
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

  // The record of page one as last copied in.
  const ConnectionSettings& Settings() const { return m_settings; }
  // Whether a conversion run is working.
  bool ConversionRunning() const { return m_convertWorker.Running(); }
  // Whether the MySQL connection is open.
  bool MySqlConnected() const { return static_cast<bool>(MySqlConnection); }
  // The help file: the executable's path with the extension "html".
  static wxString HelpFilePath();

  // The listings (ListingWindow), on the user-interface thread.
  void AddDatabase(const std::string& name) override;
  int DatabaseCount() const override;
  void SelectFirstDatabase() override;
  std::string SelectedDatabase() const override;
  void SetTargetName(const std::string& name) override;
  void ClearTables() override;
  void AddTable(const std::string& name) override;

  // The SQL Server login's report (TargetMessageBox), on the user-interface thread.
  void ShowMessage(const std::string& text) override;
  // The login's question before it would go on unencrypted (TargetMessageBox): Yes and No.
  bool AllowUnencryptedLogin(const std::string& sqlServerName) override;

 protected:
  // The window's initialisation, run once its controls exist.
  bool OnInitDialog();
  // Copies the six edit boxes into the record (saveAndValidate) or the record into the boxes.
  void DoDataExchange(bool saveAndValidate);
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
  friend class RunWindow;

  // The operations of the run, on the user-interface thread.
  void LockSelectionPage();
  void UnlockSelectionPage();
  void ShowProgressArea(bool show);
  void ClearTableSelection();
  void SetSelectionPageEnabled(bool enable);
  std::vector<int> SelectedTableIndices() const;
  void SetProgressRange(int lower, int upper);
  void SetProgressPosition(int position);
  void StepProgress();
  // OkStop: the box also offers "Stop the conversion", which stops the run as Stop does.
  MessageAnswer ShowMessageBox(const std::string& text, MessageButtons buttons);
  // An OK box that also offers "Open the full report" when reportPath is not empty: that button
  // closes the box and opens the file with the desktop's viewer (as Help opens its page).
  MessageAnswer ShowReportBox(const std::string& text, const std::string& reportPath);
  void SetStatusLine(const std::string& text);
  std::string TargetNameText() const;
  std::string TableRowText(int index) const;
  // The Stop button, Esc in a refused row's box: the run gives up at once (its waits are
  // cancelled); the button shows that the stop is under way until the run has given the page
  // back.
  void StopConversionRun();

  // A disabled or hidden control cannot keep the focus; the preferred one (or the window)
  // takes it, so that Esc still reaches the window.
  void KeepFocusInTheWindow(int preferred);
  // Page two in place of page one.
  void ShowSelectionPage();
  // The Select All box and the table list.
  void SetAllTablesSelected(bool selected);
  void OnTableListClick(wxMouseEvent& event);
  // Ends a run still working: its waits are cancelled, it gives up before its next statement,
  // and no later call of it reaches the window. Waits for its end at most `bound`; true when
  // it has ended.
  bool EndConversionRun(std::chrono::milliseconds bound);

  void BindHandlers();
  void OnEraseBkgnd(wxEraseEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnShow(wxShowEvent& event);

  wxIcon m_hIcon;
  std::map<int, wxWindow*> m_controls;
  std::array<CImageButton*, 6> m_imageButtons{};
  bool m_firstFocusGiven = false;

  ConnectionSettings m_settings;
  // The process-wide state of the source, the target and the run.
  MySqlHandle MySqlConnection;
  MySqlSourceDatabase m_source{MySqlConnection};
  TargetConnection m_target;
  PendingIndex m_pendingIndex;
  // The worker's one way to the window.
  UiThread m_uiThread;  // hands tasks to wxApp::CallAfter
  RunWindow m_runWindow{*this};
  std::optional<wxBusyCursor> m_runWaitCursor;
  int m_progressLower = 0;
  int m_progressStep = 10;
  // Last: its thread, if still running, ends before anything it uses goes.
  ConvertWorker m_convertWorker;
};

}  // namespace morvane::ui
