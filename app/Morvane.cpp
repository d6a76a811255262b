#include "app/Morvane.h"

#include <wx/log.h>

#include "ui/MorvaneDlg.h"

namespace morvane {

bool CMorvaneApp::InitInstance() {
  ui::CMorvaneDlg dialog;
  SetTopWindow(&dialog);
  // Returns once the window's close path has ended it (a run still working ended first).
  dialog.ShowModal();
  SetTopWindow(nullptr);
  return false;
}

bool CMorvaneApp::OnInit() {
  if (!wxApp::OnInit()) return false;
  // The program reports through its own message boxes only: a message of the toolkit goes to
  // standard error, never into a box of its own (which could hold the program at its end).
  delete wxLog::SetActiveTarget(new wxLogStderr);
  SetAppDisplayName(wxString::FromUTF8("Quilbrook Database Converter - MySQL to MS SQL"));
  return true;
}

// The main window's modal loop is the program's only loop: once it has ended, the program
// ends with status 0 (returning false from OnInit would end it with 255).
int CMorvaneApp::OnRun() {
  InitInstance();
  return 0;
}

}  // namespace morvane

wxIMPLEMENT_APP(morvane::CMorvaneApp);
