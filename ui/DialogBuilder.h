#pragma once
// Makes the controls of a dialog template as children of a window, in template order (which
// on wxWidgets is also the tab order), at their pixel places, in the dialog font.

#include <map>

#include "ui/Templates.h"

class wxDialog;
class wxWindow;

namespace morvane::ui {

// Creates the dialog window of a template: its title and style, the background drawn by its
// erase handler, the dialog font, and a client area fixed at the template's size.
void CreateFromTemplate(wxDialog& dialog, wxWindow* parent, const DialogTemplate& dialogTemplate,
                        long style);

// The controls made, by id (controls without an id are made but not listed). Placeholders are
// not made: the image buttons take over their ids. The parent owns every control.
std::map<int, wxWindow*> BuildControls(wxWindow& dialog, const DialogTemplate& dialogTemplate);

// Height in pixels given to a closed drop-down list: the template's height is that of the
// list when dropped down.
inline constexpr int kComboBoxHeightUnits = 14;

}  // namespace morvane::ui
