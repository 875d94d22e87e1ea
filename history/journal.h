// The capture journal: an append-only file beside the history file that receives each capture
// the moment it is made, so that a crash, a kill or a power cut costs at most the captures of
// the last second. The history file itself is only written whole; the journal is folded into
// it at each such write and then emptied.
//
// Layout: the 8 bytes "CMJRNL1\n", then one record per capture, oldest first:
//   u32 payload size in bytes, u32 CRC-32 of the payload, payload
//   payload: u32 number of code units of the date, the date's code units, the text's code units
// all little-endian, the texts UTF-16. An entry that keeps items (see item_store.h) sets the top
// bit of the date's count, and its reference to them comes between the date and the text:
// u32 number of code units, the code units. (A reader that knows no such records drops them as
// damaged: it keeps the rest.) A record that a crash cut short, or whose checksum does
// not match, is dropped; the records after it are found again and read.
//
// A change of an entry already in the list (its pin, its text) is a record of its own, whose
// first word is ChangeFlag where a capture has its date's count:
//   u32 ChangeFlag, u32 the row's index from the top when the change was made, u32 the row's
//   print (EntryPrint of its date and text before the change), u32 number of cells, then for
//   each cell: u32 number of code units of the column's name, the name (UTF-16), u32 number
//   of code units of the cell's new text, the text.
// Any column can be named, so that a later field of the row has its changes carried the same
// way; a reader passes over the names it does not know. Earlier readers take such a record for
// damage and keep the captures around it.
//
// An image's row is recorded the moment it is read, before its PNG is coded: its reference is
// then a placeholder of its own, "pending:" and a number (never an item's name), and an attach
// record follows once the items are made. Its date count has both top bits set and holds the
// placeholder's length; the placeholder's units follow, then the reference as above (possibly
// empty), and no text. It gives the reference to the newest row before it that still holds the
// placeholder. A row whose placeholder no attach record follows lost its image to a crash.
// (A change's first word is ChangeFlag alone; an attach record's has ReferenceFlag too.)
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace history {

constexpr std::string_view JournalHeader = "CMJRNL1\n";

struct JournalRecord {
  std::u16string date;            // for an attach record, the placeholder it resolves
  std::u16string text;            // empty for an attach record
  std::u16string reference = {};  // to the entry's items, empty for none
  bool attach = false;
  bool operator==(const JournalRecord&) const = default;
};

// Appends the bytes of one record to `out`.
constexpr std::uint32_t ReferenceFlag = 0x80000000u;
constexpr std::uint32_t ChangeFlag = 0x40000000u;
constexpr std::uint32_t AttachFlag = 0x40000000u;
void EncodeJournalRecord(std::string& out, std::u16string_view date, std::u16string_view text,
                         std::u16string_view reference = {});
// An attach record: the row that holds `placeholder` refers to `reference` from now on.
void EncodeAttachRecord(std::string& out, std::u16string_view placeholder, std::u16string_view reference);
void EncodeJournalRecord(std::string& out, const JournalRecord& record);

// Whether a reference is a placeholder for items still being made.
bool IsPendingReference(std::u16string_view reference);
std::u16string PendingReference(std::uint64_t number);

// One record written in pieces, so that a long one holds the caller for a slice at a time: its
// CRC is worked out first, then its bytes go out in order. The text's storage is shared with
// whoever else keeps it (its row), which may let go of it meanwhile.
class JournalRecordWriter {
 public:
  JournalRecordWriter(std::u16string_view date, std::shared_ptr<const std::u16string> text,
                      std::u16string_view reference = {});
  // Takes the record's next bytes, in order; returns 0 or an error, which ends the record.
  using Write = std::function<std::uint32_t(const char* bytes, std::size_t size)>;
  // Works through about `budget` bytes (bytes checked cost a quarter of bytes written) and
  // returns 0 or the error `write` gave. `budget` is lowered by what the step cost.
  std::uint32_t Step(std::size_t& budget, const Write& write);
  bool Done() const { return written_ == head_.size() + 2 * text_->size(); }

 private:
  std::string head_;  // size, CRC (filled once known), the date's length and code units
  std::shared_ptr<const std::u16string> text_;
  std::uint32_t crc_ = 0;
  std::size_t checked_ = 0;  // code units of the text in crc_
  std::size_t written_ = 0;  // bytes of the record handed to `write`
  std::string swapped_;      // a piece of the text in little-endian order, on a big-endian host
  std::string_view Bytes(std::size_t unit, std::size_t units);
};

struct JournalContent {
  // The header, or its start (an empty file, or one cut as it was made), or a damaged header
  // followed by a whole record.
  bool recognised = false;
  // Where each whole record's payload lies, oldest first; ReadJournalRecord gives its texts.
  struct Payload {
    std::size_t offset, size;
  };
  std::vector<Payload> records;
  // The header and the whole records before the first damaged one; 0 when the header itself
  // is damaged (and recognised only by the record after it).
  std::size_t validBytes = 0;
  bool damaged = false;  // bytes that are neither the header nor a whole record
};

JournalContent DecodeJournal(std::string_view bytes);

// The texts of one record that DecodeJournal found in `bytes`, into strings whose room is
// reused from record to record.
void ReadJournalRecord(std::string_view bytes, const JournalContent::Payload& payload, std::u16string& date,
                       std::u16string& text, std::u16string& reference);
JournalRecord ReadJournalRecord(std::string_view bytes, const JournalContent::Payload& payload);
// Whether the record is an attach record (its texts are then the placeholder and reference).
bool IsAttachRecord(std::string_view bytes, const JournalContent::Payload& payload);

// What each record of a journal gives the history: whether it makes a row, and for a row
// whose placeholder an attach record resolved, the reference that record gave. Each attach
// record resolves the newest row before it that holds its placeholder; a row whose placeholder
// none resolves makes no row (its image was being coded when the program ended), nor does an
// attach record.
struct RowOfRecord {
  bool row = false;
  bool resolved = false;
  std::u16string reference;
};
std::vector<RowOfRecord> ResolveAttachments(std::string_view bytes,
                                            const std::vector<JournalContent::Payload>& records);

// A change of cells of an entry already in the list.
struct JournalChange {
  std::uint32_t row = 0;    // its index from the top at the time
  std::uint32_t print = 0;  // EntryPrint of the row before the change
  struct Cell {
    std::u16string column;  // the column's name
    std::u16string text;
    bool operator==(const Cell&) const = default;
  };
  std::vector<Cell> cells;
  bool operator==(const JournalChange&) const = default;
};
void EncodeJournalChange(std::string& out, const JournalChange& change);
// Whether the record is a change rather than a capture.
bool IsJournalChange(std::string_view bytes, const JournalContent::Payload& payload);
// The change a record holds; false for one that is not laid out as EncodeJournalChange lays it.
bool ReadJournalChange(std::string_view bytes, const JournalContent::Payload& payload, JournalChange& change);
// What tells an entry from its neighbours when a change is replayed: the CRC-32 of its date's and
// text's code units, with the date's length between them.
std::uint32_t EntryPrint(std::u16string_view date, std::u16string_view text);

std::uint32_t Crc32(std::string_view bytes);
// The CRC-32 of bytes that follow those whose CRC-32 is `crc`.
std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes);

}  // namespace history
