// The capture of one clipboard change into a large history, and the start-up load of a large
// history file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <memory>
#include <random>

#include "bench/bench_text.h"
#include "grid/data_directory.h"
#include "history/history_store.h"
#include "history/history_table.h"
#include "history/recorder.h"
#include "platform/sim/sim_desktop.h"

namespace {

// One simulated desktop for the whole run, in a folder removed at exit.
sim::SimDesktop& Desk() {
  struct Folder {
    std::string root = "/tmp/capture_bench." + std::to_string(::getpid());
    sim::SimDesktop desk{root};
    Folder() { desk.files.MakeFolder("C:\\Program Files\\Clipboard manager\\Data"); }
    ~Folder() { std::filesystem::remove_all(root); }
  };
  static Folder folder;
  return folder.desk;
}

// Texts of about 100 characters, as copied from an editor or a browser, with letters from
// outside the ANSI code page among them.
std::u16string RandomText(std::mt19937& random) {
  return bench_text::RandomText(
      random,
      u"abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;\u00E9\u0416\u044F\u65E5\u2014");
}

constexpr int LargeHistory = 1'000'000;

// A ready-made history of a million entries with their dates.
grid::Table& LargeHistoryTable() {
  static std::unique_ptr<grid::Table> table = [] {
    auto t = std::make_unique<grid::Table>(history::HistoryColumns());
    const int text = t->ColumnIndex(history::Clipboadrs_history);
    const int date = t->ColumnIndex(history::Date);
    std::mt19937 random(7);
    for (int i = 0; i < LargeHistory; ++i) {
      int r = t->AppendRow();
      t->SetCell(date, r, u"12/8/2026 9:30:00 AM");
      t->SetCell(text, r, RandomText(random));
    }
    return t;
  }();
  return *table;
}

// What another program's copy costs on its own, to be taken from the figure below.
void BM_ForeignCopyAlone(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  sim::ForeignProgram other(desk.clipboard);
  std::mt19937 random(1);
  const std::u16string texts[2] = {RandomText(random), RandomText(random)};
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(other.CopyUnicodeText(texts[++i % 2]));
}
BENCHMARK(BM_ForeignCopyAlone);

// A copy in another program and its capture by the recorder at the top of a history of a
// million entries, with its journal record: two texts in turn, so that every capture records
// a new entry.
void BM_CopyAndCaptureIntoMillionEntries(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  grid::Table& table = LargeHistoryTable();
  history::HistoryStore store(desk, history::HistoryFilePath(desk), table);
  history::ExcludedPrograms excluded(desk);
  history::Recorder recorder(desk, store, excluded);
  sim::ForeignProgram other(desk.clipboard);
  recorder.JoinChain();
  std::mt19937 random(2);
  const std::u16string texts[2] = {RandomText(random), RandomText(random)};
  static std::size_t i = 0;  // carried over between runs, so a run never starts with a repeat
  const int before = table.RowCount();
  for (auto _ : state) other.CopyUnicodeText(texts[++i % 2]);
  if (table.RowCount() - before != static_cast<int>(state.iterations()))
    state.SkipWithError("a capture was lost");
  state.counters["rows"] = table.RowCount();
  recorder.LeaveChain();
}
// A fixed count keeps the history's growth (and the run's memory) bounded.
BENCHMARK(BM_CopyAndCaptureIntoMillionEntries)->Iterations(200'000);

// The start-up read of a history file of 100,000 entries of about 100 characters.
void BM_StartUpLoadOfHundredThousandEntries(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  const std::string path = grid::DataPath(desk.files, grid::HistoryFile);
  {
    grid::Table source(history::HistoryColumns());
    std::mt19937 random(3);
    for (int i = 0; i < 100'000; ++i) {
      int r = source.AppendRow();
      source.SetCell(history::Date, r, u"12/8/2026 9:30:00 AM");
      source.SetCell(history::Clipboadrs_history, r, RandomText(random));
    }
    history::WriteHistoryFile(source, desk, path);
  }
  state.counters["bytes"] = static_cast<double>(desk.files.FileBytes(path).size());
  for (auto _ : state) {
    auto table = std::make_unique<grid::Table>(history::HistoryColumns());
    history::ReadHistoryFile(*table, desk, path);
    state.PauseTiming();  // freeing the table is not part of the load
    if (table->RowCount() != 100'000) state.SkipWithError("rows lost");
    table.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartUpLoadOfHundredThousandEntries)->Unit(benchmark::kMillisecond);

}  // namespace
