// What the system offers for keeping data secret: DPAPI, which protects a few bytes for the
// Windows account (CryptProtectData), and CNG's random numbers, AES-256-GCM and SHA-256 (BCrypt*).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace platform {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t AesKeyBytes = 32;
constexpr std::size_t GcmNonceBytes = 12;
constexpr std::size_t GcmTagBytes = 16;

class ICrypto {
 public:
  virtual ~ICrypto() = default;

  // DPAPI for the current user, without any prompt. Protect returns false when the system
  // refuses; Unprotect also when the blob belongs to another account or machine, or was changed.
  virtual bool ProtectForUser(std::span<const std::uint8_t> data, Bytes& blob) = 0;
  virtual bool UnprotectForUser(std::span<const std::uint8_t> blob, Bytes& data) = 0;

  // Fills `out` from the system's random number generator; false when it fails.
  virtual bool Random(std::span<std::uint8_t> out) = 0;

  // AES-256-GCM, into the caller's buffers so that a large file is not copied again: `sealed`
  // (plain's size + 16) receives the cipher text followed by the tag, `plain` (sealed's size
  // - 16) the text. Open returns false, with `plain` wiped, when the tag does not match (a
  // changed byte, another key, other associated data); either returns false for buffers of
  // other sizes. Both may run on any thread, several at once.
  virtual bool SealGcm(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
                       std::span<const std::uint8_t> associated, std::span<const std::uint8_t> plain,
                       std::span<std::uint8_t> sealed) = 0;
  virtual bool OpenGcm(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
                       std::span<const std::uint8_t> associated, std::span<const std::uint8_t> sealed,
                       std::span<std::uint8_t> plain) = 0;

  // CNG's SHA-256 of `data`; false when it fails. May run on any thread, several at once.
  using Digest = std::array<std::uint8_t, 32>;
  virtual bool Sha256(std::span<const std::uint8_t> data, Digest& digest) = 0;
  // CNG's HMAC-SHA256 of `data` under `key`; false when it fails. May run on any thread.
  virtual bool HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data,
                          Digest& mac) = 0;

  // Overwrites memory that held a key or plain text, in a way the compiler keeps
  // (SecureZeroMemory).
  virtual void Wipe(void* data, std::size_t size) = 0;
};

}  // namespace platform
