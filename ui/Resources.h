#pragma once
// The program's pictures: bitmaps, icons and the link cursor, compiled into the program from
// the PNG files in res/ (file name <kind>-<id>.png) and looked up by resource id.

#include <cstddef>
#include <span>

#include <wx/bitmap.h>
#include <wx/cursor.h>
#include <wx/icon.h>
#include <wx/image.h>

namespace morvane::ui {

inline constexpr int kAppIcon = 128;       // 48 x 48, 32-bit colour
inline constexpr int kStopIcon = 149;      // 32 x 32, 16 colours
inline constexpr int kLinkCursor = 131;    // 32 x 32, 16 colours
inline constexpr int kLinkCursorHotX = 12; // tip of the index finger
inline constexpr int kLinkCursorHotY = 1;
inline constexpr int kAboutLogo = 130;
inline constexpr int kBanner = 134;
inline constexpr int kArrowPicture = 148;

struct EmbeddedPicture {
  int id;
  const unsigned char* data;
  std::size_t size;
};

// Every picture compiled into the program.
std::span<const EmbeddedPicture> EmbeddedPictures();

// The picture with that id decoded; an invalid image when there is none.
wxImage LoadPicture(int id);
wxBitmap LoadBitmapResource(int id);
wxIcon LoadIconResource(int id);
// The link cursor with its hot spot.
wxCursor LoadLinkCursor();

}  // namespace morvane::ui
