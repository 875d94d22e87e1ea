// The simulated desktop's image coder: a PNG encoder of its own, which writes real PNG files
// (8-bit RGBA, zlib's stored blocks, no filtering), and a decoder for what it writes.
#pragma once

#include "platform/images.h"

namespace sim {

class SimImages final : public platform::IImages {
 public:
  bool EncodePng(const platform::Picture& picture, platform::Bytes& png) override;
  bool DecodePng(std::span<const std::uint8_t> png, platform::Picture& picture) override;

  // --- For tests ---
  int Encodes() const { return encodes_; }
  int Decodes() const { return decodes_; }
  // The coder fails from now on.
  void SetFailing(bool failing) { failing_ = failing; }

 private:
  int encodes_ = 0;
  int decodes_ = 0;
  bool failing_ = false;
};

}  // namespace sim
