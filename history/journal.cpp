#include "history/journal.h"

#include <array>

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

void PutUnits(std::string& out, std::u16string_view text) {
  for (char16_t unit : text) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
}

void GetUnits(std::string_view bytes, std::u16string& text) {
  text.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
}

}  // namespace

std::uint32_t Crc32(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size();
  std::uint32_t c = 0xFFFFFFFFu;
  for (; n >= 8; p += 8, n -= 8) {
    const std::uint32_t low = c ^ (p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
    c = Crc[7][low & 0xFF] ^ Crc[6][(low >> 8) & 0xFF] ^ Crc[5][(low >> 16) & 0xFF] ^ Crc[4][low >> 24] ^
        Crc[3][p[4]] ^ Crc[2][p[5]] ^ Crc[1][p[6]] ^ Crc[0][p[7]];
  }
  for (; n > 0; ++p, --n) c = Crc[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void EncodeJournalRecord(std::string& out, std::u16string_view date, std::u16string_view text) {
  std::string payload;
  payload.reserve(4 + 2 * (date.size() + text.size()));
  PutU32(payload, static_cast<std::uint32_t>(date.size()));
  PutUnits(payload, date);
  PutUnits(payload, text);
  PutU32(out, static_cast<std::uint32_t>(payload.size()));
  PutU32(out, Crc32(payload));
  out += payload;
}

JournalContent DecodeJournal(std::string_view bytes) {
  JournalContent content;
  if (bytes.size() < JournalHeader.size() || bytes.substr(0, JournalHeader.size()) != JournalHeader) {
    // An empty file, or a header cut by a crash right after the journal was made, holds
    // nothing yet.
    content.recognised = JournalHeader.substr(0, bytes.size()) == bytes;
    content.damaged = content.recognised && !bytes.empty();
    return content;
  }
  content.recognised = true;
  std::size_t at = JournalHeader.size();
  content.validBytes = at;
  while (at < bytes.size()) {
    if (bytes.size() - at < 8) break;
    const std::uint32_t size = GetU32(bytes, at);
    const std::uint32_t crc = GetU32(bytes, at + 4);
    if (size < 4 || size % 2 != 0 || size > bytes.size() - at - 8) break;
    const std::string_view payload = bytes.substr(at + 8, size);
    if (Crc32(payload) != crc) break;
    const std::uint32_t dateUnits = GetU32(payload, 0);
    if (dateUnits > (size - 4) / 2) break;
    content.records.push_back({at + 8, size});
    at += 8 + size;
    content.validBytes = at;
  }
  content.damaged = content.validBytes != bytes.size();
  return content;
}

void ReadJournalRecord(std::string_view bytes, const JournalContent::Payload& where, std::u16string& date,
                       std::u16string& text) {
  const std::string_view payload = bytes.substr(where.offset, where.size);
  const std::size_t dateBytes = 2 * std::size_t{GetU32(payload, 0)};
  GetUnits(payload.substr(4, dateBytes), date);
  GetUnits(payload.substr(4 + dateBytes), text);
}

JournalRecord ReadJournalRecord(std::string_view bytes, const JournalContent::Payload& payload) {
  JournalRecord record;
  ReadJournalRecord(bytes, payload, record.date, record.text);
  return record;
}

}  // namespace history
