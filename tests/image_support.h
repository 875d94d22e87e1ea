// Pictures, and the clipboard blocks that programs offer them in, for the image tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/images.h"

namespace testing_support {

// A picture whose pixels all differ, with a fully transparent corner and a half transparent
// one when `alpha`.
inline platform::Picture TestPicture(int width, int height, bool alpha, int seed = 0) {
  platform::Picture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(static_cast<std::size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &picture.pixels[(static_cast<std::size_t>(y) * width + x) * 4];
      p[0] = static_cast<std::uint8_t>(x * 7 + seed);
      p[1] = static_cast<std::uint8_t>(y * 13 + seed);
      p[2] = static_cast<std::uint8_t>(x + y * 3);
      p[3] = 0xFF;
    }
  if (alpha) {
    picture.pixels[3] = 0;                             // the top left corner is transparent
    picture.pixels[picture.pixels.size() - 1] = 0x80;  // the bottom right one half so
  }
  return picture;
}

inline std::string AsString(const platform::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

inline void Put32(std::string& out, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) out[at + static_cast<std::size_t>(k)] = static_cast<char>(v >> (8 * k));
}

// A CF_DIB of the picture as 24-bit rows, bottom-up, BITMAPINFOHEADER (alpha is lost).
inline std::string Dib24(const platform::Picture& picture) {
  const std::size_t width = static_cast<std::size_t>(picture.width),
                    height = static_cast<std::size_t>(picture.height);
  const std::size_t stride = (width * 3 + 3) & ~std::size_t{3};
  std::string dib(40 + stride * height, '\0');
  Put32(dib, 0, 40);
  Put32(dib, 4, static_cast<std::uint32_t>(width));
  Put32(dib, 8, static_cast<std::uint32_t>(height));
  dib[12] = 1;
  dib[14] = 24;
  for (std::size_t y = 0; y < height; ++y)
    for (std::size_t x = 0; x < width; ++x)
      std::memcpy(&dib[40 + (height - 1 - y) * stride + x * 3], &picture.pixels[(y * width + x) * 4], 3);
  return dib;
}

// The picture with every pixel opaque, as a format without alpha gives it back.
inline platform::Picture Opaque(platform::Picture picture) {
  for (std::size_t k = 3; k < picture.pixels.size(); k += 4) picture.pixels[k] = 0xFF;
  return picture;
}

// "HTML Format" as browsers put it: a header of offsets, then the page with the fragment.
inline std::string HtmlFormat(const std::string& fragment) {
  const std::string head = "<html><body><!--StartFragment-->";
  const std::string tail = "<!--EndFragment--></body></html>";
  char header[200];
  const int headerSize =
      std::snprintf(header, sizeof header,
                    "Version:0.9\r\nStartHTML:%010d\r\nEndHTML:%010d\r\nStartFragment:%010d\r\n"
                    "EndFragment:%010d\r\n",
                    0, 0, 0, 0);
  const int start = headerSize, fragmentStart = start + static_cast<int>(head.size());
  const int fragmentEnd = fragmentStart + static_cast<int>(fragment.size());
  const int end = fragmentEnd + static_cast<int>(tail.size());
  std::snprintf(
      header, sizeof header,
      "Version:0.9\r\nStartHTML:%010d\r\nEndHTML:%010d\r\nStartFragment:%010d\r\nEndFragment:%010d\r\n",
      start, end, fragmentStart, fragmentEnd);
  return std::string(header) + head + fragment + tail;
}

// A DROPFILES block of wide paths.
inline std::string DropFiles(const std::vector<std::u16string>& paths) {
  std::string block(20, '\0');
  Put32(block, 0, 20);
  Put32(block, 16, 1);
  for (const std::u16string& path : paths) {
    block.append(reinterpret_cast<const char*>(path.data()), path.size() * 2);
    block.append(2, '\0');
  }
  block.append(2, '\0');  // the empty name that ends the list
  return block;
}

}  // namespace testing_support
