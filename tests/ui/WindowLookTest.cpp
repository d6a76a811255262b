// The gradient background and the control colours, as the screen shows them.

#include <gtest/gtest.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>

#include "tests/ui/UiTestSupport.h"
#include "ui/MorvaneDlg.h"
#include "ui/Resources.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

TEST(FillGradient, PaintsOneSolidColourPerRowDownToJustAboveTheBottomColour) {
  struct Case {
    Rgb top, bottom;
    int w, h;
  };
  const Case cases[] = {{kMainGradientTop, kMainGradientBottom, 627, 492},
                        {kAboutGradientTop, kAboutGradientBottom, 411, 153},
                        {{0, 0, 0}, {255, 128, 1}, 9, 7}};
  for (const Case& c : cases) {
    wxBitmap bitmap(c.w, c.h, 24);
    {
      wxMemoryDC dc(bitmap);
      dc.SetBackground(*wxRED_BRUSH);
      dc.Clear();
      FillGradient(dc, wxRect(0, 0, c.w, c.h), c.top, c.bottom);
    }
    const wxImage image = bitmap.ConvertToImage();
    for (int y = 0; y < c.h; ++y) {
      const Rgb expected = GradientRow(c.top, c.bottom, y, c.h);
      for (int x = 0; x < c.w; ++x) {
        ASSERT_EQ(test::PixelAt(image, x, y), expected) << x << "," << y << " of " << c.h;
      }
    }
  }
}

class MainWindowLook : public testing::Test {
 protected:
  void SetUp() override {
    dialog = new CMorvaneDlg;
    test::ShowAndSettle(*dialog);
    image = test::CaptureClient(*dialog);
  }
  void TearDown() override { dialog->Destroy(); test::Pump(50); }

  CMorvaneDlg* dialog = nullptr;
  wxImage image;
};

TEST_F(MainWindowLook, FirstAndLastRowsAreTheGradientsEnds) {
  ASSERT_EQ(image.GetWidth(), 627);
  ASSERT_EQ(image.GetHeight(), 492);
  for (int x = 0; x < 627; ++x) {
    ASSERT_EQ(test::PixelAt(image, x, 0), (Rgb{244, 250, 255})) << x;
    ASSERT_EQ(test::PixelAt(image, x, 491), (Rgb{235, 241, 246})) << x;
  }
}

TEST_F(MainWindowLook, TheLeftMarginShowsTheGradientRowByRow) {
  // Nothing but the background lies left of the frames (x < 14) below the banner.
  for (int y = 93; y < 492; ++y) {
    for (int x : {2, 8}) {
      ASSERT_EQ(test::PixelAt(image, x, y),
                GradientRow(kMainGradientTop, kMainGradientBottom, y, 492))
          << x << "," << y;
    }
  }
}

TEST_F(MainWindowLook, TintedLabelsAreOpaqueAndEditBoxesKeepTheTheme) {
  // Label 1024 "MySQL Server" (pale) and 1025 "Login name" (paler): the right end of their
  // boxes holds no text, only the label's own background.
  struct Case {
    int id;
    Rgb colour;
  };
  for (const Case& c : {Case{1024, {240, 246, 251}}, Case{1025, {238, 244, 249}},
                        Case{1021, {240, 246, 251}}, Case{1022, {238, 244, 249}}}) {
    const wxRect r = dialog->Control(c.id)->GetRect();
    EXPECT_EQ(test::PixelAt(image, r.GetRight() - 1, r.GetBottom() - 1), c.colour) << c.id;
    EXPECT_EQ(test::PixelAt(image, r.GetLeft(), r.GetTop()), c.colour) << c.id;
  }
  // The MySQL server box: inside it the theme's entry colour, none of the tints.
  const wxRect edit = dialog->Control(1003)->GetRect();
  const Rgb inside = test::PixelAt(image, edit.GetRight() - 6, edit.y + edit.height / 2);
  for (const ControlColour& row : MainControlColours()) EXPECT_NE(inside, row.background);
  const wxColour theme = dialog->Control(1003)->GetDefaultAttributes().colBg;
  EXPECT_EQ(inside, (Rgb{theme.Red(), theme.Green(), theme.Blue()}));
}

TEST_F(MainWindowLook, GroupBoxesTintTheirTitleOnlyAndShowTheControlsWithin) {
  const Rgb tint{240, 246, 251};
  for (int id : {1019, 1020}) {
    const wxRect box = dialog->Control(id)->GetRect();
    int inTitle = 0, below = 0;
    for (int y = box.y; y < box.GetBottom(); ++y) {
      // Some gradient rows have the tint's colour themselves.
      if (GradientRow(kMainGradientTop, kMainGradientBottom, y, 492) == tint) continue;
      for (int x = box.x; x < box.GetRight(); ++x) {
        if (!(test::PixelAt(image, x, y) == tint)) continue;
        (y < box.y + 14 ? inTitle : below)++;
      }
    }
    EXPECT_GT(inTitle, 40) << id;
    // Inside the frame only the labels named in the table carry that colour.
    int labels = 0;
    for (int label : {1021, 1024, 1009, 1010}) {
      const wxRect r = dialog->Control(label)->GetRect();
      if (box.Contains(r)) labels += r.width * r.height;
    }
    EXPECT_LE(below, labels) << id;
  }
  // The controls made before the frames show through them: most of an edit box, and the
  // radio buttons' indicators and texts, differ from the background.
  struct Shown {
    int id;
    int percent;
  };
  for (const Shown& c : {Shown{1003, 80}, Shown{1000, 80}, Shown{1009, 5}, Shown{1010, 5}}) {
    const wxRect r = dialog->Control(c.id)->GetRect();
    int drawn = 0;
    for (int y = r.y; y < r.GetBottom(); ++y)
      for (int x = r.x; x < r.GetRight(); ++x) {
        if (!(test::PixelAt(image, x, y) ==
              GradientRow(kMainGradientTop, kMainGradientBottom, y, 492))) {
          ++drawn;
        }
      }
    EXPECT_GT(drawn * 100, c.percent * r.width * r.height) << c.id;
  }
}

TEST_F(MainWindowLook, TheBannerAndTheArrowPictureLieInTheirPlaces) {
  struct Case {
    int bitmap;
    int x, y;
  };
  for (const Case& c : {Case{134, 0, 0}, Case{148, 278, 137}}) {
    wxImage picture = LoadPicture(c.bitmap);
    // The About button lies over the banner's left part: compare the banner right of it.
    if (c.bitmap == 134) {
      picture = picture.GetSubImage(wxRect(100, 0, 527, 93));
      EXPECT_TRUE(test::BlockEquals(image, 100, 0, picture)) << c.bitmap;
    } else {
      EXPECT_TRUE(test::BlockEquals(image, c.x, c.y, picture)) << c.bitmap;
    }
  }
}

}  // namespace
}  // namespace morvane::ui
