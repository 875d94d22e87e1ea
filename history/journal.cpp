#include "history/journal.h"

#include <array>

namespace history {

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> CrcTable = MakeCrcTable();

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

std::u16string GetUnits(std::string_view bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  return text;
}

}  // namespace

std::uint32_t Crc32(std::string_view bytes) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (char byte : bytes) c = CrcTable[(c ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (c >> 8);
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
    JournalRecord record;
    record.date = GetUnits(payload.substr(4, 2 * std::size_t{dateUnits}));
    record.text = GetUnits(payload.substr(4 + 2 * std::size_t{dateUnits}));
    content.records.push_back(std::move(record));
    at += 8 + size;
    content.validBytes = at;
  }
  content.damaged = content.validBytes != bytes.size();
  return content;
}

}  // namespace history
