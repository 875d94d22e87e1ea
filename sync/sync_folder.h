// The program's folder inside the one the user chose to sync, as one computer sees it: it
// writes only files of its own there, and reads every other computer's. Made and started on the
// window's thread; after that, only the background's jobs touch it (one after another), so it
// needs no lock.
//
//   <chosen>\Clipboard manager sync\ holds:
//     <computer>.cmcheck        the key's check, written by the computer that made the key
//     <computer>.<n>.cmlog      each computer's log, generation n (a compaction begins n + 1)
//     <HMAC of an item>.cmitem  an entry's item, sealed, named by HMAC-SHA256 under the key
//
// <computer> is 16 hex digits of the computer's random id. The engine's own copies of a file
// (".sync-conflict-", "conflicted copy", "-COMPUTERNAME", "(1)") keep the extension and are read
// like any other: every record says whose it is and applies once, however often it is seen.
// Temporary files, placeholders and files held by the engine are passed over and tried later.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "history/item_store.h"
#include "platform/desktop.h"
#include "sync/sync_code.h"
#include "sync/sync_log.h"

namespace syncing {

constexpr const char* OwnFolderName = "Clipboard manager sync";

struct SyncSetup {
  std::string chosen;  // the folder the user chose
  SyncKey key{};
  std::uint64_t computer = 0;
  std::array<std::uint8_t, 6> noncePrefix{};
  std::string counterPath;  // on this computer: the nonces reserved so far
};

// An entry on its way in, with its items' bytes.
struct Arrival {
  AddRecord add;
  std::vector<history::Item> items;
};

// What a check found.
struct Incoming {
  bool reachable = true;
  std::vector<Arrival> adds;
  std::vector<EntryId> deletes;
  std::vector<std::vector<EntryId>> clears;
  // Pins and edits newer than any met before for their entry (of an entry among `adds`, too).
  std::vector<ChangeRecord> changes;
  std::set<std::uint64_t> computers;  // the other computers whose logs were seen
};

// A record of this computer's on its way out.
struct Outgoing {
  AddRecord add;  // an entry, when `isAdd`
  bool isAdd = false;
  std::vector<history::Item> items;
  std::vector<EntryId> ids;  // deleted, or the clear's
  ChangeRecord change;       // for 'E'
  char kind = 'A';           // 'A', 'D', 'C' or 'E'
  // The names of items in the history's item store still to be read, off the window's thread,
  // into `items` before the record is written.
  std::vector<std::string> itemsToRead;
};

class SyncFolder {
 public:
  SyncFolder(platform::IFiles& files, platform::ICrypto& crypto, SyncSetup setup);
  ~SyncFolder();
  SyncFolder(const SyncFolder&) = delete;
  SyncFolder& operator=(const SyncFolder&) = delete;

  enum class Start {
    Joined,       // the key opens the folder's check
    Began,        // the folder held no sync data: this computer's key is its key now
    WrongKey,     // the folder's check does not open with this key: nothing was written
    NeedsKey,     // (for the caller) the folder holds sync data and no key was typed
    Unreachable,  // the chosen folder is not there
    Failed,       // the folder or the nonces could not be written
  };
  // Looks at the folder, and writes the key's check when there is none; `mayBegin` false refuses
  // a folder without one (the key was typed, but the folder holds none).
  Start Begin(bool mayBegin);
  static bool HoldsSyncData(platform::IFiles& files, const std::string& chosen);

  std::string Folder() const;
  // Writes the records to this computer's log, items first; those that cannot be written are
  // kept and written first the next time. False while some wait.
  bool Write(std::vector<Outgoing> records);
  bool Waiting() const { return !unwritten_.empty(); }
  // Reads what changed in the folder since the last check.
  void Check(Incoming& incoming);
  // Writes this computer's log anew without the entries removed since, when most of it is them.
  void CompactIfWorth();

  // How many of this computer's entries its log holds, and how many of those are removed.
  std::size_t OwnAdds() const { return ownAdds_.size(); }
  // Whether this computer's log holds the entry, or knows it removed.
  bool Holds(const EntryId& id) const { return ownAdds_.count(id) > 0 || Removed(id); }
  std::size_t OwnRemoved() const;

 private:
  struct Seen {
    platform::IFiles::FileStamp stamp;
    std::size_t whole = 0;  // bytes read
    std::string start;      // its first bytes when read: another file under the name starts anew
    std::uint64_t computer = 0;
    bool headed = false;
  };
  std::string LogName(std::uint32_t generation) const;
  std::string ItemFileName(std::uint64_t computer, const std::string& item) const;
  bool NextNonce(std::array<std::uint8_t, 12>& nonce);
  bool WriteItem(const history::Item& item);
  bool ReadItem(std::uint64_t computer, const std::string& name, history::Item& item);
  bool Removed(const EntryId& id) const;
  // The newest pin and the newest text each entry was given, by the time they were given.
  struct ChangeState {
    std::int64_t pinMs = -1;
    bool pinned = false;
    std::int64_t textMs = -1;
    std::u16string text;
  };
  // Folds the change into the state; the parts of it that are newer, or nothing.
  static std::optional<ChangeRecord> Fold(ChangeState& state, const ChangeRecord& change);
  static std::vector<ChangeRecord> Records(const EntryId& id, const ChangeState& state);
  void Take(const LogRecords& records, bool own, Incoming& incoming);
  void ReadOwnLog();
  bool AppendToLog(const std::string& plain);

  platform::IFiles& files_;
  platform::ICrypto& crypto_;
  SyncSetup setup_;
  std::uint32_t generation_ = 0;
  bool logBegun_ = false;     // the log has its header
  std::size_t logBytes_ = 0;  // the whole blocks of the log
  bool logTorn_ = false;      // a write that failed may have left bytes after them
  // What the removals were at the last look whether a compaction is worth it.
  std::size_t removalsLooked_ = 0;
  std::uint64_t clearedLooked_ = 0;
  std::uint64_t nonceNext_ = 0, nonceReserved_ = 0;
  std::vector<Outgoing> unwritten_;
  std::set<std::string> itemsWritten_;
  std::map<std::string, Seen> seen_;  // by file name
  std::set<EntryId> taken_;           // entries handed on, or known removed
  std::set<EntryId> deleted_;
  std::map<std::uint64_t, std::uint64_t> cleared_;  // computer -> every counter up to this
  std::set<EntryId> ownAdds_;
  std::vector<Arrival> waitingForItems_;
  std::map<EntryId, int> itemTries_;
  std::map<EntryId, ChangeState> changes_;     // every log's
  std::map<EntryId, ChangeState> ownChanges_;  // this computer's log's, kept by a compaction
};

}  // namespace syncing
