// Sealed data files: the bytes of a table text file (or each record of a journal) encrypted
// with AES-256-GCM under a random key of the file's own, which DPAPI protects for the Windows
// account and which the file carries in its header, so that each file reads on its own.
//
// Layout (integers little-endian):
//   header:  magic "\x89" "CMSEAL" "\x1A" (8 bytes) | version (1) | kind (1) | 0 (2)
//            | length of the key blob (4) | the DPAPI blob of the 32-byte key
//   a file:  header | nonce prefix (8) | chunks, each: its length (4) | cipher text and tag (16)
//            of up to 1 MiB of the plain file; chunk n's nonce is the prefix then n (4), and its
//            associated data the header, n and whether it is the last, so that chunks cannot be
//            moved, dropped or cut off unnoticed
//   journal: header | records, each: mark "SREC" (4) | length of what follows the nonce (4)
//            | nonce (12) | cipher text and tag of one plain record
// The header is the associated data of every chunk of a file and of every journal record (with
// the record's mark and length), so none of it can be changed or moved to another file
// unnoticed. Files go through in chunks so that neither writing nor reading a large history
// holds its plain text twice.
// A journal's nonces are 8 random bytes drawn each time it is opened for writing, then a
// count of its records, so no nonce is used twice under one key; a file gets a new key and a
// random nonce prefix at every write.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/crypto.h"
#include "platform/types.h"

namespace grid {

// Whether the bytes are a sealed file (of either kind), not a table text file; its first
// SealedMagicBytes tell.
constexpr std::size_t SealedMagicBytes = 8;
bool IsSealed(std::string_view bytes);

enum class Unsealed {
  Opened,    // the plain bytes are out
  Damaged,   // not a whole sealed file: cut short, or a header that does not read
  Refused,   // DPAPI would not open the key: another account or machine, or a changed blob
  Tampered,  // the key opened but the text fails its tag: changed, or cut
};
// Why a sealed file could not be read, to finish a sentence: "... it was sealed for another
// Windows account or computer".
std::string UnsealedReason(Unsealed result);

// The Windows error a write reports when the system refused to seal (ERROR_ENCRYPTION_FAILED).
constexpr platform::Dword SealingFailed = 6000;
constexpr std::size_t ChunkBytes = 1 << 20;

// Seals a file's content as it is written, through `put` (which returns 0 or a Windows error):
// Begin, Write the plain bytes in any pieces, Finish. Each returns put's first error, or
// SealingFailed when the system refused.
class FileSealer {
 public:
  using Put = std::function<platform::Dword(const void* data, std::size_t size)>;
  FileSealer(platform::ICrypto& crypto, Put put);
  ~FileSealer();
  FileSealer(const FileSealer&) = delete;
  FileSealer& operator=(const FileSealer&) = delete;
  platform::Dword Begin();
  platform::Dword Write(const void* data, std::size_t size);
  platform::Dword Finish();

 private:
  platform::Dword SealChunk(bool last);
  platform::ICrypto& crypto_;
  Put put_;
  std::array<std::uint8_t, platform::AesKeyBytes> key_{};
  std::array<std::uint8_t, 8> prefix_{};
  std::string header_;
  std::string chunk_;
  std::uint32_t index_ = 0;
  bool ready_ = false;
};

// Opens a sealed file's content as it is read: Feed it the file's bytes in any pieces; `take`
// receives the plain bytes a chunk at a time, each only once its tag has passed. Finish tells
// whether the whole file opened: plain bytes handed out before a later failure are the file's
// own, but the file is not whole.
class FileUnsealer {
 public:
  using Take = std::function<void(std::string_view plain)>;
  FileUnsealer(platform::ICrypto& crypto, Take take);
  ~FileUnsealer();
  FileUnsealer(const FileUnsealer&) = delete;
  FileUnsealer& operator=(const FileUnsealer&) = delete;
  void Feed(std::string_view piece);
  Unsealed Finish();

 private:
  platform::ICrypto& crypto_;
  Take take_;
  std::array<std::uint8_t, platform::AesKeyBytes> key_{};
  std::array<std::uint8_t, 8> prefix_{};
  std::string header_;
  std::string kept_;
  std::string plain_;
  std::uint32_t index_ = 0;
  bool keyed_ = false;
  bool ended_ = false;
  Unsealed result_ = Unsealed::Opened;
};

// The plain bytes sealed as a file under a fresh key; false (with `sealed` empty) when the
// system refuses a step.
bool SealFile(platform::ICrypto& crypto, std::string_view plain, std::string& sealed);
// `plain` receives the bytes of a sealed file; nothing unless Opened.
Unsealed UnsealFile(platform::ICrypto& crypto, std::string_view sealed, std::string& plain);

// Seals journal records one at a time.
class JournalSealer {
 public:
  explicit JournalSealer(platform::ICrypto& crypto) : crypto_(crypto) {}
  ~JournalSealer();
  JournalSealer(const JournalSealer&) = delete;
  JournalSealer& operator=(const JournalSealer&) = delete;

  // A new journal under a fresh key: `header` is what starts the file.
  bool Begin(std::string& header);
  // A new journal under the key this sealer holds already (its header is the one Begin made),
  // with a fresh random session: no DPAPI call, so the first capture after a fold stays cheap.
  // False when the sealer has no key.
  bool Renew(std::string& header);
  // Appends go on in an existing journal that starts with `header`; false when its key does
  // not open.
  Unsealed Resume(std::string_view header);
  // The bytes that append one record; false when the sealer has no key or the system refuses.
  bool Seal(std::string_view record, std::string& out);
  bool Ready() const { return ready_; }

 private:
  void Forget();
  platform::ICrypto& crypto_;
  std::array<std::uint8_t, platform::AesKeyBytes> key_{};
  std::string header_;
  std::array<std::uint8_t, 8> session_{};
  std::uint32_t count_ = 0;
  bool ready_ = false;
};

struct SealedJournalRead {
  Unsealed header = Unsealed::Opened;  // records are read only when the header's key opened
  int records = 0;                     // handed to `take`
  int damaged = 0;                     // stretches skipped: a record that failed, or bytes between records
  std::size_t end = 0;                 // just past the last good record (the header's end when none)
};
// Hands each good record of a sealed journal to `take`, in order, skipping any that fails its
// tag or is cut short and going on at the next record's mark.
SealedJournalRead ReadSealedJournal(platform::ICrypto& crypto, std::string_view bytes,
                                    const std::function<void(std::string_view record)>& take);

}  // namespace grid
