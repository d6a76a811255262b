// The gradient background and the control colours, as the screen shows them.

#include <gtest/gtest.h>

#include <array>
#include <map>

#include <wx/bitmap.h>
#include <wx/checkbox.h>
#include <wx/dcmemory.h>
#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>

#include "tests/ui/UiTestSupport.h"
#include "ui/MorvaneDlg.h"
#include "ui/DialogBuilder.h"
#include "ui/Resources.h"
#include "ui/Templates.h"
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


// Template 102 built as the main window builds it, on the same gradient, but with no control
// colours: the theme's own drawing of every control.
class UntintedMainWindow : public wxDialog {
 public:
  UntintedMainWindow() {
    CreateFromTemplate(*this, nullptr, MainTemplate(), wxCAPTION);
    m_controls = BuildControls(*this, MainTemplate());
    Bind(wxEVT_ERASE_BACKGROUND, [this](wxEraseEvent& event) {
      if (wxDC* dc = event.GetDC()) {
        FillGradient(*dc, wxRect(GetClientSize()), kMainGradientTop, kMainGradientBottom);
      }
    });
  }
  wxWindow* Control(int id) const { return m_controls.at(id); }

 private:
  std::map<int, wxWindow*> m_controls;
};

void SetChecked(wxWindow* control, bool checked) {
  if (auto* radio = dynamic_cast<wxRadioButton*>(control)) {
    radio->SetValue(checked);
    if (!checked) {
      // A radio button is unchecked by checking the other one of its pair.
      const int other = control->GetId() == 1009 ? 1010 : 1009;
      dynamic_cast<wxRadioButton*>(control->GetParent()->FindWindow(other))->SetValue(true);
    }
  } else if (auto* check = dynamic_cast<wxCheckBox*>(control)) {
    check->SetValue(checked);
  }
}

// The window's captures with each of 1009, 1010 and 1017 unchecked and checked, taken while
// the window alone is shown and has the keyboard (GTK draws an inactive window's controls in
// paler "backdrop" colours).
std::map<int, std::array<wxImage, 2>> IndicatorCaptures(wxDialog& window) {
  window.FindWindow(1017)->Show();  // free space below page one's right frame
  test::ShowAndSettle(window);
  EXPECT_TRUE(test::Activate(window));
  std::map<int, std::array<wxImage, 2>> captures;
  for (int id : {1009, 1010, 1017}) {
    for (bool checked : {false, true}) {
      SetChecked(window.FindWindow(id), checked);
      captures[id][checked] = test::CaptureSettled(window);
    }
  }
  window.Destroy();
  test::Pump(50);
  return captures;
}

// The indicators of radio buttons 1009 and 1010 and check box 1017, checked and unchecked, in
// the window and as the theme draws them without the window's colours. The window tints only
// the texts, so each indicator is the theme's pixel for pixel: a checked one shows its filled
// disc or box, clearly unlike an unchecked one.
TEST(MainWindowIndicators, CheckedIndicatorsLookAsTheThemeDrawsThem) {
  auto* window = new CMorvaneDlg;
  std::map<int, wxRect> boxes;
  for (int id : {1009, 1010, 1017}) boxes[id] = window->Control(id)->GetRect();
  const auto shownCaptures = IndicatorCaptures(*window);
  auto* plain = new UntintedMainWindow;
  for (int id : {1009, 1010, 1017}) ASSERT_EQ(plain->Control(id)->GetRect(), boxes[id]);
  const auto themeCaptures = IndicatorCaptures(*plain);

  for (int id : {1009, 1010, 1017}) {
    SCOPED_TRACE(id);
    const std::array<wxImage, 2>& shown = shownCaptures.at(id);  // [unchecked, checked]
    const std::array<wxImage, 2>& theme = themeCaptures.at(id);
    // The indicator: where the theme's checked and unchecked drawings differ.
    const wxRect box = boxes[id];
    wxRect indicator;
    for (int y = box.y; y < box.GetBottom(); ++y)
      for (int x = box.x; x < box.GetRight(); ++x) {
        if (!(test::PixelAt(theme[0], x, y) == test::PixelAt(theme[1], x, y))) {
          indicator = indicator.IsEmpty() ? wxRect(x, y, 1, 1) : indicator.Union(wxRect(x, y, 1, 1));
        }
      }
    ASSERT_GE(indicator.width, 8);
    ASSERT_GE(indicator.height, 8);
    EXPECT_LT(indicator.GetRight(), box.x + 20) << "the indicator lies at the left";
    int differing = 0, unlikeTheme = 0;
    for (int y = indicator.y; y <= indicator.GetBottom(); ++y)
      for (int x = indicator.x; x <= indicator.GetRight(); ++x) {
        for (std::size_t checked : {0u, 1u}) {
          if (!(test::PixelAt(shown[checked], x, y) == test::PixelAt(theme[checked], x, y))) {
            ++unlikeTheme;
          }
        }
        if (!(test::PixelAt(shown[1], x, y) == test::PixelAt(shown[0], x, y))) ++differing;
      }
    EXPECT_EQ(unlikeTheme, 0) << "indicator pixels unlike the theme's in " << indicator.x << ","
                              << indicator.y << " " << indicator.width << "x" << indicator.height;
    EXPECT_GT(differing * 3, indicator.width * indicator.height)
        << "checked and unchecked look alike";
  }
}

// Every control of the colour table shows its colour on the screen: labels across their box,
// radio buttons and the check box behind their text (right of the indicator), the group boxes
// behind their titles.
TEST(MainWindowTints, EveryControlOfTheTableShowsItsColour) {
  auto* dialog = new CMorvaneDlg;
  test::ShowAndSettle(*dialog);
  const wxImage pageOne = test::CaptureClient(*dialog);
  // Page two and the progress area, shown as a run shows them.
  for (int id : {1003, 1004, 1005, 1000, 1009, 1010, 1001, 1002, 1019, 1020, 1021, 1022, 1023,
                 1024, 1025, 1026}) {
    dialog->Control(id)->Hide();
  }
  for (int id : {1007, 1011, 1015, 1017, 1027, 1028, 1029, 1030, 1037, 1013, 1048, 1049,
                 kFullSpeedCheck}) {
    dialog->Control(id)->Show();
  }
  const wxImage pageTwo = test::CaptureClient(*dialog);
  for (const ControlColour& row : MainControlColours()) {
    SCOPED_TRACE(row.id);
    const bool onPageOne = row.id < 1027 && row.id != 1017;
    const wxImage& image = onPageOne ? pageOne : pageTwo;
    const wxRect r = dialog->Control(row.id)->GetRect();
    int tinted = 0;
    for (int y = r.y; y < r.GetBottom(); ++y)
      for (int x = r.x; x < r.GetRight(); ++x) {
        if (test::PixelAt(image, x, y) == row.background) ++tinted;
      }
    // Gradient rows of the same colour add nothing much; a tinted text box is mostly tint.
    const int area = r.width * (dynamic_cast<wxStaticBox*>(dialog->Control(row.id)) ? 12 : r.height);
    EXPECT_GT(tinted * 3, area) << tinted << " of " << area;
  }
  dialog->Destroy();
  test::Pump(50);
}


TEST_F(MainWindowLook, PageOneFrameTitlesLeaveTheFramesCornerInPlace) {
  const Rgb tint{240, 246, 251};
  for (int id : {1019, 1020}) {
    SCOPED_TRACE(id);
    const wxRect box = dialog->Control(id)->GetRect();
    // The title's tint starts a few pixels into the frame.
    int titleLeft = box.GetRight();
    for (int y = box.y; y < box.y + 14; ++y) {
      if (GradientRow(kMainGradientTop, kMainGradientBottom, y, 492) == tint) continue;
      for (int x = box.x; x < titleLeft; ++x) {
        if (test::PixelAt(image, x, y) == tint) titleLeft = x;
      }
    }
    EXPECT_GE(titleLeft, box.x + 5);
    EXPECT_LE(titleLeft, box.x + 14);
    // Left of it the frame's top line runs from the corner: a row where the first pixels are
    // neither the background nor the title's tint.
    bool corner = false;
    for (int y = box.y; y < box.y + 14 && !corner; ++y) {
      const Rgb background = GradientRow(kMainGradientTop, kMainGradientBottom, y, 492);
      corner = true;
      for (int x = box.x + 2; x < box.x + 5; ++x) {
        const Rgb p = test::PixelAt(image, x, y);
        if (p == background || p == tint) corner = false;
      }
    }
    EXPECT_TRUE(corner) << "no frame line left of the title";
  }
}

// During a run the progress bar fills the height of its box (in line with the Stop button
// beside it), its filled part unlike its empty part.
TEST_F(MainWindowLook, TheProgressBarFillsItsBox) {
  for (int id : {1037, 1013, 1048, 1049}) dialog->Control(id)->Show();
  auto* gauge = dialog->ControlAs<wxGauge>(1013);
  gauge->SetRange(4);
  gauge->SetValue(2);
  const wxImage shown = test::CaptureSettled(*dialog);
  const wxRect bar = gauge->GetRect();
  const int filled = bar.x + bar.width / 4, empty = bar.x + bar.width * 3 / 4;
  for (int x : {filled, empty}) {
    int drawn = 0;
    for (int y = bar.y; y <= bar.GetBottom(); ++y) {
      if (!(test::PixelAt(shown, x, y) == GradientRow(kMainGradientTop, kMainGradientBottom, y, 492))) {
        ++drawn;
      }
    }
    EXPECT_GE(drawn, bar.height - 2) << "column " << x << " of " << bar.x << "+" << bar.width;
  }
  const int middle = bar.y + bar.height / 2;
  EXPECT_FALSE(test::PixelAt(shown, filled, middle) == test::PixelAt(shown, empty, middle));
  EXPECT_EQ(bar.y, dialog->Control(1048)->GetPosition().y);
  EXPECT_EQ(bar.height, dialog->Control(1048)->GetSize().y);
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
