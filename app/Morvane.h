#pragma once
// CMorvaneApp: the application object. It runs the main window modally and ends the program
// when the window has closed.

#include <wx/app.h>

namespace morvane {

class CMorvaneApp : public wxApp {
 public:
  // Runs the main window; returns false when it has ended, which ends the program.
  bool InitInstance();

  bool OnInit() override;
  int OnRun() override;
};

}  // namespace morvane
