#include "ui/Resources.h"

#include <wx/mstream.h>

namespace morvane::ui {

// Defined in the source that the build generates from res/*.png.
extern const EmbeddedPicture kEmbeddedPictureTable[];
extern const std::size_t kEmbeddedPictureCount;

std::span<const EmbeddedPicture> EmbeddedPictures() {
  return {kEmbeddedPictureTable, kEmbeddedPictureCount};
}

wxImage LoadPicture(int id) {
  for (const EmbeddedPicture& picture : EmbeddedPictures()) {
    if (picture.id != id) continue;
    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) {
      wxImage::AddHandler(new wxPNGHandler);
    }
    wxMemoryInputStream stream(picture.data, picture.size);
    wxImage image;
    image.LoadFile(stream, wxBITMAP_TYPE_PNG);
    return image;
  }
  return {};
}

wxBitmap LoadBitmapResource(int id) {
  const wxImage image = LoadPicture(id);
  return image.IsOk() ? wxBitmap(image) : wxBitmap();
}

wxIcon LoadIconResource(int id) {
  wxIcon icon;
  const wxBitmap bitmap = LoadBitmapResource(id);
  if (bitmap.IsOk()) icon.CopyFromBitmap(bitmap);
  return icon;
}

wxCursor LoadLinkCursor() {
  wxImage image = LoadPicture(kLinkCursor);
  if (!image.IsOk()) return wxCursor(wxCURSOR_HAND);
  image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_X, kLinkCursorHotX);
  image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_Y, kLinkCursorHotY);
  return wxCursor(image);
}

}  // namespace morvane::ui
