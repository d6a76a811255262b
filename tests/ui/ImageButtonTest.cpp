// The six image buttons of the main window: places, sizes and the image of each state.

#include <gtest/gtest.h>

#include <wx/uiaction.h>

#include "tests/ui/UiTestSupport.h"
#include "ui/MorvaneDlg.h"
#include "ui/Resources.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

struct ButtonCase {
  int id;
  int x, y, w, h;
  int normal, pressed;
  bool visible;  // on page one
};

const ButtonCase kButtons[] = {
    {kAboutButton, 20, 13, 71, 71, 135, 136, true},
    {kConvertButton, 460, 416, 67, 58, 140, 139, false},
    {kHelpButton, 380, 416, 67, 58, 145, 144, true},
    {kExitButton, 540, 416, 67, 58, 142, 141, true},
    {kNextButton, 460, 416, 67, 58, 138, 137, true},
    {kBusyButton, 460, 416, 67, 58, 152, 152, false},
};

class ImageButtonTest : public test::MainWindowTest {
 protected:
  bool Shows(const ButtonCase& c, int bitmap) {
    return test::BlockEquals(test::CaptureClient(*dialog), c.x, c.y, LoadPicture(bitmap));
  }

};

TEST_F(ImageButtonTest, ButtonsAreMadeInOrderAtTheirPlacesAndExactlyTheirBitmapsSize) {
  const auto& buttons = dialog->ImageButtons();
  ASSERT_EQ(buttons.size(), std::size(kButtons));
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const ButtonCase& c = kButtons[i];
    CImageButton* button = buttons[i];
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetId(), c.id);
    EXPECT_EQ(button->GetRect(), wxRect(c.x, c.y, c.w, c.h)) << c.id;
    EXPECT_EQ(button->GetClientSize(), wxSize(c.w, c.h)) << c.id;
    EXPECT_EQ(button->IsShown(), c.visible) << c.id;
    EXPECT_TRUE(button->GetLabel().empty()) << c.id;
    EXPECT_FALSE(button->AcceptsFocusFromKeyboard()) << c.id;
    EXPECT_EQ(dialog->Control(c.id), button) << c.id;
  }
  // The image buttons come after every template control: none of them is a tab stop.
  EXPECT_EQ(dialog->GetChildren().GetLast()->GetData(), buttons.back());
}

TEST_F(ImageButtonTest, FocusedIsTheNormalImageAndDisabledThePressedOne) {
  for (const ButtonCase& c : kButtons) {
    const CImageButton* button = dialog->ImageButton(c.id);
    const wxImage normal = LoadPicture(c.normal);
    const wxImage pressed = LoadPicture(c.pressed);
    using Image = CImageButton::Image;
    EXPECT_TRUE(test::BlockEquals(button->BitmapFor(Image::Normal).ConvertToImage(), 0, 0, normal));
    EXPECT_TRUE(test::BlockEquals(button->BitmapFor(Image::Focused).ConvertToImage(), 0, 0, normal));
    EXPECT_TRUE(
        test::BlockEquals(button->BitmapFor(Image::Pressed).ConvertToImage(), 0, 0, pressed));
    EXPECT_TRUE(
        test::BlockEquals(button->BitmapFor(Image::Disabled).ConvertToImage(), 0, 0, pressed));
  }
}

TEST_F(ImageButtonTest, VisibleButtonsShowTheirNormalImage) {
  for (const ButtonCase& c : kButtons) {
    if (!c.visible) continue;
    EXPECT_EQ(dialog->ImageButton(c.id)->CurrentImage(), CImageButton::Image::Normal) << c.id;
    EXPECT_TRUE(Shows(c, c.normal)) << c.id;
  }
}

TEST_F(ImageButtonTest, HeldDownShowsPressedAndReleaseClicks) {
  // Help (Exit's click would close the window); its click opens the help file, here with the
  // fake desktop handler.
  const test::FakeDesktopHandler desktop;
  const ButtonCase& help = kButtons[2];
  CImageButton* button = dialog->ImageButton(help.id);
  int clicks = 0;
  dialog->Bind(
      wxEVT_BUTTON, [&](wxCommandEvent& event) { ++clicks; event.Skip(); }, help.id);

  test::MovePointer(*dialog, wxPoint(help.x + 30, help.y + 20));
  wxUIActionSimulator simulator;
  simulator.MouseDown();
  ASSERT_TRUE(test::PumpUntil([&] { return button->IsHeldDown(); }, 2000));
  test::Pump(100);
  EXPECT_EQ(button->CurrentImage(), CImageButton::Image::Pressed);
  EXPECT_TRUE(Shows(help, help.pressed));
  EXPECT_EQ(clicks, 0);

  // Dragged off while held: normal image, and releasing there does not click.
  test::MovePointer(*dialog, wxPoint(help.x - 20, help.y + 20));
  EXPECT_FALSE(button->IsHeldDown());
  EXPECT_TRUE(Shows(help, help.normal));
  test::MovePointer(*dialog, wxPoint(help.x + 30, help.y + 20));
  EXPECT_TRUE(button->IsHeldDown());
  simulator.MouseUp();
  ASSERT_TRUE(test::PumpUntil([&] { return clicks == 1; }, 2000));
  EXPECT_FALSE(button->IsHeldDown());
  EXPECT_TRUE(Shows(help, help.normal));

  // A click that starts off the button and ends on it does nothing.
  test::MovePointer(*dialog, wxPoint(help.x - 20, help.y + 20));
  simulator.MouseDown();
  test::MovePointer(*dialog, wxPoint(help.x + 30, help.y + 20));
  simulator.MouseUp();
  test::Pump(200);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(desktop.WaitForCalls(1).size(), 1u);
}

TEST_F(ImageButtonTest, DisabledShowsThePressedImageAndTakesNoClick) {
  for (const ButtonCase& c : kButtons) {
    if (!c.visible) continue;
    CImageButton* button = dialog->ImageButton(c.id);
    button->Disable();
    test::Pump(100);
    EXPECT_EQ(button->CurrentImage(), CImageButton::Image::Disabled) << c.id;
    EXPECT_TRUE(Shows(c, c.pressed)) << c.id;
    button->Enable();
    test::Pump(100);
    EXPECT_TRUE(Shows(c, c.normal)) << c.id;
  }
  const ButtonCase& exit = kButtons[3];
  dialog->ImageButton(exit.id)->Disable();
  int clicks = 0;
  dialog->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++clicks; }, exit.id);
  test::MovePointer(*dialog, wxPoint(exit.x + 30, exit.y + 20));
  wxUIActionSimulator simulator;
  simulator.MouseClick();
  test::Pump(300);
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(dialog->IsShown());
}

TEST_F(ImageButtonTest, ConvertAndBusyShareNextsPlaceWhileHelpAndExitStay) {
  const ButtonCase& convert = kButtons[1];
  const ButtonCase& busy = kButtons[5];
  dialog->ImageButton(kNextButton)->Hide();
  dialog->ImageButton(kConvertButton)->Show();
  test::Pump(100);
  EXPECT_TRUE(Shows(convert, convert.normal));
  dialog->ImageButton(kConvertButton)->Hide();
  dialog->ImageButton(kBusyButton)->Show();
  test::Pump(100);
  EXPECT_TRUE(Shows(busy, busy.normal));
  // The busy image has no handler: a click on it leaves the window as it is.
  test::MovePointer(*dialog, wxPoint(busy.x + 30, busy.y + 20));
  wxUIActionSimulator simulator;
  simulator.MouseClick();
  test::Pump(200);
  EXPECT_TRUE(dialog->IsShown());
  EXPECT_TRUE(dialog->ImageButton(kBusyButton)->IsShown());
  for (const ButtonCase* c : {&kButtons[2], &kButtons[3]}) {
    EXPECT_EQ(dialog->ImageButton(c->id)->GetRect(), wxRect(c->x, c->y, c->w, c->h));
    EXPECT_TRUE(Shows(*c, c->normal)) << c->id;
  }
}

}  // namespace
}  // namespace morvane::ui
