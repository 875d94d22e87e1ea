// Quick paste's own work with a history of a million entries, on the simulated desktop: opening
// the popup and drawing its first page, a letter typed into its search box, each keystroke case
// of the history search typed there, and a paste after Enter. Wine's share (windows, focus, painting) is
// measured by bench/quick_paste_wine.py.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/quick_paste.h"
#include "app/unit1.h"
#include "bench/bench_text.h"
#include "history/history_table.h"
#include "platform/sim/sim_desktop.h"

namespace {

constexpr int LargeHistory = 1'000'000;
constexpr int FirstPage = 20;

// The program on a desktop of its own, with a million history entries, for the whole run.
struct Running {
  std::string root = "/tmp/quick_paste_bench." + std::to_string(::getpid());
  sim::SimDesktop desk{root};
  std::unique_ptr<app::Program> program;
  sim::ForeignProgram editor{desk.clipboard, "Editor"};

  Running() {
    desk.files.MakeFolder("C:\\Program Files\\Clipboard manager\\Data");
    desk.registry.SetString(app::MarkerKey, app::MarkerValue, "1");
    program = std::make_unique<app::Program>(desk);
    program->Start();
    desk.windows.Advance(1000);
    grid::Table& history = program->HistoryList();
    const int text = history.ColumnIndex(history::Clipboadrs_history);
    std::mt19937 random(7);
    grid::UpdateScope update(history);
    for (int i = 0; i < LargeHistory; ++i)
      history.SetCell(text, history.AppendRow(), bench_text::RandomText(random));
  }
  ~Running() {
    program.reset();
    std::filesystem::remove_all(root);
  }
  app::QuickPaste& Quick() { return program->Quick(); }
  void Open() {
    desk.windows.SetForegroundWindow(editor.Window());
    desk.hotkeys.Press(platform::ModWin, platform::VkInsert);
    desk.windows.Pump();
  }
  // What the list view asks for when it draws.
  void DrawFirstPage() {
    ui::PopupList& list = Quick().List;
    for (int i = 0; i < FirstPage && i < list.Count(); ++i) benchmark::DoNotOptimize(list.ItemText(i));
  }
};

Running& Program() {
  static Running running;
  return running;
}

// The hotkey to the popup open at the caret, with its first page of items read.
void BM_OpenPopupOverMillionEntries(benchmark::State& state) {
  Running& r = Program();
  for (auto _ : state) {
    r.Open();
    r.DrawFirstPage();
    state.PauseTiming();
    r.Quick().List.KeyDown(platform::VkEscape);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenPopupOverMillionEntries)->Unit(benchmark::kMicrosecond);

// A letter typed into the search box: the first slice of the filter and the page it shows.
void BM_TypeALetterOverMillionEntries(benchmark::State& state) {
  Running& r = Program();
  r.Open();
  for (auto _ : state) {
    r.Quick().List.UserSetFilter(u"q");
    r.DrawFirstPage();
    state.PauseTiming();
    r.Quick().List.UserSetFilter(u"");
    state.ResumeTiming();
  }
  r.Quick().List.KeyDown(platform::VkEscape);
}
BENCHMARK(BM_TypeALetterOverMillionEntries)->Unit(benchmark::kMicrosecond);

// Each keystroke case of the history tab's search, typed into the popup's filter box: the
// keys before it typed with the user's pause after each (the timer's work ahead runs on the
// virtual clock), then the timed key, until the list holds all its matches and has drawn its
// first page.
struct PopupCase {
  const char* name;
  std::vector<std::u16string> before;
  std::u16string typed;
};

const std::vector<PopupCase>& PopupCases() {
  static const std::vector<PopupCase> cases = {
      {"first letter", {}, u"q"},
      {"second letter", {u"q"}, u"qu"},
      {"third letter", {u"q", u"qu"}, u"quo"},
      {"Backspace to two letters", {u"q", u"qu", u"quo"}, u"qu"},
      {"Backspace to all", {u"q"}, u""},
      {"common letter", {}, u"7"},
      {"pasted word", {}, u"sunflower"},
      {"word found nowhere", {}, u"zqxjv"},
  };
  return cases;
}

void BM_PopupKeystrokeOverMillionEntries(benchmark::State& state) {
  Running& r = Program();
  const PopupCase& c = PopupCases()[static_cast<std::size_t>(state.range(0))];
  state.SetLabel(c.name);
  r.Open();
  int shown = 0;
  for (auto _ : state) {
    state.PauseTiming();
    r.Quick().List.UserSetFilter(u"");
    for (const std::u16string& typed : c.before) {
      r.Quick().List.UserSetFilter(typed);
      r.desk.windows.Advance(1000);
    }
    state.ResumeTiming();
    r.Quick().List.UserSetFilter(c.typed);
    r.DrawFirstPage();
    shown = r.Quick().List.Count();
    state.PauseTiming();
    // Whatever the first slice left is done before the next round, and counted as not shown.
    r.desk.windows.Advance(1000);
    if (r.Quick().List.Count() != shown) state.SkipWithError("the keystroke's slice left matches unshown");
    state.ResumeTiming();
  }
  r.Quick().List.KeyDown(platform::VkEscape);
  state.counters["shown"] = shown;
}
BENCHMARK(BM_PopupKeystrokeOverMillionEntries)
    ->DenseRange(0, 7)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Enter on a history entry until its Ctrl+V is sent, less the paste's own wait (the virtual
// clock's time does not count here): the re-copy, its capture at the top of the million, and
// the keystroke.
void BM_EnterToCtrlVOverMillionEntries(benchmark::State& state) {
  Running& r = Program();
  for (auto _ : state) {
    state.PauseTiming();
    r.Open();
    r.Quick().List.SetSelected(1 + static_cast<int>(state.iterations() % 2));
    state.ResumeTiming();
    r.Quick().List.KeyDown(platform::VkReturn);
    r.desk.windows.Advance(100);
  }
}
BENCHMARK(BM_EnterToCtrlVOverMillionEntries)->Unit(benchmark::kMicrosecond);

}  // namespace
