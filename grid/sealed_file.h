// Sealed data files: the bytes of a table text file (or each record of a journal) encrypted
// with AES-256-GCM under a random key of the file's own, which DPAPI protects for the Windows
// account and which the file carries in its header, so that each file reads on its own.
//
// Layout (integers little-endian):
//   header:  magic "\x89" "CMSEAL" "\x1A" (8 bytes) | version (1) | kind (1) | 0 (2)
//            | length of the key blob (4) | the DPAPI blob of the 32-byte key
//   a file:  header | nonce (12) | cipher text and tag (16) of the whole plain file
//   journal: header | records, each: mark "SREC" (4) | length of what follows the nonce (4)
//            | nonce (12) | cipher text and tag of one plain record
// The header is the associated data of a file's text and of every journal record (with the
// record's mark and length), so none of it can be changed or moved to another file unnoticed.
// A journal's nonces are 8 random bytes drawn each time it is opened for writing, then a
// count of its records, so no nonce is used twice under one key; a file gets a new key and a
// random nonce at every write.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/crypto.h"

namespace grid {

// Whether the bytes are a sealed file (of either kind), not a table text file.
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
