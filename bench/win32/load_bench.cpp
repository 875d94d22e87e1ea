// cm_load_bench FILE [RUNS]: the reading of a large history file on the Windows desktop itself:
// the file's bytes alone (ReadInPieces), its rows read into a table, and its rows read and handed
// over in batches as the program's start-up does. Prints milliseconds, the processor time and
// the rows read.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "grid/data_file.h"
#include "history/history_table.h"
#include "platform/win32/win32_services.h"

#include <windows.h>

namespace {

// The processor time of the whole process so far, in ms.
double ProcessorMs() {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
           1e4;
  };
  return ms(kernel) + ms(user);
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: cm_load_bench FILE [RUNS]\n");
    return 2;
  }
  const std::string path = argv[1];
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  win32::Win32Files files;
  win32::Win32Clock clock;
  for (int run = 0; run < runs; ++run) {
    auto start = std::chrono::steady_clock::now();
    std::size_t bytes = 0;
    files.ReadInPieces(path, [&bytes](std::string_view piece) {
      bytes += piece.size();
      return platform::Dword{0};
    });
    const double readMs = Since(start);

    grid::Table one(history::HistoryColumns());
    double cpu = ProcessorMs();
    start = std::chrono::steady_clock::now();
    grid::LoadDataFile(one, files, clock, path, history::Separator, history::LineBreakMark, false, 0,
                       nullptr);
    const double oneMs = Since(start);
    const double oneCpu = ProcessorMs() - cpu;
    const int oneRows = one.RowCount();
    one.RemoveAllRows();

    grid::Table staging(history::HistoryColumns());
    grid::Table list(history::HistoryColumns());
    grid::RowBatches batches;
    double firstMs = -1;
    cpu = ProcessorMs();
    start = std::chrono::steady_clock::now();
    // As the program hands its rows over: a first batch that fills the window, then batches four
    // times as large, up to 65,536 rows.
    batches.first = 2048;
    batches.most = 65536;
    batches.take = [&](grid::Table& rows) {
      list.AppendRowsOf(rows);
      if (firstMs < 0) firstMs = Since(start);
    };
    grid::LoadDataFile(staging, files, clock, path, history::Separator, history::LineBreakMark, false, 0,
                       nullptr, &batches);
    const double allMs = Since(start);
    const double allCpu = ProcessorMs() - cpu;
    std::printf(
        "run %d: %zu bytes read %.0f ms; rows %.0f ms (%.0f ms of processor, %d rows); in batches, "
        "first rows %.0f ms, all %.0f ms (%.0f ms of processor, %d rows)\n",
        run + 1, bytes, readMs, oneMs, oneCpu, oneRows, firstMs, allMs, allCpu, list.RowCount());
    std::fflush(stdout);
  }
  return 0;
}
