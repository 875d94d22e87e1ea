// The rows of a table whose text in one column matches a query: a view over the table that
// holds row keys only, filled in slices so that a long table never stalls its window.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "grid/table.h"
#include "grid/text_query.h"

namespace grid {

class RowFilter {
 public:
  // Filters the rows of `table` (which must outlive the filter) by the text of `column`.
  RowFilter(const Table& table, int column);
  ~RowFilter();
  RowFilter(const RowFilter&) = delete;
  RowFilter& operator=(const RowFilter&) = delete;

  // Filters by `query` from now on. An empty query shows every row. The complete results of
  // the last few queries are kept while the table's content stays the same: a query met again
  // (a Backspace) shows its rows at once, and a query that narrows one of them (a letter added)
  // scans only its matches.
  void SetQuery(TextQuery query);
  const TextQuery& Query() const { return query_; }
  bool Active() const { return !query_.Empty(); }

  // Scans rows until about `budget` text units are read (a row that matches early is read only
  // that far), or until `stop` (asked now and then, from the start on; it must change neither
  // the table nor the filter) returns true; returns
  // true when nothing is left to scan. Rows that the table gains meanwhile are scanned as well.
  // A scan stopped part-way goes on with the next Step, or is narrowed by the next query.
  bool Step(std::size_t budget, const std::function<bool()>& stop = nullptr);
  // Whether the scan is complete, the table's latest changes included.
  bool Done();
  // Once the scan is complete, works out ahead (for about `budget` text units, or until `stop`
  // says so, as for Step) what lets the next letter typed onto a query of one word be
  // answered without reading the texts again;
  // returns true when nothing is left to do. Any change of the table's content undoes it.
  bool Prepare(std::size_t budget, const std::function<bool()>& stop = nullptr);
  // The same work ahead, all that is left of it, on a thread of the filter's own, so that the
  // caller's thread is free to show the matches meanwhile; returns true when nothing is left to
  // do. The work goes on by itself: a later call tells whether it has ended, and takes its
  // result. Whatever changes the table or the filter stops the thread first (it stops within
  // a few rows), keeping what it had worked out; a later call goes on from there.
  bool PrepareAway();

  // The rows shown, top first: every row of the table without a query, otherwise the matches
  // found so far. Inserts, appends, deletes and cell writes of the table are followed.
  int Count();
  // The table row shown at `position`, -1 for a position outside the view.
  int RowAt(int position);
  // The position at which a table row is shown, -1 when it is not shown.
  int PositionOf(int row);

 private:
  enum class Scan { None, AllRows, Candidates };
  struct Result {
    TextQuery query;
    std::deque<RowKey> matches;
    // The work ahead for a one-word query, when it was complete: one for each match.
    std::vector<std::uint64_t> after;
  };
  // Keeps the complete result of the current query; forgets all once the content changes.
  void Remember();
  void NarrowUnfinished();
  void EndOfCandidates();
  bool FollowsStarted() const;
  void Sync();
  void Restart();
  void Retest(RowKey key);
  bool Test(int row) const;
  bool Pending(RowKey key) const;
  // Stops the thread of PrepareAway, if it runs, and adds what it worked out to after_.
  void StopAway();

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
  // After the candidates, the rows with keys from restFrom_ to restTo_, which an unfinished
  // scan of a shorter query had not reached, are scanned.
  bool rest_ = false;
  RowKey restFrom_ = 0;
  RowKey restTo_ = 0;
  // What the table looked like when last seen.
  std::uint64_t seenRevision_;
  std::uint64_t seenDeletions_;
  std::uint64_t seenEdits_;
  RowKey seenTopKey_;
  RowKey seenBottomKey_;
  mutable std::u16string scratch_;
  // Counts the queries set, so that a slice can tell that one was set while it stopped.
  std::uint64_t generation_ = 0;
  // Complete results of recent queries, newest last, all of the table's content version
  // resultsVersion_.
  std::deque<Result> results_;
  std::uint64_t resultsVersion_ = 0;
  // For the complete result of a one-word query, prepared while the user pauses: the units
  // that follow the word in each match (TextQuery::UnitsAfter), one for each of the first
  // matches (all of them, or as far as the work got), for the table's content version
  // afterVersion_.
  std::vector<std::uint64_t> after_;
  std::uint64_t afterVersion_ = 0;

  // The thread of PrepareAway. While it runs it reads the table, matches_ and its own members
  // but `running`, and writes only `after`; the filter's thread leaves matches_ and after_ as
  // they are until it has stopped it.
  struct Away final : TableReader {
    explicit Away(RowFilter& filter) : filter(filter) {}
    void StopReading() override { filter.StopAway(); }
    RowFilter& filter;
    std::thread thread;
    bool running = false;
    TextQuery query;
    std::atomic<bool> stop{false};
    std::atomic<bool> ended{false};
    // UnitsAfter of the matches from after_.size() on, as far as the thread got.
    std::vector<std::uint64_t> after;
  };
  Away away_{*this};
};

// What one slice of a search box's work did: whether its view should show the filter's rows
// now, whether the rows are complete and shown (or to be shown now), and whether work is left
// for another slice (the rest of the scan, or the work ahead, which may still run).
struct SearchSlice {
  bool show = false;
  bool complete = false;
  bool left = false;
};

// A search box's filter worked between the user's keys: the scan, stopped by a key that
// waits (`keyWaits`), then (with `workAhead`) the work ahead for the next letter, away from the
// window's thread. What a key finds is not shown while the next key waits: that key changes it
// again, and under Wine a list view takes some 10 ms to take a new count, which Backspaces
// typed in quick succession would each pay. Shown it is at the next slice that finds no key
// waiting.
class SearchSlices {
 public:
  explicit SearchSlices(RowFilter& filter) : filter_(filter) {}
  // The slice right after the query changed (`typed`) scans; a later one scans on. The work
  // ahead starts once the scan is complete, and slices are left while it runs.
  SearchSlice Step(bool typed, std::size_t scanUnits, bool workAhead, const std::function<bool()>& keyWaits);

 private:
  RowFilter& filter_;
  bool unshown_ = false;
};

}  // namespace grid
