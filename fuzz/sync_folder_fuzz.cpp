// Arbitrary files in the sync folder, under arbitrary names: some are runs of blocks sealed under
// the folder's key around arbitrary records (cut short anywhere, as a file half delivered),
// others arbitrary bytes. Joining the folder and reading it twice never crashes; no entry is
// handed on twice, nor one of this computer's own; no file of another computer is changed; and the records of
// every block read back the same once written out again.
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "history/entry_id.h"
#include "platform/sim/sim_desktop.h"
#include "sync/sync_folder.h"
#include "sync/sync_log.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* Chosen = "D:\\Sync";
constexpr std::uint64_t OwnComputer = 0x00112233445566aaull;

struct Input {
  explicit Input(std::string_view bytes) : bytes_(bytes) {}
  std::uint8_t U8() { return at_ < bytes_.size() ? static_cast<std::uint8_t>(bytes_[at_++]) : 0; }
  std::string_view Take(std::size_t n) {
    n = std::min(n, bytes_.size() - at_);
    const std::string_view taken = bytes_.substr(at_, n);
    at_ += n;
    return taken;
  }
  bool Done() const { return at_ >= bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

// A name the folder can hold: what the engines leave (conflict copies, temporary files) and
// anything else, without what would lead out of it.
std::string NameOf(std::string_view raw, std::uint8_t kind) {
  std::string name;
  for (char c : raw) {
    const unsigned char u = static_cast<unsigned char>(c);
    name.push_back(u < 32 || u >= 127 || c == '\\' || c == '/' || c == ':' ? '_' : c);
  }
  if (name.empty() || name == "." || name == "..") name = "x";
  switch (kind % 5) {
    case 0:
      return name + ".cmlog";
    case 1:
      return history::ComputerIdText(OwnComputer) + "." + std::to_string(kind / 5 % 3) + ".cmlog";
    case 2:
      return name + ".sync-conflict-20261208-093000-ABC.cmlog";
    case 3:
      return name + ".cmitem";
    default:
      return name;
  }
}

void RoundTrip(std::string_view plain) {
  syncing::LogRecords read;
  syncing::ReadRecords(plain, read);
  std::string again;
  if (read.hasHeader) syncing::PutHeader(again, read.computer, read.generation);
  for (const syncing::AddRecord& add : read.adds) syncing::PutAdd(again, add);
  for (const history::EntryId& id : read.deletes) syncing::PutIds(again, 'D', std::span(&id, 1));
  for (const auto& clear : read.clears) syncing::PutIds(again, 'C', clear);
  for (const syncing::ChangeRecord& change : read.changes) syncing::PutChange(again, change);
  syncing::LogRecords back;
  if (!syncing::ReadRecords(again, back)) std::abort();
  if (back.hasHeader != read.hasHeader ||
      (read.hasHeader && (back.computer != read.computer || back.generation != read.generation)))
    std::abort();
  if (back.deletes != read.deletes || back.clears != read.clears || back.changes != read.changes)
    std::abort();
  if (back.adds.size() != read.adds.size()) std::abort();
  for (std::size_t i = 0; i < read.adds.size(); ++i)
    if (back.adds[i].id != read.adds[i].id || back.adds[i].utcMs != read.adds[i].utcMs ||
        back.adds[i].text != read.adds[i].text || back.adds[i].items != read.adds[i].items)
      std::abort();
}

struct Folder {
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "cm-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    root = pattern;
    desk = std::make_unique<sim::SimDesktop>(root);
  }
  ~Folder() {
    desk.reset();
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  std::string root;
  std::unique_ptr<sim::SimDesktop> desk;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Folder folder;
  sim::SimDesktop& desk = *folder.desk;
  const fs::path shared = fs::path(desk.files.RealPath(Chosen)) / syncing::OwnFolderName;
  std::error_code ignored;
  fs::remove_all(desk.files.RealPath(Chosen), ignored);
  desk.files.MakeFolder(std::string(Chosen) + "\\" + syncing::OwnFolderName);
  desk.files.MakeFolder("C:\\Data");

  syncing::SyncKey key{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i * 7 + 1);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Input input(bytes);
  std::uint64_t nonce = 1;
  std::map<std::string, std::string> written;
  // The key's check, so that the folder is joined.
  {
    std::array<std::uint8_t, 12> n{};
    std::string check;
    syncing::SealBlock(desk.crypto, key, n, syncing::FileKind::Check, "Clipboard manager sync key check",
                       check);
    written["0000000000000001.cmcheck"] = check;
  }
  while (!input.Done() && written.size() < 12) {
    const std::uint8_t how = input.U8();
    const std::string name = NameOf(input.Take(input.U8() % 24), input.U8());
    const std::size_t length = input.U8() | std::size_t{input.U8()} << 8;
    const std::string_view content = input.Take(length);
    std::string file;
    if (how & 1) {
      // Sealed blocks around the content's pieces, the last one possibly cut.
      const std::size_t pieces = 1 + (how >> 1 & 3);
      for (std::size_t k = 0; k < pieces; ++k) {
        const std::string_view piece = content.substr(
            k * content.size() / pieces, (k + 1) * content.size() / pieces - k * content.size() / pieces);
        RoundTrip(piece);
        std::array<std::uint8_t, 12> n{};
        for (int i = 0; i < 8; ++i)
          n[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(nonce >> (8 * i));
        ++nonce;
        syncing::SealBlock(desk.crypto, key, n, (how & 8) ? syncing::FileKind::Item : syncing::FileKind::Log,
                           piece, file);
      }
      if (how & 16) file.resize(file.size() - std::min<std::size_t>(file.size(), 1 + how % 13));
    } else {
      file.assign(content);
    }
    written[name] = file;
  }
  for (const auto& [name, file] : written) {
    std::ofstream out(shared / name, std::ios::binary | std::ios::trunc);
    out << file;
  }

  syncing::SyncSetup setup{Chosen, key, OwnComputer, {1, 2, 3, 4, 5, 6}, "C:\\Data\\nonces.stng"};
  syncing::SyncFolder synced(desk.files, desk.crypto, setup);
  const syncing::SyncFolder::Start start = synced.Begin(false);
  if (start != syncing::SyncFolder::Start::Joined) return 0;
  std::set<history::EntryId> handed;
  for (int round = 0; round < 2; ++round) {
    syncing::Incoming incoming;
    synced.Check(incoming);
    for (const syncing::Arrival& arrival : incoming.adds) {
      if (arrival.add.id.computer == OwnComputer) std::abort();
      if (!handed.insert(arrival.add.id).second) std::abort();
    }
    if (incoming.computers.count(OwnComputer)) std::abort();
  }
  // Another computer's files are as they were; this one's own log alone may be cut to what is
  // whole, and its first log and the key's check written.
  const std::string own = history::ComputerIdText(OwnComputer) + ".";
  for (const auto& [name, file] : written) {
    if (name.rfind(own, 0) == 0) continue;
    std::ifstream in(shared / name, std::ios::binary);
    const std::string now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (now != file) std::abort();
  }
  return 0;
}
