// The Windows Imaging Component's PNG coder behind the desktop's image interface.
#pragma once

#include "platform/images.h"

namespace win32 {

class Win32Images final : public platform::IImages {
 public:
  bool EncodePng(const platform::Picture& picture, platform::Bytes& png) override;
  bool DecodePng(std::span<const std::uint8_t> png, platform::Picture& picture) override;
  bool DecodePngFitting(std::span<const std::uint8_t> png, int boxWidth, int boxHeight,
                        platform::Picture& picture) override;
};

}  // namespace win32
