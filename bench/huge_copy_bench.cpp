// A huge copy (100 MB of text) reaching the whole program on the simulated desktop: the longest
// the message loop goes without an answer, from the copy until its journal record is on the
// disk (the capture itself, the pieces of the record, the flush), the capture's own handling,
// the program's work in all, and the peak memory added against the text's own size (the other
// program's block included, which on Windows would be the system's).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/program.h"
#include "platform/sim/sim_clipboard.h"
#include "platform/sim/sim_desktop.h"

namespace {

long PeakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Argument: the text's size in MB of UTF-16 (two bytes a character).
void BM_HugeTextCopy(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0)) << 20;
  std::string text(bytes, '\0');
  for (std::size_t i = 0; i + 1 < bytes; i += 2) text[i] = static_cast<char>('a' + (i / 2) % 26);
  text.append(2, '\0');
  // The other program's content, made before the measure: only its block is counted.
  const std::vector<std::pair<platform::Uint, std::string>> formats{
      {platform::CfUnicodeText, std::move(text)}};
  const std::vector<std::pair<platform::Uint, std::string>> tiny{
      {platform::CfUnicodeText, std::string(2, '\0')}};
  const std::string root = "/tmp/huge_copy_bench." + std::to_string(::getpid());
  double longest = 0, capture = 0, work = 0, alone = 0;
  long added = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      sim::SimDesktop desk(root);
      desk.files.MakeFolder("C:\\Program Files\\Clipboard manager\\Data");
      desk.registry.SetString("Software\\Corvilane\\Clipboard_manager", "fr", "1");
      sim::ForeignProgram other(desk.clipboard, "Editor");
      // What the other program's copy costs on its own, with nobody watching.
      auto start = Clock::now();
      other.CopyFormats(formats);
      alone = Ms(Clock::now() - start);
      other.CopyFormats(tiny);
      auto program = std::make_unique<app::Program>(desk);
      program->Start();
      desk.windows.Advance(1000);
      // Every window procedure call the program makes from the copy on, timed.
      std::vector<double> calls;
      Clock::time_point began;
      desk.windows.OnOutermostCall = [&](bool begins) {
        if (begins)
          began = Clock::now();
        else
          calls.push_back(Ms(Clock::now() - began));
      };
      ResetPeak();
      const long before = PeakKiB();
      state.ResumeTiming();
      other.CopyFormats(formats);
      desk.windows.Pump();
      desk.windows.Advance(2000);  // the record's pieces and the journal's flush
      state.PauseTiming();
      added = PeakKiB() - before;
      desk.windows.OnOutermostCall = nullptr;
      capture = calls.empty() ? 0 : calls.front();
      longest = calls.empty() ? 0 : *std::max_element(calls.begin(), calls.end());
      work = 0;
      for (double call : calls) work += call;
      program.reset();
    }
    std::filesystem::remove_all(root);
    state.ResumeTiming();
  }
  state.counters["longest_ms"] = longest;  // the longest the window went without an answer
  state.counters["capture_ms"] = capture;  // WM_DRAWCLIPBOARD: the read and the new row
  state.counters["work_ms"] = work;        // every call until the record is on the disk
  state.counters["copy_alone_ms"] = alone;
  state.counters["peak_added_x_text"] = static_cast<double>(added) * 1024 / static_cast<double>(bytes);
}
BENCHMARK(BM_HugeTextCopy)->Arg(100)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

namespace {

// Start-up with an actions file of 10^5 rows (imports may bring a table past the editor's 100),
// each with a hotkey of its own where one is left: the time until the window answers.
void BM_StartWithHundredThousandActions(benchmark::State& state) {
  std::string file = "\xFF\xFE";
  auto put = [&file](const std::string& ascii) {
    for (char c : ascii) file.append(1, c).append(1, '\0');
  };
  for (int i = 0; i < 100000; ++i)
    put(std::to_string(i + 1) + ",Action " + std::to_string(i) + "," +
        (i % 10 == 0 ? "Ctrl+F" + std::to_string(1 + i % 12) : "No") + ",text of action " +
        std::to_string(i) + ",V\r\n");
  const std::string root = "/tmp/actions_bench." + std::to_string(::getpid());
  for (auto _ : state) {
    state.PauseTiming();
    sim::SimDesktop desk(root);
    desk.files.MakeFolder("C:\\Program Files\\Clipboard manager\\Data");
    desk.files.PutFile("C:\\Program Files\\Clipboard manager\\Data\\actions.cnfg", file);
    desk.registry.SetString("Software\\Corvilane\\Clipboard_manager", "fr", "1");
    auto program = std::make_unique<app::Program>(desk);
    state.ResumeTiming();
    program->Start();
    desk.windows.Pump();
    state.PauseTiming();
    program.reset();
    std::filesystem::remove_all(root);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartWithHundredThousandActions)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
