#include "tests/ui/WizardDriving.h"

#include <wx/combobox.h>
#include <wx/textctrl.h>

#include "tests/support/MariaDbTestClient.h"
#include "tests/ui/UiTestSupport.h"

namespace morvane::test {

PageOne GoodLogins() {
  const auto m = MariaDb();
  const auto s = SqlServer();
  return {MariaDbAddress(), m.user, m.password, s.host + "," + std::to_string(s.port), s.user, s.password};
}

void TypePageOne(ui::CMorvaneDlg& dialog, const PageOne& p, bool agreeToUnencryptedLogin) {
  auto edit = [&](int id, const std::string& text) {
    dialog.ControlAs<wxTextCtrl>(id)->ChangeValue(wxString::FromUTF8(text));
  };
  edit(1003, p.mysqlServer);
  edit(1004, p.mysqlLogin);
  edit(1005, p.mysqlPassword);
  edit(1000, p.sqlServerName);
  if (agreeToUnencryptedLogin) RememberUnencryptedLoginAnswer(p.sqlServerName, true);
  Press(dialog, 1010);
  edit(1001, p.sqlServerLogin);
  edit(1002, p.sqlServerPassword);
}

bool ChooseDatabase(ui::CMorvaneDlg& dialog, const std::string& name) {
  auto* databases = dialog.ControlAs<wxComboBox>(1011);
  const int index = databases->FindString(wxString::FromUTF8(name), true);
  if (index == wxNOT_FOUND) return false;
  databases->SetSelection(index);
  wxCommandEvent changed(wxEVT_COMBOBOX, 1011);
  changed.SetEventObject(databases);
  changed.SetInt(index);
  databases->ProcessWindowEvent(changed);
  return true;
}

}  // namespace morvane::test
