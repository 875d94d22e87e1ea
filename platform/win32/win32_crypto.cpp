#include "platform/win32/win32_crypto.h"

#include "platform/win32/win32_handles.h"

#include <bcrypt.h>
#include <dpapi.h>

#include <algorithm>
#include <limits>

namespace win32 {

namespace {

// BCrypt takes non-const buffers for what it only reads.
PUCHAR In(std::span<const std::uint8_t> bytes) { return const_cast<PUCHAR>(bytes.data()); }

bool Fits(std::size_t size) { return size <= std::numeric_limits<ULONG>::max(); }

// What one GCM call needs besides the texts: the nonce, the associated data and the tag's place.
BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO GcmInfo(std::span<const std::uint8_t> nonce,
                                              std::span<const std::uint8_t> associated, PUCHAR tag) {
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
  BCRYPT_INIT_AUTH_MODE_INFO(info);
  info.pbNonce = In(nonce);
  info.cbNonce = static_cast<ULONG>(nonce.size());
  info.pbAuthData = associated.empty() ? nullptr : In(associated);
  info.cbAuthData = static_cast<ULONG>(associated.size());
  info.pbTag = tag;
  info.cbTag = platform::GcmTagBytes;
  return info;
}

// A key object for one call; destroyed, and its secret with it, at the end of the scope.
class GcmKey {
 public:
  GcmKey(BCRYPT_ALG_HANDLE aes, std::span<const std::uint8_t> key) {
    if (aes && key.size() == platform::AesKeyBytes)
      ok_ = BCRYPT_SUCCESS(::BCryptGenerateSymmetricKey(aes, &handle_, nullptr, 0, In(key),
                                                        static_cast<ULONG>(key.size()), 0));
  }
  ~GcmKey() {
    if (handle_) ::BCryptDestroyKey(handle_);
  }
  GcmKey(const GcmKey&) = delete;
  GcmKey& operator=(const GcmKey&) = delete;
  explicit operator bool() const { return ok_; }
  BCRYPT_KEY_HANDLE get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
  bool ok_ = false;
};

}  // namespace

Win32Crypto::~Win32Crypto() {
  if (void* aes = aes_) ::BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(aes), 0);
}

void* Win32Crypto::Aes() {
  if (void* kept = aes_) return kept;
  BCRYPT_ALG_HANDLE aes = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&aes, BCRYPT_AES_ALGORITHM, nullptr, 0))) return nullptr;
  const wchar_t* mode = BCRYPT_CHAIN_MODE_GCM;
  if (!BCRYPT_SUCCESS(::BCryptSetProperty(aes, BCRYPT_CHAINING_MODE,
                                          reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(mode)),
                                          sizeof BCRYPT_CHAIN_MODE_GCM, 0))) {
    ::BCryptCloseAlgorithmProvider(aes, 0);
    return nullptr;
  }
  // Two threads may both have opened one: the first kept is the one used.
  if (void* kept = ::InterlockedCompareExchangePointer(const_cast<void**>(&aes_), aes, nullptr)) {
    ::BCryptCloseAlgorithmProvider(aes, 0);
    return kept;
  }
  return aes;
}

bool Win32Crypto::ProtectForUser(std::span<const std::uint8_t> data, platform::Bytes& blob) {
  blob.clear();
  if (!Fits(data.size())) return false;
  DATA_BLOB in{static_cast<DWORD>(data.size()), In(data)};
  DATA_BLOB out{};
  if (!::CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
    return false;
  blob.assign(out.pbData, out.pbData + out.cbData);
  ::LocalFree(out.pbData);
  return true;
}

bool Win32Crypto::UnprotectForUser(std::span<const std::uint8_t> blob, platform::Bytes& data) {
  data.clear();
  if (!Fits(blob.size())) return false;
  DATA_BLOB in{static_cast<DWORD>(blob.size()), In(blob)};
  DATA_BLOB out{};
  if (!::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
    return false;
  data.assign(out.pbData, out.pbData + out.cbData);
  ::SecureZeroMemory(out.pbData, out.cbData);
  ::LocalFree(out.pbData);
  return true;
}

bool Win32Crypto::Random(std::span<std::uint8_t> out) {
  return Fits(out.size()) &&
         BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, out.data(), static_cast<ULONG>(out.size()),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

bool Win32Crypto::SealGcm(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
                          std::span<const std::uint8_t> associated, std::span<const std::uint8_t> plain,
                          std::span<std::uint8_t> sealed) {
  GcmKey handle(static_cast<BCRYPT_ALG_HANDLE>(Aes()), key);
  if (!handle || nonce.size() != platform::GcmNonceBytes || !Fits(plain.size()) || !Fits(associated.size()) ||
      sealed.size() != plain.size() + platform::GcmTagBytes)
    return false;
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = GcmInfo(nonce, associated, sealed.data() + plain.size());
  ULONG written = 0;
  if (!BCRYPT_SUCCESS(::BCryptEncrypt(
          handle.get(), plain.empty() ? nullptr : In(plain), static_cast<ULONG>(plain.size()), &info, nullptr,
          0, plain.empty() ? nullptr : sealed.data(), static_cast<ULONG>(plain.size()), &written, 0)) ||
      written != plain.size())
    return false;
  return true;
}

bool Win32Crypto::OpenGcm(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
                          std::span<const std::uint8_t> associated, std::span<const std::uint8_t> sealed,
                          std::span<std::uint8_t> plain) {
  GcmKey handle(static_cast<BCRYPT_ALG_HANDLE>(Aes()), key);
  if (!handle || nonce.size() != platform::GcmNonceBytes || sealed.size() < platform::GcmTagBytes ||
      !Fits(sealed.size()) || !Fits(associated.size()) ||
      plain.size() != sealed.size() - platform::GcmTagBytes)
    return false;
  const std::size_t length = plain.size();
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = GcmInfo(nonce, associated, In(sealed.subspan(length)));
  ULONG written = 0;
  // A changed byte fails here with STATUS_AUTH_TAG_MISMATCH, and nothing of the text is kept.
  if (!BCRYPT_SUCCESS(::BCryptDecrypt(handle.get(), length ? In(sealed) : nullptr, static_cast<ULONG>(length),
                                      &info, nullptr, 0, length ? plain.data() : nullptr,
                                      static_cast<ULONG>(length), &written, 0)) ||
      written != length) {
    Wipe(plain.data(), plain.size());
    return false;
  }
  return true;
}

bool Win32Crypto::Sha256(std::span<const std::uint8_t> data, Digest& digest) {
  // A provider of its own for each call, so that any thread may hash while another seals.
  BCRYPT_ALG_HANDLE sha = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&sha, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = BCRYPT_SUCCESS(::BCryptCreateHash(sha, &hash, nullptr, 0, nullptr, 0, 0));
  // BCryptHashData takes a 32-bit length: a larger input goes in in pieces.
  for (std::size_t at = 0; ok && at < data.size();) {
    const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(data.size() - at, 1u << 30));
    ok = BCRYPT_SUCCESS(::BCryptHashData(hash, In(data.subspan(at)), piece, 0));
    at += piece;
  }
  ok = ok && BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  if (hash) ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(sha, 0);
  return ok;
}

bool Win32Crypto::HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data,
                             Digest& mac) {
  if (!Fits(key.size())) return false;
  BCRYPT_ALG_HANDLE sha = nullptr;
  if (!BCRYPT_SUCCESS(
          ::BCryptOpenAlgorithmProvider(&sha, BCRYPT_SHA256_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG)))
    return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok =
      BCRYPT_SUCCESS(::BCryptCreateHash(sha, &hash, nullptr, 0, In(key), static_cast<ULONG>(key.size()), 0));
  for (std::size_t at = 0; ok && at < data.size();) {
    const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(data.size() - at, 1u << 30));
    ok = BCRYPT_SUCCESS(::BCryptHashData(hash, In(data.subspan(at)), piece, 0));
    at += piece;
  }
  ok = ok && BCRYPT_SUCCESS(::BCryptFinishHash(hash, mac.data(), static_cast<ULONG>(mac.size()), 0));
  if (hash) ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(sha, 0);
  return ok;
}

void Win32Crypto::Wipe(void* data, std::size_t size) {
  if (data && size) ::SecureZeroMemory(data, size);
}

}  // namespace win32
