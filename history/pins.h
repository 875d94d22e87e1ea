// The pinned entries of the history, known without a walk over every row: the popup lists
// them first, and the count limit leaves them out of its count, at every capture.
#pragma once

#include <vector>

#include "grid/table.h"

namespace history {

class PinnedRows {
 public:
  // Looks at every row: for a list read, or filled by more than single changes (an import).
  void Rescan(const grid::Table& history);
  // Looks at the rows from `row` down, which came in below all the others.
  void ScanFrom(const grid::Table& history, int row);
  // The row's pin was set or taken away.
  void Note(const grid::Table& history, int row, bool pinned);
  // The rows pinned, from the top; rows deleted meanwhile are forgotten here.
  std::vector<int> Rows(const grid::Table& history);
  int Count(const grid::Table& history) { return static_cast<int>(Rows(history).size()); }

 private:
  // Ascending, which is the order of the rows: a row's key never changes, and rows come only
  // at the top (keys below all others) and at the bottom (keys above all others).
  std::vector<grid::RowKey> keys_;
};

}  // namespace history
