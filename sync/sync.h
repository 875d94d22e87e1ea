// Sync between the user's computers through a folder their own sync engine (OneDrive, Dropbox,
// Syncthing, a network share) keeps the same on each: this computer's captures and removals go
// to its log there, sealed, off the window's thread; the other computers' come back into the
// history by date. The choice (the folder, whether it is on, and the key sealed for the Windows
// account with DPAPI) is kept in Data\sync.stng, never in the folder.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "history/entry_id.h"
#include "history/history_store.h"
#include "history/recorder.h"
#include "history/retention.h"
#include "platform/desktop.h"
#include "sync/sync_folder.h"

namespace syncing {

constexpr const char* SettingsFileName = "sync.stng";
constexpr const char* NonceFileName = "sync_nonces.stng";

class Sync final : private platform::IWindowProc {
 public:
  // `clipboardOwner` is the window that puts an arriving entry on the clipboard.
  Sync(platform::Desktop& desktop, history::HistoryStore& store, history::Recorder& recorder,
       history::EntryIds& ids, std::function<platform::Hwnd()> clipboardOwner);
  ~Sync();
  Sync(const Sync&) = delete;
  Sync& operator=(const Sync&) = delete;

  // Reads the kept choice and goes on syncing when it was on; for the start-up, once the
  // history is loaded.
  void Load();

  // "Start sync": in `folder`, with the code typed (empty: a folder without sync data gets a key
  // made here). Returns false, with nothing written to the folder, when it cannot start; the
  // status says why.
  bool Start(const std::string& folder, const std::string& typedCode);
  // "Stop sync": nothing more is read or written; the folder stays as it is.
  void Stop();
  bool Active() const { return folder_ != nullptr; }

  // "Put what I copy on my other computers' clipboards too": this computer's own choice.
  void SetPutOnClipboard(bool put);
  bool PutOnClipboard() const { return putOnClipboard_; }

  const std::string& Folder() const { return folderPath_; }
  // The code of the key in use, for the "Sync code:" box; empty while off.
  const std::string& Code() const { return code_; }
  // The status line, such as "Synced with 2 other computers, 4 s ago".
  std::string Status();

  // Asked at each arrival, when set: whether the user has the clipboard box checked now (the
  // choice is kept when it changes).
  std::function<bool()> PutOnClipboardChosen;
  // Told when the status, the code or the button's caption may have changed.
  std::function<void()> OnChanged;
  // Something to tell the user once, in a balloon (the folder gone).
  std::function<void(const std::string&)> OnNotice;

  // Waits for the folder's writes and reads in flight; for tests and the end of a run.
  void Finish();
  // A check now rather than at the next tick (the folder changed).
  void CheckNow();
  // The PNG of an image recorded with `placeholder` is made (the row refers to `reference`):
  // its entry goes to the others now, with it.
  void ItemsMade(const std::u16string& placeholder, const std::u16string& reference);

  static constexpr platform::Uint TickMs = 1000;

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  void Tick();
  void Save();
  void Begin(std::unique_ptr<SyncFolder> folder);
  void Captured(history::CapturedEntry& entry, std::u16string_view text);
  // A pin or an edit made here, of an entry that has an id.
  void RowChanged(int row, const std::vector<history::HistoryStore::CellChange>& cells);
  // The entries of this computer the folder's log lacks (the history before sync began, or
  // while it was off) get their ids and go to the folder.
  void PushExisting();
  void ApplyChanges(const std::vector<ChangeRecord>& changes);
  std::int64_t UtcMsOfRow(const history::DateReader& dates, int row);
  void Post(std::vector<Outgoing> records);
  void ScanRemovals();
  void Merge(Incoming& incoming);
  void TryResume();
  bool began_ = false;  // this computer made the key: the user is to type its code elsewhere

  platform::Desktop& desktop_;
  history::HistoryStore& store_;
  history::Recorder& recorder_;
  history::EntryIds& ids_;
  std::function<platform::Hwnd()> clipboardOwner_;
  platform::Hwnd window_ = 0;

  // The folder lives in the background's jobs once begun; shared so that a job outlives a stop.
  std::shared_ptr<SyncFolder> folder_;
  std::string folderPath_;
  std::string code_;
  SyncKey key_{};
  std::array<std::uint8_t, 6> prefix_{};
  bool on_ = false;  // as chosen: on while the folder is away too
  bool putOnClipboard_ = false;
  bool checking_ = false;
  bool writing_ = false;
  std::vector<Outgoing> queued_;
  // The entries of images whose PNG is still being coded, by their placeholder.
  std::map<std::u16string, Outgoing> awaitingItems_;
  bool applying_ = false;  // the changes being made come from the others
  std::string status_ = "Sync is off.";
  std::string problem_;  // why not, while it lasts
  bool toldAway_ = false;
  std::set<std::uint64_t> computers_;
  std::optional<std::uint64_t> lastSyncTick_;
  // The ids of the entries the list holds, as of the last look, and the list's deletions then.
  std::set<history::EntryId> present_;
  std::uint64_t deletionsSeen_ = 0;
  std::map<std::uint64_t, std::uint64_t> highest_;  // computer -> the highest counter met
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace syncing
