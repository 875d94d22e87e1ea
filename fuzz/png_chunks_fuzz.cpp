// Arbitrary bytes as a copied PNG: the chunk walk never reads outside the bytes, and what it
// takes is a PNG whose header and data agree. The length it trims a clipboard block to is a
// file that reads back the same, whatever followed it; with the CRCs checked it takes no more
// than without them; and only a picture within the bounds is ever let through to be decoded.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "clipboard/image_checks.h"
#include "clipboard/image_formats.h"
#include "platform/images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  clipboard::PngLayout checked, loose;
  const bool withCrcs = clipboard::ReadPngLayout(bytes, checked, true);
  const bool without = clipboard::ReadPngLayout(bytes, loose, false);
  if (withCrcs && (!without || loose.length != checked.length || loose.width != checked.width ||
                   loose.height != checked.height || loose.dataBytes != checked.dataBytes))
    std::abort();
  const std::size_t length = clipboard::PngLength(bytes);
  if (length != (withCrcs ? checked.length : 0)) std::abort();
  const clipboard::ImageCheck check = clipboard::CheckPng(bytes);
  if ((check == clipboard::ImageCheck::Bad) == withCrcs) std::abort();
  if (!withCrcs) return 0;
  if (length < 8 + 25 + 12 + 12 || length > size) std::abort();
  if (checked.width == 0 || checked.height == 0 || checked.width > 0x7FFFFFFFu ||
      checked.height > 0x7FFFFFFFu || checked.dataBytes == 0 || checked.dataBytes > length)
    std::abort();
  // The data holds at least a bit for each 1032 bytes of pixels at one bit each.
  if (std::uint64_t{checked.width} * checked.height / 8 > checked.dataBytes * 1032) std::abort();
  const std::span<const std::uint8_t> trimmed = bytes.first(length);
  if (clipboard::PngLength(trimmed) != length || clipboard::CheckPng(trimmed) != check) std::abort();
  int width = 0, height = 0;
  if (!clipboard::PngSize(bytes, width, height) || static_cast<std::uint32_t>(width) != checked.width ||
      static_cast<std::uint32_t>(height) != checked.height)
    std::abort();
  if (check == clipboard::ImageCheck::Decodable) {
    if (!platform::PngDecodeFits(trimmed) ||
        std::uint64_t{checked.width} * checked.height * 4 > platform::MostPictureBytes)
      std::abort();
  } else if (platform::PngDecodeFits(trimmed)) {
    std::abort();
  }
  // More bytes after the file change nothing of it.
  std::vector<std::uint8_t> longer(data, data + length);
  longer.insert(longer.end(), {0x00, 'I', 'E', 'N', 'D', 0xFF});
  if (clipboard::PngLength(longer) != length) std::abort();
  return 0;
}
