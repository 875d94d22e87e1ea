// A history of a million entries: deleting a selection, importing a file into it, and the
// memory it takes once read from its file.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "bench/bench_text.h"
#include "grid/data_directory.h"
#include "grid/data_file.h"
#include "grid/table_file.h"
#include "history/history_commands.h"
#include "history/history_loader.h"
#include "history/history_table.h"
#include "platform/sim/sim_desktop.h"
#include "ui/application.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/table_grid.h"

namespace {

constexpr int Million = 1'000'000;
const std::u16string Date = u"12/8/2026 9:30:00 AM";

// One simulated desktop for the whole run, in a folder removed at exit.
sim::SimDesktop& Desk() {
  struct Folder {
    std::string root = "/tmp/large_history_bench." + std::to_string(::getpid());
    sim::SimDesktop desk{root};
    Folder() {
      desk.files.MakeFolder("C:\\Program Files\\Clipboard manager\\Data");
      desk.files.MakeFolder("C:\\Exports");
    }
    ~Folder() { std::filesystem::remove_all(root); }
  };
  static Folder folder;
  return folder.desk;
}

using bench_text::RandomText;

void FillHistory(grid::Table& table, int rows, unsigned seed) {
  std::mt19937 random(seed);
  std::u16string cells[3];
  cells[1] = Date;
  table.BeginUpdate();
  for (int i = 0; i < rows; ++i) {
    cells[2] = RandomText(random);
    table.AppendRow(cells);
  }
  table.EndUpdate();
}

// "Delete selected" in a history of a million rows, with every n-th row selected (the
// argument is how many rows are selected).
void BM_DeleteSelectedOfMillionRows(benchmark::State& state) {
  const int selected = static_cast<int>(state.range(0));
  const int step = Million / selected;
  for (auto _ : state) {
    state.PauseTiming();
    auto table = std::make_unique<grid::Table>(history::HistoryColumns());
    FillHistory(*table, Million, 1);
    for (int r = 0; r < Million; r += step) table->SetRowSelected(r, true);
    table->SetCurrentRow(Million / 2);
    state.ResumeTiming();

    const int deleted = table->DeleteSelectedRows();

    state.PauseTiming();
    if (deleted != (Million + step - 1) / step) state.SkipWithError("wrong number of rows deleted");
    table.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DeleteSelectedOfMillionRows)
    ->Arg(Million / 100)
    ->Arg(Million / 20)
    ->Arg(Million / 2)
    ->Arg(Million)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// "Import history" of a file of 100,000 entries into a history of a million: reading the
// file, appending its entries and writing the history file of 1.1 million entries once.
void BM_ImportHundredThousandIntoMillion(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  ui::Application app(desk);
  ui::Form window(app, "Form1");
  ui::OpenDialog dialog(window);
  ui::SaveDialog unused(window);
  ui::DialogFilePrompt prompt(dialog, unused);
  const std::string exported = "C:\\Exports\\backup.hstr";
  {
    grid::Table source(history::HistoryColumns());
    FillHistory(source, 100'000, 2);
    history::WriteHistoryFile(source, desk, exported);
  }
  const history::PathProvider path = history::HistoryFilePath(desk);
  for (auto _ : state) {
    state.PauseTiming();
    auto list = std::make_unique<grid::Table>(history::HistoryColumns());
    desk.files.Delete(path());
    auto store = std::make_unique<history::HistoryStore>(desk, path, *list);
    store->Load();  // no file: the list starts empty, as the store knows
    FillHistory(*list, Million, 3);
    desk.dialogs.AnswerNextFileDialog(exported);
    state.ResumeTiming();

    history::ImportHistory(desk, *store, prompt);

    state.PauseTiming();
    if (list->RowCount() != Million + 100'000) state.SkipWithError("entries lost");
    store.reset();
    list.reset();
    state.ResumeTiming();
  }
  state.counters["file_MB"] =
      static_cast<double>(std::filesystem::file_size(desk.files.RealPath(path()))) / 1e6;
}
BENCHMARK(BM_ImportHundredThousandIntoMillion)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The simulated files, read a megabyte at a time as the Windows backend reads them.
class PieceFiles : public sim::SimFiles {
 public:
  using SimFiles::SimFiles;
  platform::Dword ReadInPieces(const std::string& path, const PieceTaker& take) override {
    std::ifstream file(RealPath(path), std::ios::binary);
    if (!file) return platform::ErrorFileNotFound;
    std::string piece(1 << 20, '\0');
    while (file.read(piece.data(), static_cast<std::streamsize>(piece.size())) || file.gcount() > 0) {
      if (platform::Dword error =
              take(std::string_view(piece.data(), static_cast<std::size_t>(file.gcount()))))
        return error;
    }
    return 0;
  }
};

// A figure of this process's memory from /proc/self/status, in bytes.
double StatusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1)) * 1024.0;
  }
  return 0;
}

// Writes a history of a million entries at `path`: texts of about `state.range(0)` characters
// (100 or 20) in Latin (`state.range(1)` 0) or Cyrillic letters.
void WriteMillionEntryHistory(const benchmark::State& state, sim::SimDesktop& desk, const std::string& path) {
  const int length = static_cast<int>(state.range(0));
  const bool cyrillic = state.range(1) != 0;
  grid::Table source(history::HistoryColumns());
  std::mt19937 random(4);
  std::u16string cells[3];
  cells[1] = Date;
  for (int i = 0; i < Million; ++i) {
    cells[2] = RandomText(random, cyrillic ? bench_text::Cyrillic : bench_text::Latin);
    if (length < 90) cells[2].resize(static_cast<std::size_t>(length - 2 + static_cast<int>(random() % 5)));
    source.AppendRow(cells);
  }
  history::WriteHistoryFile(source, desk, path);
}

// The memory a million-entry history takes when read from its file at start-up and signed for
// the search, as the window signs it ahead: at the peak and once it is done, against the file's
// size, with the time of the read and of the signing. Arguments: the texts' length (about 100 or
// 20 characters) and their letters (0 Latin, 1 Cyrillic). (The real exe under Wine is measured
// by bench/large_history_wine.py.)
void BM_MemoryOfMillionEntryHistory(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  PieceFiles files(desk.files.Root());
  const std::string path = grid::DataPath(desk.files, grid::HistoryFile);
  WriteMillionEntryHistory(state, desk, path);
  ::malloc_trim(0);  // the source table's memory goes back, so that it is not counted again
  const double fileBytes = static_cast<double>(std::filesystem::file_size(desk.files.RealPath(path)));
  double peak = 0, resident = 0, loadMs = 0, signMs = 0;
  for (auto _ : state) {
    const double before = StatusBytes("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";  // starts the peak anew from here
    grid::Table table(history::HistoryColumns());
    const auto start = std::chrono::steady_clock::now();
    grid::ReadRowsFromFile(table, files, path, history::Separator, history::LineBreakMark);
    const auto read = std::chrono::steady_clock::now();
    table.KeepSignatures(table.ColumnIndex(history::Clipboadrs_history));
    const auto signedAll = std::chrono::steady_clock::now();
    loadMs = std::chrono::duration<double, std::milli>(read - start).count();
    signMs = std::chrono::duration<double, std::milli>(signedAll - read).count();
    peak = StatusBytes("VmHWM") - before;
    resident = StatusBytes("VmRSS") - before;
    if (table.RowCount() != Million) state.SkipWithError("entries lost");
    state.PauseTiming();
    table.RemoveAllRows();
    ::malloc_trim(0);
    state.ResumeTiming();
  }
  state.counters["file_MB"] = fileBytes / 1e6;
  state.counters["read_ms"] = loadMs;
  state.counters["sign_ms"] = signMs;
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["rows_MB"] = resident / 1e6;
  state.counters["peak_per_file_byte"] = peak / fileBytes;
}
BENCHMARK(BM_MemoryOfMillionEntryHistory)
    ->ArgNames({"chars", "cyrillic"})
    ->Args({100, 0})
    ->Args({20, 0})
    ->Args({100, 1})
    ->Args({20, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The start-up's read of a million-entry history away from the window's thread, as the program
// does it: a thread reads the file and hands its rows over in batches (of the sizes the program
// uses), and this thread moves them into the list as a timer would, every millisecond here.
// Counted from the start of the read: the first rows in the list (what the window shows first)
// and the last batch in it; and the peak memory against the file's size. Arguments as for the
// memory benchmark above.
void BM_BackgroundLoadOfMillionEntryHistory(benchmark::State& state) {
  sim::SimDesktop& desk = Desk();
  PieceFiles files(desk.files.Root());
  const std::string path = grid::DataPath(desk.files, grid::HistoryFile);
  WriteMillionEntryHistory(state, desk, path);
  ::malloc_trim(0);
  const double fileBytes = static_cast<double>(std::filesystem::file_size(desk.files.RealPath(path)));
  const history::LoadPacing pacing;
  double firstMs = 0, allMs = 0, peak = 0;
  int batchesTaken = 0;
  for (auto _ : state) {
    const double before = StatusBytes("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";
    grid::Table list(history::HistoryColumns());
    std::mutex mutex;
    std::deque<std::unique_ptr<grid::Table>> ready;
    bool ended = false;
    const auto start = std::chrono::steady_clock::now();
    std::thread reader([&] {
      grid::Table staging(history::HistoryColumns());
      grid::RowBatches batches;
      batches.first = pacing.firstBatchRows;
      batches.most = pacing.mostBatchRows;
      batches.take = [&](grid::Table& read) {
        auto batch = std::make_unique<grid::Table>(history::HistoryColumns());
        batch->AppendRowsOf(read);
        const std::lock_guard<std::mutex> lock(mutex);
        ready.push_back(std::move(batch));
      };
      grid::LoadDataFile(staging, files, desk.Clock(), path, history::Separator, history::LineBreakMark,
                         false, grid::DataFileRetryMs, nullptr, &batches);
      const std::lock_guard<std::mutex> lock(mutex);
      ended = true;
    });
    batchesTaken = 0;
    for (bool done = false; !done;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::deque<std::unique_ptr<grid::Table>> taken;
      {
        const std::lock_guard<std::mutex> lock(mutex);
        taken.swap(ready);
        done = ended && taken.empty();
      }
      for (auto& batch : taken) {
        list.AppendRowsOf(*batch);
        if (batchesTaken++ == 0)
          firstMs =
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      }
      if (!taken.empty())
        allMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    reader.join();
    peak = StatusBytes("VmHWM") - before;
    if (list.RowCount() != Million) state.SkipWithError("entries lost");
    state.PauseTiming();
    list.RemoveAllRows();
    ::malloc_trim(0);
    state.ResumeTiming();
  }
  state.counters["file_MB"] = fileBytes / 1e6;
  state.counters["first_rows_ms"] = firstMs;
  state.counters["all_rows_ms"] = allMs;
  state.counters["batches"] = batchesTaken;
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["peak_per_file_byte"] = peak / fileBytes;
}
BENCHMARK(BM_BackgroundLoadOfMillionEntryHistory)
    ->ArgNames({"chars", "cyrillic"})
    ->Args({100, 0})
    ->Args({20, 0})
    ->Args({100, 1})
    ->Args({20, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
