// Whether an image a program copied is one to keep: a PNG whose chunks hold together and whose
// header says what its data can hold. Pure functions of the bytes, so that what the clipboard
// offers is judged before anything decodes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace clipboard {

// What the chunks of a PNG say, as far as ReadPngLayout walks them.
struct PngLayout {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::size_t length = 0;       // up to the end of the IEND chunk
  std::uint64_t dataBytes = 0;  // of all IDAT chunks together
};

// Walks the chunks from the signature to IEND. True when the IHDR comes first with a width and
// height of 1 to 2^31 - 1 and a bit depth, colour type, compression, filter and interlace that
// exist; a palette image has its PLTE before the data; there is data; every chunk (with
// `checkCrcs`, its CRC too) lies within the bytes; and the compressed data is not too short to
// hold the rows the header gives (deflate packs at most 1032 bytes into one).
bool ReadPngLayout(std::span<const std::uint8_t> png, PngLayout& layout, bool checkCrcs);

// The CRC-32 of PNG chunks (and of zlib, gzip and ZIP).
std::uint32_t PngCrc(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

enum class ImageCheck {
  Bad,        // not a PNG to keep: no entry
  Undecoded,  // kept as its PNG, but too large to decode (platform::DecodeFits)
  Decodable,  // may be decoded; whether it does is the coder's to say
};
// ReadPngLayout with the CRCs, then platform::DecodeFits.
ImageCheck CheckPng(std::span<const std::uint8_t> png);

}  // namespace clipboard
