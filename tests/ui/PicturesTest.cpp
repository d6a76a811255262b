// The pictures compiled into the program: every bitmap, icon and cursor at its size and
// colour depth.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "tests/ui/UiTestSupport.h"
#include "ui/Resources.h"
#include "ui/WindowLook.h"

namespace morvane::ui {
namespace {

std::size_t CountColours(const wxImage& image) {
  std::set<unsigned long> colours;
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x) {
      if (image.HasAlpha() && image.GetAlpha(x, y) == 0) continue;
      colours.insert(wxImageHistogram::MakeKey(image.GetRed(x, y), image.GetGreen(x, y),
                                               image.GetBlue(x, y)));
    }
  return colours.size();
}

struct PictureCase {
  int id;
  int w, h;
  std::size_t maxColours;
  bool transparent;  // has transparent pixels
};

const PictureCase kPictures[] = {
    {130, 97, 92, 256, false},  {134, 627, 93, 256, false}, {135, 71, 71, 256, false},
    {136, 71, 71, 256, false},  {137, 67, 58, 256, false},  {138, 67, 58, 256, false},
    {139, 67, 58, 256, false},  {140, 67, 58, 256, false},  {141, 67, 58, 256, false},
    {142, 67, 58, 256, false},  {144, 67, 58, 256, false},  {145, 67, 58, 256, false},
    {148, 73, 156, 256, false}, {152, 67, 58, 256, false},  {128, 48, 48, 1u << 24, true},
    {149, 32, 32, 16, true},    {131, 32, 32, 16, true},
};

TEST(Pictures, EveryPictureHasItsSizeAndColourDepth) {
  EXPECT_EQ(EmbeddedPictures().size(), std::size(kPictures));
  for (const PictureCase& c : kPictures) {
    const wxImage image = LoadPicture(c.id);
    ASSERT_TRUE(image.IsOk()) << c.id;
    EXPECT_EQ(image.GetWidth(), c.w) << c.id;
    EXPECT_EQ(image.GetHeight(), c.h) << c.id;
    EXPECT_LE(CountColours(image), c.maxColours) << c.id;
    EXPECT_GT(CountColours(image), 2u) << c.id << " is a picture, not a blank";
    EXPECT_EQ(image.HasAlpha() || image.HasMask(), c.transparent) << c.id;
  }
  EXPECT_FALSE(LoadPicture(999).IsOk());
}

TEST(Pictures, PressedImagesDifferFromNormalOnesAndBusyIsDarkerConvert) {
  const std::pair<int, int> pairs[] = {{135, 136}, {138, 137}, {140, 139}, {142, 141}, {145, 144}};
  for (const auto& [normal, pressed] : pairs) {
    const wxImage a = LoadPicture(normal);
    const wxImage b = LoadPicture(pressed);
    EXPECT_FALSE(test::BlockEquals(a, 0, 0, b)) << normal << " and " << pressed;
  }
  // The busy image is the Convert picture, slightly darker, pixel for pixel.
  const wxImage convert = LoadPicture(140);
  const wxImage busy = LoadPicture(152);
  long darker = 0, lighter = 0;
  for (int y = 0; y < convert.GetHeight(); ++y)
    for (int x = 0; x < convert.GetWidth(); ++x) {
      const int a = convert.GetRed(x, y) + convert.GetGreen(x, y) + convert.GetBlue(x, y);
      const int b = busy.GetRed(x, y) + busy.GetGreen(x, y) + busy.GetBlue(x, y);
      if (b < a) ++darker;
      if (b > a + 12) ++lighter;
    }
  EXPECT_GT(darker, convert.GetWidth() * convert.GetHeight() * 9 / 10);
  EXPECT_EQ(lighter, 0);
}


// Whether row y of image is one colour from x0 to x1 (nothing drawn across it).
bool RowIsPlain(const wxImage& image, int y, int x0, int x1) {
  for (int x = x0 + 1; x <= x1; ++x) {
    if (!(test::PixelAt(image, x, y) == test::PixelAt(image, x0, y))) return false;
  }
  return true;
}

TEST(Pictures, TheIconsCylinderStandsOnItsBaseInsideTheImage) {
  const wxImage icon = LoadPicture(kAppIcon);
  ASSERT_TRUE(icon.HasAlpha());
  for (int y : {46, 47}) {
    for (int x = 0; x < 48; ++x) EXPECT_EQ(icon.GetAlpha(x, y), 0) << x << "," << y;
  }
  // The cylinder's middle column reaches down to its base a few rows above the edge.
  int lowest = -1;
  for (int y = 0; y < 48; ++y) {
    if (icon.GetAlpha(12, y) > 0) lowest = y;
  }
  EXPECT_GE(lowest, 40);
  EXPECT_LE(lowest, 45);
}

// The Convert pictures (normal, pressed, busy): the cylinders stand clear of the caption, the
// arrow clear of the tile's top border and of the cylinders' lids.
TEST(Pictures, ConvertPicturesKeepTheirPartsApart) {
  for (int id : {140, 139, 152}) {
    SCOPED_TRACE(id);
    const wxImage image = LoadPicture(id);
    // Rows between the picture and the caption (which starts at row 41), and the rows just
    // inside the tile's top border, hold nothing but the tile.
    for (int y : {38, 39, 40}) EXPECT_TRUE(RowIsPlain(image, y, 4, 62)) << "row " << y;
    for (int y : {1, 2}) EXPECT_TRUE(RowIsPlain(image, y, 9, 57)) << "row " << y;
    // The green arrow lies wholly above the yellow lids.
    int arrowBottom = -1, lidTop = 99;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 67; ++x) {
        const Rgb p = test::PixelAt(image, x, y);
        if (p.g > p.r + 40 && p.g > p.b + 40) arrowBottom = std::max(arrowBottom, y);
        if (p.r > 150 && p.g > 110 && p.b + 80 < p.g) lidTop = std::min(lidTop, y);
      }
    EXPECT_GE(arrowBottom, 0) << "no arrow";
    EXPECT_LT(arrowBottom, lidTop);
  }
}

// The busy image lies where Convert does: outside its rounded tile it is the window's
// gradient, not darkened with the tile.
TEST(Pictures, TheBusyImagesCornersAreTheWindowsGradient) {
  const wxImage busy = LoadPicture(152);
  const wxImage convert = LoadPicture(140);
  for (const auto& [x, y] : {std::pair{0, 0}, {1, 0}, {0, 1}, {66, 0}, {65, 0}, {66, 1},
                             {0, 57}, {1, 57}, {0, 56}, {66, 57}, {65, 57}, {66, 56}}) {
    const Rgb window = GradientRow(kMainGradientTop, kMainGradientBottom, 416 + y, 492);
    EXPECT_EQ(test::PixelAt(busy, x, y), window) << x << "," << y;
    EXPECT_EQ(test::PixelAt(convert, x, y), window) << x << "," << y;
  }
}

// The About logo lies on the About box's gradient (from client row 24), not on a white box.
TEST(Pictures, TheAboutLogoLiesOnTheAboutBoxsGradient) {
  const wxImage logo = LoadPicture(kAboutLogo);
  for (const auto& [x, y] : {std::pair{0, 0}, {96, 0}, {0, 91}, {96, 91}, {0, 45}, {96, 45},
                             {6, 6}, {90, 85}}) {
    EXPECT_EQ(test::PixelAt(logo, x, y),
              GradientRow(kAboutGradientTop, kAboutGradientBottom, 24 + y, 153))
        << x << "," << y;
  }
}

TEST(Pictures, BannerContinuesTheWindowGradient) {
  const wxImage banner = LoadPicture(kBanner);
  for (int x = 0; x < banner.GetWidth(); ++x) {
    ASSERT_EQ(test::PixelAt(banner, x, 0), kMainGradientTop) << x;
  }
}

TEST(Pictures, LinkCursorIsAHandWithItsHotSpotOnTheFingerTip) {
  const wxImage cursor = LoadPicture(kLinkCursor);
  ASSERT_TRUE(cursor.HasAlpha() || cursor.HasMask());
  auto opaque = [&](int x, int y) {
    return cursor.HasAlpha() ? cursor.GetAlpha(x, y) > 0 : !cursor.IsTransparent(x, y);
  };
  EXPECT_TRUE(opaque(kLinkCursorHotX, kLinkCursorHotY));
  EXPECT_EQ(test::PixelAt(cursor, kLinkCursorHotX, kLinkCursorHotY), (Rgb{255, 255, 255}));
  // Nothing of the hand above the tip, and transparent corners.
  for (int x = 0; x < 32; ++x) EXPECT_FALSE(opaque(x, 0) && (x < 11 || x > 13)) << x;
  EXPECT_FALSE(opaque(0, 0));
  EXPECT_FALSE(opaque(31, 31));
  // A blue cuff at the bottom.
  EXPECT_EQ(test::PixelAt(cursor, 16, 27), (Rgb{0, 0, 255}));
  EXPECT_TRUE(LoadLinkCursor().IsOk());
}

}  // namespace
}  // namespace morvane::ui
