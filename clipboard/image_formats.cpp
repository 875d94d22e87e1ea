#include "clipboard/image_formats.h"

#include <algorithm>
#include <cstring>

#include "clipboard/image_checks.h"

namespace clipboard {

using platform::Bytes;
using platform::Picture;

namespace {

constexpr std::uint32_t BiRgb = 0, BiBitfields = 3, BiAlphaBitfields = 6;
constexpr std::size_t InfoHeader = 40, V4Header = 108, V5Header = 124;
constexpr std::uint64_t MostPixels = platform::MostPictureBytes / 4;
constexpr std::uint32_t ProfileLinked = 0x4C494E4B, ProfileEmbedded = 0x4D424544;  // 'LINK', 'MBED'

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<std::uint8_t>(v >> (8 * k));
}
std::uint32_t Big32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// One channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;
  explicit Channel(std::uint32_t m) : mask(m) {
    if (mask == 0) return;
    while (((mask >> shift) & 1u) == 0) ++shift;
    max = mask >> shift;
  }
  std::uint8_t Of(std::uint32_t pixel) const {
    if (mask == 0) return 0;
    return static_cast<std::uint8_t>((std::uint64_t{(pixel & mask) >> shift} * 255 + max / 2) / max);
  }
};

struct DibHeader {
  std::size_t size = 0;
  std::int64_t width = 0, height = 0;
  unsigned bits = 0;
  std::uint32_t compression = 0;
  std::uint32_t colours = 0;
  std::uint32_t masks[4] = {};  // red, green, blue, alpha
  bool hasAlphaMask = false;
  std::size_t pixelsAt = 0;  // where the rows begin
};

bool ReadHeader(std::span<const std::uint8_t> dib, DibHeader& h) {
  if (dib.size() < InfoHeader) return false;
  const std::uint8_t* p = dib.data();
  h.size = Le32(p);
  if (h.size < InfoHeader || h.size > dib.size()) return false;
  h.width = static_cast<std::int32_t>(Le32(p + 4));
  h.height = static_cast<std::int32_t>(Le32(p + 8));
  h.bits = Le16(p + 14);
  h.compression = Le32(p + 16);
  h.colours = Le32(p + 32);
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) return false;
  const std::uint64_t rows = static_cast<std::uint64_t>(h.height < 0 ? -h.height : h.height);
  if (static_cast<std::uint64_t>(h.width) * rows > MostPixels) return false;
  std::size_t at = h.size;
  const bool fields = h.compression == BiBitfields || h.compression == BiAlphaBitfields;
  if (fields) {
    if (h.bits != 16 && h.bits != 32) return false;
    if (h.size >= V4Header) {
      for (int k = 0; k < 4; ++k) h.masks[k] = Le32(p + 40 + 4 * k);
    } else {
      // After a plain header the masks follow it: three, or four with alpha.
      const int count = h.compression == BiAlphaBitfields ? 4 : 3;
      if (dib.size() - at < 4u * count) return false;
      for (int k = 0; k < count; ++k) h.masks[k] = Le32(p + at + 4 * k);
      at += 4u * count;
    }
  } else if (h.compression != BiRgb) {
    return false;
  } else if (h.bits == 16) {
    h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
  } else if (h.bits == 32) {
    h.masks[0] = 0xFF0000, h.masks[1] = 0xFF00, h.masks[2] = 0xFF;
    if (h.size >= V4Header) h.masks[3] = Le32(p + 52);
  }
  h.hasAlphaMask = h.masks[3] != 0 && (h.size >= V4Header || h.compression == BiAlphaBitfields);
  if (h.bits == 1 || h.bits == 4 || h.bits == 8) {
    const std::uint32_t most = 1u << h.bits;
    if (h.colours == 0 || h.colours > most) h.colours = most;
    if ((dib.size() - at) / 4 < h.colours) return false;
    at += 4u * h.colours;
  } else if (h.bits != 16 && h.bits != 24 && h.bits != 32) {
    return false;
  } else if (h.bits == 24 || !fields) {
    // A colour table may still come (an optimisation hint), counted by biClrUsed.
    if (h.colours > 256 || (dib.size() - at) / 4 < h.colours) return false;
    at += 4u * h.colours;
  }
  h.pixelsAt = at;
  // Every row within the block.
  const std::size_t stride = ((static_cast<std::size_t>(h.width) * h.bits + 31) / 32) * 4;
  if ((dib.size() - at) / stride < rows) return false;
  // A V5 header may name a colour profile by its offset from the header's start: it lies within
  // the block, after the rows (which follow the colour table directly in a packed DIB).
  if (h.size >= V5Header) {
    const std::uint32_t type = Le32(p + 56);
    if (type == ProfileLinked || type == ProfileEmbedded) {
      const std::uint64_t offset = Le32(p + 112), size = Le32(p + 116);
      if (offset < at + stride * rows || offset > dib.size() || size > dib.size() - offset) return false;
    }
  }
  return true;
}

}  // namespace

bool DibSize(std::span<const std::uint8_t> dib, int& width, int& height) {
  DibHeader h;
  if (!ReadHeader(dib, h)) return false;
  width = static_cast<int>(h.width);
  height = static_cast<int>(h.height < 0 ? -h.height : h.height);
  return true;
}

bool DibToPicture(std::span<const std::uint8_t> dib, Picture& picture) {
  picture = {};
  DibHeader h;
  if (!ReadHeader(dib, h)) return false;
  const std::size_t width = static_cast<std::size_t>(h.width);
  const bool topDown = h.height < 0;
  const std::size_t height = static_cast<std::size_t>(topDown ? -h.height : h.height);
  const std::size_t stride = ((width * h.bits + 31) / 32) * 4;
  const std::uint8_t* table = dib.data() + h.pixelsAt - 4u * h.colours;
  const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alpha(h.hasAlphaMask ? h.masks[3] : 0);

  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  picture.pixels.resize(width * height * 4);
  bool anyAlpha = false;
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t* row = dib.data() + h.pixelsAt + stride * (topDown ? y : height - 1 - y);
    std::uint8_t* out = picture.pixels.data() + y * width * 4;
    for (std::size_t x = 0; x < width; ++x, out += 4) {
      switch (h.bits) {
        case 1:
        case 4:
        case 8: {
          const std::size_t bit = x * h.bits;
          const unsigned index = (row[bit / 8] >> (8 - h.bits - bit % 8)) & ((1u << h.bits) - 1);
          if (index < h.colours)
            std::memcpy(out, table + 4 * index, 3);
          else
            out[0] = out[1] = out[2] = 0;
          out[3] = 0xFF;
          break;
        }
        case 24:
          std::memcpy(out, row + 3 * x, 3);
          out[3] = 0xFF;
          break;
        default: {
          const std::uint32_t pixel = h.bits == 16 ? Le16(row + 2 * x) : Le32(row + 4 * x);
          out[0] = blue.Of(pixel);
          out[1] = green.Of(pixel);
          out[2] = red.Of(pixel);
          out[3] = alpha.mask ? alpha.Of(pixel) : 0xFF;
          anyAlpha = anyAlpha || out[3] != 0;
        }
      }
    }
  }
  if (alpha.mask && !anyAlpha) {
    for (std::size_t k = 3; k < picture.pixels.size(); k += 4) picture.pixels[k] = 0xFF;
  }
  return true;
}

Bytes PictureToDibV5(const Picture& picture) {
  const std::size_t width = static_cast<std::size_t>(picture.width),
                    height = static_cast<std::size_t>(picture.height);
  Bytes dib(V5Header + width * height * 4, 0);
  std::uint8_t* p = dib.data();
  PutLe32(p, V5Header);
  PutLe32(p + 4, static_cast<std::uint32_t>(width));
  PutLe32(p + 8, static_cast<std::uint32_t>(height));  // positive: bottom-up
  p[12] = 1;                                           // planes
  p[14] = 32;                                          // bits
  PutLe32(p + 16, BiBitfields);
  PutLe32(p + 20, static_cast<std::uint32_t>(width * height * 4));
  PutLe32(p + 24, 2835);  // 72 dots per inch, as metres
  PutLe32(p + 28, 2835);
  PutLe32(p + 40, 0x00FF0000);
  PutLe32(p + 44, 0x0000FF00);
  PutLe32(p + 48, 0x000000FF);
  PutLe32(p + 52, 0xFF000000);
  PutLe32(p + 56, 0x73524742);  // LCS_sRGB
  PutLe32(p + 108, 4);          // LCS_GM_IMAGES
  for (std::size_t y = 0; y < height; ++y)
    std::memcpy(p + V5Header + (height - 1 - y) * width * 4, picture.pixels.data() + y * width * 4,
                width * 4);
  return dib;
}

bool PngSize(std::span<const std::uint8_t> png, int& width, int& height) {
  static constexpr std::uint8_t Start[16] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                             0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  if (png.size() < 24 || std::memcmp(png.data(), Start, 16) != 0) return false;
  const std::uint32_t w = Big32(png.data() + 16), h = Big32(png.data() + 20);
  if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

std::size_t PngLength(std::span<const std::uint8_t> png) {
  PngLayout layout;
  return ReadPngLayout(png, layout, true) ? layout.length : 0;
}

}  // namespace clipboard

namespace clipboard {

Picture FitPicture(const Picture& picture, int width, int height) {
  if (picture.width <= 0 || picture.height <= 0 || width <= 0 || height <= 0) return {};
  if (picture.width <= width && picture.height <= height) return picture;
  // The scale that fits both sides; each side at least one pixel.
  const platform::FittedSize fitted = platform::FitSize(picture.width, picture.height, width, height);
  Picture out;
  out.width = fitted.width;
  out.height = fitted.height;
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height * 4);
  for (int y = 0; y < out.height; ++y) {
    const int y0 = static_cast<int>(static_cast<long long>(y) * picture.height / out.height);
    const int y1 =
        std::max(y0 + 1, static_cast<int>(static_cast<long long>(y + 1) * picture.height / out.height));
    for (int x = 0; x < out.width; ++x) {
      const int x0 = static_cast<int>(static_cast<long long>(x) * picture.width / out.width);
      const int x1 =
          std::max(x0 + 1, static_cast<int>(static_cast<long long>(x + 1) * picture.width / out.width));
      std::uint64_t sum[3] = {}, alpha = 0;
      for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx) {
          const std::uint8_t* p = &picture.pixels[(static_cast<std::size_t>(sy) * picture.width + sx) * 4];
          for (int c = 0; c < 3; ++c) sum[c] += std::uint64_t{p[c]} * p[3];
          alpha += p[3];
        }
      std::uint8_t* q = &out.pixels[(static_cast<std::size_t>(y) * out.width + x) * 4];
      const std::uint64_t count = static_cast<std::uint64_t>(y1 - y0) * (x1 - x0);
      for (int c = 0; c < 3; ++c) q[c] = alpha ? static_cast<std::uint8_t>((sum[c] + alpha / 2) / alpha) : 0;
      q[3] = static_cast<std::uint8_t>((alpha + count / 2) / count);
    }
  }
  return out;
}

}  // namespace clipboard
