// The clipboard snapshot of the hotkey paste: its time and the memory it holds for a large
// image and a large text, against copying the same bytes once.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "clipboard/snapshot.h"
#include "platform/sim/sim_desktop.h"

namespace {

constexpr std::size_t ImageBytes = 4 * 1024 * 1024;
constexpr std::size_t TextBytes = 10 * 1024 * 1024;
constexpr platform::Hwnd Paster = 0x4343;

// One simulated desktop for the whole run, in a folder removed at exit.
sim::SimDesktop& Desk() {
  struct Folder {
    std::string root = "/tmp/snapshot_bench." + std::to_string(::getpid());
    sim::SimDesktop desk{root};
    ~Folder() { std::filesystem::remove_all(root); }
  };
  static Folder folder;
  return folder.desk;
}

// A 24-bit DIB, or a UTF-16 text with its zero, of about `bytes` bytes.
std::string Content(platform::Uint format, std::size_t bytes) {
  std::string data(bytes, '\0');
  for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<char>((i * 7) ^ (i >> 12));
  if (format == platform::CfDib) {
    data[0] = 40;
  } else {
    for (std::size_t i = 1; i < bytes; i += 2) data[i] = 0;  // Latin letters in UTF-16LE
    for (std::size_t i = 0; i < bytes; i += 2)
      if (data[i] == 0) data[i] = 'x';
    data[bytes - 2] = data[bytes - 1] = 0;
  }
  return data;
}

void Snapshot(benchmark::State& state, platform::Uint format, std::size_t bytes) {
  sim::SimDesktop& desk = Desk();
  sim::ForeignProgram other(desk.clipboard);
  other.CopyFormats({{format, Content(format, bytes)}});
  std::size_t held = 0;
  for (auto _ : state) {
    auto snapshot = std::make_unique<clipboard::ClipboardSnapshot>(desk);
    snapshot->Take(Paster);
    held = snapshot->Bytes();
    state.PauseTiming();  // the copies are freed outside the measurement
    snapshot.reset();
    state.ResumeTiming();
  }
  state.counters["held_MB"] = static_cast<double>(held) / (1024.0 * 1024.0);
  state.counters["held_per_byte"] = static_cast<double>(held) / static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// The least any snapshot costs: one copy of the same bytes.
void CopyOnce(benchmark::State& state, std::size_t bytes) {
  std::vector<char> from(bytes, 'x'), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

BENCHMARK_CAPTURE(Snapshot, Image4MB, platform::CfDib, ImageBytes)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Snapshot, Text10MB, platform::CfUnicodeText, TextBytes)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CopyOnce, Image4MB, ImageBytes)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CopyOnce, Text10MB, TextBytes)->Unit(benchmark::kMillisecond);

}  // namespace
