#include "history/history_store.h"

#include <algorithm>
#include <cstring>

#include "grid/data_file.h"
#include "grid/table_file.h"
#include "history/journal.h"
#include "platform/errors.h"

namespace history {

using namespace platform;

namespace {

// ERROR_WRITE_FAULT, for a write that failed without a Windows error of its own.
constexpr Dword WriteFault = 29;

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

  // The changes of the journal's own captures first, so that the captures compare with the file
  // as they were last written.
  Replay(true, journaled);
  if (AlreadyFolded(history, journaled)) {
    history.BeginUpdate();
    for (int i = 0; i < journaled; ++i) history.DeleteRow(0);
    history.EndUpdate();
    journaled = 0;
    replay_.clear();
    if (journal_.Delete() != 0) journalStale_ = true;  // emptied at the next capture
  }
  Replay(false, journaled);
  const bool changes = !replay_.empty();
  // The changes of a file that could not be read wait for it: every rewrite of the journal in
  // this run carries them on, after the rows it holds.
  if (unreadable_)
    for (ReadChange& read : replay_)
      if (!read.toCapture) unreadChanges_.push_back(std::move(read));
  replay_.clear();
  unfolded_ = unreadable_ ? history.RowCount() : journaled;
  pins_.Rescan(history);
  deletionsWritten_ = history.Deletions();
  loaded_ = true;
  // A record cut short by a crash is dropped, so that the next ones are not written after it;
  // changes of the file's rows are kept by writing the file.
  if (journalDamaged && (fileRowsChanged_ ? WriteWhole() : RewriteJournal()) != 0) journalStale_ = true;
  // The file holds exactly what writing the list gives, and nothing else waits to join it.
  const bool otherForm = load.state == grid::DataFileLoad::State::Read && load.sealed != seal_;
  if (load.asWritten && !otherForm && journaled == 0 && !journalDamaged && !journalUnread_ &&
      !journalStale_ && !journal_.HasHeader())
    NoteFileHolds();
  // A file in the other form than the one chosen is written in it now, not at the close.
  if (otherForm || ((journaled > 0 || changes) && journal_.HasHeader() && journal_.Sealed() != seal_)) {
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
  // An image whose items were still being made when the program ended is left out; the
  // others get the references their attach records gave.
  const std::vector<RowOfRecord> rows = ResolveAttachments(plain, records);
  // A change names its row by its place when it was made: one of the captures before it in the
  // journal (the newest at 0), or a row of the file below them.
  std::vector<std::size_t> captures;
  replay_.clear();
  for (std::size_t k = 0; k < records.size(); ++k) {
    const JournalContent::Payload& record = records[k];
    if (!IsJournalChange(plain, record)) {
      if (rows[k].row) captures.push_back(k);
      continue;
    }
    ReadChange read;
    if (!ReadJournalChange(plain, record, read.change)) continue;
    const std::int64_t index = read.change.row;
    const std::int64_t before = static_cast<std::int64_t>(captures.size());
    read.toCapture = index < before;
    read.target = read.toCapture ? before - 1 - index : index - before;
    replay_.push_back(std::move(read));
  }
  int made = 0;
  history_.BeginUpdate();
  std::u16string cells[4];  // "#", Date, Clipboadrs_history, Items: the history's column order
  for (auto k = captures.rbegin(); k != captures.rend(); ++k) {
    ReadJournalRecord(plain, records[*k], cells[1], cells[2], cells[3]);
    if (rows[*k].resolved) cells[3] = rows[*k].reference;
    history_.AppendRow(cells);
    ++made;
  }
  history_.EndUpdate();
  // The texts of a sealed journal are kept in the rows only.
  desktop_.Crypto().Wipe(reading.opened.data(), reading.opened.size());
  return made;
}

void HistoryStore::Replay(bool toCaptures, int captures) {
  grid::Table& history = history_;
  const int dateColumn = history.ColumnIndex(Date);
  const int textColumn = history.ColumnIndex(Clipboadrs_history);
  std::u16string date, text;
  const grid::UpdateScope update(history);
  for (const ReadChange& read : replay_) {
    if (read.toCapture != toCaptures) continue;
    const std::int64_t row = toCaptures ? captures - 1 - read.target : captures + read.target;
    if (row < 0 || row >= history.RowCount()) continue;
    const int at = static_cast<int>(row);
    // A row that is not the one the change was made to (the file was written after the change,
    // and the program ended before it could empty the journal) keeps what it holds.
    if (EntryPrint(history.CellView(dateColumn, at, date), history.CellView(textColumn, at, text)) !=
        read.change.print)
      continue;
    for (const JournalChange::Cell& cell : read.change.cells) {
      const auto& columns = history.Columns();
      for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].kind != grid::ColumnKind::Text || columns[c].name.size() != cell.column.size() ||
            !std::equal(cell.column.begin(), cell.column.end(), columns[c].name.begin()))
          continue;
        history.SetCell(static_cast<int>(c), at, cell.text);
      }
    }
    if (!toCaptures) fileRowsChanged_ = true;
  }
}

bool HistoryStore::ChangeRow(int row, const std::vector<CellChange>& cells) {
  grid::Table& history = history_;
  std::u16string date, text;
  JournalChange change;
  change.row = static_cast<std::uint32_t>(row);
  change.print = EntryPrint(history.CellView(history.ColumnIndex(Date), row, date),
                            history.CellView(history.ColumnIndex(Clipboadrs_history), row, text));
  {
    const grid::UpdateScope update(history);
    for (const CellChange& cell : cells) {
      history.SetCell(cell.column, row, cell.text);
      change.cells.push_back(
          {std::u16string(cell.column, cell.column + std::strlen(cell.column)), cell.text});
      if (std::string_view(cell.column) == PinColumn) pins_.Note(history, row, cell.text == PinnedMark);
    }
  }
  if (OnRowChanged) OnRowChanged(row, cells);
  if (!loaded_) return true;
  if (row >= unfolded_) fileRowsChanged_ = true;
  // As for a capture: its journal would be replayed twice; the next write of the file has it.
  if (journalUnread_) return false;
  // Rows went since the file was written (the count limit writes a second after a capture): the
  // file's rows are not where the list has them, and the change is written with the whole list.
  if (history.Deletions() != deletionsWritten_ || journalStale_ ||
      (journal_.HasHeader() && journal_.Sealed() != seal_)) {
    if (WriteWhole() == 0) return true;
    journalStale_ = true;
    return false;
  }
  saveError_ = journal_.AppendChange(change);
  if (saveError_ != 0) {
    journal_.Close();
    journalStale_ = true;
    return false;
  }
  // On the disk itself at once: a change is one the user made by hand, one at a time.
  journal_.Flush();
  return true;
}

Dword HistoryStore::WriteWhole() {
  try {
    WriteAll();
    return 0;
  } catch (const platform::IoError& error) {
    // The error numbers of a write are Windows' own, but for a full disk's.
    const int code = error.code();
    return saveError_ = code == 101 ? platform::ErrorDiskFull
                        : code > 0  ? static_cast<Dword>(code)
                                    : WriteFault;
  } catch (const std::exception&) {
    return saveError_ = WriteFault;
  }
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
  if (IsPendingReference(reference) && history_.RowCount() > 0)
    pending_.emplace_back(std::u16string(reference), history_.KeyOf(0));
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
  saveError_ = journal_.Append(date, text, reference,
                               history_.RowCount() > 0 ? history_.SharedText(textColumn, 0) : nullptr);
  ++journalCaptures_;
  if (saveError_ == 0 && history_.RowCount() > 0) {
    // The cells the capture's record does not carry (its id) follow it as a change of its row,
    // so that a kill keeps them with it. Behind a long record written in pieces, the change
    // waits for its last piece rather than hold the window for all of them.
    JournalChange change;
    if (ExtraCells(0, change)) {
      if (journal_.WritesPending())
        owedChanges_.emplace_back(journalCaptures_ - 1, std::move(change));
      else
        saveError_ = journal_.AppendChange(change);
    }
  }
  if (saveError_ != 0) {
    // A record may be cut short in the file: the journal is written anew at the next chance.
    journal_.Close();
    journalStale_ = true;
  }
}

bool HistoryStore::ExtraCells(int row, JournalChange& change) const {
  const int itemsColumn = history_.ColumnIndex(ItemsColumn);
  std::u16string scratch;
  change.cells.clear();
  for (int c = itemsColumn + 1; c < history_.ColumnCount(); ++c) {
    const grid::Column& column = history_.Columns()[static_cast<std::size_t>(c)];
    if (column.fileTag.empty()) continue;
    const std::u16string_view cell = history_.CellView(c, row, scratch);
    if (cell.empty()) continue;
    change.cells.push_back({std::u16string(column.name.begin(), column.name.end()), std::u16string(cell)});
  }
  if (change.cells.empty()) return false;
  std::u16string date, text;
  change.row = 0;
  change.print = EntryPrint(history_.CellView(history_.ColumnIndex(Date), row, date),
                            history_.CellView(history_.ColumnIndex(Clipboadrs_history), row, text));
  return true;
}

bool HistoryStore::Attached(std::u16string_view placeholder, std::u16string_view reference) {
  const auto found = std::find_if(pending_.begin(), pending_.end(),
                                  [&](const auto& pending) { return pending.first == placeholder; });
  if (found == pending_.end()) return false;
  const int row = history_.RowOfKey(found->second);
  pending_.erase(found);
  if (row < 0) return false;
  const int itemsColumn = history_.ColumnIndex(ItemsColumn);
  if (!reference.empty() && row + 1 < history_.RowCount()) {
    // The same image as the entry below it (one still on the clipboard at a start, or copied
    // twice by its tool): a repeat, as a capture of the same text and items is. It goes from the
    // list; in the journal no attach record resolves it, so the next start leaves it out too.
    const int textColumn = history_.ColumnIndex(Clipboadrs_history);
    std::u16string a, b;
    if (history_.CellView(itemsColumn, row + 1, a) == reference &&
        history_.CellView(textColumn, row + 1, a) == history_.CellView(textColumn, row, b)) {
      history_.DeleteRow(row);
      if (row < unfolded_) {
        --unfolded_;
        return false;
      }
      return !journalUnread_;
    }
  }
  history_.SetCell(itemsColumn, row, std::u16string(reference));
  // A row that the history file holds (written while its image was being coded) is written
  // again, whole; one in the journal gets the record that gives it its items.
  if (row >= unfolded_ || journalUnread_) return !journalUnread_;
  if (journal_.HasHeader() && journal_.Sealed() != seal_) journalStale_ = true;
  if (journalStale_) {
    RetrySave();
    return false;
  }
  saveError_ = journal_.Attach(placeholder, reference);
  if (saveError_ != 0) {
    journal_.Close();
    journalStale_ = true;
  }
  return false;
}

Dword HistoryStore::RetrySave() {
  if (!journalStale_ || journalUnread_) return saveError_ = 0;
  // Without a place to write (no Data folder, a held file) nothing is encoded: a rewrite costs
  // as much as the captures it holds.
  FileHandle probe = 0;
  IFiles& files = desktop_.Files();
  if (const Dword error = files.OpenForAppend(JournalPath(), probe)) return saveError_ = error;
  files.Close(probe);
  // A rewrite holds the captures; the changes of the file's rows go with the file itself.
  saveError_ = fileRowsChanged_ ? WriteWhole() : RewriteJournal();
  journalStale_ = saveError_ != 0;
  return saveError_;
}

void HistoryStore::WritePending(std::size_t budget) {
  Dword error = journal_.WritePending(budget);
  // The cells owed to the captures just written whole; the newest capture is row 0 of a change.
  if (error == 0 && !journal_.WritesPending() && !owedChanges_.empty()) {
    for (auto& [capture, change] : owedChanges_) {
      // Its row's index from the top, the captures after it on top of it.
      change.row = static_cast<std::uint32_t>(journalCaptures_ - 1 - capture);
      if (error == 0) error = journal_.AppendChange(change);
    }
    owedChanges_.clear();
  }
  if (error != 0) {
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
  // The rewrite carries every capture's cells itself.
  owedChanges_.clear();
  std::u16string date, text, items;
  JournalChange change;
  // Oldest first: the bottom of the rows that the journal holds. Below them come the file's,
  // where the changes it could not be put on (it could not be read) are still due: they follow.
  const int records = count + (unreadChanges_.empty() ? 0 : 1);
  return journal_.Rewrite(
      records, [&](int i, const JournalFile::PutRecord& put, const JournalFile::PutChange& putChange) {
        if (i == count) {
          for (const ReadChange& read : unreadChanges_) {
            change = read.change;
            change.row = static_cast<std::uint32_t>(count + read.target);
            if (!putChange(change)) return false;
          }
          return true;
        }
        const int row = count - 1 - i;
        if (!put(history_.CellView(dateColumn, row, date), history_.CellView(textColumn, row, text),
                 history_.CellView(itemsColumn, row, items)))
          return false;
        // The cells a capture's record does not carry (its pin, its id, and any later tagged
        // field) follow it as a change of the row it made.
        return !ExtraCells(row, change) || putChange(change);
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
    fileRowsChanged_ = false;
    deletionsWritten_ = history_.Deletions();
    return;
  }
  fileHolds_ = false;
  WriteFileWithoutPlaceholders();
  owedChanges_.clear();
  NoteFileHolds();
  unfolded_ = 0;
  fileRowsChanged_ = false;
  deletionsWritten_ = history_.Deletions();
  saveError_ = 0;
  // The file now holds every row: an item none of them refers to has nothing left to serve.
  items_.Sweep(ReferencedItems());
  if (journalUnread_) return;  // its captures are not in the file: they stay for the next start
  // Emptied at the next capture when it cannot be now; until then the next start finds its
  // records folded.
  journalStale_ = journal_.Delete() != 0;
}

void HistoryStore::WriteFileWithoutPlaceholders() {
  // The history file never refers to items that are not made yet: such a row is written with
  // its text alone, and written again once they are (Attached).
  const int itemsColumn = history_.ColumnIndex(ItemsColumn);
  std::vector<std::pair<int, std::u16string>> held;
  for (const auto& [placeholder, key] : pending_) {
    const int row = history_.RowOfKey(key);
    if (row < 0) continue;
    held.emplace_back(row, history_.Cell(itemsColumn, row));
    history_.SetCell(itemsColumn, row, std::u16string());
  }
  auto restore = [&] {
    for (auto& [row, reference] : held) history_.SetCell(itemsColumn, row, std::move(reference));
  };
  try {
    WriteHistoryFile(history_, desktop_, historyPath_(), seal_);
  } catch (...) {
    restore();
    throw;
  }
  restore();
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
