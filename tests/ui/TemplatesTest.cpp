// The dialog templates as data: geometry in pixels, control order and texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/image.h>

#include "ui/DialogBuilder.h"
#include "ui/Resources.h"
#include "ui/Templates.h"

namespace morvane::ui {
namespace {

std::vector<int> Ids(const DialogTemplate& dialog, bool placeholders) {
  std::vector<int> ids;
  for (const ControlTemplate& c : dialog.controls) {
    if (c.kind == ControlKind::Placeholder && !placeholders) continue;
    ids.push_back(c.id);
  }
  return ids;
}

TEST(Templates, DialogUnitsBecomePixelsAtSixByThirteenPerFourByEight) {
  struct Case {
    int units;
    int x, y;
  };
  // x = units * 6 / 4, y = units * 13 / 8, each rounded to the nearest pixel.
  const Case cases[] = {{0, 0, 0},       {4, 6, 7},      {8, 12, 13},    {9, 14, 15},
                        {15, 23, 24},    {94, 141, 153},  {274, 411, 445}, {303, 455, 492},
                        {418, 627, 679}, {-9, -14, -15}};
  for (const Case& c : cases) {
    EXPECT_EQ(DialogToPixelsX(c.units), c.x) << c.units;
    EXPECT_EQ(DialogToPixelsY(c.units), c.y) << c.units;
  }
}

TEST(Templates, MainWindowClientIs627By492AndTheBannerSpansIt) {
  const DialogTemplate& main = MainTemplate();
  EXPECT_EQ(main.id, 102);
  EXPECT_STREQ(main.title, "Quilbrook Database Converter - MySQL to MS SQL");
  EXPECT_EQ(DialogToPixelsX(main.w), 627);
  EXPECT_EQ(DialogToPixelsY(main.h), 492);
  const ControlTemplate* banner = nullptr;
  for (const ControlTemplate& c : main.controls) {
    if (c.kind == ControlKind::Picture && c.bitmap == 134) banner = &c;
  }
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(banner->x, 0);
  EXPECT_EQ(banner->y, 0);
}

TEST(Templates, MainControlsAreInTabOrder) {
  const std::vector<int> expected = {1003, 1004, 1005, 1000, 1009, 1010, 1001, 1002, 1011, 1007,
                                     kFullSpeedCheck, 1015, 1017, 1048, 1019, 1020, 1024, 1025, 1026, 1021, 1022,
                                     1023, 1029, 1013, 1030, 1027, 1028, 1037, kNoId, kNoId, 1049};
  EXPECT_EQ(Ids(MainTemplate(), false), expected);
}

TEST(Templates, PlaceholdersHoldTheImageButtonIdsHiddenAndSmall) {
  std::vector<int> ids;
  for (const ControlTemplate& c : MainTemplate().controls) {
    if (c.kind != ControlKind::Placeholder) continue;
    ids.push_back(c.id);
    EXPECT_TRUE(c.style & style::kHidden) << c.id;
    EXPECT_EQ(c.w, 8);
    EXPECT_EQ(c.h, 8);
  }
  EXPECT_EQ(ids, (std::vector<int>{1038, 1039, 1040, 1041, 1042, 1044}));
}

TEST(Templates, MainControlsHaveTheirTextsAndPlaces) {
  struct Case {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, w, h;
  };
  const Case cases[] = {
      {1003, ControlKind::Edit, "", 83, 94, 87, 14},
      {1009, ControlKind::RadioButton, "Connect using Windows authentication", 256, 110, 139, 10},
      {1010, ControlKind::RadioButton, "Connect using SQL Server authentication", 256, 121, 144,
       10},
      {1011, ControlKind::ComboBox, "", 26, 107, 121, 67},
      {1015, ControlKind::ListBox, "", 244, 85, 154, 86},
      {1017, ControlKind::CheckBox, "Select All Table", 244, 174, 65, 10},
      {kFullSpeedCheck, ControlKind::CheckBox, "Copy at full speed (no pause between rows)", 26,
       171, 155, 10},
      {1048, ControlKind::PushButton, "Stop", 377, 225, 30, 14},
      {1019, ControlKind::GroupBox, "MS SQL", 234, 72, 176, 116},
      {1020, ControlKind::GroupBox, "MySQL", 9, 72, 176, 116},
      {1024, ControlKind::Label, "MySQL Server", 23, 96, 47, 8},
      {1021, ControlKind::Label, "MS SQL Server", 249, 90, 50, 8},
      {1029, ControlKind::Label, "Select MySQL Database name:", 26, 92, 100, 8},
      {1013, ControlKind::ProgressBar, "", 71, 225, 299, 14},
      {1030, ControlKind::Label, "Enter MS SQL Database name:", 26, 135, 100, 8},
      {1027, ControlKind::GroupBox, "Select source and destination database name:", 9, 72, 176,
       116},
      {1028, ControlKind::GroupBox, "Select MySQL tables to convert into MS SQL format", 234, 72,
       176, 116},
      {1037, ControlKind::Label, "Converting Table:", 71, 215, 207, 8},
      {1049, ControlKind::GroupBox, "", 376, 220, 34, 21},
  };
  for (const Case& c : cases) {
    const ControlTemplate* control = FindControl(MainTemplate(), c.id);
    ASSERT_NE(control, nullptr) << c.id;
    EXPECT_EQ(control->kind, c.kind) << c.id;
    EXPECT_STREQ(control->text, c.text) << c.id;
    EXPECT_EQ((PixelRect{control->x, control->y, control->w, control->h}),
              (PixelRect{c.x, c.y, c.w, c.h}))
        << c.id;
  }
}

TEST(Templates, PageOneIsWhatOpensAndTheSqlServerLoginStartsDisabled) {
  const std::vector<int> pageOne = {1003, 1004, 1005, 1000, 1009, 1010, 1001, 1002,
                                    1019, 1020, 1024, 1025, 1026, 1021, 1022, 1023};
  for (const ControlTemplate& c : MainTemplate().controls) {
    if (c.id == kNoId) {
      EXPECT_FALSE(c.style & style::kHidden) << "pictures are always shown";
      continue;
    }
    const bool onPageOne = std::find(pageOne.begin(), pageOne.end(), c.id) != pageOne.end();
    EXPECT_EQ(!(c.style & style::kHidden), onPageOne) << c.id;
    EXPECT_EQ(bool(c.style & style::kDisabled), c.id == 1001 || c.id == 1002) << c.id;
  }
}

TEST(Templates, AboutBoxHoldsTitleVersionMakerAndLinks) {
  const DialogTemplate& about = AboutTemplate();
  EXPECT_EQ(about.id, 100);
  EXPECT_STREQ(about.title, "About Quilbrook Database Converter - MySQL to MS SQL");
  EXPECT_EQ(DialogToPixelsX(about.w), 411);
  EXPECT_EQ(DialogToPixelsY(about.h), 153);
  EXPECT_EQ(Ids(about, true), (std::vector<int>{kNoId, 1031, 1032, 1, 1033, 1034, 1035, 1036}));

  struct Case {
    int id;
    std::string text;
  };
  const Case cases[] = {
      {1031, std::string(kProductTitle) + " " + kProductVersion},
      {1032, kMakerName},
      {1, "OK"},
      {1033, ""},
      {1034, "Email:"},
      {1035, std::string(" ") + kMakerContact},
      {1036, kProductWebAddress},
  };
  for (const Case& c : cases) {
    const ControlTemplate* control = FindControl(about, c.id);
    ASSERT_NE(control, nullptr) << c.id;
    EXPECT_EQ(control->text, c.text) << c.id;
  }
  EXPECT_EQ(FindControl(about, 1035)->kind, ControlKind::LinkLabel);
  EXPECT_EQ(FindControl(about, 1036)->kind, ControlKind::LinkLabel);
  EXPECT_TRUE(FindControl(about, 1)->style & style::kDefault);
  EXPECT_EQ(std::string(kProductWebPage), std::string("https://") + kProductWebAddress);
}

// In pixels, as the window places them: a picture at its bitmap's size (its template gives
// none), the combo box both closed and with its list dropped down (the template's height).
TEST(Templates, EveryControlLiesInsideItsDialog) {
  for (const DialogTemplate* dialog : {&MainTemplate(), &AboutTemplate()}) {
    const wxRect client(0, 0, DialogToPixelsX(dialog->w), DialogToPixelsY(dialog->h));
    for (const ControlTemplate& c : dialog->controls) {
      SCOPED_TRACE(testing::Message() << dialog->id << " " << c.id << " " << c.text);
      const PixelRect r = DialogToPixels(c);
      std::vector<wxRect> shapes;
      if (c.kind == ControlKind::Picture) {
        const wxImage picture = LoadPicture(c.bitmap);
        ASSERT_TRUE(picture.IsOk()) << c.bitmap;
        shapes.emplace_back(r.x, r.y, picture.GetWidth(), picture.GetHeight());
      } else if (c.kind == ControlKind::ComboBox) {
        shapes.emplace_back(r.x, r.y, r.w, DialogToPixelsY(kComboBoxHeightUnits));
        shapes.emplace_back(r.x, r.y, r.w, r.h);
      } else {
        shapes.emplace_back(r.x, r.y, r.w, r.h);
      }
      for (const wxRect& shape : shapes) {
        EXPECT_GT(shape.width, 0);
        EXPECT_GT(shape.height, 0);
        EXPECT_TRUE(client.Contains(shape))
            << shape.x << "," << shape.y << " " << shape.width << "x" << shape.height;
      }
    }
  }
}

}  // namespace
}  // namespace morvane::ui
