#include "clipboard/image_checks.h"

#include <array>
#include <cstring>

#include "platform/images.h"

namespace clipboard {

namespace {

constexpr std::array<std::uint32_t, 256> CrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> Crcs = CrcTable();

constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Deflate's densest code: a 258-byte match in 2 bits.
constexpr std::uint64_t MostInflation = 1032;

std::uint32_t Big32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

bool Is(const std::uint8_t* type, const char (&name)[5]) { return std::memcmp(type, name, 4) == 0; }

// Bits per pixel of an existing bit depth and colour type; 0 for any other.
unsigned BitsPerPixel(unsigned depth, unsigned colourType) {
  const bool low = depth == 1 || depth == 2 || depth == 4;
  switch (colourType) {
    case 0:  // grey
      return low || depth == 8 || depth == 16 ? depth : 0;
    case 2:  // RGB
      return depth == 8 || depth == 16 ? depth * 3 : 0;
    case 3:  // palette
      return low || depth == 8 ? depth : 0;
    case 4:  // grey and alpha
      return depth == 8 || depth == 16 ? depth * 2 : 0;
    case 6:  // RGBA
      return depth == 8 || depth == 16 ? depth * 4 : 0;
    default:
      return 0;
  }
}

}  // namespace

std::uint32_t PngCrc(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
  crc = ~crc;
  for (std::uint8_t byte : bytes) crc = Crcs[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
  return ~crc;
}

bool ReadPngLayout(std::span<const std::uint8_t> png, PngLayout& layout, bool checkCrcs) {
  layout = {};
  if (png.size() < 8 || std::memcmp(png.data(), Signature, 8) != 0) return false;
  unsigned bits = 0;
  bool palette = false, paletteSeen = false;
  std::size_t at = 8;
  for (bool first = true;; first = false) {
    if (png.size() - at < 12) return false;
    const std::uint32_t size = Big32(png.data() + at);
    if (size > 0x7FFFFFFFu || png.size() - at - 12 < size) return false;
    const std::uint8_t* type = png.data() + at + 4;
    const std::uint8_t* data = type + 4;
    if (checkCrcs && PngCrc({type, std::size_t{size} + 4}) != Big32(data + size)) return false;
    if (first != Is(type, "IHDR")) return false;  // the header comes first, and once
    if (first) {
      if (size != 13) return false;
      layout.width = Big32(data);
      layout.height = Big32(data + 4);
      bits = BitsPerPixel(data[8], data[9]);
      palette = data[9] == 3;
      if (layout.width == 0 || layout.height == 0 || layout.width > 0x7FFFFFFFu ||
          layout.height > 0x7FFFFFFFu || bits == 0 || data[10] != 0 || data[11] != 0 || data[12] > 1)
        return false;
    } else if (Is(type, "PLTE")) {
      if (size == 0 || size % 3 != 0 || size > 768 || layout.dataBytes != 0) return false;
      paletteSeen = true;
    } else if (Is(type, "IDAT")) {
      if (palette && !paletteSeen) return false;
      layout.dataBytes += size;
    } else if (Is(type, "IEND")) {
      if (size != 0 || layout.dataBytes == 0) return false;
      layout.length = at + 12;
      break;
    }
    at += 12 + std::size_t{size};
  }
  // Every pixel's bits are in the data, at most MostInflation bytes for each compressed one
  // (the filter bytes of the rows left out, which an interlaced image has more of).
  const std::uint64_t rowBytes = (std::uint64_t{layout.width} * bits + 7) / 8;
  const std::uint64_t most = layout.dataBytes * MostInflation;
  return layout.height <= most / rowBytes;
}

ImageCheck CheckPng(std::span<const std::uint8_t> png) {
  PngLayout layout;
  if (!ReadPngLayout(png, layout, true)) return ImageCheck::Bad;
  return platform::DecodeFits(layout.width, layout.height, layout.length) ? ImageCheck::Decodable
                                                                          : ImageCheck::Undecoded;
}

}  // namespace clipboard
