#include "grid/sealed_file.h"

#include <cstring>

namespace grid {

using platform::Bytes;
using platform::ICrypto;

namespace {

constexpr std::string_view Magic(
    "\x89"
    "CMSEAL\x1A",
    8);
constexpr std::uint8_t Version = 1;
constexpr std::uint8_t FileKind = 1;
constexpr std::uint8_t JournalKind = 2;
constexpr std::size_t FixedHeader = 16;  // magic, version, kind, 2 spare, blob length
constexpr std::string_view RecordMark = "SREC";
constexpr std::size_t RecordHead = 4 + 4 + platform::GcmNonceBytes;
// A key blob of DPAPI is a few hundred bytes; anything far larger is no header.
constexpr std::uint32_t MaxBlob = 64 * 1024;

void PutUint32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t Uint32At(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  return value;
}

std::span<const std::uint8_t> Span(std::string_view bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

std::span<std::uint8_t> Writable(std::string& bytes, std::size_t from) {
  return {reinterpret_cast<std::uint8_t*>(bytes.data()) + from, bytes.size() - from};
}

// A key that is wiped when it goes out of scope.
class Key {
 public:
  explicit Key(ICrypto& crypto) : crypto_(crypto) {}
  ~Key() { crypto_.Wipe(bytes.data(), bytes.size()); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  std::array<std::uint8_t, platform::AesKeyBytes> bytes{};

 private:
  ICrypto& crypto_;
};

// A fresh random key and the header that carries it.
bool NewHeader(ICrypto& crypto, std::uint8_t kind, std::span<std::uint8_t> key, std::string& header) {
  Bytes blob;
  if (!crypto.Random(key) || !crypto.ProtectForUser(key, blob) || blob.size() > MaxBlob) return false;
  header.assign(Magic);
  header.push_back(static_cast<char>(Version));
  header.push_back(static_cast<char>(kind));
  header.append(2, '\0');
  PutUint32(header, static_cast<std::uint32_t>(blob.size()));
  header.append(reinterpret_cast<const char*>(blob.data()), blob.size());
  return true;
}

// Reads the header at the start of `bytes`: its length, and the key it carries.
Unsealed ReadHeader(ICrypto& crypto, std::string_view bytes, std::uint8_t kind, std::span<std::uint8_t> key,
                    std::size_t& length) {
  if (bytes.size() < FixedHeader || bytes.substr(0, Magic.size()) != Magic ||
      static_cast<std::uint8_t>(bytes[8]) != Version || static_cast<std::uint8_t>(bytes[9]) != kind)
    return Unsealed::Damaged;
  const std::uint32_t blobLength = Uint32At(bytes, 12);
  if (blobLength > MaxBlob || bytes.size() - FixedHeader < blobLength) return Unsealed::Damaged;
  length = FixedHeader + blobLength;
  Bytes opened;
  if (!crypto.UnprotectForUser(Span(bytes.substr(FixedHeader, blobLength)), opened)) return Unsealed::Refused;
  const bool fits = opened.size() == key.size();
  if (fits) std::memcpy(key.data(), opened.data(), key.size());
  crypto.Wipe(opened.data(), opened.size());
  return fits ? Unsealed::Opened : Unsealed::Refused;
}

}  // namespace

bool IsSealed(std::string_view bytes) { return bytes.substr(0, Magic.size()) == Magic; }

std::string UnsealedReason(Unsealed result) {
  switch (result) {
    case Unsealed::Opened:
      return {};
    case Unsealed::Damaged:
      return "it is damaged";
    case Unsealed::Refused:
      return "it was sealed for another Windows account or computer, or its key was changed";
    case Unsealed::Tampered:
      return "it was changed or damaged since it was sealed";
  }
  return {};
}

bool SealFile(ICrypto& crypto, std::string_view plain, std::string& sealed) {
  sealed.clear();
  Key key(crypto);
  std::string header;
  std::array<std::uint8_t, platform::GcmNonceBytes> nonce{};
  if (!NewHeader(crypto, FileKind, key.bytes, header) || !crypto.Random(nonce)) return false;
  const std::size_t at = header.size() + nonce.size();
  sealed.resize(at + plain.size() + platform::GcmTagBytes);
  sealed.replace(0, header.size(), header);
  sealed.replace(header.size(), nonce.size(), reinterpret_cast<const char*>(nonce.data()), nonce.size());
  if (!crypto.SealGcm(key.bytes, nonce, Span(header), Span(plain), Writable(sealed, at))) {
    sealed.clear();
    return false;
  }
  return true;
}

Unsealed UnsealFile(ICrypto& crypto, std::string_view sealed, std::string& plain) {
  plain.clear();
  Key key(crypto);
  std::size_t headerLength = 0;
  const Unsealed header = ReadHeader(crypto, sealed, FileKind, key.bytes, headerLength);
  if (header != Unsealed::Opened) return header;
  if (sealed.size() - headerLength < platform::GcmNonceBytes + platform::GcmTagBytes)
    return Unsealed::Damaged;
  const std::string_view cipher = sealed.substr(headerLength + platform::GcmNonceBytes);
  plain.resize(cipher.size() - platform::GcmTagBytes);
  if (!crypto.OpenGcm(key.bytes, Span(sealed.substr(headerLength, platform::GcmNonceBytes)),
                      Span(sealed.substr(0, headerLength)), Span(cipher), Writable(plain, 0))) {
    plain.clear();
    return Unsealed::Tampered;
  }
  return Unsealed::Opened;
}

JournalSealer::~JournalSealer() { Forget(); }

void JournalSealer::Forget() {
  crypto_.Wipe(key_.data(), key_.size());
  ready_ = false;
  count_ = 0;
}

bool JournalSealer::Begin(std::string& header) {
  Forget();
  header.clear();
  if (!NewHeader(crypto_, JournalKind, key_, header_) || !crypto_.Random(session_)) {
    Forget();
    return false;
  }
  header = header_;
  ready_ = true;
  return true;
}

Unsealed JournalSealer::Resume(std::string_view header) {
  Forget();
  std::size_t length = 0;
  const Unsealed result = ReadHeader(crypto_, header, JournalKind, key_, length);
  if (result != Unsealed::Opened) {
    Forget();
    return result;
  }
  // A new session: its nonces differ from every earlier one's by their random half.
  if (!crypto_.Random(session_)) {
    Forget();
    return Unsealed::Refused;
  }
  header_.assign(header.substr(0, length));
  ready_ = true;
  return Unsealed::Opened;
}

bool JournalSealer::Seal(std::string_view record, std::string& out) {
  out.clear();
  if (!ready_ || count_ == UINT32_MAX) return false;
  std::array<std::uint8_t, platform::GcmNonceBytes> nonce{};
  std::memcpy(nonce.data(), session_.data(), session_.size());
  const std::uint32_t count = count_++;
  for (int i = 0; i < 4; ++i)
    nonce[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(count >> (8 * i));
  std::string head(RecordMark);
  PutUint32(head, static_cast<std::uint32_t>(record.size() + platform::GcmTagBytes));
  const std::string associated = header_ + head;
  out.assign(head);
  out.append(reinterpret_cast<const char*>(nonce.data()), nonce.size());
  out.resize(RecordHead + record.size() + platform::GcmTagBytes);
  if (!crypto_.SealGcm(key_, nonce, Span(associated), Span(record), Writable(out, RecordHead))) {
    out.clear();
    return false;
  }
  return true;
}

SealedJournalRead ReadSealedJournal(ICrypto& crypto, std::string_view bytes,
                                    const std::function<void(std::string_view record)>& take) {
  SealedJournalRead read;
  Key key(crypto);
  std::size_t at = 0;
  read.header = ReadHeader(crypto, bytes, JournalKind, key.bytes, at);
  if (read.header != Unsealed::Opened) return read;
  const std::string_view header = bytes.substr(0, at);
  read.end = at;
  bool skipping = false;  // in a stretch that does not read
  std::string plain;
  while (at < bytes.size()) {
    bool good = false;
    std::size_t next = at + 1;
    if (bytes.size() - at >= RecordHead && bytes.substr(at, 4) == RecordMark) {
      const std::uint32_t length = Uint32At(bytes, at + 4);
      if (length >= platform::GcmTagBytes && bytes.size() - at - RecordHead >= length) {
        std::string associated(header);
        associated.append(bytes.substr(at, 8));
        plain.resize(length - platform::GcmTagBytes);
        good =
            crypto.OpenGcm(key.bytes, Span(bytes.substr(at + 8, platform::GcmNonceBytes)), Span(associated),
                           Span(bytes.substr(at + RecordHead, length)), Writable(plain, 0));
        if (good) next = at + RecordHead + length;
      }
    }
    if (good) {
      take(plain);
      crypto.Wipe(plain.data(), plain.size());
      ++read.records;
      read.end = next;
      skipping = false;
      at = next;
      continue;
    }
    if (!skipping) ++read.damaged;
    skipping = true;
    // On to the next mark: a record's own bytes may hold one by chance, but only a record that
    // passes its tag is taken.
    const std::size_t mark = bytes.find(RecordMark, next);
    at = mark == std::string_view::npos ? bytes.size() : mark;
  }
  return read;
}

}  // namespace grid
