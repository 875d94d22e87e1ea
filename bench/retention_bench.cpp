// The limits on a history of a million entries, as the start-up applies them once the file is
// read: the age (every date cell read back), the count, and both.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "bench/bench_text.h"
#include "history/history_table.h"
#include "history/retention.h"
#include "platform/sim/sim_desktop.h"

namespace {

constexpr int Million = 1'000'000;

sim::SimDesktop& Desk() {
  struct Folder {
    std::string root = "/tmp/retention_bench." + std::to_string(::getpid());
    sim::SimDesktop desk{root};
    ~Folder() { std::filesystem::remove_all(root); }
  };
  static Folder folder;
  return folder.desk;
}

// A million entries a minute apart, newest first, ending at the simulated desktop's morning of
// 12/8/2026: about 694 days in all, dated as captures date them.
std::unique_ptr<grid::Table> MinuteApartHistory() {
  auto table = std::make_unique<grid::Table>(history::HistoryColumns());
  std::mt19937 random(3);
  std::u16string cells[3];
  const std::int64_t newest = history::DateReader::SecondsOf({2026, 12, 2, 8, 9, 0, 0, 0});
  table->BeginUpdate();
  for (int i = 0; i < Million; ++i) {
    const std::int64_t at = newest - std::int64_t{60} * i;
    const std::int64_t days = at / 86400 + 719468, second = at % 86400;
    // Civil date from the day count (the inverse of the reader's).
    const std::int64_t era = days / 146097, dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    const int hour = static_cast<int>(second / 3600), minute = static_cast<int>(second / 60 % 60);
    char date[40];
    std::snprintf(date, sizeof date, "%d/%d/%d %d:%02d:00 %s", month, day, year, hour % 12 ? hour % 12 : 12,
                  minute, hour < 12 ? "AM" : "PM");
    cells[1] = std::u16string(date, date + std::char_traits<char>::length(date));
    cells[2] = bench_text::RandomText(random);
    table->AppendRow(cells);
  }
  table->EndUpdate();
  return table;
}

// Arguments: days kept (0 for ever), entries kept (0 for no limit).
void BM_LimitsAtStartUpOfMillionEntries(benchmark::State& state) {
  const history::RetentionLimits limits{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
  const platform::SystemTime now{2026, 12, 2, 8, 9, 30, 0, 0};
  int removed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto table = MinuteApartHistory();
    state.ResumeTiming();

    removed = history::ApplyRetention(*table, history::DateReader(Desk()), limits, now);

    state.PauseTiming();
    table.reset();
    state.ResumeTiming();
  }
  state.counters["removed"] = removed;
}
BENCHMARK(BM_LimitsAtStartUpOfMillionEntries)
    ->Args({36500, 0})  // every date read, none too old
    ->Args({30, 0})     // every date read, most too old
    ->Args({0, 1000})
    ->Args({365, 100000})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
