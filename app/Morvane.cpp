#include "app/Morvane.h"

#include "ui/MorvaneDlg.h"

namespace morvane {

bool CMorvaneApp::InitInstance() {
  ui::CMorvaneDlg dialog;
  dialog.ShowModal();
  return false;
}

bool CMorvaneApp::OnInit() {
  if (!wxApp::OnInit()) return false;
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
