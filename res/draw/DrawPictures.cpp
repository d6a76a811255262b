// Draws every picture of the program into a folder (default: the folder of this program's
// sources' parent, res/): bitmaps, icons and the link cursor, at their sizes and colour depths.
// Run through res/draw-pictures, which builds it and gives it a display.
//
// Usage: morvane_draw_pictures <output folder>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/brush.h>
#include <wx/pen.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/quantize.h>

#include "ui/WindowLook.h"

namespace {

using morvane::ui::GradientRow;
using morvane::ui::kAboutGradientBottom;
using morvane::ui::kAboutGradientTop;
using morvane::ui::kMainGradientBottom;
using morvane::ui::kMainGradientTop;
using morvane::ui::Rgb;

constexpr int kMainClientHeight = 492;
constexpr int kAboutClientHeight = 153;
constexpr int kAboutLogoTop = 24;      // client row of the About box's logo
constexpr int kActionButtonTop = 416;  // client row of the main window's action buttons
constexpr int kTileRadius = 7;         // corner radius of the buttons' rounded tiles
constexpr double kPi = std::numbers::pi;

wxColour Colour(int r, int g, int b, int a = 255) {
  return wxColour(static_cast<unsigned char>(r), static_cast<unsigned char>(g),
                  static_cast<unsigned char>(b), static_cast<unsigned char>(a));
}

wxColour Darker(const wxColour& c, double factor) {
  auto f = [factor](unsigned char v) { return static_cast<int>(std::lround(v * factor)); };
  return Colour(f(c.Red()), f(c.Green()), f(c.Blue()), c.Alpha());
}

// The main window's background colour at a client row, for pictures that lie on it.
wxColour WindowRow(int y) {
  const Rgb c = GradientRow(kMainGradientTop, kMainGradientBottom, y, kMainClientHeight);
  return Colour(c.r, c.g, c.b);
}

// The banner's background at one of its rows: the window's gradient, so that the banner
// continues the window's background.
wxColour BannerRow(int y) { return WindowRow(y); }

wxFont Font(double points, bool bold) {
  wxFontInfo info(points);
  info.FaceName("Liberation Sans");
  if (bold) info.Bold();
  return wxFont(info);
}

using Painter = std::function<void(wxGraphicsContext&)>;

// An image of the given size painted by painter; with alpha, it starts fully transparent.
wxImage Paint(int w, int h, bool alpha, const Painter& painter) {
  wxImage image(w, h);
  if (alpha) {
    image.InitAlpha();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) image.SetAlpha(x, y, 0);
  }
  {
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(image));
    gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    painter(*gc);
  }  // the context writes the picture back into the image when it ends
  return image;
}

void FillRows(wxGraphicsContext& gc, int w, int h, const std::function<wxColour(int)>& row) {
  for (int y = 0; y < h; ++y) {
    gc.SetBrush(wxBrush(row(y)));
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.DrawRectangle(0, y, w, 1);
  }
}

void CentredText(wxGraphicsContext& gc, const wxString& text, const wxFont& font,
                 const wxColour& colour, double centreX, double top) {
  gc.SetFont(font, colour);
  double tw = 0, th = 0;
  gc.GetTextExtent(text, &tw, &th);
  gc.DrawText(text, centreX - tw / 2, top);
}

// A pale rounded tile on the window's background; pressed tiles are darker. rowColour gives
// the colour beneath the tile's corners.
void Tile(wxGraphicsContext& gc, int w, int h, bool pressed,
          const std::function<wxColour(int)>& rowColour) {
  FillRows(gc, w, h, rowColour);
  const wxColour top = pressed ? Colour(214, 226, 240) : Colour(255, 255, 255);
  const wxColour bottom = pressed ? Colour(190, 206, 226) : Colour(222, 233, 246);
  gc.SetBrush(gc.CreateLinearGradientBrush(0, 0, 0, h, top, bottom));
  gc.SetPen(wxPen(pressed ? Colour(112, 140, 176) : Colour(160, 184, 212), 1));
  gc.DrawRoundedRectangle(0.5, 0.5, w - 1.0, h - 1.0, kTileRadius);
}

// The orange chequered sunburst: rings of alternately coloured sectors around a centre.
void Sunburst(wxGraphicsContext& gc, double cx, double cy, double radius, int rings,
              int sectors) {
  const wxColour orange = Colour(246, 132, 24);
  const wxColour light = Colour(255, 204, 120);
  for (int ring = rings; ring >= 1; --ring) {
    const double outer = radius * ring / rings;
    for (int s = 0; s < sectors; ++s) {
      const double a0 = 2 * kPi * s / sectors;
      const double a1 = 2 * kPi * (s + 1) / sectors;
      wxGraphicsPath path = gc.CreatePath();
      path.MoveToPoint(cx, cy);
      path.AddArc(cx, cy, outer, a0, a1, true);
      path.CloseSubpath();
      gc.SetBrush(wxBrush((ring + s) % 2 == 0 ? orange : light));
      gc.SetPen(*wxTRANSPARENT_PEN);
      gc.FillPath(path);
    }
  }
  gc.SetBrush(wxBrush(Colour(255, 240, 200)));
  gc.DrawEllipse(cx - radius * 0.16, cy - radius * 0.16, radius * 0.32, radius * 0.32);
}

// The About box's background colour at a client row (the logo lies from row 24 on).
wxColour AboutRow(int y) {
  const Rgb c = GradientRow(kAboutGradientTop, kAboutGradientBottom, y, kAboutClientHeight);
  return Colour(c.r, c.g, c.b);
}

// Bitmap 130: the round logo on a white disc, on the About box's gradient where it lies.
wxImage RoundLogo() {
  return Paint(97, 92, false, [](wxGraphicsContext& gc) {
    FillRows(gc, 97, 92, [](int y) { return AboutRow(kAboutLogoTop + y); });
    gc.SetBrush(wxBrush(Colour(255, 255, 255)));
    gc.SetPen(wxPen(Colour(246, 132, 24), 2));
    gc.DrawEllipse(3.5, 1.5, 89, 89);
    Sunburst(gc, 48, 46, 40, 4, 16);
  });
}

// Bitmap 134: the banner with the product's title right-aligned.
wxImage Banner() {
  return Paint(627, 93, false, [](wxGraphicsContext& gc) {
    FillRows(gc, 627, 93, BannerRow);  // the window's own gradient rows
    gc.SetPen(wxPen(Colour(200, 218, 236), 1));
    gc.StrokeLine(0, 91.5, 627, 91.5);
    const wxString title = "Quilbrook Database Converter";
    const wxString subtitle = "MySQL to MS SQL";
    double w = 0, h = 0;
    gc.SetFont(Font(20, true), Colour(240, 120, 16));
    gc.GetTextExtent(title, &w, &h);
    gc.DrawText(title, 627 - 24 - w, 14);
    gc.SetFont(Font(15, true), Colour(110, 168, 222));
    gc.GetTextExtent(subtitle, &w, &h);
    gc.DrawText(subtitle, 627 - 24 - w, 50);
  });
}

// Bitmaps 135 and 136: the square sunburst logo on a tile lying on the banner.
wxImage SquareLogo(bool pressed) {
  const double shift = pressed ? 1 : 0;
  return Paint(71, 71, false, [pressed, shift](wxGraphicsContext& gc) {
    Tile(gc, 71, 71, pressed, [](int y) { return BannerRow(13 + y); });
    gc.Clip(10 + shift, 10 + shift, 51, 51);
    Sunburst(gc, 35.5 + shift, 35.5 + shift, 36, 5, 16);
    gc.ResetClip();
    gc.SetBrush(*wxTRANSPARENT_BRUSH);
    gc.SetPen(wxPen(Colour(206, 104, 10), 1));
    gc.DrawRectangle(10.5 + shift, 10.5 + shift, 50, 50);
  });
}

// The pale tile with a caption shared by the four action buttons; picture draws the symbol
// in the 67 x 40 area above the caption.
wxImage ActionButton(const wxString& caption, bool pressed, const Painter& picture) {
  const double shift = pressed ? 1 : 0;
  return Paint(67, 58, false, [&](wxGraphicsContext& gc) {
    Tile(gc, 67, 58, pressed, [](int y) { return WindowRow(kActionButtonTop + y); });
    gc.PushState();
    gc.Translate(shift, shift);
    picture(gc);
    CentredText(gc, caption, Font(8, true), Colour(40, 56, 84), 33.5, 41);
    gc.PopState();
  });
}

void NextArrow(wxGraphicsContext& gc) {
  wxGraphicsPath arrow = gc.CreatePath();
  arrow.MoveToPoint(16, 15);
  arrow.AddLineToPoint(34, 15);
  arrow.AddLineToPoint(34, 7);
  arrow.AddLineToPoint(51, 21);
  arrow.AddLineToPoint(34, 35);
  arrow.AddLineToPoint(34, 27);
  arrow.AddLineToPoint(16, 27);
  arrow.CloseSubpath();
  gc.SetBrush(gc.CreateLinearGradientBrush(0, 7, 0, 35, Colour(120, 214, 96), Colour(30, 140, 40)));
  gc.SetPen(wxPen(Colour(20, 100, 30), 1));
  gc.DrawPath(arrow);
}

// Adds the lower half of the ellipse around (cx, cy) with radii rx, ry, from its left end to
// its right end (two cubic curves).
void AddLowerHalfEllipse(wxGraphicsPath& path, double cx, double cy, double rx, double ry) {
  constexpr double k = 0.5523;  // control-point distance of a quarter ellipse, per radius
  path.AddCurveToPoint(cx - rx, cy + ry * k, cx - rx * k, cy + ry, cx, cy + ry);
  path.AddCurveToPoint(cx + rx * k, cy + ry, cx + rx, cy + ry * k, cx + rx, cy);
}

// A database cylinder standing in the box (x, y, w, h): an elliptic lid at the top, straight
// sides and a flat elliptic base at the bottom, all inside the box.
void Cylinder(wxGraphicsContext& gc, double x, double y, double w, double h) {
  const double lid = w * 0.32;  // height of the lid's and the base's ellipse
  const double rx = w / 2, ry = lid / 2;
  const double bottom = y + h - ry;  // centre line of the base's ellipse
  gc.SetBrush(gc.CreateLinearGradientBrush(x, 0, x + w, 0, Colour(255, 236, 110),
                                           Colour(214, 160, 10)));
  gc.SetPen(wxPen(Colour(150, 110, 0), 1));
  wxGraphicsPath body = gc.CreatePath();
  body.MoveToPoint(x, y + ry);
  body.AddLineToPoint(x, bottom);
  AddLowerHalfEllipse(body, x + rx, bottom, rx, ry);
  body.AddLineToPoint(x + w, y + ry);
  body.CloseSubpath();
  gc.DrawPath(body);
  // Two rings on the body, as a stack of disks.
  gc.SetPen(wxPen(Colour(190, 140, 0), 1));
  for (double ring : {(y + ry + bottom) / 2 - ry / 2, bottom - (bottom - y - ry) / 4}) {
    wxGraphicsPath line = gc.CreatePath();
    line.MoveToPoint(x, ring);
    AddLowerHalfEllipse(line, x + rx, ring, rx, ry);
    gc.StrokePath(line);
  }
  gc.SetPen(wxPen(Colour(150, 110, 0), 1));
  gc.SetBrush(wxBrush(Colour(255, 246, 170)));
  gc.DrawEllipse(x, y, w, lid);
}

void Gear(wxGraphicsContext& gc, double cx, double cy, double r) {
  wxGraphicsPath gear = gc.CreatePath();
  constexpr int kTeeth = 8;
  for (int i = 0; i < kTeeth * 2; ++i) {
    const double a = 2 * kPi * i / (kTeeth * 2);
    const double radius = i % 2 == 0 ? r : r * 0.72;
    const double half = kPi / (kTeeth * 2) * 0.8;
    const double x0 = cx + radius * std::cos(a - half);
    const double y0 = cy + radius * std::sin(a - half);
    const double x1 = cx + radius * std::cos(a + half);
    const double y1 = cy + radius * std::sin(a + half);
    if (i == 0) {
      gear.MoveToPoint(x0, y0);
    } else {
      gear.AddLineToPoint(x0, y0);
    }
    gear.AddLineToPoint(x1, y1);
  }
  gear.CloseSubpath();
  gear.AddCircle(cx, cy, r * 0.3);
  gc.SetBrush(gc.CreateLinearGradientBrush(cx - r, cy - r, cx + r, cy + r, Colour(214, 218, 226),
                                           Colour(112, 120, 136)));
  gc.SetPen(wxPen(Colour(70, 76, 90), 1));
  gc.DrawPath(gear, wxODDEVEN_RULE);
}

// Two cylinders standing on rows 13 to 36 (the caption starts at row 41), the arrow from the
// left one to the right one above their lids (rows 3 to 12, clear of the tile's border), and
// the gear between them.
void ConvertPicture(wxGraphicsContext& gc) {
  Cylinder(gc, 6.5, 13.5, 18, 22.5);
  Cylinder(gc, 42.5, 13.5, 18, 22.5);
  wxGraphicsPath arrow = gc.CreatePath();
  arrow.MoveToPoint(22, 6);
  arrow.AddLineToPoint(38, 6);
  arrow.AddLineToPoint(38, 3.5);
  arrow.AddLineToPoint(45, 7.5);
  arrow.AddLineToPoint(38, 11.5);
  arrow.AddLineToPoint(38, 9);
  arrow.AddLineToPoint(22, 9);
  arrow.CloseSubpath();
  gc.SetBrush(wxBrush(Colour(40, 150, 60)));
  gc.SetPen(wxPen(Colour(20, 96, 36), 1));
  gc.DrawPath(arrow);
  Gear(gc, 33.5, 27.5, 8);
}

void ExitPicture(wxGraphicsContext& gc) {
  gc.SetBrush(gc.CreateRadialGradientBrush(30, 16, 33.5, 21, 18, Colour(255, 130, 120),
                                           Colour(200, 20, 20)));
  gc.SetPen(wxPen(Colour(130, 10, 10), 1));
  gc.DrawEllipse(17.5, 4.5, 32, 32);
  gc.SetPen(wxPen(Colour(255, 255, 255), 5, wxPENSTYLE_SOLID));
  gc.StrokeLine(26, 13, 41, 28);
  gc.StrokeLine(41, 13, 26, 28);
}

void HelpPicture(wxGraphicsContext& gc) {
  gc.SetBrush(gc.CreateRadialGradientBrush(30, 16, 33.5, 21, 18, Colour(130, 190, 255),
                                           Colour(20, 80, 200)));
  gc.SetPen(wxPen(Colour(10, 50, 140), 1));
  gc.DrawEllipse(17.5, 4.5, 32, 32);
  CentredText(gc, "?", Font(18, true), Colour(255, 255, 255), 33.5, 5);
}

// Bitmap 148: a pale blue arrow pointing right, on the window's background where it lies.
wxImage BigArrow() {
  return Paint(73, 156, false, [](wxGraphicsContext& gc) {
    FillRows(gc, 73, 156, [](int y) { return WindowRow(137 + y); });
    wxGraphicsPath arrow = gc.CreatePath();
    arrow.MoveToPoint(6, 52);
    arrow.AddLineToPoint(36, 52);
    arrow.AddLineToPoint(36, 22);
    arrow.AddLineToPoint(68, 78);
    arrow.AddLineToPoint(36, 134);
    arrow.AddLineToPoint(36, 104);
    arrow.AddLineToPoint(6, 104);
    arrow.CloseSubpath();
    gc.SetBrush(gc.CreateLinearGradientBrush(0, 22, 0, 134, Colour(214, 232, 250),
                                             Colour(160, 198, 236)));
    gc.SetPen(wxPen(Colour(134, 176, 222), 1));
    gc.DrawPath(arrow);
  });
}

// Icon 128: a yellow database cylinder with a gear and a rising green arrow, drawn on a 48 x 48
// grid.
void DrawAppIcon(wxGraphicsContext& gc) {
  // The cylinder's base ends at row 44: the last rows stay transparent.
  Cylinder(gc, 4.5, 8.5, 27, 35);
  Gear(gc, 31, 33, 10.5);
  wxGraphicsPath arrow = gc.CreatePath();
  arrow.MoveToPoint(22, 24);
  arrow.AddLineToPoint(36, 10);
  arrow.AddLineToPoint(32, 6);
  arrow.AddLineToPoint(46, 2);
  arrow.AddLineToPoint(42, 16);
  arrow.AddLineToPoint(38, 12);
  arrow.AddLineToPoint(25, 27);
  arrow.CloseSubpath();
  gc.SetBrush(wxBrush(Colour(50, 170, 60)));
  gc.SetPen(wxPen(Colour(20, 100, 30), 1));
  gc.DrawPath(arrow);
}

wxImage AppIcon() { return Paint(48, 48, true, DrawAppIcon); }

// The same icon at the sizes desktops look for in their icon themes.
wxImage AppIconAt(int size) {
  return Paint(size, size, true, [size](wxGraphicsContext& gc) {
    gc.Scale(size / 48.0, size / 48.0);
    DrawAppIcon(gc);
  });
}

// Icon 149: the word STOP in red capitals.
wxImage StopIcon() {
  return Paint(32, 32, true, [](wxGraphicsContext& gc) {
    CentredText(gc, "STOP", Font(8.5, true), Colour(128, 0, 0), 16.6, 9);
    CentredText(gc, "STOP", Font(8.5, true), Colour(255, 0, 0), 16, 8);
  });
}

// Cursor 131: a white pointing hand with a blue cuff; the tip of the index finger is (12, 1).
wxImage HandCursor() {
  static const char* const kRows[32] = {
      "...........kkk..................", "..........kwwwk.................",
      "..........kwwwk.................", "..........kwwwk.................",
      "..........kwwwk.................", "..........kwwwk.................",
      "..........kwwwk.................", "..........kwwwk.................",
      "..........kwwwkkkk..............", "..........kwwwkwwwkkkk..........",
      "..........kwwwkwwwkwwwkkkk......", "..........kwwwkwwwkwwwkwwwk.....",
      "..........kwwwkwwwkwwwkwwwk.....", "......kkk.kwwwkwwwkwwwkwwwk.....",
      ".....kwwwkkwwwwwwwwwwwwwwwk.....", ".....kwwwwkwwwwwwwwwwwwwwwk.....",
      "......kwwwwwwwwwwwwwwwwwwwk.....", "......kwwwwwwwwwwwwwwwwwwwk.....",
      ".......kwwwwwwwwwwwwwwwwwwk.....", ".......kwwwwwwwwwwwwwwwwwwk.....",
      "........kwwwwwwwwwwwwwwwwwk.....", "........kwwwwwwwwwwwwwwwwk......",
      ".........kwwwwwwwwwwwwwwwk......", ".........kwwwwwwwwwwwwwwwk......",
      ".........kkkkkkkkkkkkkkkkk......", ".........kbbbbbbbbbbbbbbbk......",
      ".........kbdbbbbbbbbbbbbbk......", ".........kbbbbbbbbbbbbbbbk......",
      ".........kbbbbbbbbbbbbbbbk......", ".........kdddddddddddddddk......",
      ".........kkkkkkkkkkkkkkkkk......", "................................",
  };
  wxImage image(32, 32);
  image.InitAlpha();
  for (int y = 0; y < 32; ++y) {
    const std::string row = kRows[y];
    if (row.size() != 32) {
      std::fprintf(stderr, "cursor row %d has %zu pixels\n", y, row.size());
      std::exit(1);
    }
    for (int x = 0; x < 32; ++x) {
      wxColour c;
      switch (row[static_cast<std::size_t>(x)]) {
        case 'k': c = Colour(0, 0, 0); break;
        case 'w': c = Colour(255, 255, 255); break;
        case 'b': c = Colour(0, 0, 255); break;
        case 'd': c = Colour(0, 0, 128); break;
        default: c = Colour(0, 0, 0, 0); break;
      }
      image.SetRGB(x, y, c.Red(), c.Green(), c.Blue());
      image.SetAlpha(x, y, c.Alpha());
    }
  }
  return image;
}

// The picture darkened by factor, except the corners outside its rounded tile, which stay the
// window's gradient that the tile lies on.
wxImage Dimmed(const wxImage& source, double factor) {
  wxImage image = source.Copy();
  const int w = image.GetWidth(), h = image.GetHeight();
  auto outsideTile = [&](int x, int y) {
    const bool cornerX = x < kTileRadius || x >= w - kTileRadius;
    const bool cornerY = y < kTileRadius || y >= h - kTileRadius;
    const wxColour row = WindowRow(kActionButtonTop + y);
    return cornerX && cornerY && image.GetRed(x, y) == row.Red() &&
           image.GetGreen(x, y) == row.Green() && image.GetBlue(x, y) == row.Blue();
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (outsideTile(x, y)) continue;
      const wxColour c = Darker(
          Colour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)), factor);
      image.SetRGB(x, y, c.Red(), c.Green(), c.Blue());
    }
  return image;
}

// Reduces an opaque picture to at most 256 colours and saves it as a palette PNG. The most
// frequent colours (backgrounds, among them the window's gradient rows) stay exact; the rest
// are reduced by the quantizer.
bool SavePalette(const wxImage& source, const wxString& path) {
  constexpr std::size_t kExact = 64;
  wxImageHistogram histogram;
  source.ComputeHistogram(histogram);
  std::vector<std::pair<unsigned long, unsigned long>> byCount;  // count, colour key
  for (const auto& [key, entry] : histogram) byCount.emplace_back(entry.value, key);
  std::sort(byCount.rbegin(), byCount.rend());
  std::set<unsigned long> exact;
  for (std::size_t i = 0; i < byCount.size() && i < kExact; ++i) exact.insert(byCount[i].second);
  // The windows' gradient colours stay exact too, however rare: the corners of a tile and the
  // edges of a picture meet the window's own background there.
  for (int y = 0; y < kMainClientHeight; ++y) {
    const wxColour c = WindowRow(y);
    const unsigned long key = wxImageHistogram::MakeKey(c.Red(), c.Green(), c.Blue());
    if (histogram.find(key) != histogram.end()) exact.insert(key);
  }
  for (int y = 0; y < kAboutClientHeight; ++y) {
    const wxColour c = AboutRow(y);
    const unsigned long key = wxImageHistogram::MakeKey(c.Red(), c.Green(), c.Blue());
    if (histogram.find(key) != histogram.end()) exact.insert(key);
  }

  wxImage reduced = source.Copy();
  if (byCount.size() > 256) {
    if (!wxQuantize::Quantize(source, reduced, static_cast<int>(256 - exact.size()), nullptr,
                              wxQUANTIZE_FILL_DESTINATION_IMAGE)) {
      return false;
    }
    for (int y = 0; y < source.GetHeight(); ++y)
      for (int x = 0; x < source.GetWidth(); ++x) {
        const unsigned char r = source.GetRed(x, y), g = source.GetGreen(x, y),
                            b = source.GetBlue(x, y);
        if (exact.count(wxImageHistogram::MakeKey(r, g, b)) != 0) reduced.SetRGB(x, y, r, g, b);
      }
  }
  reduced.SetOption(wxIMAGE_OPTION_PNG_FORMAT, wxPNG_TYPE_PALETTE);
  return reduced.SaveFile(path, wxBITMAP_TYPE_PNG);
}

// A picture with transparency and at most `colours` colours: alpha made all or nothing, the
// visible pixels reduced, saved as a palette PNG with one transparent entry.
bool SaveMasked(const wxImage& source, const wxString& path, int colours) {
  wxImage opaque = source.Copy();
  opaque.ClearAlpha();
  wxImageHistogram histogram;
  wxImage reduced = opaque;
  if (opaque.ComputeHistogram(histogram) > static_cast<unsigned long>(colours - 1) &&
      !wxQuantize::Quantize(opaque, reduced, colours - 1, nullptr,
                            wxQUANTIZE_FILL_DESTINATION_IMAGE)) {
    return false;
  }
  reduced.InitAlpha();
  for (int y = 0; y < reduced.GetHeight(); ++y)
    for (int x = 0; x < reduced.GetWidth(); ++x)
      reduced.SetAlpha(x, y, source.GetAlpha(x, y) >= 128 ? 255 : 0);
  reduced.SetOption(wxIMAGE_OPTION_PNG_FORMAT, wxPNG_TYPE_PALETTE);
  reduced.SetOption(wxIMAGE_OPTION_PNG_BITDEPTH, 4);
  return reduced.SaveFile(path, wxBITMAP_TYPE_PNG);
}

bool SaveTrueColour(const wxImage& image, const wxString& path) {
  wxImage copy = image.Copy();
  copy.SetOption(wxIMAGE_OPTION_PNG_FORMAT, wxPNG_TYPE_COLOUR);
  return copy.SaveFile(path, wxBITMAP_TYPE_PNG);
}

class DrawApp : public wxApp {
 public:
  bool OnInit() override { return true; }
  int OnRun() override {
    if (argc != 2) {
      std::fprintf(stderr, "usage: morvane_draw_pictures <output folder>\n");
      return 2;
    }
    wxInitAllImageHandlers();
    const wxString out = argv[1];
    auto file = [&out](const std::string& name) { return out + "/" + name; };
    bool ok = true;
    auto bitmap = [&](const char* name, const wxImage& image) {
      ok = SavePalette(image, file(name)) && ok;
    };

    bitmap("bitmap-130.png", RoundLogo());
    bitmap("bitmap-134.png", Banner());
    bitmap("bitmap-135.png", SquareLogo(false));
    bitmap("bitmap-136.png", SquareLogo(true));
    bitmap("bitmap-137.png", ActionButton("Next", true, NextArrow));
    bitmap("bitmap-138.png", ActionButton("Next", false, NextArrow));
    const wxImage convert = ActionButton("Convert", false, ConvertPicture);
    bitmap("bitmap-139.png", ActionButton("Convert", true, ConvertPicture));
    bitmap("bitmap-140.png", convert);
    bitmap("bitmap-141.png", ActionButton("Exit", true, ExitPicture));
    bitmap("bitmap-142.png", ActionButton("Exit", false, ExitPicture));
    bitmap("bitmap-144.png", ActionButton("Help", true, HelpPicture));
    bitmap("bitmap-145.png", ActionButton("Help", false, HelpPicture));
    bitmap("bitmap-148.png", BigArrow());
    bitmap("bitmap-152.png", Dimmed(convert, 0.86));
    ok = SaveTrueColour(AppIcon(), file("icon-128.png")) && ok;
    for (int size : {16, 32, 48, 64, 128, 256}) {
      ok = SaveTrueColour(AppIconAt(size), file("desktop/morvane-" + std::to_string(size) + ".png")) && ok;
    }
    ok = SaveMasked(StopIcon(), file("icon-149.png"), 16) && ok;
    ok = SaveMasked(HandCursor(), file("cursor-131.png"), 16) && ok;
    if (!ok) std::fprintf(stderr, "morvane_draw_pictures: a picture could not be saved\n");
    return ok ? 0 : 1;
  }
};

}  // namespace

wxIMPLEMENT_APP(DrawApp);
