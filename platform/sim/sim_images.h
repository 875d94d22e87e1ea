// The simulated desktop's image coder: a PNG encoder of its own, which writes real PNG files
// (8-bit RGBA, zlib's stored blocks, no filtering), and a decoder for what it writes.
#pragma once

#include <atomic>

#include "platform/images.h"

namespace sim {

class SimImages final : public platform::IImages {
 public:
  bool EncodePng(const platform::Picture& picture, platform::Bytes& png) override;
  bool DecodePng(std::span<const std::uint8_t> png, platform::Picture& picture) override;
  bool DecodePngFitting(std::span<const std::uint8_t> png, int boxWidth, int boxHeight,
                        platform::Picture& picture) override;

  // --- For tests ---
  int Encodes() const { return encodes_; }
  int Decodes() const { return decodes_; }
  // The PNGs it was asked to decode that platform::PngDecodeFits refuses (and that it refused):
  // on Windows each would have been a picture of gigabytes, or a crash.
  int OversizeDecodes() const { return oversize_; }
  // The coder fails from now on.
  void SetFailing(bool failing) { failing_ = failing; }

 private:
  std::atomic<int> encodes_ = 0;
  std::atomic<int> decodes_ = 0;
  std::atomic<int> oversize_ = 0;
  bool failing_ = false;
};

}  // namespace sim
