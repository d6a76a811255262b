// The main window as built from its template: controls in tab order with their kinds, places
// and fonts, page one shown, the icon, the About button and the screenshots for the README.

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/testing.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "tests/ui/UiTestSupport.h"
#include "ui/AboutDlg.h"
#include "ui/MorvaneDlg.h"
#include "ui/Resources.h"
#include "ui/Templates.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

using MainWindow = test::MainWindowTest;

bool IsKind(const wxWindow* w, ControlKind kind) {
  switch (kind) {
    case ControlKind::Edit: return dynamic_cast<const wxTextCtrl*>(w) != nullptr;
    case ControlKind::RadioButton: return dynamic_cast<const wxRadioButton*>(w) != nullptr;
    case ControlKind::CheckBox: return dynamic_cast<const wxCheckBox*>(w) != nullptr;
    case ControlKind::ComboBox: return dynamic_cast<const wxComboBox*>(w) != nullptr;
    case ControlKind::ListBox: return dynamic_cast<const wxListBox*>(w) != nullptr;
    case ControlKind::PushButton: return dynamic_cast<const wxButton*>(w) != nullptr;
    case ControlKind::GroupBox: return dynamic_cast<const wxStaticBox*>(w) != nullptr;
    case ControlKind::Label:
    case ControlKind::LinkLabel: return dynamic_cast<const wxStaticTextBase*>(w) != nullptr;
    case ControlKind::ProgressBar: return dynamic_cast<const wxGauge*>(w) != nullptr;
    case ControlKind::Picture: return dynamic_cast<const wxStaticBitmap*>(w) != nullptr;
    case ControlKind::Placeholder: return false;
  }
  return false;
}

TEST_F(MainWindow, TitleSizeAndIcon) {
  EXPECT_EQ(dialog->GetTitle(), "Quilbrook Database Converter - MySQL to MS SQL");
  EXPECT_EQ(dialog->GetClientSize(), wxSize(627, 492));
  ASSERT_TRUE(dialog->Icon().IsOk());
  EXPECT_EQ(dialog->Icon().GetWidth(), 48);
  const wxIconBundle& icons = dialog->GetIcons();
  EXPECT_FALSE(icons.IsEmpty());
  EXPECT_TRUE(icons.GetIcon(wxSize(48, 48), wxIconBundle::FALLBACK_NONE).IsOk());
}

TEST_F(MainWindow, EveryTemplateControlInTabOrderWithKindPlaceAndFont) {
  // The dialog's children in creation (= tab) order: the template's controls, then the six
  // image buttons.
  std::vector<wxWindow*> children(dialog->GetChildren().begin(), dialog->GetChildren().end());
  std::size_t next = 0;
  for (const ControlTemplate& c : MainTemplate().controls) {
    if (c.kind == ControlKind::Placeholder) continue;
    ASSERT_LT(next, children.size());
    wxWindow* w = children[next++];
    EXPECT_TRUE(IsKind(w, c.kind)) << c.id << " " << c.text;
    if (c.id != kNoId) {
      EXPECT_EQ(w->GetId(), c.id);
      EXPECT_EQ(dialog->Control(c.id), w);
    }
    const PixelRect r = DialogToPixels(c);
    EXPECT_EQ(w->GetPosition(), wxPoint(r.x, r.y)) << c.id;
    if (c.kind == ControlKind::Label || c.kind == ControlKind::GroupBox) {
      EXPECT_EQ(w->GetSize(), wxSize(r.w, r.h)) << c.id;
      EXPECT_EQ(w->GetLabel(), c.text) << c.id;
    }
    if (c.kind == ControlKind::Picture) {
      EXPECT_EQ(w->GetSize(), LoadPicture(c.bitmap).GetSize()) << c.bitmap;
    }
    EXPECT_EQ(w->GetFont().GetFaceName(), "Liberation Sans") << c.id;
  }
  EXPECT_EQ(children.size() - next, 6u);
  for (std::size_t i = next; i < children.size(); ++i) {
    EXPECT_NE(dynamic_cast<CImageButton*>(children[i]), nullptr);
  }
}

TEST_F(MainWindow, EveryLabelTextFitsItsBox) {
  for (const ControlTemplate& c : MainTemplate().controls) {
    if (c.kind != ControlKind::Label) continue;
    const wxWindow* w = dialog->Control(c.id);
    const wxSize text = w->GetTextExtent(wxString::FromUTF8(c.text));
    EXPECT_LE(text.x, DialogToPixels(c).w) << c.id << " " << c.text;
    EXPECT_LE(text.y, DialogToPixels(c).h) << c.id << " " << c.text;
  }
}

TEST_F(MainWindow, OpensOnPageOne) {
  const std::vector<int> shown = {1003, 1004, 1005, 1000, 1009, 1010, 1001, 1002, 1019, 1020,
                                  1021, 1022, 1023, 1024, 1025, 1026, 1038, 1039, 1041, 1042};
  const std::vector<int> hidden = {1011, 1007, 1015, 1017, 1027, 1028, 1029, 1030, kFullSpeedCheck,
                                   1037, 1013, 1048, 1049, 1040, 1044};
  for (int id : shown) EXPECT_TRUE(dialog->Control(id)->IsShown()) << id;
  for (int id : hidden) EXPECT_FALSE(dialog->Control(id)->IsShown()) << id;
  EXPECT_FALSE(dialog->Control(1001)->IsEnabled());
  EXPECT_FALSE(dialog->Control(1002)->IsEnabled());
  EXPECT_TRUE(dialog->ControlAs<wxRadioButton>(1009)->GetValue());
  EXPECT_FALSE(dialog->ControlAs<wxRadioButton>(1010)->GetValue());
  EXPECT_EQ(dialog->ControlAs<wxTextCtrl>(1003)->GetValue(), "localhost");
  EXPECT_EQ(wxWindow::FindFocus(), dialog->Control(1003));
  for (int id : {1004, 1005, 1000, 1001, 1002, 1007}) {
    EXPECT_TRUE(dialog->ControlAs<wxTextCtrl>(id)->GetValue().empty()) << id;
  }
  EXPECT_TRUE(dialog->ControlAs<wxTextCtrl>(1005)->HasFlag(wxTE_PASSWORD));
  EXPECT_TRUE(dialog->ControlAs<wxTextCtrl>(1002)->HasFlag(wxTE_PASSWORD));
  EXPECT_TRUE(dialog->ControlAs<wxComboBox>(1011)->HasFlag(wxCB_SORT));
  EXPECT_TRUE(dialog->ControlAs<wxListBox>(1015)->HasFlag(wxLB_SORT));
  EXPECT_TRUE(dialog->ControlAs<wxListBox>(1015)->HasFlag(wxLB_MULTIPLE));
  // The Stop button shows icon 149, not its text, in red.
  auto* stop = dialog->ControlAs<wxButton>(1048);
  EXPECT_EQ(stop->GetLabel(), "Stop");
  EXPECT_EQ(stop->GetBitmap().GetSize(), wxSize(32, 32));
  EXPECT_EQ(stop->GetForegroundColour(), wxColour(255, 0, 0));
}

// Answers the About box's ShowModal with OK, noting what the box showed and who owns it.
class ExpectAbout : public wxExpectModalBase<CAboutDlg, ExpectAbout> {
 public:
  ExpectAbout(wxString* title, wxWindow** owner) : m_title(title), m_owner(owner) {}

 protected:
  int OnInvoked(CAboutDlg* about) const override {
    *m_title = about->GetTitle();
    *m_owner = about->GetParentForModalDialog();
    return wxID_OK;
  }

 private:
  wxString* m_title;
  wxWindow** m_owner;
};


std::vector<std::string> Entries(const wxItemContainerImmutable& box) {
  std::vector<std::string> entries;
  for (unsigned i = 0; i < box.GetCount(); ++i) entries.push_back(box.GetString(i).utf8_string());
  return entries;
}

// The listings hand names over in the server's order; the database box and the table list
// show them in their own sorted order, and the first database proposed is the first shown.
TEST_F(MainWindow, TheDatabaseBoxAndTheTableListSortWhatTheyAreGiven) {
  for (const char* name : {"zeta", "Alpha", "orders", "beta"}) dialog->AddDatabase(name);
  EXPECT_EQ(Entries(*dialog->ControlAs<wxComboBox>(1011)),
            (std::vector<std::string>{"Alpha", "beta", "orders", "zeta"}));
  EXPECT_EQ(dialog->DatabaseCount(), 4);
  dialog->SelectFirstDatabase();
  EXPECT_EQ(dialog->SelectedDatabase(), "Alpha");

  for (const char* name : {"zeta", "orders", "Alpha", "beta"}) dialog->AddTable(name);
  EXPECT_EQ(Entries(*dialog->ControlAs<wxListBox>(1015)),
            (std::vector<std::string>{"Alpha", "beta", "orders", "zeta"}));
  dialog->ClearTables();
  EXPECT_EQ(dialog->ControlAs<wxListBox>(1015)->GetCount(), 0u);
}

TEST_F(MainWindow, AboutButtonOpensTheAboutBoxModally) {
  CImageButton* about = dialog->ImageButton(kAboutButton);
  wxCommandEvent click(wxEVT_BUTTON, kAboutButton);
  click.SetEventObject(about);
  wxString title;
  wxWindow* owner = nullptr;
  wxTEST_DIALOG(about->ProcessWindowEvent(click), ExpectAbout(&title, &owner));
  EXPECT_EQ(title, "About Quilbrook Database Converter - MySQL to MS SQL");
  EXPECT_EQ(owner, dialog);
  EXPECT_TRUE(dialog->IsShown());
}

// Ends the modal loop with -99 if it still runs after a generous bound.
class ModalGuard {
 public:
  explicit ModalGuard(wxDialog& dialog) {
    m_timer.Bind(wxEVT_TIMER, [&dialog](wxTimerEvent&) {
      if (dialog.IsModal()) dialog.EndModal(-99);
    });
    m_timer.StartOnce(60000);
  }

 private:
  wxTimer m_timer;
};

TEST_F(MainWindow, EnterKeepsTheWindowOpenAndEscClosesIt) {
  test::FakeDesktopHandler desktop;
  const ModalGuard guard(*dialog);
  // Run modally; Enter, then Esc, typed into the MySQL server box.
  bool openAfterEnter = false;
  dialog->CallAfter([&] {
    wxWindow* server = dialog->Control(1003);
    test::MovePointer(*dialog, server->GetPosition() + wxPoint(5, 5));
    server->SetFocus();
    test::PumpUntil([&] { return server->HasFocus(); }, 10000);
    wxUIActionSimulator simulator;
    simulator.Char(WXK_RETURN);
    // Keys arrive in order: once the x that follows Enter is in the box, Enter has been handled.
    simulator.Char('x');
    test::PumpUntil([&] { return dialog->ControlAs<wxTextCtrl>(1003)->GetValue().EndsWith("x"); },
                    10000);
    openAfterEnter = dialog->IsModal();
    simulator.Char(WXK_ESCAPE);
  });
  EXPECT_EQ(dialog->ShowModal(), wxID_CANCEL);
  EXPECT_TRUE(openAfterEnter);
  EXPECT_EQ(desktop.WaitForCalls(1), std::vector<std::string>{kProductWebPage});
}

TEST_F(MainWindow, ExitButtonEndsTheWindowAndOpensTheWebPage) {
  test::FakeDesktopHandler desktop;
  const ModalGuard guard(*dialog);
  dialog->CallAfter([&] {
    test::MovePointer(*dialog, wxPoint(540 + 30, 416 + 20));
    wxUIActionSimulator simulator;
    simulator.MouseClick();
  });
  EXPECT_EQ(dialog->ShowModal(), wxID_CANCEL);
  EXPECT_EQ(desktop.WaitForCalls(1), std::vector<std::string>{kProductWebPage});
}

// A real click in the middle of a radio button's indicator; waits until it is checked.
void ClickOn(CMorvaneDlg& dialog, int id) {
  auto* radio = dialog.ControlAs<wxRadioButton>(id);
  const wxRect r = radio->GetRect();
  test::MovePointer(dialog, wxPoint(r.x + 6, r.y + r.height / 2));
  wxUIActionSimulator simulator;
  simulator.MouseClick();
  // The toggle and its event come in one go: once checked, the window has handled the click.
  test::PumpUntil([radio] { return radio->GetValue(); }, 10000);
}

TEST_F(MainWindow, RadioButtonsEnableAndDisableTheLoginFieldsKeepingTheirText) {
  auto* login = dialog->ControlAs<wxTextCtrl>(1001);
  auto* password = dialog->ControlAs<wxTextCtrl>(1002);
  ClickOn(*dialog, 1010);
  EXPECT_TRUE(dialog->ControlAs<wxRadioButton>(1010)->GetValue());
  EXPECT_TRUE(login->IsEnabled());
  EXPECT_TRUE(password->IsEnabled());
  login->ChangeValue("sa");
  password->ChangeValue("secret");

  ClickOn(*dialog, 1009);
  EXPECT_TRUE(dialog->ControlAs<wxRadioButton>(1009)->GetValue());
  EXPECT_FALSE(login->IsEnabled());
  EXPECT_FALSE(password->IsEnabled());
  EXPECT_EQ(login->GetValue(), "sa");
  EXPECT_EQ(password->GetValue(), "secret");

  ClickOn(*dialog, 1010);
  EXPECT_TRUE(login->IsEnabled());
  EXPECT_EQ(password->GetValue(), "secret");
}

TEST_F(MainWindow, HelpOpensTheHtmlFileNamedAfterTheExecutableWhateverTheCurrentFolder) {
  test::FakeDesktopHandler desktop;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path("/");
  wxCommandEvent click(wxEVT_BUTTON, kHelpButton);
  click.SetEventObject(dialog->ImageButton(kHelpButton));
  dialog->ImageButton(kHelpButton)->ProcessWindowEvent(click);
  const std::vector<std::string> calls = desktop.WaitForCalls(1);
  std::filesystem::current_path(before);
  const std::string executable = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(calls, std::vector<std::string>{executable + ".html"});
  EXPECT_TRUE(dialog->IsShown());
}

}  // namespace
}  // namespace morvane::ui
