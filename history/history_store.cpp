#include "history/history_store.h"

#include <algorithm>

#include "grid/data_file.h"
#include "grid/table_file.h"
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

void EncodeRow(std::string& out, const grid::Table& history, int row) {
  std::u16string dateScratch, textScratch, itemsScratch;
  EncodeJournalRecord(out, history.CellView(history.ColumnIndex(Date), row, dateScratch),
                      history.CellView(history.ColumnIndex(Clipboadrs_history), row, textScratch),
                      history.CellView(history.ColumnIndex(ItemsColumn), row, itemsScratch));
}

}  // namespace

HistoryStore::HistoryStore(Desktop& desktop, PathProvider historyPath, grid::Table& history)
    : desktop_(desktop),
      historyPath_(std::move(historyPath)),
      history_(history),
      items_(desktop, [this] { return ItemsFolderOf(historyPath_()); }) {}

HistoryStore::~HistoryStore() {
  Flush();
  CloseJournal();
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
    CloseJournal();
    if (files.Delete(JournalPath()) == 0) {
      journalHasHeader_ = false;
    } else {
      journalStale_ = true;  // emptied at the next capture
    }
  }
  unfolded_ = unreadable_ ? history.RowCount() : journaled;
  // A record cut short by a crash is dropped, so that the next ones are not written after it.
  if (journalDamaged && RewriteJournal() != 0) journalStale_ = true;
  loaded_ = true;
  // The file holds exactly what writing the list gives, and nothing else waits to join it.
  const bool otherForm = load.state == grid::DataFileLoad::State::Read && load.sealed != seal_;
  if (load.asWritten && !otherForm && journaled == 0 && !journalDamaged && !journalUnread_ &&
      !journalStale_ && !journalHasHeader_)
    NoteFileHolds();
  // A file in the other form than the one chosen is written in it now, not at the close.
  if (otherForm || (journaled > 0 && journalSealed_ != seal_)) {
    try {
      WriteAll();
    } catch (const std::exception&) {
      // Tried again at the next write; the file stays as it is meanwhile.
    }
  }
  return notice;
}

int HistoryStore::ReadJournal(std::string& notice, bool& damaged) {
  grid::Table& history = history_;
  IFiles& files = desktop_.Files();
  const std::string path = JournalPath();
  std::string bytes;
  const Dword error = grid::ReadFileWithRetry(files, desktop_.Clock(), path, bytes);
  if (error != 0) {
    if (!grid::IsMissingFileError(error)) {
      journalUnread_ = true;
      journalError_ = error;
      notice = "The journal of recent copies could not be read (" + grid::ErrorDescription(files, error) +
               "). It is left as it is and joins the history at the next start.";
    }
    return 0;
  }
  if (grid::IsSealed(bytes)) return ReadSealedJournal(bytes, notice, damaged);
  journalSealed_ = false;
  const JournalContent content = DecodeJournal(bytes);
  if (!content.recognised) {
    // Not a journal of this program: kept for whoever made it, and a new journal begins.
    if (!grid::KeepAside(files, path, bytes).empty()) files.Delete(path);
    journalStale_ = true;
    return 0;
  }
  journalHasHeader_ = content.validBytes >= JournalHeader.size();
  damaged = content.damaged;
  // The bytes that could not be read are kept, for whoever wants to look at them, before the
  // journal is written anew with the records that could; a header cut as the journal was made
  // holds nothing to keep.
  if (damaged && bytes.size() > JournalHeader.size()) {
    notice = KeepDamagedJournal(bytes);
  }
  history.BeginUpdate();
  std::u16string cells[4];  // "#", Date, Clipboadrs_history, Items: the history's column order
  for (auto record = content.records.rbegin(); record != content.records.rend(); ++record) {
    ReadJournalRecord(bytes, *record, cells[1], cells[2], cells[3]);
    history.AppendRow(cells);
  }
  history.EndUpdate();
  return static_cast<int>(content.records.size());
}

std::string HistoryStore::KeepDamagedJournal(const std::string& bytes) {
  const std::string keptAs = grid::KeepAside(desktop_.Files(), JournalPath(), bytes);
  return "The journal of recent copies was damaged; the copies it still held were read" +
         (keptAs.empty() ? std::string(", and no copy of it could be made.")
                         : ", and it was kept as " + grid::FileNameOf(keptAs) + ".");
}

int HistoryStore::ReadSealedJournal(const std::string& bytes, std::string& notice, bool& damaged) {
  std::vector<JournalRecord> records;
  // Each sealed record holds one plain record.
  const std::string header(JournalHeader);
  const grid::SealedJournalRead read =
      grid::ReadSealedJournal(desktop_.Crypto(), bytes, [&](std::string_view plain) {
        const std::string one = header + std::string(plain);
        const JournalContent content = DecodeJournal(one);
        for (const JournalContent::Payload& payload : content.records)
          records.push_back(ReadJournalRecord(one, payload));
      });
  if (read.header != grid::Unsealed::Opened) {
    // Another account's, or damaged where its key is: left as it is, as a held file is.
    journalUnread_ = true;
    journalError_ = grid::SealingFailed;
    notice = "The journal of recent copies could not be read (" + grid::UnsealedReason(read.header) +
             "). It is left as it is and joins the history at the next start.";
    return 0;
  }
  journalSealed_ = true;
  journalHasHeader_ = true;
  // Enough for any header: its key blob is a few hundred bytes, at most 64 KiB.
  journalSealHeader_ = bytes.substr(0, std::min(bytes.size(), std::size_t{70000}));
  damaged = read.damaged > 0;
  if (damaged) {
    notice = KeepDamagedJournal(bytes);
  }
  history_.BeginUpdate();
  std::u16string cells[4];
  for (auto record = records.rbegin(); record != records.rend(); ++record) {
    cells[1] = record->date;
    cells[2] = record->text;
    cells[3] = record->reference;
    history_.AppendRow(cells);
  }
  history_.EndUpdate();
  return static_cast<int>(records.size());
}

bool HistoryStore::SealRecord(const std::string& record, std::string& out) {
  out.clear();
  if (!sealer_ || !sealer_->Ready()) {
    sealer_ = std::make_unique<grid::JournalSealer>(desktop_.Crypto());
    if (sealer_->Resume(journalSealHeader_) != grid::Unsealed::Opened) return false;
  }
  return sealer_->Seal(record, out);
}

void HistoryStore::SetSealing(bool seal) {
  if (seal == seal_) return;
  seal_ = seal;
  if (!loaded_) return;
  // Everything is written anew in the chosen form, the journal folded into the file.
  fileHolds_ = false;
  if (journalHasHeader_ && journalSealed_ != seal_ && unfolded_ == 0) journalStale_ = true;
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
  if (journalHasHeader_ && journalSealed_ != seal_) journalStale_ = true;
  if (journalStale_) {
    RetrySave();
    return;
  }
  saveError_ = Append(date, text, reference);
  if (saveError_ != 0) {
    // A record may be cut short in the file: the journal is written anew at the next chance.
    CloseJournal();
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

Dword HistoryStore::Append(std::u16string_view date, std::u16string_view text,
                           std::u16string_view reference) {
  IFiles& files = desktop_.Files();
  std::string bytes;
  if (journal_ == 0) {
    if (const Dword error = files.OpenForAppend(JournalPath(), journal_)) {
      journal_ = 0;
      return error;
    }
    if (!journalHasHeader_) {
      journalSealed_ = seal_;
      if (seal_ && sealer_ && sealer_->Renew(bytes)) {
        journalSealHeader_ = bytes;
      } else if (seal_) {
        sealer_ = std::make_unique<grid::JournalSealer>(desktop_.Crypto());
        if (!sealer_->Begin(bytes)) return grid::SealingFailed;
        journalSealHeader_ = bytes;
      } else {
        bytes = JournalHeader;
      }
    }
  }
  if (journalSealed_) {
    std::string record, sealed;
    EncodeJournalRecord(record, date, text, reference);
    if (!SealRecord(record, sealed)) return grid::SealingFailed;
    bytes += sealed;
  } else if (2 * text.size() >= PieceBytes || !pending_.empty()) {
    // Written from the row's own storage, a piece at a time, so that a copy of a hundred
    // megabytes neither costs another copy nor holds the window for the whole write.
    const int textColumn = history_.ColumnIndex(Clipboadrs_history);
    std::shared_ptr<const std::u16string> shared =
        history_.RowCount() > 0 ? history_.SharedText(textColumn, 0) : nullptr;
    if (!shared || shared->data() != text.data() || shared->size() != text.size())
      shared = std::make_shared<const std::u16string>(text);
    pending_.emplace_back(date, std::move(shared), reference);
  } else {
    EncodeJournalRecord(bytes, date, text, reference);
  }
  if (!bytes.empty())
    if (const Dword error = files.Write(journal_, bytes.data(), bytes.size())) return error;
  journalHasHeader_ = true;
  needsFlush_ = true;
  return 0;
}

void HistoryStore::WritePending(std::size_t budget) {
  IFiles& files = desktop_.Files();
  const JournalRecordWriter::Write write = [&](const char* bytes, std::size_t size) {
    return files.Write(journal_, bytes, size);
  };
  while (!pending_.empty() && budget > 0) {
    if (const Dword error = pending_.front().Step(budget, write)) {
      // As for a capture that could not be written: the journal is written anew, whole.
      saveError_ = error;
      CloseJournal();
      journalStale_ = true;
      return;
    }
    if (pending_.front().Done()) pending_.pop_front();
  }
}

Dword HistoryStore::RewriteJournal() {
  CloseJournal();
  std::string bytes;
  if (seal_) {
    // A new journal under a key of its own.
    sealer_ = std::make_unique<grid::JournalSealer>(desktop_.Crypto());
    if (!sealer_->Begin(bytes)) return grid::SealingFailed;
    journalSealHeader_ = bytes;
    std::string record, sealed;
    for (int row = std::min(unfolded_, history_.RowCount()) - 1; row >= 0; --row) {
      record.clear();
      EncodeRow(record, history_, row);
      if (!sealer_->Seal(record, sealed)) return grid::SealingFailed;
      bytes += sealed;
    }
  } else {
    bytes = JournalHeader;
    for (int row = std::min(unfolded_, history_.RowCount()) - 1; row >= 0; --row)
      EncodeRow(bytes, history_, row);
  }
  const Dword error = grid::ReplaceFileContents(desktop_.Files(), JournalPath(), bytes.data(), bytes.size());
  if (error == 0) {
    journalHasHeader_ = true;
    journalSealed_ = seal_;
  }
  return error;
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

void HistoryStore::NoteFileHolds() {
  fileHolds_ = desktop_.Files().GetFileStamp(historyPath_(), fileHoldsStamp_) == 0;
  fileHoldsVersion_ = history_.ContentVersion();
}

// Neither the list nor the file has changed since they were last the same, and no capture waits
// in the journal: another program that deleted or replaced the file gets the list back.
bool HistoryStore::FileStillHolds() {
  if (!fileHolds_ || fileHoldsVersion_ != history_.ContentVersion() || unfolded_ != 0 || journalStale_ ||
      journalHasHeader_)
    return false;
  platform::IFiles::FileStamp now;
  return desktop_.Files().GetFileStamp(historyPath_(), now) == 0 && now == fileHoldsStamp_;
}

void HistoryStore::Flush() {
  WritePending(SIZE_MAX);
  if (!needsFlush_) return;
  needsFlush_ = false;
  if (journal_ != 0) desktop_.Files().Flush(journal_);
}

void HistoryStore::CloseJournal() {
  // What was not written of them is written with the journal's next rewrite, or is in the
  // history file already.
  pending_.clear();
  if (journal_ == 0) return;
  desktop_.Files().Close(journal_);
  journal_ = 0;
}

}  // namespace history
