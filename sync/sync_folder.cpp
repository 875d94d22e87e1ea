#include "sync/sync_folder.h"

#include <algorithm>

#include "grid/table_file.h"
#include "platform/bytes.h"

namespace syncing {

using namespace platform;

namespace {

constexpr std::string_view LogExtension = ".cmlog";
constexpr std::string_view ItemExtension = ".cmitem";
constexpr std::string_view CheckExtension = ".cmcheck";
constexpr std::string_view CheckText = "Clipboard manager sync key check";
constexpr std::uint64_t NonceBlock = 4096;
// An entry whose item files have not come after this many checks comes with its text alone.
constexpr int ItemTries = 30;
// A log is written anew once it is this large and most of its entries are removed.
constexpr std::size_t CompactAfterAdds = 64;
// About how many bytes of records one block of a log holds.
constexpr std::size_t BlockRecordBytes = std::size_t{1} << 20;

bool EndsWith(std::string_view name, std::string_view end) {
  return name.size() > end.size() && name.substr(name.size() - end.size()) == end;
}

// A name the engine or another program is still writing, or keeps for itself.
bool Passed(std::string_view name) { return name.empty() || name[0] == '.' || name[0] == '~'; }

}  // namespace

SyncFolder::SyncFolder(IFiles& files, ICrypto& crypto, SyncSetup setup)
    : files_(files), crypto_(crypto), setup_(std::move(setup)) {}

SyncFolder::~SyncFolder() { crypto_.Wipe(setup_.key.data(), setup_.key.size()); }

std::string SyncFolder::Folder() const { return setup_.chosen + "\\" + OwnFolderName; }

std::string SyncFolder::LogName(std::uint32_t generation) const {
  return history::ComputerIdText(setup_.computer) + "." + std::to_string(generation) +
         std::string(LogExtension);
}

std::string SyncFolder::ItemFileName(std::uint64_t computer, const std::string& item) const {
  std::string data = "item:" + history::ComputerIdText(computer) + ":" + item;
  ICrypto::Digest mac{};
  if (!crypto_.HmacSha256(setup_.key, platform::AsBytes(data), mac)) return {};
  return platform::HexText(mac) + std::string(ItemExtension);
}

bool SyncFolder::HoldsSyncData(IFiles& files, const std::string& chosen) {
  std::vector<std::string> names;
  if (files.ListFolder(chosen + "\\" + OwnFolderName, names) != 0) return false;
  for (const std::string& name : names)
    if (!Passed(name) && EndsWith(name, CheckExtension)) return true;
  return false;
}

SyncFolder::Start SyncFolder::Begin(bool mayBegin) {
  std::vector<std::string> names;
  if (files_.ListFolder(setup_.chosen, names) != 0) return Start::Unreachable;
  names.clear();
  const Dword listed = files_.ListFolder(Folder(), names);
  bool anyCheck = false, opened = false;
  if (listed == 0) {
    for (const std::string& name : names) {
      if (Passed(name) || !EndsWith(name, CheckExtension)) continue;
      anyCheck = true;
      std::string bytes;
      if (files_.ReadAll(Folder() + "\\" + name, bytes) != 0) continue;
      std::string text;
      OpenBlocks(crypto_, setup_.key, FileKind::Check, bytes, 0,
                 [&](std::string_view plain) { text.assign(plain); });
      if (text == CheckText) opened = true;
    }
  }
  if (anyCheck && !opened) return Start::WrongKey;
  // The nonces are reserved before anything is sealed.
  std::string counter;
  if (files_.ReadAll(setup_.counterPath, counter) == 0) {
    // "<prefix hex> <next reserved>": a count for another prefix is another key's.
    const std::string prefix = platform::HexText(setup_.noncePrefix);
    if (counter.rfind(prefix + " ", 0) == 0)
      nonceNext_ = std::strtoull(counter.c_str() + prefix.size() + 1, nullptr, 10);
  }
  nonceReserved_ = nonceNext_;
  if (!anyCheck) {
    if (!mayBegin) return Start::NeedsKey;
    if (files_.CreateFolder(Folder()) != 0) return Start::Failed;
    std::array<std::uint8_t, 12> nonce;
    std::string bytes;
    if (!NextNonce(nonce) || !SealBlock(crypto_, setup_.key, nonce, FileKind::Check, CheckText, bytes) ||
        grid::ReplaceFileContents(
            files_, Folder() + "\\" + history::ComputerIdText(setup_.computer) + std::string(CheckExtension),
            bytes.data(), bytes.size()) != 0)
      return Start::Failed;
  }
  ReadOwnLog();
  // The log begins at once, so that the others know of this computer before its first copy.
  if (!logBegun_) Write({});
  return anyCheck ? Start::Joined : Start::Began;
}

void SyncFolder::ReadOwnLog() {
  // The newest generation of this computer's own log goes on; a write a kill cut short leaves
  // bytes after its last whole block, which a new copy of the log leaves out.
  std::vector<std::string> names;
  files_.ListFolder(Folder(), names);
  const std::string prefix = history::ComputerIdText(setup_.computer) + ".";
  for (const std::string& name : names) {
    if (name.rfind(prefix, 0) != 0 || !EndsWith(name, LogExtension)) continue;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - LogExtension.size());
    if (middle.empty() || middle.size() > 9 || !std::all_of(middle.begin(), middle.end(), ::isdigit))
      continue;
    generation_ = std::max<std::uint32_t>(generation_, static_cast<std::uint32_t>(std::stoul(middle)));
  }
  std::string bytes;
  const std::string path = Folder() + "\\" + LogName(generation_);
  if (files_.ReadAll(path, bytes) != 0) return;
  LogRecords records;
  const BlockRun run = OpenBlocks(crypto_, setup_.key, FileKind::Log, bytes, 0,
                                  [&](std::string_view plain) { ReadRecords(plain, records); });
  logBegun_ = records.hasHeader && run.whole > 0;
  logBytes_ = run.whole;
  if (run.whole < bytes.size()) {
    logTorn_ = grid::ReplaceFileContents(files_, path, bytes.data(), run.whole) != 0;
    if (run.whole == 0) logBegun_ = false;
  }
  Incoming ignored;
  Take(records, true, ignored);
}

bool SyncFolder::NextNonce(std::array<std::uint8_t, 12>& nonce) {
  if (nonceNext_ >= nonceReserved_) {
    // The counter on the disk is always ahead of every nonce used, across crashes too.
    const std::uint64_t upTo = nonceNext_ + NonceBlock;
    const std::string text = platform::HexText(setup_.noncePrefix) + " " + std::to_string(upTo) + "\n";
    if (grid::ReplaceFileContents(files_, setup_.counterPath, text.data(), text.size()) != 0) return false;
    nonceReserved_ = upTo;
  }
  std::copy(setup_.noncePrefix.begin(), setup_.noncePrefix.end(), nonce.begin());
  const std::uint64_t n = nonceNext_++;
  for (int i = 0; i < 6; ++i)
    nonce[6 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (40 - 8 * i));
  return true;
}

bool SyncFolder::WriteItem(const history::Item& item) {
  if (itemsWritten_.count(item.name)) return true;
  const std::string name = ItemFileName(setup_.computer, item.name);
  std::array<std::uint8_t, 12> nonce;
  std::string bytes;
  if (name.empty() || !NextNonce(nonce) ||
      !SealBlock(crypto_, setup_.key, nonce, FileKind::Item, item.bytes, bytes) ||
      grid::ReplaceFileContents(files_, Folder() + "\\" + name, bytes.data(), bytes.size()) != 0)
    return false;
  itemsWritten_.insert(item.name);
  return true;
}

bool SyncFolder::AppendToLog(const std::string& plain) {
  const std::string path = Folder() + "\\" + LogName(generation_);
  if (logTorn_) {
    // A write that failed may have left part of a block: it goes before the next one, or the
    // others would read no further than it.
    std::string bytes;
    if (files_.ReadAll(path, bytes) != 0) return false;
    if (bytes.size() > logBytes_ && grid::ReplaceFileContents(files_, path, bytes.data(), logBytes_) != 0)
      return false;
    logTorn_ = false;
  }
  std::string block;
  std::array<std::uint8_t, 12> nonce;
  if (!NextNonce(nonce) || !SealBlock(crypto_, setup_.key, nonce, FileKind::Log, plain, block)) return false;
  FileHandle file = 0;
  if (files_.OpenForAppend(path, file) != 0) return false;
  const Dword error = files_.Write(file, block.data(), block.size());
  const Dword flushed = error == 0 ? files_.Flush(file) : error;
  files_.Close(file);
  if (flushed != 0) {
    logTorn_ = true;
    return false;
  }
  logBytes_ += block.size();
  return true;
}

bool SyncFolder::Write(std::vector<Outgoing> records) {
  std::vector<Outgoing> all = std::move(unwritten_);
  unwritten_.clear();
  for (Outgoing& record : records) all.push_back(std::move(record));
  if (all.empty() && logBegun_) return true;
  // Items before the records that name them: a reader never meets a record whose item was lost.
  // A block holds about BlockRecordBytes of records, so that the history pushed at the start of
  // sync never makes one larger than a reader takes.
  std::string plain;
  if (!logBegun_) PutHeader(plain, setup_.computer, generation_);
  std::size_t first = 0;  // the first record not yet in a block written
  for (std::size_t k = 0; k < all.size(); ++k) {
    const Outgoing& record = all[k];
    bool itemsOk = true;
    for (const history::Item& item : record.items) itemsOk = itemsOk && WriteItem(item);
    if (!itemsOk) break;
    if (record.isAdd)
      PutAdd(plain, record.add);
    else if (record.kind == 'E')
      PutChange(plain, record.change);
    else
      PutIds(plain, record.kind, record.ids);
    if (plain.size() < BlockRecordBytes && k + 1 < all.size()) continue;
    if (!AppendToLog(plain)) break;
    logBegun_ = true;
    LogRecords mine;
    ReadRecords(plain, mine);
    Incoming ignored;
    Take(mine, true, ignored);
    plain.clear();
    first = k + 1;
  }
  if (all.empty() && !plain.empty()) {
    // The header alone, for a log begun before its first entry.
    if (!AppendToLog(plain)) return false;
    logBegun_ = true;
    return true;
  }
  if (first == all.size()) return true;
  unwritten_.assign(std::make_move_iterator(all.begin() + static_cast<std::ptrdiff_t>(first)),
                    std::make_move_iterator(all.end()));
  return false;
}

bool SyncFolder::Removed(const EntryId& id) const {
  if (deleted_.count(id)) return true;
  const auto cleared = cleared_.find(id.computer);
  return cleared != cleared_.end() && id.counter <= cleared->second;
}

std::optional<ChangeRecord> SyncFolder::Fold(ChangeState& state, const ChangeRecord& change) {
  // The newest wins; at the same moment, the same one on every computer.
  ChangeRecord newer;
  newer.id = change.id;
  newer.utcMs = change.utcMs;
  if (change.hasPin &&
      (change.utcMs > state.pinMs || (change.utcMs == state.pinMs && change.pinned && !state.pinned))) {
    state.pinMs = change.utcMs;
    state.pinned = change.pinned;
    newer.hasPin = true;
    newer.pinned = change.pinned;
  }
  if (change.hasText && !change.text.empty() &&
      (change.utcMs > state.textMs || (change.utcMs == state.textMs && change.text > state.text))) {
    state.textMs = change.utcMs;
    state.text = change.text;
    newer.hasText = true;
    newer.text = change.text;
  }
  if (!newer.hasPin && !newer.hasText) return std::nullopt;
  return newer;
}

std::vector<ChangeRecord> SyncFolder::Records(const EntryId& id, const ChangeState& state) {
  std::vector<ChangeRecord> records;
  if (state.textMs >= 0) records.push_back({id, state.textMs, false, false, true, state.text});
  if (state.pinMs >= 0) records.push_back({id, state.pinMs, true, state.pinned, false, {}});
  return records;
}

void SyncFolder::Take(const LogRecords& records, bool own, Incoming& incoming) {
  for (const EntryId& id : records.deletes) deleted_.insert(id);
  for (const auto& clear : records.clears)
    for (const EntryId& id : clear) cleared_[id.computer] = std::max(cleared_[id.computer], id.counter);
  if (!own) {
    incoming.deletes.insert(incoming.deletes.end(), records.deletes.begin(), records.deletes.end());
    incoming.clears.insert(incoming.clears.end(), records.clears.begin(), records.clears.end());
  }
  for (const ChangeRecord& change : records.changes) {
    if (own) Fold(ownChanges_[change.id], change);
    const auto newer = Fold(changes_[change.id], change);
    // An entry handed on already is changed where it stands; one still to come takes its
    // changes with it.
    if (newer && !own && taken_.count(change.id) && !Removed(change.id)) incoming.changes.push_back(*newer);
  }
  for (const AddRecord& add : records.adds) {
    if (add.id.computer == setup_.computer) {
      ownAdds_.insert(add.id);
      taken_.insert(add.id);
      continue;
    }
    if (!taken_.insert(add.id).second || Removed(add.id)) continue;
    waitingForItems_.push_back({add, {}});
  }
  // Entries whose items are all there now go on; the others wait a while.
  std::vector<Arrival> still;
  for (Arrival& arrival : waitingForItems_) {
    if (Removed(arrival.add.id)) continue;
    bool whole = true;
    arrival.items.clear();
    for (const std::string& name : arrival.add.items) {
      history::Item item;
      if (ReadItem(arrival.add.id.computer, name, item))
        arrival.items.push_back(std::move(item));
      else
        whole = false;
    }
    if (whole || ++itemTries_[arrival.add.id] > ItemTries) {
      itemTries_.erase(arrival.add.id);
      if (const auto changed = changes_.find(arrival.add.id); changed != changes_.end())
        for (ChangeRecord& change : Records(arrival.add.id, changed->second))
          incoming.changes.push_back(std::move(change));
      incoming.adds.push_back(std::move(arrival));
    } else {
      still.push_back(std::move(arrival));
    }
  }
  waitingForItems_ = std::move(still);
}

bool SyncFolder::ReadItem(std::uint64_t computer, const std::string& name, history::Item& item) {
  if (!history::IsItemName(name)) return false;
  const std::string file = ItemFileName(computer, name);
  std::string bytes;
  if (file.empty() || files_.ReadAll(Folder() + "\\" + file, bytes) != 0) return false;
  std::string opened;
  const BlockRun run = OpenBlocks(crypto_, setup_.key, FileKind::Item, bytes, 0,
                                  [&](std::string_view plain) { opened.assign(plain); });
  if (run.damaged || run.cut || run.whole != bytes.size()) return false;
  // The name says what the bytes are: an item whose bytes are another's is not taken.
  history::Item made;
  if (!history::MakeItem(crypto_, std::move(opened), history::ItemKind(name), made) || made.name != name)
    return false;
  item = std::move(made);
  return true;
}

void SyncFolder::Check(Incoming& incoming) {
  std::vector<std::string> names;
  if (files_.ListFolder(Folder(), names) != 0) {
    incoming.reachable = false;
    return;
  }
  std::set<std::string> present;
  for (const std::string& name : names) {
    if (Passed(name) || !EndsWith(name, LogExtension)) continue;
    present.insert(name);
    if (name == LogName(generation_)) continue;  // this computer's own, which it knows
    IFiles::FileStamp stamp;
    const bool stamped = files_.GetFileStamp(Folder() + "\\" + name, stamp) == 0;
    Seen& seen = seen_[name];
    if (stamped && seen.whole > 0 && stamp == seen.stamp) continue;
    std::string bytes;
    // Held by the engine, or a placeholder not yet downloaded: tried at the next check.
    if (files_.ReadAll(Folder() + "\\" + name, bytes) != 0) continue;
    constexpr std::size_t StartBytes = 64;
    if (bytes.size() < seen.whole || bytes.compare(0, std::min(StartBytes, seen.whole), seen.start) != 0) {
      seen = Seen{};  // another file under this name: read from its start
    }
    LogRecords records;
    records.computer = seen.computer;
    records.hasHeader = seen.headed;
    const BlockRun run = OpenBlocks(crypto_, setup_.key, FileKind::Log, bytes, seen.whole,
                                    [&](std::string_view plain) { ReadRecords(plain, records); });
    seen.whole += run.whole;
    seen.start = bytes.substr(0, std::min(StartBytes, seen.whole));
    if (stamped && !run.cut) seen.stamp = stamp;
    seen.computer = records.computer;
    seen.headed = records.hasHeader;
    if (!records.hasHeader) continue;  // not a log of this key: nothing of it is taken
    const bool own = records.computer == setup_.computer;
    if (!own) incoming.computers.insert(records.computer);
    // A record speaks for the computer whose log it is in, and for no other.
    std::erase_if(records.adds, [&](const AddRecord& add) { return add.id.computer != records.computer; });
    Take(records, own, incoming);
  }
  for (auto it = seen_.begin(); it != seen_.end();)
    it = present.count(it->first) ? std::next(it) : seen_.erase(it);
  for (const auto& [name, seen] : seen_)
    if (seen.headed && seen.computer != setup_.computer) incoming.computers.insert(seen.computer);
  if (!waitingForItems_.empty()) {
    LogRecords none;
    Take(none, true, incoming);
  }
}

std::size_t SyncFolder::OwnRemoved() const {
  std::size_t removed = 0;
  for (const EntryId& id : ownAdds_) removed += Removed(id) ? 1 : 0;
  return removed;
}

void SyncFolder::CompactIfWorth() {
  if (ownAdds_.size() < CompactAfterAdds || !unwritten_.empty()) return;
  // A walk over this computer's entries only when removals came since the last one.
  const std::size_t removals = deleted_.size() + cleared_.size() + ownAdds_.size();
  std::uint64_t clearedUpTo = 0;
  for (const auto& [computer, counter] : cleared_) clearedUpTo += counter;
  if (removals == removalsLooked_ && clearedUpTo == clearedLooked_) return;
  removalsLooked_ = removals;
  clearedLooked_ = clearedUpTo;
  if (2 * OwnRemoved() <= ownAdds_.size()) return;
  const std::string old = Folder() + "\\" + LogName(generation_);
  std::string bytes;
  if (files_.ReadAll(old, bytes) != 0) return;
  LogRecords records;
  OpenBlocks(crypto_, setup_.key, FileKind::Log, bytes, 0,
             [&](std::string_view plain) { ReadRecords(plain, records); });
  // The entries still there, and every removal: a computer away since still learns of them.
  std::string plain, blocks;
  bool sealed = true;
  auto seal = [&] {
    std::array<std::uint8_t, 12> nonce;
    sealed =
        sealed && NextNonce(nonce) && SealBlock(crypto_, setup_.key, nonce, FileKind::Log, plain, blocks);
    plain.clear();
  };
  PutHeader(plain, setup_.computer, generation_ + 1);
  std::set<std::string> keptItems;
  std::set<EntryId> kept;
  for (const AddRecord& add : records.adds) {
    if (add.id.computer != setup_.computer || Removed(add.id)) continue;
    PutAdd(plain, add);
    kept.insert(add.id);
    keptItems.insert(add.items.begin(), add.items.end());
    if (plain.size() >= BlockRecordBytes) seal();
  }
  // This computer's pins and edits of the entries still there, of every computer's.
  for (const auto& [id, state] : ownChanges_)
    if (!Removed(id))
      for (const ChangeRecord& change : Records(id, state)) PutChange(plain, change);
  const std::vector<EntryId> deleted(deleted_.begin(), deleted_.end());
  if (!deleted.empty()) PutIds(plain, 'D', deleted);
  std::vector<EntryId> cleared;
  for (const auto& [computer, counter] : cleared_) cleared.push_back({computer, counter});
  if (!cleared.empty()) PutIds(plain, 'C', cleared);
  seal();
  if (!sealed) return;
  const std::string next = Folder() + "\\" + LogName(generation_ + 1);
  if (grid::ReplaceFileContents(files_, next, blocks.data(), blocks.size()) != 0) return;
  ++generation_;
  logBytes_ = blocks.size();
  logTorn_ = false;
  files_.Delete(old);
  // The items only removed entries named go too.
  for (const AddRecord& add : records.adds) {
    if (kept.count(add.id)) continue;
    for (const std::string& item : add.items) {
      if (keptItems.count(item)) continue;
      files_.Delete(Folder() + "\\" + ItemFileName(setup_.computer, item));
      itemsWritten_.erase(item);
    }
  }
  ownAdds_ = std::move(kept);
}

}  // namespace syncing
