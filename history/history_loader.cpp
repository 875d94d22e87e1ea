#include "history/history_loader.h"

#include <algorithm>

#include "history/history_table.h"

namespace history {

using namespace platform;

namespace {

// Hands the batches read so far over while the file is read; a tick's message waits behind the
// user's input, so the window answers between the batches.
constexpr std::uintptr_t BatchTimer = 1;
constexpr Uint BatchInterval = 15;

}  // namespace

HistoryLoader::HistoryLoader(Desktop& desktop, std::vector<grid::Column> columns, std::string path,
                             const LoadPacing& pacing, std::function<void(grid::Table&)> take,
                             std::function<void(const grid::DataFileLoad&)> end)
    : desktop_(desktop), pacing_(pacing), take_(std::move(take)), end_(std::move(end)) {
  WindowDesc desc;
  desc.kind = WindowKind::MessageOnly;
  desc.title = "HistoryLoader";
  window_ = desktop_.Windows().CreateWindowA(desc, this);
  // The work touches its own tables, the file and the shared batches only; the list is the
  // window thread's.
  IFiles* files = &desktop_.Files();
  IClock* clock = &desktop_.Clock();
  ICrypto* crypto = &desktop_.Crypto();
  auto work = [shared = shared_, columns = std::move(columns), path = std::move(path), files, clock, crypto,
               pacing] {
    grid::Table staging(columns);
    grid::RowBatches batches;
    batches.first = pacing.firstBatchRows;
    batches.most = pacing.mostBatchRows;
    batches.take = [&](grid::Table& read) {
      auto batch = std::make_unique<grid::Table>(columns);
      batch->AppendRowsOf(read);
      const std::lock_guard<std::mutex> lock(shared->mutex);
      shared->batches.push_back(std::move(batch));
    };
    grid::DataFileLoad load;
    try {
      load = grid::LoadDataFile(staging, *files, *clock, path, Separator, LineBreakMark, false,
                                grid::DataFileRetryMs, crypto, &batches);
    } catch (const std::exception&) {
      // Out of memory: what was handed over is taken back out, as for a read that failed.
      load.state = grid::DataFileLoad::State::Unreadable;
      load.error = 8;  // ERROR_NOT_ENOUGH_MEMORY
      load.handedOver = true;
    }
    const std::lock_guard<std::mutex> lock(shared->mutex);
    shared->load = std::move(load);
    shared->ended = true;
  };
  desktop_.Windows().SetTimer(window_, BatchTimer, BatchInterval);
  desktop_.Background().Post(std::move(work), [this, alive = std::weak_ptr<bool>(alive_)] {
    if (alive.expired()) return;
    // The rest is handed over at the next ticks, as the batches before it were.
    if (pacing_.batchesPerTick == 0) TakeBatches(0);
  });
}

HistoryLoader::~HistoryLoader() {
  desktop_.Windows().KillTimer(window_, BatchTimer);
  desktop_.Windows().DestroyWindow(window_);
}

void HistoryLoader::TakeBatches(std::size_t limit) {
  if (!running_) return;
  std::deque<std::unique_ptr<grid::Table>> batches;
  bool ended = false;
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    if (limit == 0 || limit >= shared_->batches.size()) {
      batches.swap(shared_->batches);
    } else {
      for (std::size_t k = 0; k < limit; ++k) {
        batches.push_back(std::move(shared_->batches.front()));
        shared_->batches.pop_front();
      }
    }
    ended = shared_->ended && shared_->batches.empty();
  }
  const std::weak_ptr<bool> alive = alive_;
  for (auto& batch : batches) {
    take_(*batch);
    if (alive.expired()) return;
  }
  if (ended) End();
}

void HistoryLoader::End() {
  running_ = false;  // the store's Loading() is false from here, also inside end_
  desktop_.Windows().KillTimer(window_, BatchTimer);
  grid::DataFileLoad load;
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    load = shared_->load;
  }
  end_(load);
}

void HistoryLoader::Complete() {
  if (!running_) return;
  // Runs the read to its end (and any job posted before it); its rows come in here.
  desktop_.Background().Finish();
  TakeBatches(0);
}

LResult HistoryLoader::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  if (msg != WmTimer || wParam != BatchTimer)
    return desktop_.Windows().DefWindowProcA(hwnd, msg, wParam, lParam);
  TakeBatches(pacing_.batchesPerTick);
  return 0;
}

}  // namespace history
