// Arbitrary sizes of a picture and of a thumbnail's box: the size a thumbnail is read at fits
// the box, is never larger than the picture, keeps its shape to within a pixel, and has both
// sides at least one pixel; the picture made smaller in memory has that size; the grey mark in
// place of a picture fits the box too.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "clipboard/image_formats.h"
#include "history/thumbnails.h"
#include "platform/images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 16) return 0;
  std::int32_t raw[4];
  std::memcpy(raw, data, 16);
  const std::int64_t width = raw[0], height = raw[1];
  const int boxWidth = raw[2], boxHeight = raw[3];
  const platform::FittedSize fitted = platform::FitSize(width, height, boxWidth, boxHeight);
  if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) {
    if (fitted.width != 0 || fitted.height != 0) std::abort();
    return 0;
  }
  if (fitted.width < 1 || fitted.height < 1 || fitted.width > width || fitted.height > height) std::abort();
  if (width <= boxWidth && height <= boxHeight) {
    if (fitted.width != width || fitted.height != height) std::abort();
  } else {
    // The side that limits fills its box; the other keeps the shape, rounded down (or 1).
    if (fitted.width > boxWidth || fitted.height > boxHeight) std::abort();
    if (fitted.width != boxWidth && fitted.height != boxHeight) std::abort();
    const std::uint64_t w = static_cast<std::uint64_t>(width), h = static_cast<std::uint64_t>(height);
    const std::uint64_t fw = static_cast<std::uint64_t>(fitted.width),
                        fh = static_cast<std::uint64_t>(fitted.height);
    // fw / fh against w / h: within a pixel on the side that was rounded.
    const unsigned __int128 left = static_cast<unsigned __int128>(fw) * h,
                            right = static_cast<unsigned __int128>(fh) * w;
    const unsigned __int128 diff = left > right ? left - right : right - left;
    if (diff > static_cast<unsigned __int128>(std::max(w, h))) std::abort();
  }
  // In memory, for pictures small enough to make here.
  const int smallWidth = 1 + raw[0] % 64, smallHeight = 1 + raw[1] % 64;
  if (smallWidth > 0 && smallHeight > 0) {
    platform::Picture picture;
    picture.width = smallWidth;
    picture.height = smallHeight;
    picture.pixels.assign(static_cast<std::size_t>(smallWidth) * smallHeight * 4, 0x7F);
    const int box = 1 + (raw[2] & 63), boxH = 1 + (raw[3] & 63);
    const platform::Picture small = clipboard::FitPicture(picture, box, boxH);
    const platform::FittedSize expect = platform::FitSize(smallWidth, smallHeight, box, boxH);
    if (small.width != expect.width || small.height != expect.height ||
        small.pixels.size() != static_cast<std::size_t>(small.width) * small.height * 4)
      std::abort();
    const platform::Picture mark = history::NeutralMark(box, boxH);
    if (mark.width > box || mark.height > boxH || mark.width < 1 ||
        mark.pixels.size() != static_cast<std::size_t>(mark.width) * mark.height * 4)
      std::abort();
  }
  return 0;
}
