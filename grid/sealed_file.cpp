#include "grid/sealed_file.h"

#include <algorithm>
#include <cstring>
#include <utility>

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

FileSealer::FileSealer(ICrypto& crypto, Put put) : crypto_(crypto), put_(std::move(put)) {}

FileSealer::~FileSealer() {
  crypto_.Wipe(key_.data(), key_.size());
  crypto_.Wipe(chunk_.data(), chunk_.size());
}

platform::Dword FileSealer::Begin() {
  std::string header;
  if (!NewHeader(crypto_, FileKind, key_, header) || !crypto_.Random(prefix_)) return SealingFailed;
  header.append(reinterpret_cast<const char*>(prefix_.data()), prefix_.size());
  header_ = header;
  ready_ = true;
  chunk_.reserve(ChunkBytes);
  return put_(header.data(), header.size());
}

platform::Dword FileSealer::Write(const void* data, std::size_t size) {
  if (!ready_) return SealingFailed;
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const std::size_t room = std::min(size, ChunkBytes - chunk_.size());
    chunk_.append(at, room);
    at += room;
    size -= room;
    // A full chunk waits for more: the last chunk is marked, and it must not be empty unless
    // the file is.
    if (size > 0 && chunk_.size() == ChunkBytes)
      if (platform::Dword error = SealChunk(false)) return error;
  }
  return 0;
}

platform::Dword FileSealer::Finish() {
  if (!ready_) return SealingFailed;
  const platform::Dword error = SealChunk(true);
  ready_ = false;
  return error;
}

platform::Dword FileSealer::SealChunk(bool last) {
  std::array<std::uint8_t, platform::GcmNonceBytes> nonce{};
  std::memcpy(nonce.data(), prefix_.data(), prefix_.size());
  for (int i = 0; i < 4; ++i)
    nonce[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(index_ >> (8 * i));
  std::string associated = header_;
  PutUint32(associated, index_);
  associated.push_back(last ? '\1' : '\0');
  std::string out;
  PutUint32(out, static_cast<std::uint32_t>(chunk_.size() + platform::GcmTagBytes));
  out.resize(4 + chunk_.size() + platform::GcmTagBytes);
  if (!crypto_.SealGcm(key_, nonce, Span(associated), Span(chunk_), Writable(out, 4))) return SealingFailed;
  ++index_;
  crypto_.Wipe(chunk_.data(), chunk_.size());
  chunk_.clear();
  return put_(out.data(), out.size());
}

FileUnsealer::FileUnsealer(ICrypto& crypto, Take take) : crypto_(crypto), take_(std::move(take)) {}

FileUnsealer::~FileUnsealer() {
  crypto_.Wipe(key_.data(), key_.size());
  crypto_.Wipe(plain_.data(), plain_.size());
}

void FileUnsealer::Feed(std::string_view piece) {
  if (result_ != Unsealed::Opened || ended_) {
    if (ended_ && !piece.empty()) result_ = Unsealed::Tampered;  // bytes after the last chunk
    return;
  }
  kept_.append(piece);
  std::size_t at = 0;
  if (!keyed_) {
    std::size_t length = 0;
    if (kept_.size() < FixedHeader) return;
    if (kept_.size() < FixedHeader + Uint32At(kept_, 12) + prefix_.size() && Uint32At(kept_, 12) <= MaxBlob)
      return;
    result_ = ReadHeader(crypto_, kept_, FileKind, key_, length);
    if (result_ != Unsealed::Opened) return;
    std::memcpy(prefix_.data(), kept_.data() + length, prefix_.size());
    header_ = kept_.substr(0, length + prefix_.size());
    at = header_.size();
    keyed_ = true;
  }
  // Every whole chunk that has come in.
  while (kept_.size() - at >= 4) {
    const std::uint32_t length = Uint32At(kept_, at);
    if (length < platform::GcmTagBytes || length > ChunkBytes + platform::GcmTagBytes) {
      result_ = Unsealed::Damaged;
      return;
    }
    if (kept_.size() - at - 4 < length) break;
    const std::string_view sealed = std::string_view(kept_).substr(at + 4, length);
    // Which chunk is the last shows only in its tag: a short chunk is tried as the last first.
    std::array<std::uint8_t, platform::GcmNonceBytes> nonce{};
    std::memcpy(nonce.data(), prefix_.data(), prefix_.size());
    for (int i = 0; i < 4; ++i)
      nonce[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(index_ >> (8 * i));
    plain_.resize(length - platform::GcmTagBytes);
    bool opened = false;
    for (bool last :
         {length - platform::GcmTagBytes < ChunkBytes, length - platform::GcmTagBytes == ChunkBytes}) {
      std::string associated = header_;
      PutUint32(associated, index_);
      associated.push_back(last ? '\1' : '\0');
      if (crypto_.OpenGcm(key_, nonce, Span(associated), Span(sealed), Writable(plain_, 0))) {
        opened = true;
        ended_ = last;
        break;
      }
    }
    if (!opened) {
      result_ = Unsealed::Tampered;
      return;
    }
    ++index_;
    take_(plain_);
    crypto_.Wipe(plain_.data(), plain_.size());
    at += 4 + length;
    if (ended_) {
      if (at != kept_.size()) result_ = Unsealed::Tampered;
      kept_.clear();
      return;
    }
  }
  kept_.erase(0, at);
}

Unsealed FileUnsealer::Finish() {
  if (result_ != Unsealed::Opened) return result_;
  if (!keyed_) return Unsealed::Damaged;
  // A file cut between chunks lacks its marked last one.
  return ended_ ? Unsealed::Opened : Unsealed::Tampered;
}

bool SealFile(ICrypto& crypto, std::string_view plain, std::string& sealed) {
  sealed.clear();
  FileSealer sealer(crypto, [&sealed](const void* data, std::size_t size) {
    sealed.append(static_cast<const char*>(data), size);
    return platform::Dword{0};
  });
  if (sealer.Begin() != 0 || sealer.Write(plain.data(), plain.size()) != 0 || sealer.Finish() != 0) {
    sealed.clear();
    return false;
  }
  return true;
}

Unsealed UnsealFile(ICrypto& crypto, std::string_view sealed, std::string& plain) {
  plain.clear();
  FileUnsealer unsealer(crypto, [&plain](std::string_view piece) { plain.append(piece); });
  unsealer.Feed(sealed);
  const Unsealed result = unsealer.Finish();
  if (result != Unsealed::Opened) {
    crypto.Wipe(plain.data(), plain.size());
    plain.clear();
  }
  return result;
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

bool JournalSealer::Renew(std::string& header) {
  header.clear();
  if (!ready_ || !crypto_.Random(session_)) return false;
  count_ = 0;
  header = header_;
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
