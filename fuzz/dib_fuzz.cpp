// Arbitrary bytes as a copied DIB (CF_DIB or CF_DIBV5): every layout read (BI_RGB and bit
// fields, colour tables, rows bottom-up or top-down, V4 and V5 headers, a V5 header's colour
// profile) never reads outside the block; the header alone says whether the pixels read; a
// picture read is within the bounds and comes back the same from the CF_DIBV5 made of it.
#include <cstdint>
#include <cstdlib>

#include "clipboard/image_formats.h"
#include "platform/images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> dib(data, size);
  int width = 0, height = 0;
  const bool sized = clipboard::DibSize(dib, width, height);
  platform::Picture picture;
  const bool read = clipboard::DibToPicture(dib, picture);
  if (sized != read) std::abort();
  if (!read) {
    if (picture.width != 0 || !picture.pixels.empty()) std::abort();
    return 0;
  }
  if (picture.width != width || picture.height != height || width <= 0 || height <= 0 ||
      std::uint64_t{static_cast<std::uint32_t>(width)} * static_cast<std::uint32_t>(height) * 4 >
          platform::MostPictureBytes ||
      picture.pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
    std::abort();
  // The packed DIB cannot be smaller than its rows.
  if (size < 40 + (static_cast<std::size_t>(width) + 31) / 32 * 4 * static_cast<std::size_t>(height))
    std::abort();
  const platform::Bytes v5 = clipboard::PictureToDibV5(picture);
  platform::Picture back;
  if (!clipboard::DibToPicture(v5, back) || !(back == picture)) std::abort();
  return 0;
}
