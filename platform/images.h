// Pictures, and their PNG coding by the Windows Imaging Component (WIC).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "platform/crypto.h"

namespace platform {

// Pixels as 8-bit blue, green, red and alpha (not premultiplied), the top row first, rows
// without padding.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 4 bytes
  bool operator==(const Picture&) const = default;
};

// The most bytes a picture may take at full size: 8192 x 8192 pixels of 4 bytes.
constexpr std::uint64_t MostPictureBytes = std::uint64_t{1} << 28;

// Whether a PNG of `pngBytes` bytes whose header gives `width` by `height` may be decoded. The
// coder holds the whole picture while it decodes (Wine's does even to make a thumbnail), and a
// re-copy holds it twice (the picture and its DIB, then the DIB and the clipboard's copy) beside
// the PNG twice, so the picture must stay within MostPictureBytes and within 32 MB and its
// file's size: then no image whose PNG is at most 64 MB costs more than 64 MB and four times
// its file. A small file that unpacks to hundreds of megabytes is kept as it is, never decoded.
constexpr bool DecodeFits(std::uint64_t width, std::uint64_t height, std::uint64_t pngBytes) {
  if (width == 0 || height == 0 || width > MostPictureBytes || height > MostPictureBytes) return false;
  const std::uint64_t bytes = width * height * 4;
  return bytes <= MostPictureBytes && bytes <= (std::uint64_t{32} << 20) + pngBytes;
}

// The width and height in a PNG's header, read from where a PNG file holds them (no check of
// the rest); false when the bytes do not start as a PNG does.
inline bool PngHeaderSize(std::span<const std::uint8_t> png, std::uint32_t& width, std::uint32_t& height) {
  static constexpr std::uint8_t Start[16] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                             0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  if (png.size() < 24 || std::memcmp(png.data(), Start, 16) != 0) return false;
  auto big32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(png[at]) << 24 | static_cast<std::uint32_t>(png[at + 1]) << 16 |
           static_cast<std::uint32_t>(png[at + 2]) << 8 | png[at + 3];
  };
  width = big32(16);
  height = big32(20);
  return true;
}

// Whether the PNG may be decoded at all, by its header and size (DecodeFits).
inline bool PngDecodeFits(std::span<const std::uint8_t> png) {
  std::uint32_t width = 0, height = 0;
  return PngHeaderSize(png, width, height) && DecodeFits(width, height, png.size());
}

// The size of a picture of `width` by `height` made smaller, keeping its shape, to fit within
// `boxWidth` by `boxHeight`; each side at least 1. A picture that fits already keeps its size;
// a box or picture without area gives 0 by 0.
struct FittedSize {
  int width = 0;
  int height = 0;
};
constexpr FittedSize FitSize(std::int64_t width, std::int64_t height, int boxWidth, int boxHeight) {
  if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) return {};
  if (width <= boxWidth && height <= boxHeight) return {static_cast<int>(width), static_cast<int>(height)};
  // The side that limits is the one whose box is the smaller share of it: compare
  // boxWidth / width with boxHeight / height without dividing.
  const bool byWidth = static_cast<std::uint64_t>(boxWidth) * static_cast<std::uint64_t>(height) <=
                       static_cast<std::uint64_t>(boxHeight) * static_cast<std::uint64_t>(width);
  FittedSize fitted;
  if (byWidth) {
    fitted.width = boxWidth;
    fitted.height =
        static_cast<int>(static_cast<std::uint64_t>(height) * static_cast<std::uint64_t>(boxWidth) /
                         static_cast<std::uint64_t>(width));
  } else {
    fitted.height = boxHeight;
    fitted.width =
        static_cast<int>(static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(boxHeight) /
                         static_cast<std::uint64_t>(height));
  }
  fitted.width = std::max(1, fitted.width);
  fitted.height = std::max(1, fitted.height);
  return fitted;
}

// The calls may run on any thread, several at once: they touch nothing but their arguments.
// Neither decodes a PNG that PngDecodeFits refuses.
class IImages {
 public:
  virtual ~IImages() = default;
  // A PNG that keeps every pixel, alpha included; false when the coder fails.
  virtual bool EncodePng(const Picture& picture, Bytes& png) = 0;
  // False for bytes that are not a PNG it can read.
  virtual bool DecodePng(std::span<const std::uint8_t> png, Picture& picture) = 0;
  // The picture made smaller as it is read, to the size FitSize gives for the box, without
  // holding it at full size where the coder can avoid it; every row is read, so a PNG that
  // does not decode whole fails here too.
  virtual bool DecodePngFitting(std::span<const std::uint8_t> png, int boxWidth, int boxHeight,
                                Picture& picture) = 0;
};

}  // namespace platform
