#include "history/entry_id.h"

#include <cstring>

#include "grid/data_directory.h"
#include "grid/table_file.h"
#include "platform/bytes.h"

namespace history {

using namespace platform;

namespace {

constexpr std::u16string_view ReferenceIdTag = u"id1:";

std::optional<std::uint64_t> Decimal(std::string_view text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;  // past 2^64 - 1
    value = value * 10 + digit;
  }
  return value;
}

std::array<std::uint8_t, 8> ComputerBytes(std::uint64_t computer) {
  std::array<std::uint8_t, 8> bytes;
  for (int i = 0; i < 8; ++i)
    bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(computer >> (56 - 8 * i));
  return bytes;
}

}  // namespace

std::string ComputerIdText(std::uint64_t computer) { return platform::HexText(ComputerBytes(computer)); }

std::u16string EntryIdText(const EntryId& id) {
  const std::string text = ComputerIdText(id.computer) + "." + std::to_string(id.counter);
  return std::u16string(text.begin(), text.end());
}

std::optional<EntryId> ParseEntryId(std::u16string_view text) {
  if (text.size() < 18 || text[16] != u'.') return std::nullopt;
  EntryId id;
  for (std::size_t i = 0; i < 16; ++i) {
    const int digit = platform::HexDigit(text[i]);
    if (digit < 0) return std::nullopt;
    id.computer = id.computer << 4 | static_cast<std::uint64_t>(digit);
  }
  std::string counter;
  for (char16_t c : text.substr(17)) {
    if (c < u'0' || c > u'9') return std::nullopt;
    counter.push_back(static_cast<char>(c));
  }
  // One spelling: no leading zeros.
  if (counter.size() > 1 && counter[0] == '0') return std::nullopt;
  const auto value = Decimal(counter);
  if (!value) return std::nullopt;
  id.counter = *value;
  return id;
}

std::u16string JournalReference(std::u16string_view items, std::u16string_view id) {
  std::u16string reference(items);
  if (id.empty()) return reference;
  if (!reference.empty()) reference.push_back(u';');
  reference.append(ReferenceIdTag).append(id);
  return reference;
}

void SplitJournalReference(std::u16string_view reference, std::u16string& items, std::u16string& id) {
  items.assign(reference);
  id.clear();
  const std::size_t at = reference.rfind(ReferenceIdTag);
  if (at == std::u16string_view::npos || (at != 0 && reference[at - 1] != u';')) return;
  const std::u16string_view text = reference.substr(at + ReferenceIdTag.size());
  if (!ParseEntryId(text)) return;
  id.assign(text);
  items.assign(reference.substr(0, at == 0 ? 0 : at - 1));
}

EntryIds::EntryIds(Desktop& desktop) : desktop_(desktop) {}

void EntryIds::Load() {
  if (loaded_) return;
  loaded_ = true;
  IFiles& files = desktop_.Files();
  ICrypto& crypto = desktop_.Crypto();
  std::string bytes;
  bool known = false;
  if (files.ReadAll(grid::DataPath(files, FileName), bytes) == 0) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < bytes.size();) {
      std::size_t end = bytes.find('\n', at);
      if (end == std::string::npos) end = bytes.size();
      lines.push_back(bytes.substr(at, end - at));
      at = end + 1;
    }
    Bytes computer, check, opened;
    const auto reserved = lines.size() >= 2 ? Decimal(lines[1]) : std::nullopt;
    if (lines.size() >= 3 && platform::ReadHex(lines[0], computer) && computer.size() == 8 && reserved &&
        platform::ReadHex(lines[2], check)) {
      // An id made for another account or computer would be that computer's too.
      if (check.empty() || (crypto.UnprotectForUser(check, opened) && opened == computer)) {
        for (std::uint8_t b : computer) computer_ = computer_ << 8 | b;
        next_ = *reserved;
        check_ = lines[2];
        known = computer_ != 0;
      }
    }
  }
  if (!known) {
    std::array<std::uint8_t, 8> random{};
    while (computer_ == 0) {
      if (!crypto.Random(random)) random = ComputerBytes(desktop_.Clock().GetTickCount() | 1);
      for (std::uint8_t b : random) computer_ = computer_ << 8 | b;
    }
    next_ = 1;
    check_.clear();
  }
  if (check_.empty()) {
    Bytes blob;
    const auto computer = ComputerBytes(computer_);
    if (crypto.ProtectForUser(computer, blob)) check_ = platform::HexText(blob);
  }
  Reserve(next_ + Block);
}

void EntryIds::Reserve(std::uint64_t upTo) {
  IFiles& files = desktop_.Files();
  const std::string bytes = ComputerIdText(computer_) + "\n" + std::to_string(upTo) + "\n" + check_ + "\n";
  // A disk that does not take it is not asked again at every capture, only a block later.
  grid::ReplaceFileContents(files, grid::DataPath(files, FileName), bytes.data(), bytes.size());
  reserved_ = upTo;
}

EntryId EntryIds::Next() {
  Load();
  if (next_ >= reserved_) Reserve(next_ + Block);
  return {computer_, next_++};
}

}  // namespace history
