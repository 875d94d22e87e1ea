// The work behind a search box: the filter's scan in slices between the user's keys, the work
// ahead for the next letter, and the timer that drives both. The history tab and the quick-paste
// popup each have one over the same history, so both answer a key the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "grid/row_filter.h"
#include "grid/table.h"
#include "platform/window_system.h"

namespace ui {

class SearchBox final : private platform::IWindowProc {
 public:
  SearchBox(platform::IWindows& windows, grid::RowFilter& filter);
  ~SearchBox();
  SearchBox(const SearchBox&) = delete;
  SearchBox& operator=(const SearchBox&) = delete;

  // The text in the box changed: the filter takes the query and scans a first slice now; the
  // rest, and the work ahead, follow at the timer's ticks.
  void Type(const grid::TextQuery& query);
  // The rows changed under the filter, or its view asks for them: the slices go on.
  void Wake();
  // No more slices until the next key or Wake.
  void Stop();
  // Whether slices are still to come.
  bool Busy() const { return interval_ != 0; }

  // The text units a slice of the scan reads: some tens of milliseconds, so that the window
  // answers in between however long the history is. Tests shrink it, so that their scans span
  // many slices.
  std::size_t SliceUnits = std::size_t{1} << 26;
  // Whether the filter works ahead for the next letter once a scan is complete.
  std::function<bool()> WorkAhead = [] { return true; };
  // Told of every slice, to show what it found. Returns whether the owner has work of its own
  // left for the next tick (another filter of its own, say), which keeps the ticks quick.
  std::function<bool(const grid::SearchSlice&)> OnSlice;
  // Once nothing of a search is left: the interval of the next tick, 0 for none.
  std::function<platform::Uint()> WhenIdle;

  // Signs `column` of `table` ahead while nothing of a search is left, so that the first search
  // does not wait for the signatures.
  void SignAhead(const grid::Table& table, int column);
  // The text units signed in each slice of the signing ahead: a few milliseconds, so that the
  // history of a million entries is signed within half a second of start-up.
  std::size_t SignUnits = std::size_t{1} << 22;

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  void Step(bool typed);
  void Tick(platform::Uint interval);

  platform::IWindows& windows_;
  grid::RowFilter& filter_;
  grid::SearchSlices slices_;
  std::function<bool()> keyWaits_;
  platform::Hwnd window_ = 0;
  platform::Uint interval_ = 0;
  const grid::Table* signTable_ = nullptr;
  int signColumn_ = -1;
};

}  // namespace ui
