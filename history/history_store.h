// Where the clipboard history is kept: the history file, written whole, and the capture journal
// beside it, which receives every capture at once (see journal.h). Nothing the file or the
// journal holds is ever replaced by a list that lacks it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "grid/table.h"
#include "history/history_table.h"
#include "history/item_store.h"
#include "history/journal_file.h"
#include "history/pins.h"
#include "platform/desktop.h"

namespace history {

class HistoryStore {
 public:
  // Keeps `history` (which must outlive the store) in the file that `historyPath` names.
  HistoryStore(platform::Desktop& desktop, PathProvider historyPath, grid::Table& history);
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  grid::Table& List() { return history_; }
  // The items of the entries that keep more than text, beside the history file.
  ItemStore& Items() { return items_; }
  // The entries pinned; kept right by Load and ChangeRow (and Rescan after an import).
  PinnedRows& Pins() { return pins_; }

  // Changes cells of the entry in `row` where it stands (its pin, its text): they are set in the
  // list, and the change goes to the journal at once, as a capture does, so that a kill loses
  // nothing. Returns whether it reached the disk; when it did not, it is kept in the list and
  // written with the next capture or write.
  struct CellChange {
    const char* column;
    std::u16string text;
  };
  bool ChangeRow(int row, const std::vector<CellChange>& cells);
  // Told of each change made by ChangeRow, once the row holds it.
  std::function<void(int row, const std::vector<CellChange>& cells)> OnRowChanged;

  // Start-up: replaces the rows of the list by the history file's (a file that another
  // program holds is tried again for a while), then puts the journal's captures on top.
  // Returns what the user should be told, or an empty text.
  std::string Load();

  // A capture has just put a new top row holding `date`, `text` and the reference to its items
  // (which are on the disk already): its record goes to the journal now. Failures are kept to be
  // made good at the next capture or write; they never raise.
  void Recorded(std::u16string_view date, std::u16string_view text, std::u16string_view reference = {});

  // The items of the row recorded with `placeholder` (see journal.h) are on the disk: the row
  // refers to `reference` from now on, and the journal says so; a row that repeats the one
  // below it (the same text and items) goes instead. Returns true when the history file holds
  // that row (it was written meanwhile) and must be written again for it.
  bool Attached(std::u16string_view placeholder, std::u16string_view reference);

  // Writes the whole list, raising platform::IoError. After a read history file: replaces the
  // file, then empties the journal. When the file could not be read at start-up, it is left
  // alone for the whole run and the journal holds the whole list instead, to be put on top of
  // the file's entries at the next start. Before Load there is nothing to write: the list does
  // not hold the file's entries yet, and the file is left as it is. Nor is there anything to
  // write while the list is what the file was read as or last written with.
  void WriteAll();

  // Asks the system to put the records written so far on the disk itself, once every record
  // still being written is written whole.
  void Flush();

  // A long capture's record goes to the journal in pieces (see WritePending), and so do the
  // records after it until it is written; this is a piece's size in bytes.
  static constexpr std::size_t PieceBytes = JournalFile::PieceBytes;
  // Whether records wait to be written, and the writing of about `budget` bytes of them. An
  // error is kept as a failed capture's is (SaveError), to be made good the same way.
  bool WritesPending() const { return journal_.WritesPending(); }
  void WritePending(std::size_t budget);

  // Whether the history file and the journal are sealed for the Windows account. Either form is
  // read whatever this says; a change writes both anew in the chosen form at once (raising
  // platform::IoError as WriteAll does), and so does a start that finds the other form.
  void SetSealing(bool seal);
  bool Sealing() const { return seal_; }

  // 0 while captures reach the disk; otherwise the Windows error of the last capture that could
  // not be written (a full disk, a read-only folder), until a write succeeds again.
  platform::Dword SaveError() const { return saveError_; }
  // Tries again to write the captures the journal lacks; the error left, or 0.
  platform::Dword RetrySave();

  std::string JournalPath() const { return historyPath_() + JournalSuffix; }
  static constexpr const char* JournalSuffix = ".journal";

 private:
  // Appends the journal's captures, newest first; returns how many.
  int ReadJournal(std::string& notice, bool& damaged);
  // Keeps a damaged journal's bytes aside; the notice that says so.
  std::string KeepDamagedJournal(const std::string& bytes);
  // The names of the items the list's rows refer to.
  std::unordered_set<std::string> ReferencedItems() const;
  // Replaces the journal by records of the top `unfolded_` rows; returns 0 or the error.
  platform::Dword RewriteJournal();
  // WriteAll, its error as a Windows error's stand-in: 0 when it succeeded.
  platform::Dword WriteWhole();
  // The changes the journal held, put on the rows they name: those of its captures, or those of
  // the file's rows below the `captures` rows on top.
  void Replay(bool toCaptures, int captures);
  void WriteFileWithoutPlaceholders();
  // The cells of the row in columns after its items that the file tags (its pin, its id), as a
  // change of the newest capture; false when it has none.
  bool ExtraCells(int row, JournalChange& change) const;
  void NoteFileHolds();
  bool FileStillHolds();

  platform::Desktop& desktop_;
  PathProvider historyPath_;
  grid::Table& history_;
  ItemStore items_;
  JournalFile journal_;
  bool journalStale_ = false;  // an append failed: the journal must be written anew
  bool unreadable_ = false;
  // Load has run: the list holds what the file and the journal held.
  bool loaded_ = false;
  // The journal was there at start-up but could not be read: it is left exactly as it is for
  // the whole run, so that the next start puts its captures into the history.
  bool journalUnread_ = false;
  platform::Dword journalError_ = 0;  // why it could not be read
  // The top rows that are in the journal but not in the history file.
  int unfolded_ = 0;
  // Whether the history file holds the list exactly, as of that content version; a write of it
  // unchanged would only cost time (hundreds of milliseconds for a large history at log-off).
  bool fileHolds_ = false;
  std::uint64_t fileHoldsVersion_ = 0;
  platform::IFiles::FileStamp fileHoldsStamp_;  // the file as it was then: one changed since is written
  platform::Dword saveError_ = 0;
  bool seal_ = false;
  PinnedRows pins_;
  // A change read from the journal: the row it names, counted from the oldest of the journal's
  // captures, or from the top of the file's rows.
  struct ReadChange {
    bool toCapture = false;
    std::int64_t target = 0;
    JournalChange change;
  };
  std::vector<ReadChange> replay_;
  // Those of the file's rows, when the file could not be read.
  std::vector<ReadChange> unreadChanges_;
  // Rows below the journal's captures changed since the file was written: the journal holds
  // changes that a rewrite of its captures alone would lose.
  bool fileRowsChanged_ = false;
  // The table's count of deletions when the file (or a journal of the whole list) last held
  // the rows where the list has them; a change names its row by its place, so a change after
  // rows went writes the whole list instead.
  std::uint64_t deletionsWritten_ = 0;
  // The rows recorded with a placeholder whose items are still being made, oldest first.
  std::vector<std::pair<std::u16string, grid::RowKey>> pending_;
  // The captures appended to the journal in this run, and the cells owed to those still being
  // written in pieces (by the count of captures before each), appended once they are whole.
  std::uint64_t journalCaptures_ = 0;
  std::vector<std::pair<std::uint64_t, JournalChange>> owedChanges_;
};

}  // namespace history
