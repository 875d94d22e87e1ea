#include "history/journal.h"

#include <algorithm>
#include <array>
#include <bit>

namespace history {

namespace {

// Eight tables of the reflected CRC-32 (polynomial 0xEDB88320), so that eight bytes take eight
// independent lookups: start-up checks every record, and a byte at a time made the check cost
// a third as much as reading the history file itself.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr CrcTables MakeCrcTables() {
  CrcTables tables{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    tables[0][i] = c;
  }
  for (std::uint32_t i = 0; i < 256; ++i)
    for (int t = 1; t < 8; ++t) tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
  return tables;
}
constexpr CrcTables Crc = MakeCrcTables();

void PutU32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t GetU32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

void GetUnits(std::string_view bytes, std::u16string& text) {
  text.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
}

}  // namespace

std::uint32_t Crc32(std::string_view bytes) { return Crc32(0, bytes); }

std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size();
  std::uint32_t c = crc ^ 0xFFFFFFFFu;
  for (; n >= 8; p += 8, n -= 8) {
    const std::uint32_t low = c ^ (p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
    c = Crc[7][low & 0xFF] ^ Crc[6][(low >> 8) & 0xFF] ^ Crc[5][(low >> 16) & 0xFF] ^ Crc[4][low >> 24] ^
        Crc[3][p[4]] ^ Crc[2][p[5]] ^ Crc[1][p[6]] ^ Crc[0][p[7]];
  }
  for (; n > 0; ++p, --n) c = Crc[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

namespace {

void Encode(std::string& out, std::u16string_view date, std::u16string_view text,
            std::u16string_view reference, bool attach) {
  // Written in place, the size and CRC last: a copy of 100 MB is encoded in one pass, not
  // copied again as a payload of its own.
  const std::size_t start = out.size();
  PutU32(out, 0);
  PutU32(out, 0);
  const bool referenced = attach || !reference.empty();
  PutU32(out, static_cast<std::uint32_t>(date.size()) | (referenced ? ReferenceFlag : 0) |
                  (attach ? AttachFlag : 0));
  const std::u16string_view parts[] = {date, reference, text};
  for (std::size_t k = 0; k < 3; ++k) {
    const std::u16string_view units = parts[k];
    if (k == 1) {
      if (!referenced) continue;
      PutU32(out, static_cast<std::uint32_t>(reference.size()));
    }
    if constexpr (std::endian::native == std::endian::little) {
      out.append(reinterpret_cast<const char*>(units.data()), units.size() * 2);
    } else {
      for (char16_t unit : units) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
      }
    }
  }
  const std::string_view payload = std::string_view(out).substr(start + 8);
  const std::uint32_t size = static_cast<std::uint32_t>(payload.size());
  const std::uint32_t crc = Crc32(payload);
  for (int i = 0; i < 4; ++i) {
    out[start + static_cast<std::size_t>(i)] = static_cast<char>((size >> (8 * i)) & 0xFF);
    out[start + 4 + static_cast<std::size_t>(i)] = static_cast<char>((crc >> (8 * i)) & 0xFF);
  }
}

constexpr std::u16string_view PendingPrefix = u"pending:";

}  // namespace

void EncodeJournalRecord(std::string& out, std::u16string_view date, std::u16string_view text,
                         std::u16string_view reference) {
  Encode(out, date, text, reference, false);
}

void EncodeAttachRecord(std::string& out, std::u16string_view placeholder, std::u16string_view reference) {
  Encode(out, placeholder, {}, reference, true);
}

void EncodeJournalRecord(std::string& out, const JournalRecord& record) {
  if (record.attach)
    EncodeAttachRecord(out, record.date, record.reference);
  else
    EncodeJournalRecord(out, record.date, record.text, record.reference);
}

bool IsPendingReference(std::u16string_view reference) {
  return reference.size() > PendingPrefix.size() &&
         reference.substr(0, PendingPrefix.size()) == PendingPrefix;
}

std::u16string PendingReference(std::uint64_t number) {
  const std::string digits = std::to_string(number);
  return std::u16string(PendingPrefix) + std::u16string(digits.begin(), digits.end());
}

JournalRecordWriter::JournalRecordWriter(std::u16string_view date, std::shared_ptr<const std::u16string> text,
                                         std::u16string_view reference)
    : text_(std::move(text)) {
  // The head is what EncodeJournalRecord writes for the record without its text (the text comes
  // last): the size and CRC are those of the whole payload.
  EncodeJournalRecord(head_, date, std::u16string_view(), reference);
  const std::size_t payload = head_.size() - 8 + 2 * text_->size();
  for (int i = 0; i < 4; ++i)
    head_[static_cast<std::size_t>(i)] = static_cast<char>((payload >> (8 * i)) & 0xFF);
  crc_ = Crc32(std::string_view(head_).substr(8));
}

std::string_view JournalRecordWriter::Bytes(std::size_t unit, std::size_t units) {
  const char16_t* from = text_->data() + unit;
  if constexpr (std::endian::native == std::endian::little) {
    return {reinterpret_cast<const char*>(from), units * 2};
  } else {
    swapped_.resize(units * 2);
    for (std::size_t i = 0; i < units; ++i) {
      swapped_[2 * i] = static_cast<char>(from[i] & 0xFF);
      swapped_[2 * i + 1] = static_cast<char>(from[i] >> 8);
    }
    return swapped_;
  }
}

std::uint32_t JournalRecordWriter::Step(std::size_t& budget, const Write& write) {
  constexpr std::size_t CheckShare = 4;
  const std::size_t units = text_->size();
  while (checked_ < units && budget > 0) {
    const std::size_t take = std::min(units - checked_, std::max<std::size_t>(budget * CheckShare / 2, 1));
    crc_ = Crc32(crc_, Bytes(checked_, take));
    checked_ += take;
    budget -= std::min(budget, 2 * take / CheckShare);
  }
  if (checked_ < units) return 0;
  if (written_ < head_.size()) {
    for (int i = 0; i < 4; ++i)
      head_[4 + static_cast<std::size_t>(i)] = static_cast<char>((crc_ >> (8 * i)) & 0xFF);
    if (const std::uint32_t error = write(head_.data(), head_.size())) return error;
    written_ = head_.size();
  }
  while (!Done() && budget > 0) {
    const std::size_t at = (written_ - head_.size()) / 2;
    const std::size_t take = std::min(units - at, std::max<std::size_t>(budget / 2, 1));
    const std::string_view bytes = Bytes(at, take);
    if (const std::uint32_t error = write(bytes.data(), bytes.size())) return error;
    written_ += bytes.size();
    budget -= std::min(budget, bytes.size());
  }
  return 0;
}

namespace {

// The CRC of a stretch from those of the stretches before it and up to its end, as in zlib's
// crc32_combine: CRC(a b) = CRC(a) x^(8 |b|) + CRC(b) in the polynomial ring modulo the CRC's
// polynomial, whose elements the reflected CRC writes with x^0 in the top bit.
constexpr std::uint32_t Polynomial = 0xEDB88320u;

std::uint32_t MultiplyModP(std::uint32_t a, std::uint32_t b) {
  std::uint32_t product = 0;
  for (std::uint32_t m = 1u << 31; m != 0; m >>= 1) {
    if (a & m) {
      product ^= b;
      if ((a & (m - 1)) == 0) break;
    }
    b = (b & 1) ? (b >> 1) ^ Polynomial : b >> 1;
  }
  return product;
}

// x^(2^k) for k = 0 to 31; x^(2^32) is x^(2^0) again, as x^(2^32 - 1) is 1.
constexpr std::array<std::uint32_t, 32> MakePowers() {
  std::array<std::uint32_t, 32> powers{};
  std::uint32_t p = 1u << 30;  // x
  for (std::uint32_t& power : powers) {
    power = p;
    // p * p, as MultiplyModP does it (constexpr)
    std::uint32_t product = 0, b = p;
    for (std::uint32_t m = 1u << 31; m != 0; m >>= 1) {
      if (p & m) product ^= b;
      b = (b & 1) ? (b >> 1) ^ Polynomial : b >> 1;
    }
    p = product;
  }
  return powers;
}
constexpr std::array<std::uint32_t, 32> Powers = MakePowers();

// x^(8 n)
std::uint32_t ShiftFor(std::size_t bytes) {
  std::uint32_t p = 1u << 31;  // 1
  for (std::size_t k = 3; bytes != 0; bytes >>= 1, ++k)
    if (bytes & 1) p = MultiplyModP(Powers[k % 32], p);
  return p;
}

// What a record's first 12 bytes must say for it to be one: a payload of an even size of at
// least 4 that fits in the file, whose date fits in it. Returns the payload's size, or 0.
std::uint32_t PlausibleSize(std::string_view bytes, std::size_t at) {
  if (bytes.size() - at < 12) return 0;
  const std::uint32_t size = GetU32(bytes, at);
  if (size < 4 || size % 2 != 0 || size > bytes.size() - at - 8) return 0;
  const std::uint32_t field = GetU32(bytes, at + 8);
  // A change holds at least its row, print and count of cells; its CRC says the rest.
  if (field == ChangeFlag) return size >= 16 ? size : 0;
  const std::uint32_t date = field & ~(ReferenceFlag | AttachFlag);
  // An attach record carries its reference and nothing after it.
  if ((field & AttachFlag) != 0 && (field & ReferenceFlag) == 0) return 0;
  if (date > (size - 4) / 2) return 0;
  if ((field & ReferenceFlag) != 0) {
    const std::size_t rest = size - 4 - 2 * std::size_t{date};
    if (rest < 4) return 0;
    const std::uint32_t reference = GetU32(bytes, at + 12 + 2 * std::size_t{date});
    if (reference > (rest - 4) / 2) return 0;
    if ((field & AttachFlag) != 0 && rest != 4 + 2 * std::size_t{reference}) return 0;
  }
  return size;
}

// The CRC-32 of every stretch of the bytes from `start` to an even offset, so that the CRC of
// any stretch between two such offsets costs a few multiplications instead of a pass over it.
// After a damaged record, every even offset is a place where the next record may begin, and
// checking each with a pass over its payload would cost time in the square of the damage.
class StretchCrcs {
 public:
  StretchCrcs(std::string_view bytes, std::size_t start) : start_(start) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    crcs_.reserve((bytes.size() - start) / 2 + 1);
    std::uint32_t c = 0xFFFFFFFFu;
    crcs_.push_back(0);
    for (std::size_t i = start; i + 2 <= bytes.size(); i += 2) {
      c = Crc[0][(c ^ p[i]) & 0xFF] ^ (c >> 8);
      c = Crc[0][(c ^ p[i + 1]) & 0xFF] ^ (c >> 8);
      crcs_.push_back(c ^ 0xFFFFFFFFu);
    }
  }
  // The CRC of the bytes from `begin` to `end`, both even offsets from the start, in range.
  std::uint32_t Of(std::size_t begin, std::size_t end) const {
    const std::uint32_t before = crcs_[(begin - start_) / 2];
    const std::uint32_t upTo = crcs_[(end - start_) / 2];
    return upTo ^ MultiplyModP(ShiftFor(end - begin), before);
  }
  std::size_t End() const { return start_ + 2 * (crcs_.size() - 1); }

 private:
  std::size_t start_;
  std::vector<std::uint32_t> crcs_;
};

}  // namespace

JournalContent DecodeJournal(std::string_view bytes) {
  JournalContent content;
  std::size_t at = JournalHeader.size();
  const bool header = bytes.size() >= at && bytes.substr(0, at) == JournalHeader;
  // A header that was damaged (a changed byte) costs only itself when a whole record follows it.
  auto recordAt = [&](std::size_t offset) {
    const std::uint32_t size = PlausibleSize(bytes, offset);
    return size != 0 && Crc32(bytes.substr(offset + 8, size)) == GetU32(bytes, offset + 4) ? size : 0;
  };
  if (!header && (bytes.size() < at || recordAt(at) == 0)) {
    // An empty file, or a header cut by a crash right after the journal was made, holds
    // nothing yet.
    content.recognised = JournalHeader.substr(0, bytes.size()) == bytes;
    content.damaged = content.recognised && !bytes.empty();
    return content;
  }
  content.recognised = true;
  if (header) content.validBytes = at;
  std::size_t whole = content.validBytes;  // header and records, counted in bytes
  auto take = [&](std::size_t record, std::uint32_t size) {
    content.records.push_back({record + 8, size});
    whole += 8 + std::size_t{size};
    return record + 8 + size;
  };
  // Records follow one another until one is damaged.
  while (at < bytes.size()) {
    const std::uint32_t size = recordAt(at);
    if (size == 0) break;
    at = take(at, size);
    if (header) content.validBytes = at;
  }
  if (at < bytes.size()) {
    // A record that is damaged (a changed byte, or bytes written over it) costs only itself: the
    // next whole record is looked for at each even offset after it, as the writer starts every
    // record at one (the header and each record have even lengths), and its records are read on.
    // A record found where none began has its CRC match by chance, once in 2^32 tries.
    const StretchCrcs crcs(bytes, at);
    for (std::size_t next = at + 2; next + 12 <= crcs.End();) {
      const std::uint32_t size = PlausibleSize(bytes, next);
      if (size != 0 && next + 8 + size <= crcs.End() &&
          crcs.Of(next + 8, next + 8 + size) == GetU32(bytes, next + 4)) {
        next = take(next, size);
      } else {
        next += 2;
      }
    }
  }
  content.damaged = whole != bytes.size();
  return content;
}

void ReadJournalRecord(std::string_view bytes, const JournalContent::Payload& where, std::u16string& date,
                       std::u16string& text, std::u16string& reference) {
  const std::string_view payload = bytes.substr(where.offset, where.size);
  const std::uint32_t dateField = GetU32(payload, 0);
  const std::size_t dateBytes = 2 * std::size_t{dateField & ~(ReferenceFlag | AttachFlag)};
  GetUnits(payload.substr(4, dateBytes), date);
  std::size_t at = 4 + dateBytes;
  reference.clear();
  if ((dateField & ReferenceFlag) != 0) {
    const std::size_t referenceBytes = 2 * std::size_t{GetU32(payload, at)};
    GetUnits(payload.substr(at + 4, referenceBytes), reference);
    at += 4 + referenceBytes;
  }
  GetUnits(payload.substr(at), text);
}

JournalRecord ReadJournalRecord(std::string_view bytes, const JournalContent::Payload& payload) {
  JournalRecord record;
  ReadJournalRecord(bytes, payload, record.date, record.text, record.reference);
  record.attach = IsAttachRecord(bytes, payload);
  return record;
}

namespace {

void PutUnits(std::string& out, std::u16string_view units) {
  PutU32(out, static_cast<std::uint32_t>(units.size()));
  for (char16_t unit : units) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
}

// Takes a count of code units and the units from `payload` at `at`; false when they do not fit.
bool TakeUnits(std::string_view payload, std::size_t& at, std::u16string& units) {
  if (payload.size() - at < 4) return false;
  const std::size_t count = GetU32(payload, at);
  at += 4;
  if ((payload.size() - at) / 2 < count) return false;
  GetUnits(payload.substr(at, 2 * count), units);
  at += 2 * count;
  return true;
}

}  // namespace

void EncodeJournalChange(std::string& out, const JournalChange& change) {
  std::string payload;
  PutU32(payload, ChangeFlag);
  PutU32(payload, change.row);
  PutU32(payload, change.print);
  PutU32(payload, static_cast<std::uint32_t>(change.cells.size()));
  for (const JournalChange::Cell& cell : change.cells) {
    PutUnits(payload, cell.column);
    PutUnits(payload, cell.text);
  }
  PutU32(out, static_cast<std::uint32_t>(payload.size()));
  PutU32(out, Crc32(payload));
  out += payload;
}

bool IsJournalChange(std::string_view bytes, const JournalContent::Payload& payload) {
  return payload.size >= 4 && GetU32(bytes, payload.offset) == ChangeFlag;
}

bool ReadJournalChange(std::string_view bytes, const JournalContent::Payload& where, JournalChange& change) {
  const std::string_view payload = bytes.substr(where.offset, where.size);
  if (payload.size() < 16 || GetU32(payload, 0) != ChangeFlag) return false;
  change.row = GetU32(payload, 4);
  change.print = GetU32(payload, 8);
  const std::uint32_t count = GetU32(payload, 12);
  // Each cell takes at least 8 bytes: a count is not taken on trust before room is made for it.
  if (count > (payload.size() - 16) / 8) return false;
  change.cells.assign(count, {});
  std::size_t at = 16;
  for (JournalChange::Cell& cell : change.cells)
    if (!TakeUnits(payload, at, cell.column) || !TakeUnits(payload, at, cell.text)) return false;
  return at == payload.size();
}

std::uint32_t EntryPrint(std::u16string_view date, std::u16string_view text) {
  std::string head;
  for (char16_t unit : date) {
    head.push_back(static_cast<char>(unit & 0xFF));
    head.push_back(static_cast<char>(unit >> 8));
  }
  PutU32(head, static_cast<std::uint32_t>(date.size()));
  std::uint32_t crc = Crc32(head);
  if constexpr (std::endian::native == std::endian::little) {
    return Crc32(crc, {reinterpret_cast<const char*>(text.data()), text.size() * 2});
  } else {
    std::string swapped;
    for (char16_t unit : text) {
      swapped.push_back(static_cast<char>(unit & 0xFF));
      swapped.push_back(static_cast<char>(unit >> 8));
    }
    return Crc32(crc, swapped);
  }
}

bool IsAttachRecord(std::string_view bytes, const JournalContent::Payload& payload) {
  const std::uint32_t field = GetU32(bytes.substr(payload.offset, payload.size), 0);
  return (field & AttachFlag) != 0 && (field & ReferenceFlag) != 0;
}

std::vector<RowOfRecord> ResolveAttachments(std::string_view bytes,
                                            const std::vector<JournalContent::Payload>& records) {
  std::vector<RowOfRecord> rows(records.size());
  // The rows still waiting for their items, by placeholder: the newest last.
  std::vector<std::pair<std::u16string, std::size_t>> waiting;
  std::u16string date, text, reference;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (IsJournalChange(bytes, records[i])) continue;  // read on its own, and never a row
    ReadJournalRecord(bytes, records[i], date, text, reference);
    if (!IsAttachRecord(bytes, records[i])) {
      rows[i].row = true;
      if (IsPendingReference(reference)) {
        rows[i].row = false;  // until an attach record resolves it
        waiting.emplace_back(std::move(reference), i);
        reference.clear();
      }
      continue;
    }
    for (auto row = waiting.rbegin(); row != waiting.rend(); ++row) {
      if (row->first != date) continue;
      RowOfRecord& resolved = rows[row->second];
      resolved.row = resolved.resolved = true;
      resolved.reference = reference;
      waiting.erase(std::next(row).base());
      break;
    }
  }
  return rows;
}

}  // namespace history
