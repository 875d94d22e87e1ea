#include "sync/sync.h"

#include <algorithm>

#include "grid/data_directory.h"
#include "grid/table_file.h"
#include "history/capture.h"
#include "history/history_table.h"
#include "history/retention.h"
#include "platform/bytes.h"
#include "platform/utf.h"

namespace syncing {

using namespace platform;
using history::EntryId;

namespace {

constexpr std::uintptr_t TickTimer = 1;
// An entry that comes later than this after it was copied is history, not the clipboard's.
constexpr std::int64_t FreshMs = 5 * 60 * 1000;

std::set<EntryId> IdsOf(const grid::Table& list) {
  std::set<EntryId> ids;
  const int column = list.ColumnIndex(history::EntryIdColumn);
  std::u16string scratch;
  for (int row = 0; row < list.RowCount(); ++row)
    if (auto id = history::ParseEntryId(list.CellView(column, row, scratch))) ids.insert(*id);
  return ids;
}

}  // namespace

Sync::Sync(Desktop& desktop, history::HistoryStore& store, history::Recorder& recorder,
           history::EntryIds& ids, std::function<Hwnd()> clipboardOwner)
    : desktop_(desktop),
      store_(store),
      recorder_(recorder),
      ids_(ids),
      clipboardOwner_(std::move(clipboardOwner)) {
  WindowDesc desc;
  desc.kind = WindowKind::MessageOnly;
  desc.title = "HistorySync";
  window_ = desktop_.Windows().CreateWindowA(desc, this);
}

Sync::~Sync() {
  alive_.reset();
  recorder_.NextEntryId = nullptr;
  recorder_.OnRecorded = nullptr;
  store_.OnRowChanged = nullptr;
  // Writes in flight end; their results go nowhere.
  if (folder_) desktop_.Background().Finish();
  desktop_.Windows().KillTimer(window_, TickTimer);
  desktop_.Windows().DestroyWindow(window_);
  desktop_.Crypto().Wipe(key_.data(), key_.size());
}

void Sync::Load() {
  IFiles& files = desktop_.Files();
  std::string bytes;
  if (files.ReadAll(grid::DataPath(files, SettingsFileName), bytes) != 0) return;
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  if (lines.size() < 4) return;
  folderPath_ = lines[1];
  putOnClipboard_ = lines[2] == "1";
  Bytes blob, opened;
  // A key sealed for another account or computer does not open: that computer must be given
  // the code again.
  if (lines[0] != "1" || !platform::ReadHex(lines[3], blob) ||
      !desktop_.Crypto().UnprotectForUser(blob, opened) || opened.size() != key_.size() + prefix_.size()) {
    if (lines[0] == "1") problem_ = "Sync is off: type the sync code again to start it on this computer.";
    desktop_.Crypto().Wipe(opened.data(), opened.size());
    return;
  }
  std::copy(opened.begin(), opened.begin() + 32, key_.begin());
  std::copy(opened.begin() + 32, opened.end(), prefix_.begin());
  desktop_.Crypto().Wipe(opened.data(), opened.size());
  on_ = true;
  code_ = SyncCodeText(key_);
  TryResume();
  desktop_.Windows().SetTimer(window_, TickTimer, TickMs);
}

void Sync::Save() {
  Bytes plain(key_.begin(), key_.end());
  plain.insert(plain.end(), prefix_.begin(), prefix_.end());
  Bytes blob;
  const bool sealed = on_ && desktop_.Crypto().ProtectForUser(plain, blob);
  desktop_.Crypto().Wipe(plain.data(), plain.size());
  const std::string bytes = std::string(sealed ? "1" : "0") + "\n" + folderPath_ + "\n" +
                            (putOnClipboard_ ? "1" : "0") + "\n" +
                            (sealed ? platform::HexText(blob) : std::string()) + "\n";
  IFiles& files = desktop_.Files();
  grid::ReplaceFileContents(files, grid::DataPath(files, SettingsFileName), bytes.data(), bytes.size());
}

void Sync::TryResume() {
  IFiles& files = desktop_.Files();
  SyncSetup setup{folderPath_, key_, ids_.Computer(), prefix_, grid::DataPath(files, NonceFileName)};
  auto folder = std::make_unique<SyncFolder>(files, desktop_.Crypto(), setup);
  switch (folder->Begin(false)) {
    case SyncFolder::Start::Joined:
    case SyncFolder::Start::Began:
      problem_.clear();
      toldAway_ = false;
      Begin(std::move(folder));
      return;
    case SyncFolder::Start::WrongKey:
      problem_ = "The sync folder now holds another sync code's data: type that code to sync again.";
      break;
    default:
      problem_ = "The sync folder cannot be reached; sync goes on when it is back.";
      if (!toldAway_ && OnNotice)
        OnNotice("The sync folder " + folderPath_ + " cannot be reached. Sync goes on when it is back.");
      toldAway_ = true;
      break;
  }
  if (OnChanged) OnChanged();
}

bool Sync::Start(const std::string& folder, const std::string& typedCode) {
  if (Active()) Stop();
  auto refuse = [this](std::string why) {
    problem_ = std::move(why);
    if (OnChanged) OnChanged();
    return false;
  };
  std::string path = folder;
  while (path.size() > 3 && (path.back() == '\\' || path.back() == ' ')) path.pop_back();
  if (path.empty()) return refuse("Choose a sync folder first.");
  IFiles& files = desktop_.Files();
  ICrypto& crypto = desktop_.Crypto();
  SyncKey key{};
  bool typed = false;
  for (char c : typedCode) typed = typed || (c != ' ' && c != '-');
  if (typed) {
    const auto read = ReadSyncCode(typedCode);
    if (!read) return refuse("The sync code is incomplete or has a mistyped character. Nothing was written.");
    key = *read;
  } else if (SyncFolder::HoldsSyncData(files, path)) {
    return refuse("This folder already holds sync data: type the sync code shown on your other computer.");
  } else if (!crypto.Random(key)) {
    return refuse("Windows could not make a sync key.");
  }
  std::array<std::uint8_t, 6> prefix{};
  if (!crypto.Random(prefix)) return refuse("Windows could not make a sync key.");
  SyncSetup setup{path, key, ids_.Computer(), prefix, grid::DataPath(files, NonceFileName)};
  auto synced = std::make_unique<SyncFolder>(files, crypto, setup);
  const SyncFolder::Start start = synced->Begin(true);
  switch (start) {
    case SyncFolder::Start::WrongKey:
      return refuse(
          "The sync code does not match this folder's: type the code shown on the computer that started sync "
          "there. Nothing was written.");
    case SyncFolder::Start::Unreachable:
      return refuse("The sync folder cannot be reached.");
    case SyncFolder::Start::Failed:
    case SyncFolder::Start::NeedsKey:
      return refuse("The sync folder cannot be written.");
    default:
      break;
  }
  key_ = key;
  prefix_ = prefix;
  folderPath_ = path;
  code_ = SyncCodeText(key_);
  on_ = true;
  began_ = start == SyncFolder::Start::Began;
  problem_.clear();
  computers_.clear();
  lastSyncTick_.reset();
  Save();
  Begin(std::move(synced));
  desktop_.Windows().SetTimer(window_, TickTimer, TickMs);
  return true;
}

void Sync::Begin(std::unique_ptr<SyncFolder> folder) {
  folder_ = std::move(folder);
  present_ = IdsOf(store_.List());
  deletionsSeen_ = store_.List().Deletions();
  recorder_.NextEntryId = [this] { return history::EntryIdText(ids_.Next()); };
  recorder_.OnRecorded = [this](history::CapturedEntry& entry, std::u16string_view text) {
    Captured(entry, text);
  };
  store_.OnRowChanged = [this](int row, const std::vector<history::HistoryStore::CellChange>& cells) {
    RowChanged(row, cells);
  };
  PushExisting();
  CheckNow();
  if (OnChanged) OnChanged();
}

void Sync::Stop() {
  if (folder_) desktop_.Background().Finish();
  folder_.reset();
  on_ = false;
  began_ = false;
  problem_.clear();
  queued_.clear();
  awaitingItems_.clear();
  recorder_.NextEntryId = nullptr;
  recorder_.OnRecorded = nullptr;
  store_.OnRowChanged = nullptr;
  desktop_.Windows().KillTimer(window_, TickTimer);
  Save();
  if (OnChanged) OnChanged();
}

void Sync::SetPutOnClipboard(bool put) {
  if (put == putOnClipboard_) return;
  putOnClipboard_ = put;
  Save();
}

std::string Sync::Status() {
  if (!problem_.empty()) return problem_;
  if (!on_) return "Sync is off.";
  if (computers_.empty())
    return began_ ? "Type this sync code on your other computers to sync with them."
                  : "Waiting for your other computers.";
  std::string status = "Synced with " + std::to_string(computers_.size()) + " other computer" +
                       (computers_.size() == 1 ? "" : "s");
  if (lastSyncTick_) {
    const Dword ago = desktop_.Clock().GetTickCount() - static_cast<Dword>(*lastSyncTick_);
    status += ", " + std::to_string(ago / 1000) + " s ago";
  }
  return status;
}

void Sync::Captured(history::CapturedEntry& entry, std::u16string_view text) {
  if (!folder_ || entry.keptOffCloud) return;
  const grid::Table& list = store_.List();
  std::u16string scratch;
  const auto id = history::ParseEntryId(list.CellView(list.ColumnIndex(history::EntryIdColumn), 0, scratch));
  if (!id) return;
  Outgoing out;
  out.isAdd = true;
  out.add.id = *id;
  out.add.utcMs = desktop_.Clock().UtcNowMs();
  out.add.text.assign(text);
  for (history::Item& item : entry.items) {
    out.add.items.push_back(item.name);
    out.items.push_back(std::move(item));
  }
  present_.insert(*id);
  highest_[id->computer] = std::max(highest_[id->computer], id->counter);
  // An image whose PNG is still being coded goes once it is made, with it.
  const std::u16string_view reference = list.CellView(list.ColumnIndex(history::ItemsColumn), 0, scratch);
  if (history::IsPendingReference(reference)) {
    awaitingItems_[std::u16string(reference)] = std::move(out);
    return;
  }
  std::vector<Outgoing> records;
  records.push_back(std::move(out));
  Post(std::move(records));
}

void Sync::ItemsMade(const std::u16string& placeholder, const std::u16string& reference) {
  const auto found = awaitingItems_.find(placeholder);
  if (found == awaitingItems_.end()) return;
  Outgoing out = std::move(found->second);
  awaitingItems_.erase(found);
  if (!folder_) return;
  // A repeat of the image below it went from the list as its PNG was made: nothing to send.
  const grid::Table& list = store_.List();
  const int idColumn = list.ColumnIndex(history::EntryIdColumn);
  const std::u16string id = history::EntryIdText(out.add.id);
  std::u16string scratch;
  bool there = false;
  for (int row = 0; row < list.RowCount() && !there; ++row)
    there = list.CellView(idColumn, row, scratch) == id;
  if (!there) {
    present_.erase(out.add.id);
    return;
  }
  out.add.items = history::ItemNames(reference);
  out.itemsToRead = out.add.items;
  std::vector<Outgoing> records;
  records.push_back(std::move(out));
  Post(std::move(records));
}

void Sync::RowChanged(int row, const std::vector<history::HistoryStore::CellChange>& cells) {
  if (applying_ || !folder_) return;
  const grid::Table& list = store_.List();
  std::u16string scratch;
  const auto id =
      history::ParseEntryId(list.CellView(list.ColumnIndex(history::EntryIdColumn), row, scratch));
  if (!id) return;
  Outgoing out;
  out.kind = 'E';
  out.change.id = *id;
  out.change.utcMs = desktop_.Clock().UtcNowMs();
  for (const history::HistoryStore::CellChange& cell : cells) {
    const std::string_view column = cell.column;
    if (column == history::PinColumn) {
      out.change.hasPin = true;
      out.change.pinned = cell.text == history::PinnedMark;
    } else if (column == history::Clipboadrs_history && !cell.text.empty()) {
      out.change.hasText = true;
      out.change.text = cell.text;
    }
  }
  if (!out.change.hasPin && !out.change.hasText) return;
  std::vector<Outgoing> records;
  records.push_back(std::move(out));
  Post(std::move(records));
}

std::int64_t Sync::UtcMsOfRow(const history::DateReader& dates, int row) {
  const grid::Table& list = store_.List();
  std::u16string scratch;
  const auto seconds = dates.Read(list.CellView(list.ColumnIndex(history::Date), row, scratch));
  IClock& clock = desktop_.Clock();
  const std::int64_t now = clock.UtcNowMs();
  if (!seconds) return now;
  // The cell is in local time: the offset of now serves (a change of summer time moves an old
  // entry by an hour at most, and only among entries of that same hour).
  const std::int64_t offset = history::DateReader::SecondsOf(clock.LocalTimeOfUtc(now)) - now / 1000;
  return (*seconds - offset) * 1000;
}

void Sync::PushExisting() {
  grid::Table& list = store_.List();
  const int idColumn = list.ColumnIndex(history::EntryIdColumn);
  const int textColumn = list.ColumnIndex(history::Clipboadrs_history);
  const int itemsColumn = list.ColumnIndex(history::ItemsColumn);
  const std::uint64_t computer = ids_.Computer();
  const history::DateReader dates(desktop_);
  std::vector<Outgoing> records;
  bool idsGiven = false;
  std::u16string scratch;
  // Oldest first, as they were copied; each with an id of this computer when it has none.
  for (int row = list.RowCount() - 1; row >= 0; --row) {
    std::optional<EntryId> id = history::ParseEntryId(list.CellView(idColumn, row, scratch));
    if (!id) {
      const std::u16string_view reference = list.CellView(itemsColumn, row, scratch);
      if (history::IsPendingReference(reference)) continue;  // its PNG comes as it is made
      id = ids_.Next();
      list.SetCell(idColumn, row, history::EntryIdText(*id));
      idsGiven = true;
    } else if (id->computer != computer || folder_->Holds(*id)) {
      continue;
    }
    Outgoing out;
    out.isAdd = true;
    out.add.id = *id;
    out.add.utcMs = UtcMsOfRow(dates, row);
    out.add.text = list.Cell(textColumn, row);
    out.add.items = history::ItemNames(list.CellView(itemsColumn, row, scratch));
    out.itemsToRead = out.add.items;
    highest_[id->computer] = std::max(highest_[id->computer], id->counter);
    present_.insert(*id);
    records.push_back(std::move(out));
    if (history::IsPinned(list, row)) {
      Outgoing pin;
      pin.kind = 'E';
      pin.change = {*id, records.back().add.utcMs, true, true, false, {}};
      records.push_back(std::move(pin));
    }
  }
  if (idsGiven) {
    try {
      store_.WriteAll();
    } catch (const std::exception&) {
      // The ids are in the list; the next write keeps them.
    }
  }
  if (!records.empty()) Post(std::move(records));
}

void Sync::Post(std::vector<Outgoing> records) {
  for (Outgoing& record : records) queued_.push_back(std::move(record));
  if (writing_ || !folder_ || queued_.empty()) return;
  writing_ = true;
  auto batch = std::make_shared<std::vector<Outgoing>>(std::move(queued_));
  queued_.clear();
  std::shared_ptr<SyncFolder> folder = folder_;
  history::ItemStore& items = store_.Items();
  desktop_.Background().Post(
      [folder, batch, &items] {
        // An item gone meanwhile (its entry deleted) leaves the entry its text.
        for (Outgoing& record : *batch) {
          std::vector<std::string> read;
          for (const std::string& name : record.itemsToRead) {
            history::Item item{name, {}};
            if (items.Get(name, item.bytes)) {
              read.push_back(name);
              record.items.push_back(std::move(item));
            }
          }
          if (!record.itemsToRead.empty()) record.add.items = std::move(read);
          record.itemsToRead.clear();
        }
        folder->Write(std::move(*batch));
      },
      [this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired()) return;
        writing_ = false;
        if (!queued_.empty()) Post({});
      });
}

void Sync::CheckNow() {
  // Nothing comes in before the recorder has read the clipboard as the start-up found it: that
  // read is judged against the history the file held, and an entry from elsewhere on top would
  // make the clipboard's old content a new copy here, and a second entry of it everywhere.
  if (!folder_ || checking_ || !recorder_.InChain()) return;
  checking_ = true;
  auto incoming = std::make_shared<Incoming>();
  std::shared_ptr<SyncFolder> folder = folder_;
  desktop_.Background().Post(
      [folder, incoming] {
        folder->Check(*incoming);
        folder->CompactIfWorth();
      },
      [this, folder, incoming, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired()) return;
        checking_ = false;
        if (folder != folder_) return;  // stopped meanwhile
        Merge(*incoming);
      });
}

void Sync::Finish() { desktop_.Background().Finish(); }

void Sync::ScanRemovals() {
  grid::Table& list = store_.List();
  if (list.Deletions() == deletionsSeen_) return;
  deletionsSeen_ = list.Deletions();
  std::set<EntryId> now = IdsOf(list);
  std::vector<EntryId> removed;
  for (const EntryId& id : present_)
    if (!now.count(id)) removed.push_back(id);
  present_ = std::move(now);
  if (removed.empty() || !folder_) return;
  Outgoing out;
  if (list.RowCount() == 0) {
    // "Clear All": everything each computer had made up to what this one had seen.
    out.kind = 'C';
    for (const auto& [computer, counter] : highest_) out.ids.push_back({computer, counter});
  } else {
    out.kind = 'D';
    out.ids = std::move(removed);
  }
  std::vector<Outgoing> records;
  records.push_back(std::move(out));
  Post(std::move(records));
}

void Sync::Merge(Incoming& incoming) {
  if (!incoming.reachable) {
    problem_ = "The sync folder cannot be reached; sync goes on when it is back.";
    if (!toldAway_ && OnNotice)
      OnNotice("The sync folder " + folderPath_ + " cannot be reached. Sync goes on when it is back.");
    toldAway_ = true;
    if (OnChanged) OnChanged();
    return;
  }
  if (toldAway_) problem_.clear();
  toldAway_ = false;
  computers_.insert(incoming.computers.begin(), incoming.computers.end());
  if (!incoming.computers.empty() || !computers_.empty()) lastSyncTick_ = desktop_.Clock().GetTickCount();
  ScanRemovals();  // this computer's own first, so that they are not taken for the others'
  grid::Table& list = store_.List();
  const int idColumn = list.ColumnIndex(history::EntryIdColumn);
  bool written = false;

  // Removals from the others.
  std::set<EntryId> deleted(incoming.deletes.begin(), incoming.deletes.end());
  std::map<std::uint64_t, std::uint64_t> cleared;
  for (const auto& clear : incoming.clears)
    for (const EntryId& id : clear) cleared[id.computer] = std::max(cleared[id.computer], id.counter);
  auto removed = [&](const EntryId& id) {
    const auto it = cleared.find(id.computer);
    return deleted.count(id) || (it != cleared.end() && id.counter <= it->second);
  };
  if (!deleted.empty() || !cleared.empty()) {
    std::vector<bool> doomed(static_cast<std::size_t>(list.RowCount()), false);
    std::u16string scratch;
    int count = 0;
    for (int row = 0; row < list.RowCount(); ++row) {
      const auto id = history::ParseEntryId(list.CellView(idColumn, row, scratch));
      if (id && removed(*id)) {
        doomed[static_cast<std::size_t>(row)] = true;
        present_.erase(*id);
        ++count;
      }
    }
    if (count > 0) {
      const grid::UpdateScope update(list);
      list.DeleteRows(doomed);
      written = true;
    }
  }

  // Entries from the others, each in its place by date.
  std::vector<Arrival*> adds;
  for (Arrival& arrival : incoming.adds)
    if (!present_.count(arrival.add.id) && !removed(arrival.add.id)) adds.push_back(&arrival);
  std::sort(adds.begin(), adds.end(), [](const Arrival* a, const Arrival* b) {
    return a->add.utcMs != b->add.utcMs ? a->add.utcMs < b->add.utcMs : a->add.id < b->add.id;
  });
  if (!adds.empty()) {
    const history::DateReader dates(desktop_);
    IClock& clock = desktop_.Clock();
    struct Row {
      std::vector<std::u16string> cells;
      std::int64_t seconds = 0;
    };
    std::vector<Row> arriving;
    const int itemsColumn = list.ColumnIndex(history::ItemsColumn);
    for (Arrival* arrival : adds) {
      Row row;
      row.cells.resize(static_cast<std::size_t>(list.ColumnCount()));
      const SystemTime local = clock.LocalTimeOfUtc(arrival->add.utcMs);
      row.seconds = history::DateReader::SecondsOf(local);
      std::vector<std::string> names;
      for (const history::Item& item : arrival->items)
        if (store_.Items().Put(item, store_.Sealing()) == 0) names.push_back(item.name);
      row.cells[static_cast<std::size_t>(list.ColumnIndex(history::Date))] =
          history::DateText(desktop_, local);
      row.cells[static_cast<std::size_t>(list.ColumnIndex(history::Clipboadrs_history))] =
          std::move(arrival->add.text);
      row.cells[static_cast<std::size_t>(itemsColumn)] = history::ItemReference(names);
      row.cells[static_cast<std::size_t>(idColumn)] = history::EntryIdText(arrival->add.id);
      present_.insert(arrival->add.id);
      highest_[arrival->add.id.computer] =
          std::max(highest_[arrival->add.id.computer], arrival->add.id.counter);
      arriving.push_back(std::move(row));
    }
    // The rows newer than the oldest arrival come off the top and go back among the arrivals.
    std::vector<Row> above;
    std::u16string scratch;
    for (int row = 0; row < list.RowCount(); ++row) {
      const auto seconds = dates.Read(list.CellView(list.ColumnIndex(history::Date), row, scratch));
      if (!seconds || *seconds <= arriving.front().seconds) break;
      Row kept;
      kept.seconds = *seconds;
      for (int c = 0; c < list.ColumnCount(); ++c) kept.cells.push_back(list.Cell(c, row));
      above.push_back(std::move(kept));
    }
    const grid::UpdateScope update(list);
    if (above.empty()) {
      // The usual case: they are the newest, and go on top as captures do, journal and all.
      for (Row& row : arriving) {
        list.AddRow(row.cells, list.RowCount() == 0);
        std::u16string date, text, items;
        store_.Recorded(list.CellView(list.ColumnIndex(history::Date), 0, date),
                        list.CellView(list.ColumnIndex(history::Clipboadrs_history), 0, text),
                        list.CellView(itemsColumn, 0, items));
      }
    } else {
      for (std::size_t k = 0; k < above.size(); ++k) list.DeleteRow(0);
      std::vector<Row> merged;
      std::reverse(above.begin(), above.end());  // oldest first, as the arrivals
      std::merge(std::make_move_iterator(above.begin()), std::make_move_iterator(above.end()),
                 std::make_move_iterator(arriving.begin()), std::make_move_iterator(arriving.end()),
                 std::back_inserter(merged),
                 [](const Row& a, const Row& b) { return a.seconds < b.seconds; });
      for (Row& row : merged) list.AddRow(row.cells, list.RowCount() == 0);
      written = true;
    }
  }
  if (!incoming.changes.empty()) ApplyChanges(incoming.changes);
  if (written) {
    try {
      store_.WriteAll();
    } catch (const std::exception&) {
      // Written again at the next removal, capture flush or the close.
    }
  }
  deletionsSeen_ = list.Deletions();
  // This computer's limits hold for what came too; what they remove goes to the others. A
  // check that brought nothing costs the window no walk over the history.
  if (!adds.empty()) {
    recorder_.ApplyLimits();
    ScanRemovals();
  }
  if (PutOnClipboardChosen) SetPutOnClipboard(PutOnClipboardChosen());
  if (putOnClipboard_ && !adds.empty() && list.RowCount() > 0) {
    const Arrival* newest = adds.back();
    std::u16string scratch;
    if (list.CellView(idColumn, 0, scratch) == history::EntryIdText(newest->add.id) &&
        desktop_.Clock().UtcNowMs() - newest->add.utcMs < FreshMs) {
      try {
        history::CopyEntryToClipboard(desktop_, clipboardOwner_(), list, 0, &store_.Items());
      } catch (const std::exception&) {
        // The clipboard was busy: the entry is in the history all the same.
      }
    }
  }
  if (OnChanged) OnChanged();
}

void Sync::ApplyChanges(const std::vector<ChangeRecord>& changes) {
  grid::Table& list = store_.List();
  const int idColumn = list.ColumnIndex(history::EntryIdColumn);
  std::map<EntryId, grid::RowKey> rows;
  std::u16string scratch;
  for (int row = 0; row < list.RowCount(); ++row)
    if (const auto id = history::ParseEntryId(list.CellView(idColumn, row, scratch)))
      rows[*id] = list.KeyOf(row);
  applying_ = true;
  for (const ChangeRecord& change : changes) {
    const auto found = rows.find(change.id);
    if (found == rows.end()) continue;
    const int row = list.RowOfKey(found->second);
    if (row < 0) continue;
    std::vector<history::HistoryStore::CellChange> cells;
    if (change.hasPin && history::IsPinned(list, row) != change.pinned)
      cells.push_back(
          {history::PinColumn, change.pinned ? std::u16string(history::PinnedMark) : std::u16string()});
    if (change.hasText &&
        list.CellView(list.ColumnIndex(history::Clipboadrs_history), row, scratch) != change.text) {
      cells.push_back({history::Clipboadrs_history, change.text});
      // The formats kept beside the old text no longer match it.
      if (!list.CellView(list.ColumnIndex(history::ItemsColumn), row, scratch).empty())
        cells.push_back({history::ItemsColumn, std::u16string()});
    }
    if (!cells.empty()) store_.ChangeRow(row, cells);
  }
  applying_ = false;
}

void Sync::Tick() {
  if (on_ && !folder_) {
    TryResume();
    return;
  }
  if (!folder_) return;
  ScanRemovals();
  CheckNow();
  if (OnChanged) OnChanged();
}

LResult Sync::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  if (msg == WmTimer && wParam == TickTimer) {
    try {
      Tick();
    } catch (const std::exception&) {
      // The next tick tries again.
    }
    return 0;
  }
  return desktop_.Windows().DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace syncing
