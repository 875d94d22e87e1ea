// What the sync folder's files hold. Every file is a run of sealed blocks, each
//   u32 size of the sealed bytes, 12-byte nonce, sealed bytes (AES-256-GCM, tag last)
// with the size, and what kind of file it is, as associated data; nothing else is in the clear.
// A computer's log opens a block of records; a record is u8 kind, u32 size, payload:
//   'H' header: u64 computer, u32 generation (each log's first record)
//   'A' an entry: u64 computer, u64 counter, i64 UTC ms, u8 form (0: 8-bit units, 1: UTF-16LE),
//       u32 units, the text, u8 items, then each item's name as u8 size and bytes
//   'D' deleted: u32 count, then count ids (u64 computer, u64 counter)
//   'C' cleared: u32 count, then count ids: every entry of each computer up to that counter
//   'E' an entry changed where it stands: u64 computer, u64 counter (its id), i64 UTC ms of the
//       change, u8 what (1: its pin, 2: its text), u8 pinned, then for a text: u8 form, u32
//       units, the text, as in 'A' (its other formats go with a new text)
// Kinds a reader does not know are passed over.
// All numbers little-endian. An item file holds one block, its bytes; the key's check file one
// block, a known text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "history/entry_id.h"
#include "platform/crypto.h"

namespace syncing {

using history::EntryId;

struct AddRecord {
  EntryId id;
  std::int64_t utcMs = 0;
  std::u16string text;
  std::vector<std::string> items;  // the local names of its items (history/item_store.h)
};

// A pin or an edit of an entry, which the newest change of each kind settles.
struct ChangeRecord {
  EntryId id;
  std::int64_t utcMs = 0;
  bool hasPin = false;
  bool pinned = false;
  bool hasText = false;
  std::u16string text;
  bool operator==(const ChangeRecord&) const = default;
};

struct LogRecords {
  bool hasHeader = false;
  std::uint64_t computer = 0;
  std::uint32_t generation = 0;
  std::vector<AddRecord> adds;
  std::vector<EntryId> deletes;
  std::vector<std::vector<EntryId>> clears;
  std::vector<ChangeRecord> changes;
};

void PutHeader(std::string& out, std::uint64_t computer, std::uint32_t generation);
void PutAdd(std::string& out, const AddRecord& add);
void PutIds(std::string& out, char kind, std::span<const EntryId> ids);
void PutChange(std::string& out, const ChangeRecord& change);
// The records of one opened block into `records`; false (with what was whole taken) when the
// block holds anything else.
bool ReadRecords(std::string_view plain, LogRecords& records);

enum class FileKind : std::uint8_t { Log = 1, Item = 2, Check = 3 };

// Seals `plain` as one block appended to `out` under `key`, with `nonce`; false when the
// system refused.
bool SealBlock(platform::ICrypto& crypto, std::span<const std::uint8_t> key,
               std::span<const std::uint8_t> nonce, FileKind kind, std::string_view plain, std::string& out);

// What reading a run of blocks found.
struct BlockRun {
  std::size_t whole = 0;  // the bytes of the whole blocks read, from the start given
  bool damaged = false;   // a whole block that does not open, or a size no block can have
  bool cut = false;       // the bytes end inside a block (half delivered, or being written)
};
// Opens the blocks from `from` on, handing each block's plain bytes to `take` until one does
// not open or the bytes end.
template <class Take>
BlockRun OpenBlocks(platform::ICrypto& crypto, std::span<const std::uint8_t> key, FileKind kind,
                    std::string_view bytes, std::size_t from, Take&& take);

// The largest block a file may hold; anything larger is damage.
constexpr std::uint32_t MostBlockBytes = 300u << 20;
constexpr std::size_t BlockHead = 4 + platform::GcmNonceBytes;

bool OpenOneBlock(platform::ICrypto& crypto, std::span<const std::uint8_t> key, FileKind kind,
                  std::string_view block, std::string& plain);

template <class Take>
BlockRun OpenBlocks(platform::ICrypto& crypto, std::span<const std::uint8_t> key, FileKind kind,
                    std::string_view bytes, std::size_t from, Take&& take) {
  BlockRun run;
  std::size_t at = from;
  std::string plain;
  while (at < bytes.size()) {
    if (bytes.size() - at < BlockHead) {
      run.cut = true;
      break;
    }
    std::uint32_t size = 0;
    for (int i = 3; i >= 0; --i)
      size = size << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    if (size < platform::GcmTagBytes || size > MostBlockBytes) {
      run.damaged = true;
      break;
    }
    if (bytes.size() - at - BlockHead < size) {
      run.cut = true;
      break;
    }
    if (!OpenOneBlock(crypto, key, kind, bytes.substr(at, BlockHead + size), plain)) {
      run.damaged = true;
      break;
    }
    at += BlockHead + size;
    take(std::string_view(plain));
    crypto.Wipe(plain.data(), plain.size());
  }
  run.whole = at - from;
  return run;
}

}  // namespace syncing
