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
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace history {

constexpr std::string_view JournalHeader = "CMJRNL1\n";

struct JournalRecord {
  std::u16string date;
  std::u16string text;
  std::u16string reference = {};  // to the entry's items, empty for none
  bool operator==(const JournalRecord&) const = default;
};

// Appends the bytes of one record to `out`.
constexpr std::uint32_t ReferenceFlag = 0x80000000u;
void EncodeJournalRecord(std::string& out, std::u16string_view date, std::u16string_view text,
                         std::u16string_view reference = {});

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

std::uint32_t Crc32(std::string_view bytes);
// The CRC-32 of bytes that follow those whose CRC-32 is `crc`.
std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes);

}  // namespace history
