// Sync through a shared folder: what a capture costs the window with sync on and off, what a
// check that finds nothing new costs, and the catch-up of a computer that comes back to 10,000
// entries of another one (the folder's read, and the whole of it until the rows are in the list).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>

#include "bench/bench_text.h"
#include "history/entry_id.h"
#include "history/history_store.h"
#include "history/history_table.h"
#include "history/recorder.h"
#include "platform/sim/sim_desktop.h"
#include "sync/sync.h"
#include "sync/sync_code.h"
#include "sync/sync_folder.h"

namespace {

constexpr const char* Chosen = "D:\\Sync";

sim::SimDesktop& Desk() {
  struct Folder {
    std::string root = "/tmp/sync_bench." + std::to_string(::getpid());
    sim::SimDesktop desk{root};
    Folder() {
      desk.files.MakeFolder("C:\\Program Files\\Clipboard manager\\Data");
      desk.files.MakeFolder(Chosen);
    }
    ~Folder() { std::filesystem::remove_all(root); }
  };
  static Folder folder;
  return folder.desk;
}

std::u16string RandomText(std::mt19937& random) {
  return bench_text::RandomText(random,
                                u"abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;\u00E9");
}

void FillHistory(grid::Table& table, int rows) {
  std::mt19937 random(7);
  for (int i = 0; i < rows; ++i) {
    const int r = table.AppendRow();
    table.SetCell(history::Date, r, u"12/8/2026 9:30:00 AM");
    table.SetCell(history::Clipboadrs_history, r, RandomText(random));
  }
}

// A copy in another program and its capture at the top of a history of 100,000 entries, with
// sync off (0) and on (1). The folder's writes run off the window's thread; they are let run,
// outside the timing, every few hundred captures.
void BM_CaptureWithSync(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  grid::Table table(history::HistoryColumns());
  FillHistory(table, 100'000);
  history::HistoryStore store(desk, history::HistoryFilePath(desk), table);
  store.Load();
  FillHistory(table, 100'000);
  history::ExcludedPrograms excluded(desk);
  history::Recorder recorder(desk, store, excluded);
  history::EntryIds ids(desk);
  auto sync = std::make_unique<syncing::Sync>(desk, store, recorder, ids, [] { return platform::Hwnd{0}; });
  std::filesystem::remove_all(desk.files.RealPath(Chosen));
  desk.files.MakeFolder(Chosen);
  if (state.range(0) == 1 && !sync->Start(Chosen, {})) state.SkipWithError("sync did not start");
  sim::ForeignProgram other(desk.clipboard);
  recorder.JoinChain();
  std::mt19937 random(2);
  const std::u16string texts[2] = {RandomText(random), RandomText(random)};
  std::size_t i = 0;
  for (auto _ : state) {
    other.CopyUnicodeText(texts[++i % 2]);
    if (i % 256 == 0) {
      state.PauseTiming();
      desk.windows.Advance(10);
      state.ResumeTiming();
    }
  }
  sync->Finish();
  desk.windows.Advance(10);
  state.counters["rows"] = table.RowCount();
  recorder.LeaveChain();
  sync.reset();
}
BENCHMARK(BM_CaptureWithSync)->Arg(0)->Arg(1)->Iterations(20'000);

struct OtherComputer {
  syncing::SyncKey key{};
  explicit OtherComputer(sim::SimDesktop& desk, int entries) {
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(3 * i + 11);
    std::filesystem::remove_all(desk.files.RealPath(Chosen));
    desk.files.MakeFolder(Chosen);
    syncing::SyncSetup setup{Chosen, key, 0xB0B0B0B0B0B0B0B0ull, {9, 9, 9, 9, 9, 9}, "C:\\other_nonces.stng"};
    syncing::SyncFolder folder(desk.files, desk.crypto, setup);
    folder.Begin(true);
    std::mt19937 random(5);
    std::vector<syncing::Outgoing> records;
    for (int i = 0; i < entries; ++i) {
      syncing::Outgoing out;
      out.isAdd = true;
      out.add.id = {setup.computer, static_cast<std::uint64_t>(i + 1)};
      out.add.utcMs = 1'796'000'000'000 + i * 1000;
      out.add.text = RandomText(random);
      records.push_back(std::move(out));
      // Written a hundred at a time, as a computer that copies all day does.
      if (records.size() == 100) folder.Write(std::move(records)), records.clear();
    }
    folder.Write(std::move(records));
  }
};

// The folder's read of 10,000 entries of another computer, off the window's thread.
void BM_ReadTenThousandEntriesFromTheFolder(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  OtherComputer other(desk, 10'000);
  syncing::SyncSetup setup{Chosen, other.key, 0xA0A0A0A0A0A0A0A0ull, {1, 2, 3, 4, 5, 6}, "C:\\nonces.stng"};
  for (auto _ : state) {
    syncing::SyncFolder folder(desk.files, desk.crypto, setup);
    folder.Begin(false);
    syncing::Incoming incoming;
    folder.Check(incoming);
    if (incoming.adds.size() != 10'000) state.SkipWithError("entries lost");
  }
}
BENCHMARK(BM_ReadTenThousandEntriesFromTheFolder)->Unit(benchmark::kMillisecond);

// A computer back after a week: from the start of sync until the 10,000 entries of the other
// one are in its history of 1,000 entries of its own. Less the folder's read above, it is the
// window's share: the arrivals put into the list.
void BM_CatchUpAfterTenThousandEntries(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  OtherComputer other(desk, 10'000);
  const std::string code = syncing::SyncCodeText(other.key);
  for (auto _ : state) {
    state.PauseTiming();
    {
      grid::Table table(history::HistoryColumns());
      history::HistoryStore store(desk, history::HistoryFilePath(desk), table);
      store.Load();
      FillHistory(table, 1000);
      history::ExcludedPrograms excluded(desk);
      history::Recorder recorder(desk, store, excluded);
      history::EntryIds ids(desk);
      syncing::Sync sync(desk, store, recorder, ids, [] { return platform::Hwnd{0}; });
      state.ResumeTiming();
      if (!sync.Start(Chosen, code)) state.SkipWithError("sync did not start");
      sync.Finish();  // the folder's read, then the arrivals into the list
      state.PauseTiming();
      if (table.RowCount() < 11'000) state.SkipWithError("entries lost");
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CatchUpAfterTenThousandEntries)->Unit(benchmark::kMillisecond);

// A check of a folder with two computers' logs and nothing new, on both threads, with a history
// of 100,000 entries: what the poll costs each second.
void BM_CheckThatFindsNothingNew(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  OtherComputer other(desk, 1000);
  grid::Table table(history::HistoryColumns());
  history::HistoryStore store(desk, history::HistoryFilePath(desk), table);
  store.Load();
  FillHistory(table, 100'000);
  history::ExcludedPrograms excluded(desk);
  history::Recorder recorder(desk, store, excluded);
  history::EntryIds ids(desk);
  syncing::Sync sync(desk, store, recorder, ids, [] { return platform::Hwnd{0}; });
  if (!sync.Start(Chosen, syncing::SyncCodeText(other.key))) state.SkipWithError("sync did not start");
  sync.Finish();
  desk.windows.Pump();
  for (auto _ : state) {
    sync.CheckNow();
    sync.Finish();
    desk.windows.Pump();
  }
}
BENCHMARK(BM_CheckThatFindsNothingNew)->Unit(benchmark::kMicrosecond);

}  // namespace
