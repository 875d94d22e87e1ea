#include "history/history_store.h"

#include <algorithm>

#include "grid/data_file.h"
#include "grid/table_file.h"
#include "history/journal.h"
#include "platform/errors.h"

namespace history {

using namespace platform;

namespace {

HistoryStore* active = nullptr;

// Whether the top rows already are the records, newest on top: the journal was folded into the
// file, and the program ended before it could empty the journal.
bool AlreadyFolded(const grid::Table& history, const std::vector<JournalRecord>& records) {
  const int count = static_cast<int>(records.size());
  if (count == 0 || count > history.RowCount()) return false;
  const int dateColumn = history.ColumnIndex(Date);
  const int textColumn = history.ColumnIndex(Clipboadrs_history);
  std::u16string scratch;
  for (int i = 0; i < count; ++i) {
    const JournalRecord& record = records[count - 1 - i];
    if (history.CellView(textColumn, i, scratch) != record.text) return false;
    if (history.CellView(dateColumn, i, scratch) != record.date) return false;
  }
  return true;
}

void EncodeRow(std::string& out, const grid::Table& history, int row) {
  std::u16string dateScratch, textScratch;
  EncodeJournalRecord(out, history.CellView(history.ColumnIndex(Date), row, dateScratch),
                      history.CellView(history.ColumnIndex(Clipboadrs_history), row, textScratch));
}

}  // namespace

HistoryStore::HistoryStore(Desktop& desktop, PathProvider historyPath)
    : desktop_(desktop), historyPath_(std::move(historyPath)), previous_(active) {
  active = this;
}

HistoryStore::~HistoryStore() {
  Flush();
  CloseJournal();
  if (active == this) active = previous_;
}

HistoryStore* HistoryStore::Active() { return active; }

std::string HistoryStore::Load(grid::Table& history) {
  IFiles& files = desktop_.Files();
  const std::string path = historyPath_();
  std::string notice;
  const grid::DataFileLoad load =
      grid::LoadDataFile(history, files, desktop_.Clock(), path, Separator, LineBreakMark);
  if (load.state == grid::DataFileLoad::State::Unreadable) {
    unreadable_ = true;
    notice = "The clipboard history could not be read (" + grid::ErrorDescription(files, load.error) +
             "). It is left as it is; the copies of this run are kept in " + grid::FileNameOf(JournalPath()) +
             " and join the history at the next start.";
  } else if (load.malformed) {
    notice = load.keptAs.empty() ? "The clipboard history file is damaged, and no copy of it could be made."
                                 : "The clipboard history file is damaged; it was kept as " +
                                       grid::FileNameOf(load.keptAs) + ".";
  }
  ReplayJournal(history, notice);
  if (unreadable_) unfolded_ = history.RowCount();
  return notice;
}

void HistoryStore::ReplayJournal(grid::Table& history, std::string& notice) {
  IFiles& files = desktop_.Files();
  const std::string path = JournalPath();
  std::string bytes;
  const Dword error = grid::ReadFileWithRetry(files, desktop_.Clock(), path, bytes);
  if (error != 0) {
    if (!grid::IsMissingFileError(error) && notice.empty())
      notice =
          "The journal of recent copies could not be read (" + grid::ErrorDescription(files, error) + ").";
    return;
  }
  JournalContent content = DecodeJournal(bytes);
  if (!content.recognised) {
    // Not a journal of this program: kept for whoever made it, and a new journal begins.
    const std::string kept = grid::KeepAside(files, path, bytes);
    if (!kept.empty()) files.Delete(path);
    journalStale_ = true;
    return;
  }
  journalHasHeader_ = content.validBytes >= JournalHeader.size();
  if (AlreadyFolded(history, content.records)) {
    if (files.Delete(path) == 0) {
      journalHasHeader_ = false;
    } else {
      journalStale_ = true;  // emptied at the next capture
    }
    return;
  }
  const int dateColumn = history.ColumnIndex(Date);
  const int textColumn = history.ColumnIndex(Clipboadrs_history);
  history.BeginUpdate();
  for (JournalRecord& record : content.records) {
    // In capture order, each on top of the one before, as the captures put them.
    if (history.RowCount() == 0) {
      history.AppendRow();
    } else {
      history.InsertRowAtTop();
    }
    history.SetCell(textColumn, 0, std::move(record.text));
    history.SetCell(dateColumn, 0, std::move(record.date));
  }
  history.EndUpdate();
  unfolded_ = static_cast<int>(content.records.size());
  // A record cut short by a crash is dropped, so that the next ones are not written after it.
  if (content.damaged && RewriteJournal(history) != 0) journalStale_ = true;
}

void HistoryStore::Recorded(const grid::Table& history) {
  if (history.RowCount() == 0) return;
  ++unfolded_;
  IFiles& files = desktop_.Files();
  if (journalStale_) {
    // Without a place to write (no Data folder, a held file) nothing is encoded: a rewrite
    // costs as much as the captures it holds.
    FileHandle probe = 0;
    if (files.OpenForAppend(JournalPath(), probe) != 0) return;
    files.Close(probe);
    journalStale_ = RewriteJournal(history) != 0;
    return;
  }
  std::string bytes;
  if (journal_ == 0) {
    if (files.OpenForAppend(JournalPath(), journal_) != 0) {
      journal_ = 0;
      journalStale_ = true;
      return;
    }
    if (!journalHasHeader_) bytes = JournalHeader;
  }
  EncodeRow(bytes, history, 0);
  if (files.Write(journal_, bytes.data(), bytes.size()) != 0) {
    // A record may be cut short in the file: the journal is written anew at the next chance.
    CloseJournal();
    journalStale_ = true;
    return;
  }
  journalHasHeader_ = true;
  needsFlush_ = true;
}

Dword HistoryStore::RewriteJournal(const grid::Table& history) {
  CloseJournal();
  std::string bytes(JournalHeader);
  for (int row = std::min(unfolded_, history.RowCount()) - 1; row >= 0; --row) EncodeRow(bytes, history, row);
  const Dword error = grid::ReplaceFileContents(desktop_.Files(), JournalPath(), bytes.data(), bytes.size());
  if (error == 0) journalHasHeader_ = true;
  return error;
}

void HistoryStore::WriteAll(const grid::Table& history) {
  if (unreadable_) {
    // The file keeps its entries; this run's list waits in the journal.
    unfolded_ = history.RowCount();
    const Dword error = RewriteJournal(history);
    journalStale_ = error != 0;
    if (error != 0) grid::RaiseIoError(error);
    return;
  }
  WriteHistoryFileDirect(history, desktop_, historyPath_());
  unfolded_ = 0;
  CloseJournal();
  const Dword error = desktop_.Files().Delete(JournalPath());
  if (error == 0 || grid::IsMissingFileError(error)) {
    journalHasHeader_ = false;
    journalStale_ = false;
  } else {
    // Emptied at the next capture; until then the next start finds its records folded.
    journalStale_ = true;
  }
}

void HistoryStore::Flush() {
  if (!needsFlush_) return;
  needsFlush_ = false;
  if (journal_ != 0) desktop_.Files().Flush(journal_);
}

void HistoryStore::CloseJournal() {
  if (journal_ == 0) return;
  desktop_.Files().Close(journal_);
  journal_ = 0;
}

}  // namespace history
