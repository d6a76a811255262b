// The gradient arithmetic and the colour and image-button tables.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Templates.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

TEST(Gradient, RowColoursFollowTheIntegerArithmetic) {
  struct Case {
    Rgb top, bottom;
    int y, height;
    Rgb expected;
  };
  const Case cases[] = {
      {kMainGradientTop, kMainGradientBottom, 0, 492, {244, 250, 255}},
      {kMainGradientTop, kMainGradientBottom, 491, 492, {235, 241, 246}},  // bottom not reached
      {kMainGradientTop, kMainGradientBottom, 246, 492, {239, 245, 250}},
      {kMainGradientTop, kMainGradientBottom, 50, 492, {243, 249, 254}},   // -500/492 -> -1
      {kMainGradientTop, kMainGradientBottom, 49, 492, {244, 250, 255}},   // -490/492 -> 0
      {kAboutGradientTop, kAboutGradientBottom, 0, 153, {255, 255, 255}},
      {kAboutGradientTop, kAboutGradientBottom, 152, 153, {241, 241, 241}},
      // Negative quotients are truncated toward zero: 10 + (-10 / 3) is 7, not 6.
      {{10, 10, 10}, {0, 0, 0}, 1, 3, {7, 7, 7}},
      {{0, 0, 0}, {255, 255, 255}, 1, 3, {85, 85, 85}},
      {{255, 0, 0}, {0, 0, 255}, 2, 3, {85, 0, 170}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GradientRow(c.top, c.bottom, c.y, c.height), c.expected)
        << "row " << c.y << " of " << c.height;
  }
}

TEST(ControlColours, TableRowsAndUntintedControls) {
  struct Case {
    bool main;
    int id;
    Rgb background;
    std::optional<Rgb> text;
  };
  const Case cases[] = {
      {true, 1019, {240, 246, 251}, {}},  {true, 1029, {240, 246, 251}, {}},
      {true, 1009, {240, 246, 251}, {}},  {true, 1022, {238, 244, 249}, {}},
      {true, 1017, {238, 244, 249}, {}},  {true, 1030, {238, 244, 249}, {}},
      {true, kFullSpeedCheck, {238, 244, 249}, {}},
      {true, 1037, {236, 242, 247}, {}},  {true, 1048, {236, 242, 247}, Rgb{255, 0, 0}},
      {false, 1031, {252, 252, 252}, {}}, {false, 1032, {248, 248, 248}, {}},
      {false, 1033, {244, 244, 244}, {}}, {false, 1034, {244, 244, 244}, {}},
      {false, 1035, {244, 244, 244}, Rgb{0, 0, 255}},
      {false, 1036, {244, 244, 244}, Rgb{0, 0, 255}},
  };
  for (const Case& c : cases) {
    const ControlColour* row =
        FindControlColour(c.main ? MainControlColours() : AboutControlColours(), c.id);
    ASSERT_NE(row, nullptr) << c.id;
    EXPECT_EQ(row->background, c.background) << c.id;
    EXPECT_EQ(row->text, c.text) << c.id;
  }
  EXPECT_EQ(MainControlColours().size(), 18u);
  EXPECT_EQ(AboutControlColours().size(), 6u);
  for (int untinted : {1003, 1004, 1005, 1000, 1001, 1002, 1007, 1011, 1015, 1013, 1049}) {
    EXPECT_EQ(FindControlColour(MainControlColours(), untinted), nullptr) << untinted;
  }
  EXPECT_EQ(FindControlColour(AboutControlColours(), 1), nullptr);
}

TEST(ImageButtons, CreationOrderPlacesAndImages) {
  struct Expected {
    int id, x, y, normal, pressed;
  };
  const std::vector<Expected> expected = {
      {1038, 20, 13, 135, 136},  {1040, 460, 416, 140, 139}, {1042, 380, 416, 145, 144},
      {1041, 540, 416, 142, 141}, {1039, 460, 416, 138, 137}, {1044, 460, 416, 152, 152},
  };
  const auto specs = ImageButtonSpecs();
  ASSERT_EQ(specs.size(), expected.size());
  for (std::size_t i = 0; i < specs.size(); ++i) {
    EXPECT_EQ(specs[i].id, expected[i].id) << i;
    EXPECT_EQ(specs[i].x, expected[i].x) << i;
    EXPECT_EQ(specs[i].y, expected[i].y) << i;
    EXPECT_EQ(specs[i].normal, expected[i].normal) << i;
    EXPECT_EQ(specs[i].pressed, expected[i].pressed) << i;
  }
}

}  // namespace
}  // namespace morvane::ui
