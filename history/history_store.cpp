#include "history/history_store.h"

#include <algorithm>

#include "grid/data_file.h"
#include "grid/table_file.h"
#include "history/entry_id.h"
#include "history/journal.h"
#include "platform/errors.h"

namespace history {

using namespace platform;

namespace {

// Whether the journal's rows, on top, are also the file's first rows below them: the journal was
// folded into the file, and the program ended before it could empty the journal.
bool AlreadyFolded(const grid::Table& history, int journaled) {
  if (journaled == 0 || 2 * journaled > history.RowCount()) return false;
  const int dateColumn = history.ColumnIndex(Date);
  const int textColumn = history.ColumnIndex(Clipboadrs_history);
  std::u16string a, b;
  for (int i = 0; i < journaled; ++i) {
    if (history.CellView(textColumn, i, a) != history.CellView(textColumn, journaled + i, b)) return false;
    if (history.CellView(dateColumn, i, a) != history.CellView(dateColumn, journaled + i, b)) return false;
  }
  return true;
}

}  // namespace

HistoryStore::HistoryStore(Desktop& desktop, PathProvider historyPath, grid::Table& history)
    : desktop_(desktop),
      historyPath_(std::move(historyPath)),
      history_(history),
      items_(desktop, [this] { return ItemsFolderOf(historyPath_()); }),
      journal_(desktop, [this] { return JournalPath(); }) {}

HistoryStore::~HistoryStore() {
  Flush();
  journal_.Close();
}

std::string HistoryStore::Load() {
  grid::Table& history = history_;
  IFiles& files = desktop_.Files();
  history.BeginUpdate();
  history.RemoveAllRows();
  history.EndUpdate();
  // The journal's captures are newer than anything in the file, so they go first, newest on
  // top, and the file's rows are read below them.
  std::string journalNotice;
  bool journalDamaged = false;
  int journaled = ReadJournal(journalNotice, journalDamaged);

  const grid::DataFileLoad load =
      grid::LoadDataFile(history, files, desktop_.Clock(), historyPath_(), Separator, LineBreakMark,
                         /*keepRows=*/true, grid::DataFileRetryMs, &desktop_.Crypto());
  unreadable_ = load.state == grid::DataFileLoad::State::Unreadable;
  std::string notice =
      grid::LoadNotice(files, load, "The clipboard history", "clipboard history file",
                       ". It is left as it is; the copies of this run are kept in " +
                           grid::FileNameOf(JournalPath()) + " and join the history at the next start.");
  if (notice.empty()) notice = journalNotice;

  if (AlreadyFolded(history, journaled)) {
    history.BeginUpdate();
    for (int i = 0; i < journaled; ++i) history.DeleteRow(0);
    history.EndUpdate();
    journaled = 0;
    if (journal_.Delete() != 0) journalStale_ = true;  // emptied at the next capture
  }
  unfolded_ = unreadable_ ? history.RowCount() : journaled;
  // A record cut short by a crash is dropped, so that the next ones are not written after it.
  if (journalDamaged && RewriteJournal() != 0) journalStale_ = true;
  loaded_ = true;
  // The file holds exactly what writing the list gives, and nothing else waits to join it.
  const bool otherForm = load.state == grid::DataFileLoad::State::Read && load.sealed != seal_;
  if (load.asWritten && !otherForm && journaled == 0 && !journalDamaged && !journalUnread_ &&
      !journalStale_ && !journal_.HasHeader())
    NoteFileHolds();
  // A file in the other form than the one chosen is written in it now, not at the close.
  if (otherForm || (journaled > 0 && journal_.Sealed() != seal_)) {
    try {
      WriteAll();
    } catch (const std::exception&) {
      // Tried again at the next write; the file stays as it is meanwhile.
    }
  }
  return notice;
}

int HistoryStore::ReadJournal(std::string& notice, bool& damaged) {
  JournalReading reading = journal_.Read();
  switch (reading.state) {
    case JournalReading::State::Missing:
      return 0;
    case JournalReading::State::Unreadable:
      journalUnread_ = true;
      journalError_ = reading.error;
      notice = "The journal of recent copies could not be read (" + reading.why +
               "). It is left as it is and joins the history at the next start.";
      return 0;
    case JournalReading::State::Foreign:
      // Not a journal of this program: kept for whoever made it, and a new journal begins.
      if (!grid::KeepAside(desktop_.Files(), JournalPath(), reading.bytes).empty())
        desktop_.Files().Delete(JournalPath());
      journalStale_ = true;
      return 0;
    case JournalReading::State::Read:
      break;
  }
  damaged = reading.damaged;
  // The bytes that could not be read are kept, for whoever wants to look at them, before the
  // journal is written anew with the records that could; a header cut as the journal was made
  // holds nothing to keep.
  if (damaged && reading.bytes.size() > JournalHeader.size()) notice = KeepDamagedJournal(reading.bytes);
  const std::string_view plain = reading.Plain();
  const std::vector<JournalContent::Payload>& records = reading.content.records;
  history_.BeginUpdate();
  // "#", Date, Clipboadrs_history, Items, EntryId: the history's column order
  std::u16string cells[5], reference;
  for (auto record = records.rbegin(); record != records.rend(); ++record) {
    ReadJournalRecord(plain, *record, cells[1], cells[2], reference);
    SplitJournalReference(reference, cells[3], cells[4]);
    history_.AppendRow(cells);
  }
  history_.EndUpdate();
  // The texts of a sealed journal are kept in the rows only.
  desktop_.Crypto().Wipe(reading.opened.data(), reading.opened.size());
  return static_cast<int>(records.size());
}

std::string HistoryStore::KeepDamagedJournal(const std::string& bytes) {
  const std::string keptAs = grid::KeepAside(desktop_.Files(), JournalPath(), bytes);
  return "The journal of recent copies was damaged; the copies it still held were read" +
         (keptAs.empty() ? std::string(", and no copy of it could be made.")
                         : ", and it was kept as " + grid::FileNameOf(keptAs) + ".");
}

void HistoryStore::SetSealing(bool seal) {
  if (seal == seal_) return;
  seal_ = seal;
  journal_.SetSealing(seal);
  if (!loaded_) return;
  // Everything is written anew in the chosen form, the journal folded into the file.
  fileHolds_ = false;
  if (journal_.HasHeader() && journal_.Sealed() != seal_ && unfolded_ == 0) journalStale_ = true;
  WriteAll();
  // The items follow; one that cannot be read in its old form is left as it is.
  for (const std::string& name : ReferencedItems()) items_.Reseal(name, seal_);
}

std::unordered_set<std::string> HistoryStore::ReferencedItems() const {
  std::vector<std::string> names = ReferencedItemNames(history_);
  return {std::make_move_iterator(names.begin()), std::make_move_iterator(names.end())};
}

void HistoryStore::Recorded(std::u16string_view date, std::u16string_view text,
                            std::u16string_view reference) {
  ++unfolded_;
  // Appending to a journal whose records are not in the list would replay this run's captures
  // twice; this run's captures reach the disk with the next write of the history file instead.
  if (journalUnread_) return;
  // A journal in the other form is written anew in the chosen one with this capture.
  if (journal_.HasHeader() && journal_.Sealed() != seal_) journalStale_ = true;
  if (journalStale_) {
    RetrySave();
    return;
  }
  // A long text is written from its row's own storage, when the row holds it there.
  const int textColumn = history_.ColumnIndex(Clipboadrs_history);
  std::u16string id;
  if (history_.RowCount() > 0) id = history_.Cell(history_.ColumnIndex(EntryIdColumn), 0);
  saveError_ = journal_.Append(date, text, JournalReference(reference, id),
                               history_.RowCount() > 0 ? history_.SharedText(textColumn, 0) : nullptr);
  if (saveError_ != 0) {
    // A record may be cut short in the file: the journal is written anew at the next chance.
    journal_.Close();
    journalStale_ = true;
  }
}

Dword HistoryStore::RetrySave() {
  if (!journalStale_ || journalUnread_) return saveError_ = 0;
  // Without a place to write (no Data folder, a held file) nothing is encoded: a rewrite costs
  // as much as the captures it holds.
  FileHandle probe = 0;
  IFiles& files = desktop_.Files();
  if (const Dword error = files.OpenForAppend(JournalPath(), probe)) return saveError_ = error;
  files.Close(probe);
  saveError_ = RewriteJournal();
  journalStale_ = saveError_ != 0;
  return saveError_;
}

void HistoryStore::WritePending(std::size_t budget) {
  if (const Dword error = journal_.WritePending(budget)) {
    // As for a capture that could not be written: the journal is written anew, whole.
    saveError_ = error;
    journalStale_ = true;
  }
}

Dword HistoryStore::RewriteJournal() {
  const int count = std::min(unfolded_, history_.RowCount());
  const int dateColumn = history_.ColumnIndex(Date);
  const int textColumn = history_.ColumnIndex(Clipboadrs_history);
  const int itemsColumn = history_.ColumnIndex(ItemsColumn);
  const int idColumn = history_.ColumnIndex(EntryIdColumn);
  std::u16string date, text, items, id;
  // Oldest first: the bottom of the rows that the journal holds.
  return journal_.Rewrite(count, [&](int i, const JournalFile::PutRecord& put) {
    const int row = count - 1 - i;
    return put(
        history_.CellView(dateColumn, row, date), history_.CellView(textColumn, row, text),
        JournalReference(history_.CellView(itemsColumn, row, items), history_.CellView(idColumn, row, id)));
  });
}

void HistoryStore::WriteAll() {
  // A close or a log-off can arrive while start-up still waits (the first run's web page, the
  // tray icon), before the history is read: writing then would replace it with an empty list.
  if (!loaded_) return;
  if (FileStillHolds()) return;
  if (unreadable_) {
    // Neither file can take this run's list without losing what the other one holds.
    if (journalUnread_) grid::RaiseIoError(journalError_);
    // The file keeps its entries; this run's list waits in the journal.
    unfolded_ = history_.RowCount();
    const Dword error = RewriteJournal();
    journalStale_ = error != 0;
    if (error != 0) grid::RaiseIoError(error);
    return;
  }
  fileHolds_ = false;
  WriteHistoryFile(history_, desktop_, historyPath_(), seal_);
  NoteFileHolds();
  unfolded_ = 0;
  saveError_ = 0;
  // The file now holds every row: an item none of them refers to has nothing left to serve.
  items_.Sweep(ReferencedItems());
  if (journalUnread_) return;  // its captures are not in the file: they stay for the next start
  // Emptied at the next capture when it cannot be now; until then the next start finds its
  // records folded.
  journalStale_ = journal_.Delete() != 0;
}

void HistoryStore::NoteFileHolds() {
  fileHolds_ = desktop_.Files().GetFileStamp(historyPath_(), fileHoldsStamp_) == 0;
  fileHoldsVersion_ = history_.ContentVersion();
}

// Neither the list nor the file has changed since they were last the same, and no capture waits
// in the journal: another program that deleted or replaced the file gets the list back.
bool HistoryStore::FileStillHolds() {
  if (!fileHolds_ || fileHoldsVersion_ != history_.ContentVersion() || unfolded_ != 0 || journalStale_ ||
      journal_.HasHeader())
    return false;
  platform::IFiles::FileStamp now;
  return desktop_.Files().GetFileStamp(historyPath_(), now) == 0 && now == fileHoldsStamp_;
}

void HistoryStore::Flush() {
  WritePending(SIZE_MAX);
  journal_.Flush();
}

}  // namespace history
