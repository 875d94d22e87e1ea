#include "history/pins.h"

#include <algorithm>

#include "history/history_table.h"

namespace history {

void PinnedRows::Rescan(const grid::Table& history) {
  keys_.clear();
  history.VisitTexts(history.ColumnIndex(PinColumn), 0, [this](grid::RowKey key, std::u16string_view text) {
    if (text == PinnedMark) keys_.push_back(key);
    return true;
  });
}

void PinnedRows::ScanFrom(const grid::Table& history, int row) {
  if (row >= history.RowCount()) return;
  history.VisitTexts(history.ColumnIndex(PinColumn), row, [this](grid::RowKey key, std::u16string_view text) {
    if (text == PinnedMark) keys_.push_back(key);
    return true;
  });
}

void PinnedRows::Note(const grid::Table& history, int row, bool pinned) {
  const grid::RowKey key = history.KeyOf(row);
  const auto at = std::lower_bound(keys_.begin(), keys_.end(), key);
  const bool known = at != keys_.end() && *at == key;
  if (pinned && !known) keys_.insert(at, key);
  if (!pinned && known) keys_.erase(at);
}

std::vector<int> PinnedRows::Rows(const grid::Table& history) {
  std::vector<int> rows;
  rows.reserve(keys_.size());
  int from = 0;
  std::erase_if(keys_, [&](grid::RowKey key) {
    const int row = history.LowerBoundOfKey(key, from);
    if (row >= history.RowCount() || history.KeyOf(row) != key) return true;
    rows.push_back(row);
    from = row;
    return false;
  });
  return rows;
}

}  // namespace history
