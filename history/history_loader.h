// Reads a large history file away from the window's thread, so that the window answers while
// it is read: the rows go to the window's thread in batches as they are read, the newest
// first, and a timer of the loader's own moves them below the list's rows.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "grid/data_file.h"
#include "grid/table.h"
#include "platform/desktop.h"

namespace history {

// How a read in the background hands its rows over; a test slows it to look between batches.
struct LoadPacing {
  // A history file smaller than this is read at once (a few milliseconds): only a large one is
  // worth the batches.
  std::uint64_t backgroundBytes = std::uint64_t{4} << 20;
  // The first batch fills the window; the batches grow from there, so that few are handed over.
  std::size_t firstBatchRows = 2048;
  std::size_t mostBatchRows = std::size_t{1} << 16;
  // How many batches a tick of the timer hands over; 0 for all that are ready.
  std::size_t batchesPerTick = 0;
};

class HistoryLoader final : private platform::IWindowProc {
 public:
  // Starts reading the file at `path` (the list's columns are `columns`) in the background.
  // `take` moves a batch's rows into the list, on the window's thread; `end` is told how the
  // read went once every batch was taken. Neither is called after the loader has gone.
  HistoryLoader(platform::Desktop& desktop, std::vector<grid::Column> columns, std::string path,
                const LoadPacing& pacing, std::function<void(grid::Table&)> take,
                std::function<void(const grid::DataFileLoad&)> end);
  // A read still under way is left to end by itself, and its rows go nowhere.
  ~HistoryLoader();
  HistoryLoader(const HistoryLoader&) = delete;
  HistoryLoader& operator=(const HistoryLoader&) = delete;

  // Whether `end` is still to be told.
  bool Running() const { return running_; }
  // Waits for the read, hands every batch over and tells `end`, for a command that needs the
  // whole history.
  void Complete();

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  // Hands over the batches read so far (at most `limit`, 0 for all); ends once the read has
  // ended and nothing is left.
  void TakeBatches(std::size_t limit);
  void End();

  platform::Desktop& desktop_;
  LoadPacing pacing_;
  std::function<void(grid::Table&)> take_;
  std::function<void(const grid::DataFileLoad&)> end_;
  platform::Hwnd window_ = 0;  // for the timer that hands the batches over
  bool running_ = true;
  // Between the reading thread and the window's: the batches read and not yet taken, and the
  // outcome of the read once it has ended.
  struct Shared {
    std::mutex mutex;
    std::deque<std::unique_ptr<grid::Table>> batches;
    bool ended = false;
    grid::DataFileLoad load;
  };
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace history
