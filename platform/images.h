// Pictures, and their PNG coding by the Windows Imaging Component (WIC).
#pragma once

#include <cstdint>
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

// Both calls may run on any thread, several at once: they touch nothing but their arguments.
class IImages {
 public:
  virtual ~IImages() = default;
  // A PNG that keeps every pixel, alpha included; false when the coder fails.
  virtual bool EncodePng(const Picture& picture, Bytes& png) = 0;
  // False for bytes that are not a PNG it can read.
  virtual bool DecodePng(std::span<const std::uint8_t> png, Picture& picture) = 0;
};

}  // namespace platform
