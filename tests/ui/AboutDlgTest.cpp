// The About box: texts, places, colours, the hand cursor over the links, their clicks and the
// ways to close it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <wx/dc.h>
#include <wx/stattext.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "tests/ui/UiTestSupport.h"
#include "ui/AboutDlg.h"
#include "ui/LinkCur.h"
#include "ui/Resources.h"
#include "ui/Templates.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

class AboutBox : public testing::Test {
 protected:
  void SetUp() override {
    about = new CAboutDlg;
    test::ShowAndSettle(*about);
  }
  void TearDown() override {
    about->Destroy();
    test::Pump(50);
  }
  CAboutDlg* about = nullptr;
};

TEST_F(AboutBox, ShowsTitleVersionMakerAndLinksInTheirPlaces) {
  EXPECT_EQ(about->GetTitle(), "About Quilbrook Database Converter - MySQL to MS SQL");
  EXPECT_EQ(about->GetClientSize(), wxSize(411, 153));
  struct Case {
    int id;
    const char* text;
    wxRect rect;  // pixels
  };
  const Case cases[] = {
      {1031, "Quilbrook Database Converter - MySQL to MS SQL version - 2.0.1.5",
       wxRect(134, 26, 255, 46)},
      {1032, "Quilbrook Software", wxRect(134, 83, 122, 15)},
      {1034, "Email:", wxRect(134, 114, 30, 13)},
      {1035, " info@quilbrook.test", wxRect(161, 114, 99, 13)},
      {1036, "www.quilbrook.test", wxRect(134, 127, 126, 13)},
      {1033, "", wxRect(11, 117, 12, 13)},
  };
  for (const Case& c : cases) {
    wxWindow* control = about->Control(c.id);
    ASSERT_NE(control, nullptr) << c.id;
    auto* label = dynamic_cast<wxStaticTextBase*>(control);
    ASSERT_NE(label, nullptr) << c.id;
    // The title wraps within its box; unwrapped it is the template's text.
    wxString text = label->GetLabelText();
    text.Replace("\n", " ");
    EXPECT_EQ(text, c.text) << c.id;
    EXPECT_EQ(control->GetRect(), c.rect) << c.id;
  }
  auto* ok = about->FindWindow(wxID_OK);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->GetLabel(), "OK");
  EXPECT_EQ(ok->GetPosition(), wxPoint(326, 117));
  EXPECT_EQ(&about->MailLink(), about->Control(1035));
  EXPECT_EQ(&about->WebLink(), about->Control(1036));
  // The title fits its two lines.
  auto* title = dynamic_cast<wxStaticText*>(about->Control(1031));
  EXPECT_LE(title->GetLabel().Freq('\n'), 1u);
}

TEST_F(AboutBox, FirstRowIsWhiteAndTheLabelsHaveTheirColours) {
  const wxImage image = test::CaptureClient(*about);
  for (int x = 0; x < image.GetWidth(); ++x) {
    ASSERT_EQ(test::PixelAt(image, x, 0), (Rgb{255, 255, 255})) << x;
  }
  EXPECT_EQ(test::PixelAt(image, 2, 152), GradientRow(kAboutGradientTop, kAboutGradientBottom,
                                                     152, 153));
  struct Case {
    int id;
    Rgb background;
  };
  for (const Case& c : {Case{1031, {252, 252, 252}}, Case{1032, {248, 248, 248}},
                        Case{1033, {244, 244, 244}}, Case{1034, {244, 244, 244}},
                        Case{1035, {244, 244, 244}}, Case{1036, {244, 244, 244}}}) {
    const wxRect r = about->Control(c.id)->GetRect();
    EXPECT_EQ(test::PixelAt(image, r.GetRight() - 1, r.GetBottom()), c.background) << c.id;
  }
  // Link texts are blue: the darkest pixel of each link is pure blue's shade.
  for (int id : {1035, 1036}) {
    EXPECT_EQ(about->Control(id)->GetForegroundColour(), wxColour(0, 0, 255)) << id;
    const wxRect r = about->Control(id)->GetRect();
    int bluish = 0;
    for (int y = r.y; y < r.GetBottom(); ++y)
      for (int x = r.x; x < r.GetRight(); ++x) {
        const Rgb p = test::PixelAt(image, x, y);
        if (p.b > 200 && p.r < 100 && p.g < 100) ++bluish;
      }
    EXPECT_GT(bluish, 20) << id;
  }
  // The logo at (9, 15) dialog units.
  EXPECT_TRUE(test::BlockEquals(image, 14, 24, LoadPicture(kAboutLogo)));
}

TEST_F(AboutBox, HandCursorOverTheLinksAndTheArrowElsewhere) {
  auto isHand = [](const test::PointerCursor& c) {
    return c.width == 32 && c.height == 32 && c.hotX == kLinkCursorHotX &&
           c.hotY == kLinkCursorHotY && c.argb.size() == 32 * 32 &&
           c.argb[1 * 32 + 12] == 0xFFFFFFFFul && c.argb[27 * 32 + 16] == 0xFF0000FFul;
  };
  const wxPoint outside[] = {wxPoint(300, 40), wxPoint(5, 5), wxPoint(200, 90)};
  for (int id : {1035, 1036}) {
    const wxRect r = about->Control(id)->GetRect();
    test::MovePointer(*about, wxPoint(r.x + r.width / 2, r.y + r.height / 2));
    test::PumpUntil([&] { return isHand(test::CurrentCursor()); }, 10000);
    const test::PointerCursor over = test::CurrentCursor();
    EXPECT_TRUE(isHand(over)) << id << ": " << over.width << "x" << over.height << " hot "
                              << over.hotX << "," << over.hotY;
    test::MovePointer(*about, outside[id - 1035]);
    test::PumpUntil([&] { return !isHand(test::CurrentCursor()); }, 10000);
    EXPECT_FALSE(isHand(test::CurrentCursor())) << id;
  }
  // Over the maker's name, an ordinary label, the arrow too.
  const wxRect maker = about->Control(1032)->GetRect();
  test::MovePointer(*about, wxPoint(maker.x + 5, maker.y + 5));
  EXPECT_FALSE(isHand(test::CurrentCursor()));
}

TEST_F(AboutBox, ClicksHandTheirAddressesToTheDesktop) {
  const test::FakeDesktopHandler handler;
  wxUIActionSimulator simulator;
  const wxRect mail = about->Control(1035)->GetRect();
  test::MovePointer(*about, wxPoint(mail.x + mail.width / 2, mail.y + mail.height / 2));
  simulator.MouseClick();
  EXPECT_EQ(handler.WaitForCalls(1), (std::vector<std::string>{
                                         "mailto:info@quilbrook.test?subject=info"}));
  const wxRect web = about->Control(1036)->GetRect();
  test::MovePointer(*about, wxPoint(web.x + web.width / 2, web.y + web.height / 2));
  simulator.MouseClick();
  EXPECT_EQ(handler.WaitForCalls(2),
            (std::vector<std::string>{"mailto:info@quilbrook.test?subject=info",
                                      "https://www.quilbrook.test"}));
  // A click on another label opens nothing.
  const wxRect maker = about->Control(1032)->GetRect();
  test::MovePointer(*about, wxPoint(maker.x + 5, maker.y + 5));
  simulator.MouseClick();
  test::Pump(500);
  EXPECT_EQ(handler.Calls().size(), 2u);
}

// A derived box can paint its own background through the virtual erase operation.
class PlainAbout : public CAboutDlg {
 public:
  bool OnEraseBkgnd(wxDC& dc) override {
    dc.SetBrush(wxBrush(wxColour(10, 20, 30)));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(wxRect(GetClientSize()));
    return true;
  }
};

TEST(AboutBoxPainting, ADerivedBoxReplacesTheGradient) {
  auto* about = new PlainAbout;
  test::ShowAndSettle(*about);
  const wxImage image = test::CaptureClient(*about);
  EXPECT_EQ(test::PixelAt(image, 0, 0), (Rgb{10, 20, 30}));
  EXPECT_EQ(test::PixelAt(image, 400, 150), (Rgb{10, 20, 30}));
  about->Destroy();
  test::Pump(50);
}

// Runs the box modally and, once it is on the screen, does `close`; gives up after a minute.
int RunModalAndClose(const std::function<void(CAboutDlg&)>& close) {
  CAboutDlg about;
  wxTimer guard;
  guard.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    if (about.IsModal()) about.EndModal(-99);
  });
  guard.StartOnce(60000);
  about.CallAfter([&] {
    EXPECT_TRUE(test::PumpUntil(
        [&] { return test::TopLevelWindowShown(about.GetTitle().utf8_string(), getpid()); },
        30000));
    test::Pump(100);
    close(about);
  });
  return about.ShowModal();
}

TEST(AboutBoxClosing, OkEnterEscAndTheCloseBoxCloseIt) {
  wxUIActionSimulator simulator;
  auto key = [&simulator](int code) {
    return [&simulator, code](CAboutDlg& about) {
      test::MovePointer(about, wxPoint(200, 60));
      simulator.Char(code);
    };
  };
  EXPECT_EQ(RunModalAndClose(key(WXK_RETURN)), wxID_OK);
  EXPECT_NE(RunModalAndClose(key(WXK_ESCAPE)), -99);
  EXPECT_EQ(RunModalAndClose([&simulator](CAboutDlg& about) {
              const wxWindow* ok = about.FindWindow(wxID_OK);
              test::MovePointer(about, ok->GetPosition() + wxPoint(10, 10));
              simulator.MouseClick();
            }),
            wxID_OK);
  // The close box asks the window to close, as Close() does.
  EXPECT_NE(RunModalAndClose([](CAboutDlg& about) { about.Close(); }), -99);
}

}  // namespace
}  // namespace morvane::ui
