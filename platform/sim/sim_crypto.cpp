#include "platform/sim/sim_crypto.h"

#include <cstring>

namespace sim {

using platform::Bytes;

namespace {

constexpr char BlobMark[] = "SIMDPAPI";

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

std::uint64_t Hash(std::uint64_t seed, std::span<const std::uint8_t> bytes) {
  std::uint64_t h = Mix(seed ^ bytes.size());
  for (std::uint8_t b : bytes) h = Mix(h ^ b);
  return h;
}

std::span<const std::uint8_t> AsBytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void Stream(std::uint64_t seed, std::span<const std::uint8_t> in, std::uint8_t* out) {
  for (std::size_t i = 0; i < in.size(); ++i)
    out[i] = in[i] ^ static_cast<std::uint8_t>(Mix(seed + i / 8) >> (8 * (i % 8)));
}

void PutTag(std::uint64_t keyHash, std::span<const std::uint8_t> nonce,
            std::span<const std::uint8_t> associated, std::span<const std::uint8_t> cipher,
            std::uint8_t* tag) {
  const std::uint64_t a = Hash(Hash(Hash(keyHash, nonce), associated), cipher);
  const std::uint64_t b = Mix(a ^ 0xA5A5A5A5A5A5A5A5ULL);
  std::memcpy(tag, &a, 8);
  std::memcpy(tag + 8, &b, 8);
}

}  // namespace

bool SimCrypto::Sha256(std::span<const std::uint8_t> data, Digest& digest) {
  // Four lanes over eight bytes at a time: quick enough for the images of tests.
  std::uint64_t lanes[4] = {Mix(1 ^ data.size()), Mix(2 ^ data.size()), Mix(3 ^ data.size()),
                            Mix(4 ^ data.size())};
  std::size_t at = 0;
  for (; at + 8 <= data.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, data.data() + at, 8);
    for (std::uint64_t& lane : lanes) lane = Mix(lane ^ word);
  }
  for (; at < data.size(); ++at)
    for (std::uint64_t& lane : lanes) lane = Mix(lane ^ data[at]);
  for (int k = 0; k < 4; ++k) std::memcpy(digest.data() + 8 * k, &lanes[k], 8);
  return true;
}

bool SimCrypto::HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data,
                           Digest& mac) {
  Digest inner;
  Sha256(data, inner);
  std::uint8_t keyed[40];
  const std::uint64_t keyHash = Hash(3, key);
  std::memcpy(keyed, &keyHash, 8);
  std::memcpy(keyed + 8, inner.data(), inner.size());
  return Sha256(keyed, mac);
}

bool SimCrypto::ProtectForUser(std::span<const std::uint8_t> data, Bytes& blob) {
  blob.clear();
  if (refusing_) return false;
  ++protections_;
  blob.assign(BlobMark, BlobMark + 8);
  blob.push_back(static_cast<std::uint8_t>(account_.size()));
  blob.insert(blob.end(), account_.begin(), account_.end());
  const std::size_t at = blob.size();
  blob.resize(at + data.size() + 8);
  const std::uint64_t accountHash = Hash(1, AsBytes(account_));
  Stream(accountHash, data, blob.data() + at);
  const std::uint64_t check = Hash(accountHash, data);
  std::memcpy(blob.data() + at + data.size(), &check, 8);
  return true;
}

bool SimCrypto::UnprotectForUser(std::span<const std::uint8_t> blob, Bytes& data) {
  data.clear();
  if (refusing_ || blob.size() < 9 + 8 || std::memcmp(blob.data(), BlobMark, 8) != 0) return false;
  const std::size_t accountSize = blob[8];
  if (blob.size() < 9 + accountSize + 8) return false;
  const std::string account(reinterpret_cast<const char*>(blob.data() + 9), accountSize);
  if (account != account_) return false;
  const std::uint64_t accountHash = Hash(1, AsBytes(account_));
  const auto hidden = blob.subspan(9 + accountSize, blob.size() - 9 - accountSize - 8);
  data.resize(hidden.size());
  Stream(accountHash, hidden, data.data());
  std::uint64_t check = 0;
  std::memcpy(&check, blob.data() + blob.size() - 8, 8);
  if (check != Hash(accountHash, data)) {
    data.clear();
    return false;
  }
  return true;
}

bool SimCrypto::Random(std::span<std::uint8_t> out) {
  for (std::uint8_t& b : out) b = static_cast<std::uint8_t>(Mix(random_++));
  return true;
}

bool SimCrypto::SealGcm(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
                        std::span<const std::uint8_t> associated, std::span<const std::uint8_t> plain,
                        std::span<std::uint8_t> sealed) {
  if (key.size() != platform::AesKeyBytes || nonce.size() != platform::GcmNonceBytes ||
      sealed.size() != plain.size() + platform::GcmTagBytes)
    return false;
  const std::uint64_t keyHash = Hash(2, key);
  if (!usedNonces_.emplace(keyHash, std::string(nonce.begin(), nonce.end())).second) ++nonceReuses_;
  Stream(Hash(keyHash, nonce), plain, sealed.data());
  PutTag(keyHash, nonce, associated, {sealed.data(), plain.size()}, sealed.data() + plain.size());
  return true;
}

bool SimCrypto::OpenGcm(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
                        std::span<const std::uint8_t> associated, std::span<const std::uint8_t> sealed,
                        std::span<std::uint8_t> plain) {
  if (key.size() != platform::AesKeyBytes || nonce.size() != platform::GcmNonceBytes ||
      sealed.size() < platform::GcmTagBytes || plain.size() != sealed.size() - platform::GcmTagBytes)
    return false;
  const std::uint64_t keyHash = Hash(2, key);
  const std::size_t length = sealed.size() - platform::GcmTagBytes;
  std::uint8_t tag[platform::GcmTagBytes];
  PutTag(keyHash, nonce, associated, sealed.first(length), tag);
  if (std::memcmp(tag, sealed.data() + length, sizeof tag) != 0) {
    std::memset(plain.data(), 0, plain.size());
    return false;
  }
  Stream(Hash(keyHash, nonce), sealed.first(length), plain.data());
  return true;
}

void SimCrypto::Wipe(void* data, std::size_t size) {
  if (!data) return;
  std::memset(data, 0, size);
  wiped_ += size;
}

}  // namespace sim
