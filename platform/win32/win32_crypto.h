// DPAPI (crypt32) and CNG (bcrypt) behind the desktop's crypto interface.
#pragma once

#include "platform/crypto.h"

namespace win32 {

class Win32Crypto final : public platform::ICrypto {
 public:
  Win32Crypto() = default;
  ~Win32Crypto() override;
  Win32Crypto(const Win32Crypto&) = delete;
  Win32Crypto& operator=(const Win32Crypto&) = delete;

  bool ProtectForUser(std::span<const std::uint8_t> data, platform::Bytes& blob) override;
  bool UnprotectForUser(std::span<const std::uint8_t> blob, platform::Bytes& data) override;
  bool Random(std::span<std::uint8_t> out) override;
  bool SealGcm(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
               std::span<const std::uint8_t> associated, std::span<const std::uint8_t> plain,
               std::span<std::uint8_t> sealed) override;
  bool OpenGcm(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
               std::span<const std::uint8_t> associated, std::span<const std::uint8_t> sealed,
               std::span<std::uint8_t> plain) override;
  bool Sha256(std::span<const std::uint8_t> data, Digest& digest) override;
  bool HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data,
                  Digest& mac) override;
  void Wipe(void* data, std::size_t size) override;

 private:
  // The AES provider in GCM mode, opened on first use (by whichever thread comes first) and
  // kept; nullptr when CNG refuses.
  void* Aes();
  void* volatile aes_ = nullptr;
};

}  // namespace win32
