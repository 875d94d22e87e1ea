// Every entry this program captures carries an id that is the same on every computer that comes
// to hold it: the computer that made it and a counter of that computer's. The row keeps it in a
// hidden column, which the history file writes as a tagged field after the other fields (an
// earlier version drops the field and reads the rest), so that a delete, a pin or an edit that
// arrives from elsewhere finds the entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop.h"

namespace history {

constexpr const char* EntryIdColumn = "EntryId";
constexpr std::u16string_view EntryIdFileTag = u"id1:";

struct EntryId {
  std::uint64_t computer = 0;
  std::uint64_t counter = 0;
  bool operator==(const EntryId&) const = default;
  auto operator<=>(const EntryId&) const = default;
};

// "<computer, 16 lower-case hex digits>.<counter in decimal>", the one spelling of an id.
std::u16string EntryIdText(const EntryId& id);
// The id of that spelling; nothing for any other text.
std::optional<EntryId> ParseEntryId(std::u16string_view text);
// The 16 hex digits of a computer's id, as the sync folder's file names use them.
std::string ComputerIdText(std::uint64_t computer);

// The journal keeps a record's hidden cells in its one reference field: the item names, then
// the id as one more name, "id1:<id>", which an earlier version takes for an item it does not
// know and leaves out. These join and split that field.
std::u16string JournalReference(std::u16string_view items, std::u16string_view id);
void SplitJournalReference(std::u16string_view reference, std::u16string& items, std::u16string& id);

// This computer's id and the next counter, kept in Data\entry_ids.stng. The counter is reserved
// on the disk a block ahead of use, so that a crash never hands out a counter twice. The
// computer's id is made at random the first time, and made anew when the file comes from
// another Windows account or computer (a copied Data folder): its DPAPI check no longer opens.
class EntryIds {
 public:
  explicit EntryIds(platform::Desktop& desktop);
  // Reads the file, or begins one; never raises. Later calls do nothing.
  void Load();
  std::uint64_t Computer() {
    Load();
    return computer_;
  }
  // The next id of this computer; its counter is on the disk before it is given out (when the
  // disk takes it; otherwise the ids go on from memory, past anything the file held).
  EntryId Next();

  static constexpr std::uint64_t Block = 1024;
  static constexpr const char* FileName = "entry_ids.stng";

 private:
  void Reserve(std::uint64_t upTo);
  platform::Desktop& desktop_;
  bool loaded_ = false;
  std::uint64_t computer_ = 0;
  std::uint64_t next_ = 1;
  std::uint64_t reserved_ = 0;  // counters below this are on the disk as used
  std::string check_;           // the DPAPI blob of the computer's id, hex
};

}  // namespace history
