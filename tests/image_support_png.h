// PNG files put together chunk by chunk, for the tests of what the program takes as a PNG: the
// data need not inflate, so a header may claim any size with as many bytes as it takes.
#pragma once

#include <cstdint>
#include <string>

#include "clipboard/image_checks.h"

namespace testing_support {

inline void PutBig32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

inline std::string PngChunk(const std::string& type, const std::string& data) {
  std::string chunk;
  PutBig32(chunk, static_cast<std::uint32_t>(data.size()));
  chunk += type + data;
  const std::string crced = type + data;
  PutBig32(chunk, clipboard::PngCrc({reinterpret_cast<const std::uint8_t*>(crced.data()), crced.size()}));
  return chunk;
}

inline std::string PngHeaderChunk(std::uint32_t width, std::uint32_t height, int depth = 8,
                                  int colourType = 6, int interlace = 0) {
  std::string data;
  PutBig32(data, width);
  PutBig32(data, height);
  data += static_cast<char>(depth);
  data += static_cast<char>(colourType);
  data += std::string(2, '\0');
  data += static_cast<char>(interlace);
  return PngChunk("IHDR", data);
}

inline const std::string PngSignature = std::string("\x89PNG\r\n\x1A\n", 8);

// A PNG whose header gives the size and whose data is `dataBytes` bytes that do not inflate.
inline std::string ClaimedPng(std::uint32_t width, std::uint32_t height, std::size_t dataBytes, int depth = 8,
                              int colourType = 6) {
  return PngSignature + PngHeaderChunk(width, height, depth, colourType) +
         PngChunk("IDAT", std::string(dataBytes, '\x5A')) + PngChunk("IEND", "");
}

// The fewest bytes of data that can hold an RGBA picture of that size.
inline std::size_t LeastData(std::uint64_t width, std::uint64_t height, int bytesPerPixel = 4) {
  return static_cast<std::size_t>((width * bytesPerPixel * height + 1031) / 1032);
}

}  // namespace testing_support
