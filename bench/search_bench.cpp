// Filtering a history of a million entries as the user types: the first letter, each letter of
// a growing word (narrowing from the matches before it), and a word found nowhere, which reads
// every text. Entries of about 100 and of 2,000 characters; the memory a filter adds, and the
// signatures' making and memory. Between keystrokes the filter does its idle work (Prepare),
// as the window's timer gives it while the user pauses; that work is timed on its own.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "bench/bench_text.h"
#include "grid/row_filter.h"
#include "grid/table.h"
#include "history/history_table.h"

namespace {

constexpr int Million = 1'000'000;

// A history of a million entries of about `length` characters, made once per length. The
// texts are cut at random places from one long random text, which is quicker to make than
// 2 billion random characters and just as hard to search.
std::unique_ptr<grid::Table> MakeHistory(int length) {
  std::mt19937 random(5);
  std::u16string pool;
  while (pool.size() < (1u << 20) + 4096) pool += bench_text::RandomText(random);
  auto table = std::make_unique<grid::Table>(history::HistoryColumns());
  std::u16string cells[3];
  cells[1] = u"12/8/2026 9:30:00 AM";
  table->BeginUpdate();
  for (int i = 0; i < Million; ++i) {
    const std::size_t size =
        static_cast<std::size_t>(length * 9 / 10 + static_cast<int>(random() % (length / 5 + 1)));
    cells[2].assign(pool, random() % (pool.size() - size), size);
    table->AppendRow(cells);
  }
  table->EndUpdate();
  return table;
}

int TextColumn(const grid::Table& table) { return table.ColumnIndex(history::Clipboadrs_history); }

grid::Table& History(int length) {
  static std::unique_ptr<grid::Table> tables[2];
  static int lengths[2];
  const int slot = length > 100 ? 1 : 0;
  if (!tables[slot] || lengths[slot] != length) {
    tables[slot].reset();
    tables[slot] = MakeHistory(length);
    // Signed ahead, as the program signs its history while it is idle after start-up.
    tables[slot]->KeepSignatures(TextColumn(*tables[slot]));
    lengths[slot] = length;
  }
  return *tables[slot];
}

// Runs a query to its end, as the window's slices would, but without the pauses between.
int Filter(grid::RowFilter& filter, std::u16string_view typed) {
  filter.SetQuery(grid::TextQuery(typed));
  while (!filter.Step(std::size_t{1} << 24)) {
  }
  return filter.Count();
}

// The user's pause after a keystroke: the filter's idle work, to its end.
void Pause(grid::RowFilter& filter) {
  while (!filter.Prepare(std::size_t{1} << 24)) {
  }
}

// One keystroke into an empty box over the whole history. The argument is the entries' length.
void BM_FirstLetter(benchmark::State& state) {
  grid::Table& table = History(static_cast<int>(state.range(0)));
  int shown = 0;
  for (auto _ : state) {
    grid::RowFilter filter(table, TextColumn(table));
    shown = Filter(filter, u"e");
  }
  state.counters["shown"] = shown;
}
BENCHMARK(BM_FirstLetter)->Arg(100)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A word typed letter by letter; the argument is the letter timed, each one narrowing from the
// matches of the letters before it.
void BM_GrowingWord(benchmark::State& state) {
  constexpr std::u16string_view Word = u"quart";
  const std::size_t letters = static_cast<std::size_t>(state.range(0));
  grid::Table& table = History(100);
  int shown = 0;
  for (auto _ : state) {
    state.PauseTiming();
    grid::RowFilter filter(table, TextColumn(table));
    Filter(filter, Word.substr(0, letters - 1));
    Pause(filter);
    state.ResumeTiming();
    shown = Filter(filter, Word.substr(0, letters));
  }
  state.counters["shown"] = shown;
}
BENCHMARK(BM_GrowingWord)->DenseRange(1, 5)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// Backspaces after a word typed letter by letter; the argument is the letters left. Each of
// them was typed before, so its result is kept.
void BM_Backspace(benchmark::State& state) {
  constexpr std::u16string_view Word = u"quart";
  const std::size_t letters = static_cast<std::size_t>(state.range(0));
  grid::Table& table = History(100);
  int shown = 0;
  for (auto _ : state) {
    state.PauseTiming();
    grid::RowFilter filter(table, TextColumn(table));
    for (std::size_t typed = 1; typed <= Word.size(); ++typed) {
      Filter(filter, Word.substr(0, typed));
      Pause(filter);
    }
    for (std::size_t left = Word.size() - 1; left > letters; --left) {
      Filter(filter, Word.substr(0, left));
      Pause(filter);
    }
    state.ResumeTiming();
    shown = Filter(filter, Word.substr(0, letters));
  }
  state.counters["shown"] = shown;
}
BENCHMARK(BM_Backspace)->DenseRange(1, 4)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// One letter that most entries hold, typed into an empty box: a digit, in 78 % of them.
void BM_CommonLetter(benchmark::State& state) {
  grid::Table& table = History(100);
  int shown = 0;
  for (auto _ : state) {
    grid::RowFilter filter(table, TextColumn(table));
    shown = Filter(filter, u"7");
  }
  state.counters["shown"] = shown;
  state.counters["shown_percent"] = 100.0 * shown / Million;
}
BENCHMARK(BM_CommonLetter)->Unit(benchmark::kMillisecond)->UseRealTime();

// Nine letters pasted into the box at once, over the whole history, and pasted after a letter
// typed before them (argument 1), which narrows from that letter's matches.
void BM_PastedWord(benchmark::State& state) {
  grid::Table& table = History(100);
  int shown = 0;
  for (auto _ : state) {
    state.PauseTiming();
    grid::RowFilter filter(table, TextColumn(table));
    if (state.range(0) == 1) {
      Filter(filter, u"s");
      Pause(filter);
    }
    state.ResumeTiming();
    shown = Filter(filter, u"sunflower");
  }
  state.counters["shown"] = shown;
}
BENCHMARK(BM_PastedWord)->Arg(0)->Arg(1)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// Nine letters pasted as nine keys in quick succession, each found waiting while the one before
// is answered, as the window's scan sees them: every scan but the last stops at once (argument
// 0), or after a slice of some 2^20 text units (argument 1), and the next query narrows what it
// found and what it had left.
void BM_PastedWordKeyByKey(benchmark::State& state) {
  constexpr std::u16string_view Word = u"sunflower";
  grid::Table& table = History(100);
  const std::size_t slice = state.range(0) == 0 ? 0 : std::size_t{1} << 20;
  int shown = 0;
  for (auto _ : state) {
    grid::RowFilter filter(table, TextColumn(table));
    for (std::size_t typed = 1; typed < Word.size(); ++typed) {
      filter.SetQuery(grid::TextQuery(Word.substr(0, typed)));
      filter.Step(slice, [] { return false; });
    }
    shown = Filter(filter, Word);
  }
  state.counters["shown"] = shown;
}
BENCHMARK(BM_PastedWordKeyByKey)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A second letter typed before the idle work after the first is done (argument: the share of
// the first letter's matches prepared, in percent): the prepared matches are answered from
// what was worked out, the rest are read.
void BM_LetterBeforeThePrepareEnds(benchmark::State& state) {
  grid::Table& table = History(100);
  const double share = static_cast<double>(state.range(0)) / 100;
  int shown = 0;
  for (auto _ : state) {
    state.PauseTiming();
    grid::RowFilter filter(table, TextColumn(table));
    const int first = Filter(filter, u"q");
    // Prepare's budget is in text units; a match costs its text and a little more.
    filter.Prepare(static_cast<std::size_t>(share * first * 116));
    state.ResumeTiming();
    shown = Filter(filter, u"qu");
  }
  state.counters["shown"] = shown;
}
BENCHMARK(BM_LetterBeforeThePrepareEnds)
    ->Arg(0)
    ->Arg(50)
    ->Arg(100)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A second letter typed some milliseconds (the argument) after the first, the work ahead running
// on its thread meanwhile, as the window has it run while it shows the first letter's rows.
void BM_LetterWhileTheWorkAheadRuns(benchmark::State& state) {
  grid::Table& table = History(100);
  int shown = 0;
  for (auto _ : state) {
    state.PauseTiming();
    grid::RowFilter filter(table, TextColumn(table));
    Filter(filter, u"q");
    filter.PrepareAway();
    std::this_thread::sleep_for(std::chrono::milliseconds(state.range(0)));
    state.ResumeTiming();
    shown = Filter(filter, u"qu");
  }
  state.counters["shown"] = shown;
}
BENCHMARK(BM_LetterWhileTheWorkAheadRuns)
    ->Arg(0)
    ->Arg(40)
    ->Arg(80)
    ->Arg(120)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The idle work after a letter typed into an empty box (argument 1), or after a second letter
// (argument 2), that lets the next letter be answered from the matches alone.
void BM_PrepareNextLetter(benchmark::State& state) {
  constexpr std::u16string_view Word = u"quart";
  const std::size_t letters = static_cast<std::size_t>(state.range(0));
  grid::Table& table = History(100);
  int shown = 0;
  for (auto _ : state) {
    state.PauseTiming();
    grid::RowFilter filter(table, TextColumn(table));
    for (std::size_t typed = 1; typed <= letters; ++typed) shown = Filter(filter, Word.substr(0, typed));
    state.ResumeTiming();
    Pause(filter);
  }
  state.counters["shown"] = shown;
}
BENCHMARK(BM_PrepareNextLetter)->Arg(1)->Arg(2)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// The signatures made when the first search starts, for a history of entries of the given
// length, and the heap they take beside the history file's size (UTF-16, as written).
void BM_SignaturesOfTheHistory(benchmark::State& state) {
  const int length = static_cast<int>(state.range(0));
  std::size_t bytes = 0;
  double fileBytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<grid::Table> table = MakeHistory(length);
    fileBytes = 0;
    std::u16string scratch;
    for (int row = 0; row < table->RowCount(); ++row) {
      for (int column = 0; column < table->ColumnCount(); ++column)
        fileBytes += 2.0 * (table->CellView(column, row, scratch).size() + 1);
      fileBytes += 2;  // the line break's second unit
    }
    const auto before = ::mallinfo2().uordblks;
    state.ResumeTiming();
    table->KeepSignatures(TextColumn(*table));
    state.PauseTiming();
    bytes = ::mallinfo2().uordblks - before;
    table.reset();
    state.ResumeTiming();
  }
  state.counters["signatures_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["file_MB"] = fileBytes / 1e6;
  state.counters["share_of_file"] = static_cast<double>(bytes) / fileBytes;
}
BENCHMARK(BM_SignaturesOfTheHistory)
    ->Arg(20)
    ->Arg(100)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The signatures made ahead of the first search, in the slices the window's timer gives them
// while the program is idle (as many text units each as the window signs): the longest slice,
// which is the longest a keystroke can wait for it, and how many there are.
void BM_SignAheadSlices(benchmark::State& state) {
  constexpr std::size_t SliceUnits = std::size_t{1} << 20;
  double longest = 0;
  int slices = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<grid::Table> table = MakeHistory(static_cast<int>(state.range(0)));
    state.ResumeTiming();
    longest = 0;
    slices = 0;
    for (bool done = false; !done; ++slices) {
      const auto started = std::chrono::steady_clock::now();
      done = table->SignAhead(TextColumn(*table), SliceUnits);
      longest = std::max(
          longest,
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
    }
    state.PauseTiming();
    table.reset();
    state.ResumeTiming();
  }
  state.counters["longest_slice_ms"] = longest;
  state.counters["slices"] = slices;
}
BENCHMARK(BM_SignAheadSlices)->Arg(20)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A word that no entry holds: every text is read to its end. The argument is the entries' length.
void BM_WordFoundNowhere(benchmark::State& state) {
  grid::Table& table = History(static_cast<int>(state.range(0)));
  int shown = 0;
  for (auto _ : state) {
    grid::RowFilter filter(table, TextColumn(table));
    shown = Filter(filter, u"zqxjv");
  }
  state.counters["shown"] = shown;
  state.counters["units_per_ns"] = benchmark::Counter(
      static_cast<double>(Million) * static_cast<double>(state.range(0)) * state.iterations(),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WordFoundNowhere)->Arg(100)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The heap a filter holds while it shows the matches of one letter (most rows) or of a rare
// word (few), beside the heap of the history itself.
void BM_MemoryOfAFilter(benchmark::State& state) {
  grid::Table& table = History(100);
  const std::u16string typed = state.range(0) == 0 ? u"e" : u"qu";
  double filterBytes = 0;
  int shown = 0;
  for (auto _ : state) {
    const auto before = ::mallinfo2().uordblks;
    grid::RowFilter filter(table, TextColumn(table));
    shown = Filter(filter, typed);
    filterBytes = static_cast<double>(::mallinfo2().uordblks - before);
  }
  state.counters["shown"] = shown;
  state.counters["filter_MB"] = filterBytes / 1e6;
  state.counters["bytes_per_shown_row"] = filterBytes / shown;
}
BENCHMARK(BM_MemoryOfAFilter)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
