// The rows of a table whose text in one column matches a query: a view over the table that
// holds row keys only, filled in slices so that a long table never stalls its window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "grid/table.h"
#include "grid/text_query.h"

namespace grid {

class RowFilter {
 public:
  // Filters the rows of `table` (which must outlive the filter) by the text of `column`.
  RowFilter(const Table& table, int column);

  // Filters by `query` from now on. An empty query shows every row. A query that narrows the
  // current one, once that one's scan is complete, scans only the current matches.
  void SetQuery(TextQuery query);
  const TextQuery& Query() const { return query_; }
  bool Active() const { return !query_.Empty(); }

  // Scans rows until about `budget` text units are read (a row that matches early is read only
  // that far); returns true when nothing is left to scan. Rows that the table gains meanwhile
  // are scanned as well.
  bool Step(std::size_t budget);
  // Whether the scan is complete, the table's latest changes included.
  bool Done();

  // The rows shown, top first: every row of the table without a query, otherwise the matches
  // found so far. Inserts, appends, deletes and cell writes of the table are followed.
  int Count();
  // The table row shown at `position`, -1 for a position outside the view.
  int RowAt(int position);
  // The position at which a table row is shown, -1 when it is not shown.
  int PositionOf(int row);

 private:
  enum class Scan { None, AllRows, Candidates };
  void Sync();
  void Purge();
  void Restart();
  void Retest(RowKey key);
  bool Test(int row) const;
  bool Pending(RowKey key) const;

  const Table& table_;
  int column_;
  TextQuery query_;
  std::deque<RowKey> matches_;  // ascending, which is top to bottom
  Scan scan_ = Scan::None;
  // Scan::AllRows: the rows with keys from nextKey_ to lastKey_ are still to be tested.
  RowKey nextKey_ = 0;
  RowKey lastKey_ = 0;
  // Scan::Candidates: candidates_ from nextCandidate_ on are still to be tested.
  std::deque<RowKey> candidates_;
  std::size_t nextCandidate_ = 0;
  // What the table looked like when last seen.
  std::uint64_t seenRevision_;
  std::uint64_t seenDeletions_;
  std::uint64_t seenEdits_;
  RowKey seenTopKey_;
  RowKey seenBottomKey_;
  mutable std::u16string scratch_;
};

}  // namespace grid
