// Arbitrary bytes as a capture journal: reading never fails and never reads outside the bytes;
// the records it finds lie one after another, each where it was found, and written out again
// they make a journal that reads back as the same records with nothing damaged. A change of an
// entry reads back as the same change; one that is not laid out as a writer lays it is refused,
// and kept here as its bytes. Attach records
// resolve only rows that hold their placeholder, each at most one, and make no row themselves.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "history/journal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const history::JournalContent content = history::DecodeJournal(bytes);
  if (!content.recognised) {
    if (!content.records.empty()) std::abort();
    return 0;
  }
  std::size_t end = history::JournalHeader.size();
  // A header cut short is damage too: the bytes are neither a header nor a record.
  std::size_t whole = bytes.substr(0, end) == history::JournalHeader ? end : 0;
  // A capture, a change, or the payload of a change that does not read.
  struct Found {
    history::JournalRecord capture;
    bool isChange = false;
    bool read = false;
    history::JournalChange change;
    std::string payload;
    bool operator==(const Found&) const = default;
  };
  auto readAt = [](std::string_view from, const history::JournalContent::Payload& payload) {
    Found found;
    found.isChange = history::IsJournalChange(from, payload);
    if (!found.isChange) {
      found.capture = history::ReadJournalRecord(from, payload);
      return found;
    }
    found.read = history::ReadJournalChange(from, payload, found.change);
    if (!found.read) {
      found.change = {};
      found.payload = std::string(from.substr(payload.offset, payload.size));
    }
    return found;
  };
  std::vector<Found> records;
  for (const history::JournalContent::Payload& payload : content.records) {
    // A record is its 8 bytes of size and CRC, then the payload, after the one before it.
    if (payload.offset < end + 8 || payload.size < 4 || payload.offset + payload.size > bytes.size())
      std::abort();
    if (history::Crc32(bytes.substr(payload.offset, payload.size)) !=
        (static_cast<std::uint32_t>(data[payload.offset - 4]) |
         static_cast<std::uint32_t>(data[payload.offset - 3]) << 8 |
         static_cast<std::uint32_t>(data[payload.offset - 2]) << 16 |
         static_cast<std::uint32_t>(data[payload.offset - 1]) << 24))
      std::abort();
    end = payload.offset + payload.size;
    whole += 8 + payload.size;
    records.push_back(readAt(bytes, payload));
  }
  if (content.damaged != (whole != bytes.size())) std::abort();
  if (content.validBytes > bytes.size()) std::abort();

  std::string again(history::JournalHeader);
  for (const Found& record : records) {
    if (!record.isChange) {
      history::EncodeJournalRecord(again, record.capture);
    } else if (record.read) {
      history::EncodeJournalChange(again, record.change);
    } else {
      const std::uint32_t size = static_cast<std::uint32_t>(record.payload.size());
      const std::uint32_t crc = history::Crc32(record.payload);
      for (std::uint32_t word : {size, crc})
        for (int i = 0; i < 4; ++i) again.push_back(static_cast<char>((word >> (8 * i)) & 0xFF));
      again += record.payload;
    }
  }
  if (!content.damaged && bytes.size() >= history::JournalHeader.size() && again != bytes) std::abort();
  const history::JournalContent reread = history::DecodeJournal(again);
  if (reread.damaged || reread.validBytes != again.size() || reread.records.size() != records.size())
    std::abort();
  for (std::size_t i = 0; i < records.size(); ++i)
    if (!(readAt(again, reread.records[i]) == records[i])) std::abort();

  const std::vector<history::RowOfRecord> rows = history::ResolveAttachments(bytes, content.records);
  if (rows.size() != records.size()) std::abort();
  std::size_t attaches = 0, resolved = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (records[i].isChange) {
      if (rows[i].row) std::abort();
      continue;
    }
    const history::JournalRecord& record = records[i].capture;
    attaches += record.attach ? 1 : 0;
    if (record.attach && rows[i].row) std::abort();
    // A placeholder gives a row only once resolved; any other record is a row as it is.
    if (!record.attach && !history::IsPendingReference(record.reference) && !rows[i].row) std::abort();
    if (rows[i].resolved) {
      ++resolved;
      if (!rows[i].row || !history::IsPendingReference(record.reference)) std::abort();
    } else if (!record.attach && history::IsPendingReference(record.reference) && rows[i].row) {
      std::abort();
    }
  }
  if (resolved > attaches) std::abort();
  return 0;
}
