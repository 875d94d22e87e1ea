// The durable write of each capture (its journal record) at the top of a history of a million
// entries, and the start-up load of a history with and without a journal of 10^4 captures.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "bench/bench_text.h"
#include "grid/table_file.h"
#include "history/history_store.h"
#include "history/history_table.h"
#include "history/journal.h"
#include "platform/sim/sim_desktop.h"

namespace {

constexpr const char* DataFolder = "C:\\Program Files\\Clipboard manager\\Data";
const std::string HistoryPath = std::string(DataFolder) + "\\clipboard_history.hstr";

// A simulated desktop whose files live in a folder of their own, removed afterwards.
struct Folder {
  std::string root;
  sim::SimDesktop desk;
  explicit Folder(const std::string& name)
      : root("/tmp/journal_bench." + name + "." + std::to_string(::getpid())), desk(root) {
    desk.files.MakeFolder(DataFolder);
  }
  ~Folder() { std::filesystem::remove_all(root); }
};

using bench_text::RandomText;

void Fill(grid::Table& table, int rows, unsigned seed) {
  const int text = table.ColumnIndex(history::Clipboadrs_history);
  const int date = table.ColumnIndex(history::Date);
  std::mt19937 random(seed);
  table.BeginUpdate();
  for (int i = 0; i < rows; ++i) {
    const int r = table.AppendRow();
    table.SetCell(date, r, u"12/8/2026 9:30:00 AM");
    table.SetCell(text, r, RandomText(random));
  }
  table.EndUpdate();
}

// Captures into a history of `rows` entries, each measured from its journal record on; with
// `flush`, each record is also put on the disk at once.
void RecordCaptures(benchmark::State& state, const std::string& name, int rows, unsigned seed, bool flush) {
  Folder folder(name);
  grid::Table table(history::HistoryColumns());
  Fill(table, rows, seed);
  history::HistoryStore store(
      folder.desk, [] { return HistoryPath; }, table);
  std::mt19937 random(seed + 1);
  const std::u16string texts[2] = {RandomText(random), RandomText(random)};
  const int text = table.ColumnIndex(history::Clipboadrs_history);
  std::size_t i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    table.InsertRowAtTop();
    table.SetCell(text, 0, texts[++i % 2]);
    state.ResumeTiming();
    store.Recorded(u"12/8/2026 9:31:00 AM", texts[i % 2]);
    if (flush) store.Flush();
  }
  state.counters["rows"] = table.RowCount();
}

// One capture's durable part: the new top row's record appended to the journal, which the
// process's death no longer loses. The row insert itself is measured in capture_bench.
void BM_JournalRecordPerCaptureAtMillionEntries(benchmark::State& state) {
  RecordCaptures(state, "append", 1'000'000, 3, false);
}
BENCHMARK(BM_JournalRecordPerCaptureAtMillionEntries)->Unit(benchmark::kMicrosecond);

// The same with the flush to the disk after every record, which the program does at most once
// a second instead.
void BM_JournalRecordAndDiskFlushPerCapture(benchmark::State& state) {
  RecordCaptures(state, "flush", 1000, 5, true);
}
BENCHMARK(BM_JournalRecordAndDiskFlushPerCapture)->Unit(benchmark::kMicrosecond);

// Start-up: the history file of 10^5 entries read into the table, and with range(0) the
// journal's 10^4 captures of a run that was killed put on top.
void BM_StartUpLoad(benchmark::State& state) {
  const int journalRecords = static_cast<int>(state.range(0));
  Folder folder("load" + std::to_string(journalRecords));
  {
    grid::Table table(history::HistoryColumns());
    Fill(table, 100'000, 8);
    grid::WriteRowsToFile(table, folder.desk.files, folder.desk.codePage, HistoryPath, u',', u'|',
                          grid::Utf16LeEncoding);
    std::string journal(history::JournalHeader);
    std::mt19937 random(9);
    for (int i = 0; i < journalRecords; ++i)
      history::EncodeJournalRecord(journal, u"12/8/2026 9:31:00 AM", RandomText(random));
    if (journalRecords > 0)
      folder.desk.files.PutFile(HistoryPath + history::HistoryStore::JournalSuffix, journal);
  }
  for (auto _ : state) {
    auto table = std::make_unique<grid::Table>(history::HistoryColumns());
    {
      history::HistoryStore store(
          folder.desk, [] { return HistoryPath; }, *table);
      benchmark::DoNotOptimize(store.Load());
    }
    state.counters["rows"] = table->RowCount();
    state.PauseTiming();  // freeing the rows is the exit's cost, not the start-up's
    table.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartUpLoad)->Arg(0)->Arg(10'000)->Unit(benchmark::kMillisecond);

}  // namespace
