// What exact texts cost: a capture of texts the table format cannot hold as they are (pipes,
// lone LFs) into a history of a million entries, against plain texts; and the write and read
// of a million-entry history file with none, a tenth or all of its texts carried exactly
// beside their nearest reading.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>

#include "bench/bench_text.h"
#include "grid/data_directory.h"
#include "grid/exact_text.h"
#include "history/history_store.h"
#include "history/history_table.h"
#include "history/recorder.h"
#include "platform/sim/sim_desktop.h"

namespace {

constexpr int MillionRows = 1'000'000;

sim::SimDesktop& Desk() {
  struct Folder {
    std::string root = "/tmp/exact_text_bench." + std::to_string(::getpid());
    sim::SimDesktop desk{root};
    Folder() { desk.files.MakeFolder("C:\\Program Files\\Clipboard manager\\Data"); }
    ~Folder() { std::filesystem::remove_all(root); }
  };
  static Folder folder;
  return folder.desk;
}

// About 100 characters; an awkward one holds a pipe and a lone LF, as a shell command pasted
// from a Unix terminal does.
std::u16string Text(std::mt19937& random, bool awkward) {
  std::u16string text = bench_text::RandomText(random);
  if (awkward) {
    text[text.size() / 3] = u'|';
    text[2 * text.size() / 3] = u'\n';
  }
  return text;
}

// A history of a million entries, `percent` of them awkward; one at a time, as each takes
// a few hundred megabytes.
grid::Table& History(int percent) {
  static std::unique_ptr<grid::Table> table;
  static int made = -1;
  if (made != percent) {
    table.reset();
    table = std::make_unique<grid::Table>(history::HistoryColumns());
    const int date = table->ColumnIndex(history::Date);
    const int text = table->ColumnIndex(history::Clipboadrs_history);
    std::mt19937 random(7);
    for (int i = 0; i < MillionRows; ++i) {
      const int r = table->AppendRow();
      table->SetCell(date, r, u"12/8/2026 9:30:00 AM");
      table->SetCell(text, r, Text(random, static_cast<int>(random() % 100) < percent));
    }
    made = percent;
  }
  return *table;
}

// A copy and its capture at the top of a million entries, with its journal record; the
// argument says whether the two texts copied in turn are awkward.
void BM_CaptureIntoMillionEntries(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  grid::Table& table = History(0);
  history::HistoryStore store(desk, history::HistoryFilePath(desk), table);
  history::ExcludedPrograms excluded(desk);
  history::Recorder recorder(desk, store, excluded);
  sim::ForeignProgram other(desk.clipboard);
  recorder.JoinChain();
  std::mt19937 random(2);
  const bool awkward = state.range(0) != 0;
  const std::u16string texts[2] = {Text(random, awkward), Text(random, awkward)};
  static std::size_t i = 0;
  const int before = table.RowCount();
  for (auto _ : state) other.CopyUnicodeText(texts[++i % 2]);
  if (table.RowCount() - before != static_cast<int>(state.iterations()))
    state.SkipWithError("a capture was lost");
  recorder.LeaveChain();
  // The next benchmark gets the million rows back.
  while (table.RowCount() > MillionRows) table.DeleteRow(0);
}
BENCHMARK(BM_CaptureIntoMillionEntries)->Arg(0)->Arg(1)->Iterations(100'000);

// The field that carries one awkward text, and the check that finds a plain one needs none.
void BM_ExactFieldOfOneText(benchmark::State& state) {
  std::mt19937 random(3);
  const std::u16string awkward = Text(random, true);
  std::u16string field;
  for (auto _ : state) {
    field.clear();
    grid::AppendExactEntry(field, 2, awkward, u',', u'|');
    benchmark::DoNotOptimize(field.data());
  }
}
BENCHMARK(BM_ExactFieldOfOneText);

// The history file of a million entries written (at exit) and read (at start-up), with the
// argument's percentage of awkward texts.
void BM_WriteMillionEntries(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  const grid::Table& table = History(static_cast<int>(state.range(0)));
  const std::string path = grid::DataPath(desk.files, grid::HistoryFile);
  for (auto _ : state) history::WriteHistoryFile(table, desk, path);
  state.counters["MB"] = static_cast<double>(desk.files.FileBytes(path).size()) / 1e6;
}
BENCHMARK(BM_WriteMillionEntries)->Arg(0)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadMillionEntries(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  const grid::Table& table = History(static_cast<int>(state.range(0)));
  const std::string path = grid::DataPath(desk.files, grid::HistoryFile);
  history::WriteHistoryFile(table, desk, path);
  for (auto _ : state) {
    auto back = std::make_unique<grid::Table>(history::HistoryColumns());
    history::ReadHistoryFile(*back, desk, path);
    state.PauseTiming();
    if (back->RowCount() != MillionRows) state.SkipWithError("rows lost");
    back.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReadMillionEntries)->Arg(0)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
