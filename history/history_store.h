// Where the clipboard history is kept: the history file, written whole, and the capture journal
// beside it, which receives every capture at once (see journal.h). Nothing the file or the
// journal holds is ever replaced by a list that lacks it.
#pragma once

#include <cstdint>
#include <string>

#include "grid/table.h"
#include "history/history_table.h"
#include "platform/desktop.h"

namespace history {

class HistoryStore {
 public:
  // The store of the running program; history file writes of `historyPath` go through it.
  HistoryStore(platform::Desktop& desktop, PathProvider historyPath);
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // The store of the running program, or nullptr.
  static HistoryStore* Active();

  // Start-up: replaces the rows of `history` by the history file's (a file that another
  // program holds is tried again for a while), then puts the journal's captures on top.
  // Returns what the user should be told, or an empty text.
  std::string Load(grid::Table& history);

  // A capture has just put a new top row: its record goes to the journal now. Failures are
  // kept to be made good at the next capture or write; they never raise.
  void Recorded(const grid::Table& history);

  // Writes the whole list, raising platform::IoError. After a read history file: replaces the
  // file, then empties the journal. When the file could not be read at start-up, it is left
  // alone for the whole run and the journal holds the whole list instead, to be put on top of
  // the file's entries at the next start. Before Load there is nothing to write: the list does
  // not hold the file's entries yet, and the file is left as it is. Nor is there anything to
  // write while the list is what the file was read as or last written with.
  void WriteAll(const grid::Table& history);

  // Asks the system to put the records written so far on the disk itself.
  void Flush();
  bool NeedsFlush() const { return needsFlush_; }

  bool FileUnreadable() const { return unreadable_; }
  bool IsHistoryFile(const std::string& path) const { return path == historyPath_(); }
  std::string JournalPath() const { return historyPath_() + JournalSuffix; }
  static constexpr const char* JournalSuffix = ".journal";

 private:
  // Appends the journal's captures, newest first; returns how many.
  int ReadJournal(grid::Table& history, std::string& notice, bool& damaged);
  // Replaces the journal by records of the top `unfolded_` rows; returns 0 or the error.
  platform::Dword RewriteJournal(const grid::Table& history);
  void CloseJournal();

  platform::Desktop& desktop_;
  PathProvider historyPath_;
  platform::FileHandle journal_ = 0;
  bool journalHasHeader_ = false;  // the journal file exists and starts with its header
  bool journalStale_ = false;      // an append failed: the journal must be written anew
  bool needsFlush_ = false;
  bool unreadable_ = false;
  bool loaded_ = false;
  // The journal was there at start-up but could not be read: it is left exactly as it is for
  // the whole run, so that the next start puts its captures into the history.
  bool journalUnread_ = false;
  platform::Dword journalError_ = 0;  // Load has run: the list holds what the file and the journal held
  // The top rows that are in the journal but not in the history file.
  int unfolded_ = 0;
  HistoryStore* previous_ = nullptr;
  // The list that the history file holds exactly, as of that content version; a write of it
  // unchanged would only cost time (hundreds of milliseconds for a large history at log-off).
  const grid::Table* fileHolds_ = nullptr;
  std::uint64_t fileHoldsVersion_ = 0;
  platform::IFiles::FileStamp fileHoldsStamp_;  // the file as it was then: one changed since is written
  void NoteFileHolds(const grid::Table& history);
  bool FileStillHolds(const grid::Table& history);
};

}  // namespace history
