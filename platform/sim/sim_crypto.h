// A stand-in for DPAPI and AES-GCM on the simulated desktop. It is NOT cryptography: it keeps
// nothing secret from anyone who reads this file. It is deterministic and behaves as the real
// calls do where the program can tell: a blob opens only for the account that made it, a
// changed byte, another key or other associated data fails the tag, and DPAPI can be made to
// refuse. It also counts nonces used twice under one key, which the program must never do.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "platform/crypto.h"

namespace sim {

class SimCrypto final : public platform::ICrypto {
 public:
  bool ProtectForUser(std::span<const std::uint8_t> data, platform::Bytes& blob) override;
  bool UnprotectForUser(std::span<const std::uint8_t> blob, platform::Bytes& data) override;
  bool Random(std::span<std::uint8_t> out) override;
  bool SealGcm(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
               std::span<const std::uint8_t> associated, std::span<const std::uint8_t> plain,
               std::span<std::uint8_t> sealed) override;
  bool OpenGcm(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
               std::span<const std::uint8_t> associated, std::span<const std::uint8_t> sealed,
               std::span<std::uint8_t> plain) override;
  // A stand-in, not SHA-256: 32 bytes that differ for different inputs as far as tests go.
  bool Sha256(std::span<const std::uint8_t> data, Digest& digest) override;
  // A stand-in too: 32 bytes that differ for different keys or inputs.
  bool HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data,
                  Digest& mac) override;
  void Wipe(void* data, std::size_t size) override;

  // --- For tests ---
  // The Windows account the program runs as; a blob made for one opens for no other.
  void SetAccount(std::string account) { account_ = std::move(account); }
  // DPAPI refuses every call from now on (a profile without its keys, a policy).
  void SetRefusing(bool refusing) { refusing_ = refusing; }
  // Where the random numbers start: two simulated computers must not draw the same ones.
  void SeedRandom(std::uint64_t seed) { random_ = seed; }
  int NonceReuses() const { return nonceReuses_; }
  int Protections() const { return protections_; }
  std::size_t WipedBytes() const { return wiped_; }

 private:
  std::string account_ = "user";
  bool refusing_ = false;
  std::uint64_t random_ = 0x5EED;
  std::set<std::pair<std::uint64_t, std::string>> usedNonces_;
  int nonceReuses_ = 0;
  int protections_ = 0;
  std::size_t wiped_ = 0;
};

}  // namespace sim
