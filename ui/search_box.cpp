#include "ui/search_box.h"

namespace ui {

using namespace platform;

namespace {
constexpr std::uintptr_t SliceTimer = 1;
// While a slice has work left, the next comes at the next tick the loop gives.
constexpr Uint QuickTicks = 1;
}  // namespace

SearchBox::SearchBox(IWindows& windows, grid::RowFilter& filter)
    : windows_(windows), filter_(filter), slices_(filter) {
  // Asked by a scan now and then: whether it should stop for a key the user has pressed.
  keyWaits_ = [this] { return windows_.KeyPressWaiting(); };
  WindowDesc desc;
  desc.kind = WindowKind::MessageOnly;
  desc.title = "SearchBox";
  window_ = windows_.CreateWindowA(desc, this);
}

SearchBox::~SearchBox() {
  Stop();
  windows_.DestroyWindow(window_);
}

void SearchBox::Type(const grid::TextQuery& query) {
  filter_.SetQuery(query);
  Step(true);
}

void SearchBox::Wake() {
  if (interval_ != QuickTicks) Tick(QuickTicks);
}

void SearchBox::Stop() { Tick(0); }

void SearchBox::SignAhead(const grid::Table& table, int column) {
  signTable_ = &table;
  signColumn_ = column;
  Wake();
}

void SearchBox::Step(bool typed) {
  // Letters typed or pasted faster than they are answered: the scan stops for the next key,
  // whose query narrows what it found and what it had left, so that no scan of a query already
  // typed on is finished for nothing. The view is told only of slices that found rows to show:
  // under Wine a repaint of a list view costs some 10 ms, which many quick Backspaces would
  // each pay. The work ahead runs on a thread of the filter's own; the ticks only look whether
  // it has ended.
  const grid::SearchSlice slice = slices_.Step(typed, SliceUnits, WorkAhead(), keyWaits_);
  const bool ownerBusy = OnSlice && OnSlice(slice);
  // After a key the next tick comes quickly whatever is left: it shows what a waiting key held
  // back, or starts the work ahead once the rows are drawn.
  if (typed || slice.left || ownerBusy) {
    Tick(QuickTicks);
    return;
  }
  // Nothing of a search is left: the texts not yet signed are signed ahead of the next one.
  if (signTable_ && !signTable_->SignAhead(signColumn_, SignUnits)) {
    Tick(QuickTicks);
    return;
  }
  Tick(WhenIdle ? WhenIdle() : 0);
}

void SearchBox::Tick(Uint interval) {
  if (interval == interval_) return;
  interval_ = interval;
  if (interval == 0)
    windows_.KillTimer(window_, SliceTimer);
  else
    windows_.SetTimer(window_, SliceTimer, interval);
}

LResult SearchBox::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  if (msg == WmTimer && wParam == SliceTimer) {
    Step(false);
    return 0;
  }
  return windows_.DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace ui
