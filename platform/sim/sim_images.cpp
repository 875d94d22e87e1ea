#include "platform/sim/sim_images.h"

#include <cstring>
#include <string_view>

namespace sim {

using platform::Bytes;
using platform::Picture;

namespace {

constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t Crc(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBig32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t Big32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

void PutChunk(Bytes& out, const char (&type)[5], const Bytes& data) {
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t from = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBig32(out, Crc(out.data() + from, out.size() - from));
}

}  // namespace

bool SimImages::EncodePng(const Picture& picture, Bytes& png) {
  png.clear();
  if (failing_ || picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height * 4)
    return false;
  ++encodes_;
  png.assign(Signature, Signature + 8);
  Bytes header;
  PutBig32(header, static_cast<std::uint32_t>(picture.width));
  PutBig32(header, static_cast<std::uint32_t>(picture.height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
  PutChunk(png, "IHDR", header);

  // Each row: filter type 0, then RGBA.
  Bytes raw;
  const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 4;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(picture.height));
  for (int y = 0; y < picture.height; ++y) {
    raw.push_back(0);
    const std::uint8_t* row = picture.pixels.data() + rowBytes * static_cast<std::size_t>(y);
    for (std::size_t x = 0; x < rowBytes; x += 4)
      raw.insert(raw.end(), {row[x + 2], row[x + 1], row[x], row[x + 3]});
  }
  Bytes z = {0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  for (std::size_t at = 0; at < raw.size() || at == 0;) {
    const std::size_t size = std::min<std::size_t>(raw.size() - at, 65535);
    const bool last = at + size == raw.size();
    z.push_back(last ? 1 : 0);
    z.insert(z.end(), {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                       static_cast<std::uint8_t>(~size), static_cast<std::uint8_t>(~size >> 8)});
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
             raw.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
    if (last) break;
  }
  PutBig32(z, b << 16 | a);
  PutChunk(png, "IDAT", z);
  PutChunk(png, "IEND", {});
  return true;
}

bool SimImages::DecodePng(std::span<const std::uint8_t> png, Picture& picture) {
  picture = {};
  if (failing_ || png.size() < 8 || std::memcmp(png.data(), Signature, 8) != 0) return false;
  ++decodes_;
  // Windows' coder would hold the whole picture however small the result is meant to be.
  std::uint32_t claimedWidth = 0, claimedHeight = 0;
  if (platform::PngHeaderSize(png, claimedWidth, claimedHeight) && !platform::PngDecodeFits(png)) {
    ++oversize_;
    return false;
  }
  Bytes z;
  std::size_t at = 8;
  bool ended = false;
  std::uint32_t width = 0, height = 0;
  while (!ended) {
    if (png.size() - at < 12) return false;
    const std::uint32_t size = Big32(png.data() + at);
    if (png.size() - at - 12 < size) return false;
    const std::uint8_t* type = png.data() + at + 4;
    const std::uint8_t* data = type + 4;
    if (Crc(type, size + 4) != Big32(data + size)) return false;
    const std::string_view name(reinterpret_cast<const char*>(type), 4);
    if (name == "IHDR") {
      if (size != 13 || data[8] != 8 || data[9] != 6 || data[10] != 0 || data[11] != 0 || data[12] != 0)
        return false;
      width = Big32(data);
      height = Big32(data + 4);
    } else if (name == "IDAT") {
      z.insert(z.end(), data, data + size);
    } else if (name == "IEND") {
      ended = true;
    }
    at += 12 + size;
  }
  if (width == 0 || height == 0 || width > 1u << 15 || height > 1u << 15) return false;
  // Only stored blocks, as the encoder writes them.
  Bytes raw;
  std::size_t k = 2;
  for (bool last = false; !last;) {
    if (z.size() < k + 5) return false;
    last = (z[k] & 1) != 0;
    if ((z[k] >> 1) != 0) return false;
    const std::size_t size = z[k + 1] | z[k + 2] << 8;
    if (z.size() - k - 5 < size) return false;
    raw.insert(raw.end(), z.begin() + static_cast<std::ptrdiff_t>(k + 5),
               z.begin() + static_cast<std::ptrdiff_t>(k + 5 + size));
    k += 5 + size;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  if (raw.size() != (rowBytes + 1) * height) return false;
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  picture.pixels.resize(rowBytes * height);
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t* row = raw.data() + y * (rowBytes + 1);
    if (row[0] != 0) {
      picture = {};
      return false;
    }
    std::uint8_t* out = picture.pixels.data() + y * rowBytes;
    for (std::size_t x = 0; x < rowBytes; x += 4) {
      out[x] = row[1 + x + 2];
      out[x + 1] = row[1 + x + 1];
      out[x + 2] = row[1 + x];
      out[x + 3] = row[1 + x + 3];
    }
  }
  return true;
}

bool SimImages::DecodePngFitting(std::span<const std::uint8_t> png, int boxWidth, int boxHeight,
                                 Picture& picture) {
  picture = {};
  const platform::FittedSize size = platform::FitSize(1, 1, boxWidth, boxHeight);
  if (size.width == 0) return false;
  Picture full;
  if (!DecodePng(png, full)) return false;
  const platform::FittedSize fitted = platform::FitSize(full.width, full.height, boxWidth, boxHeight);
  // Nearest pixels, as Windows' scaler takes them when told to be quick.
  picture.width = fitted.width;
  picture.height = fitted.height;
  picture.pixels.resize(static_cast<std::size_t>(fitted.width) * fitted.height * 4);
  for (int y = 0; y < fitted.height; ++y)
    for (int x = 0; x < fitted.width; ++x) {
      const std::size_t sx = static_cast<std::size_t>(x) * full.width / fitted.width;
      const std::size_t sy = static_cast<std::size_t>(y) * full.height / fitted.height;
      std::memcpy(&picture.pixels[(static_cast<std::size_t>(y) * fitted.width + x) * 4],
                  &full.pixels[(sy * full.width + sx) * 4], 4);
    }
  return true;
}

}  // namespace sim
