#include "grid/row_filter.h"

#include <algorithm>
#include <utility>

namespace grid {

namespace {

// What testing a row costs besides the text units it reads, in text units, so that a slice of
// many empty rows (or of rows matched at their first units) still ends.
constexpr std::size_t RowCost = 16;

// The complete results kept for queries met again.
constexpr std::size_t MostResults = 12;

// Candidates resolved to rows, and their texts asked for from memory, this many at a time.
constexpr std::size_t CandidateBatch = 16;

// Rows appended while no scan runs are tested at once up to this many (a capture into an empty
// list appends its row); more join a scan.
constexpr int FewNewRows = 64;

// Removes from `keys` (ascending) the keys no row has any more; returns how many of the first
// `before` went. Few keys are looked up one by one, many in one walk along the table.
std::size_t KeepExisting(const Table& table, std::deque<RowKey>& keys, std::size_t before) {
  const int count = table.RowCount();
  const bool lookUp = keys.size() * 32 < static_cast<std::size_t>(count);
  std::size_t kept = 0;
  std::size_t goneBefore = 0;
  int row = 0;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const RowKey key = keys[i];
    if (lookUp) {
      row = table.LowerBoundOfKey(key);
    } else {
      while (row < count && table.KeyOf(row) < key) ++row;
    }
    if (row < count && table.KeyOf(row) == key) {
      keys[kept++] = key;
    } else if (i < before) {
      ++goneBefore;
    }
  }
  keys.resize(kept);
  return goneBefore;
}

}  // namespace

RowFilter::RowFilter(const Table& table, int column)
    : table_(table),
      column_(column),
      seenRevision_(table.Revision()),
      seenDeletions_(table.Deletions()),
      seenEdits_(table.Edits()),
      seenTopKey_(table.NextTopKey()),
      seenBottomKey_(table.NextBottomKey()) {}

void RowFilter::SetQuery(TextQuery query) {
  Sync();
  if (query == query_) return;
  if (scan_ == Scan::None) Remember();
  // Letters typed (or pasted) faster than the scan: what the unfinished scan found, and what it
  // has yet to test, are all that the longer query can match.
  const bool narrowsUnfinished = Active() && scan_ != Scan::None && TextQuery(query).Narrows(query_);
  query_ = std::move(query);
  if (narrowsUnfinished) {
    NarrowUnfinished();
    return;
  }
  std::deque<RowKey>().swap(candidates_);
  nextCandidate_ = 0;
  rest_ = false;
  if (!Active()) {
    std::deque<RowKey>().swap(matches_);
    scan_ = Scan::None;
    return;
  }
  if (table_.ContentVersion() != resultsVersion_) results_.clear();
  // A query met again shows its rows at once; one that narrows a kept result tests only the
  // rows of the smallest such result.
  const Result* base = nullptr;
  for (const Result& result : results_) {
    if (result.query == query_) {
      matches_ = result.matches;
      scan_ = Scan::None;
      return;
    }
    if (query_.Narrows(result.query) && (base == nullptr || result.matches.size() < base->matches.size()))
      base = &result;
  }
  if (base == nullptr) {
    Restart();
    return;
  }
  candidates_ = base->matches;
  std::deque<RowKey>().swap(matches_);
  scan_ = Scan::Candidates;
}

void RowFilter::NarrowUnfinished() {
  std::deque<RowKey> candidates = std::move(matches_);
  matches_ = {};
  if (scan_ == Scan::Candidates) {
    // The matches so far all come before the candidates still to test.
    candidates.insert(candidates.end(), candidates_.begin() + static_cast<std::ptrdiff_t>(nextCandidate_),
                      candidates_.end());
  } else if (!rest_) {
    rest_ = true;
    restFrom_ = nextKey_;
    restTo_ = lastKey_;
  }
  candidates_ = std::move(candidates);
  nextCandidate_ = 0;
  scan_ = Scan::Candidates;
  EndOfCandidates();
}

// Once the candidates are tested, the rows an unfinished scan had not reached follow.
void RowFilter::EndOfCandidates() {
  if (scan_ != Scan::Candidates || nextCandidate_ < candidates_.size()) return;
  std::deque<RowKey>().swap(candidates_);
  nextCandidate_ = 0;
  scan_ = Scan::None;
  if (rest_) {
    rest_ = false;
    scan_ = Scan::AllRows;
    nextKey_ = restFrom_;
    lastKey_ = restTo_;
  }
}

void RowFilter::Remember() {
  if (!Active()) return;
  const std::uint64_t version = table_.ContentVersion();
  if (version != resultsVersion_) {
    results_.clear();
    resultsVersion_ = version;
  }
  std::erase_if(results_, [&](const Result& result) { return result.query == query_; });
  results_.push_back({query_, matches_});
  // A few results of a few keys a row at most: the kept keys stay below twice the table's.
  std::size_t kept = 0;
  for (const Result& result : results_) kept += result.matches.size();
  while (results_.size() > 1 &&
         (results_.size() > MostResults || kept > 2 * static_cast<std::size_t>(table_.RowCount()) + 1024)) {
    kept -= results_.front().matches.size();
    results_.pop_front();
  }
}

void RowFilter::Restart() {
  std::deque<RowKey>().swap(matches_);
  std::deque<RowKey>().swap(candidates_);
  rest_ = false;
  scan_ = Scan::AllRows;
  nextKey_ = table_.NextTopKey() + 1;
  lastKey_ = table_.NextBottomKey() - 1;
}

bool RowFilter::Test(int row) const { return query_.Matches(table_.CellView(column_, row, scratch_)); }

bool RowFilter::Pending(RowKey key) const {
  switch (scan_) {
    case Scan::AllRows:
      return key >= nextKey_ && key <= lastKey_;
    case Scan::Candidates:
      if (rest_ && key >= restFrom_ && key <= restTo_) return true;
      return nextCandidate_ < candidates_.size() && key >= candidates_[nextCandidate_] &&
             (!rest_ || key < restFrom_);
    case Scan::None:
      break;
  }
  return false;
}

void RowFilter::Retest(RowKey key) {
  const auto at = std::lower_bound(matches_.begin(), matches_.end(), key);
  const bool shown = at != matches_.end() && *at == key;
  const int row = table_.RowOfKey(key);
  const bool matches = row >= 0 && Test(row);
  if (matches && !shown) matches_.insert(at, key);
  if (!matches && shown) matches_.erase(at);
}

// Brings the matches up to date with the table's changes since the last look: deleted rows
// leave, rewritten rows are tested again, rows new at the top are tested at once (a capture
// brings one at a time) and many rows new at the bottom join the scan (an import may bring
// any number).
void RowFilter::Sync() {
  if (table_.Revision() == seenRevision_) return;
  seenRevision_ = table_.Revision();
  const RowKey topKey = table_.NextTopKey();
  const RowKey bottomKey = table_.NextBottomKey();
  if (!Active()) {
    seenDeletions_ = table_.Deletions();
    seenEdits_ = table_.Edits();
    seenTopKey_ = topKey;
    seenBottomKey_ = bottomKey;
    return;
  }

  if (table_.Deletions() != seenDeletions_) {
    seenDeletions_ = table_.Deletions();
    KeepExisting(table_, matches_, 0);
    nextCandidate_ -= KeepExisting(table_, candidates_, nextCandidate_);
  }

  bool restarted = false;
  for (std::uint64_t n = seenEdits_; n < table_.Edits() && !restarted; ++n) {
    RowKey key;
    if (!table_.EditedKey(n, key)) {
      // More writes than the table remembers: only a new scan knows what matches.
      Restart();
      restarted = true;
    } else if (key <= seenTopKey_ || key >= seenBottomKey_) {
      // A new row, tested below with its latest texts.
    } else if (scan_ == Scan::Candidates && rest_ && key >= restFrom_ && key <= restTo_) {
      // Tested when the scan reaches it.
    } else if (scan_ == Scan::Candidates && Pending(key)) {
      // It may match now though it did not match before: it becomes a candidate.
      const auto at = std::lower_bound(candidates_.begin() + static_cast<std::ptrdiff_t>(nextCandidate_),
                                       candidates_.end(), key);
      if (at == candidates_.end() || *at != key) candidates_.insert(at, key);
    } else if (!Pending(key)) {
      Retest(key);
    }
  }
  seenEdits_ = table_.Edits();

  if (!restarted) {
    for (int row = table_.LowerBoundOfKey(seenTopKey_ + 1) - 1; row >= 0; --row) {
      if (Test(row)) matches_.push_front(table_.KeyOf(row));
    }
    if (bottomKey != seenBottomKey_) {
      const int first = table_.LowerBoundOfKey(seenBottomKey_);
      if (scan_ == Scan::None && table_.RowCount() - first <= FewNewRows) {
        for (int row = first; row < table_.RowCount(); ++row) {
          if (Test(row)) matches_.push_back(table_.KeyOf(row));
        }
      } else if (scan_ == Scan::Candidates && rest_) {
        restTo_ = bottomKey - 1;
      } else if (scan_ == Scan::Candidates) {
        for (int row = first; row < table_.RowCount(); ++row) candidates_.push_back(table_.KeyOf(row));
      } else if (first < table_.RowCount()) {
        if (scan_ == Scan::None) nextKey_ = seenBottomKey_;
        scan_ = Scan::AllRows;
        lastKey_ = bottomKey - 1;
      }
    }
  }
  seenTopKey_ = topKey;
  seenBottomKey_ = bottomKey;
}

bool RowFilter::Step(std::size_t budget) {
  Sync();
  EndOfCandidates();  // deletes may have taken the last ones
  std::size_t spent = 0;
  if (scan_ == Scan::AllRows) {
    const int stop = table_.VisitTexts(column_, table_.LowerBoundOfKey(nextKey_),
                                       [&](RowKey key, std::u16string_view text) {
                                         if (key > lastKey_ || spent >= budget) return false;
                                         spent += text.size() + RowCost;
                                         if (query_.Matches(text)) matches_.push_back(key);
                                         nextKey_ = key + 1;
                                         return true;
                                       });
    if (stop >= table_.RowCount() || table_.KeyOf(stop) > lastKey_) scan_ = Scan::None;
  } else if (scan_ == Scan::Candidates) {
    auto test = [&](RowKey key, std::u16string_view text) {
      std::size_t read = 0;
      if (query_.Matches(text, read)) matches_.push_back(key);
      spent += read + RowCost;
    };
    if (candidates_.size() - nextCandidate_ >= static_cast<std::size_t>(table_.RowCount()) / 4) {
      // Many candidates: one walk down the table, passing over the rows between them.
      table_.VisitTexts(column_, table_.LowerBoundOfKey(candidates_[nextCandidate_]),
                        [&](RowKey key, std::u16string_view text) {
                          while (nextCandidate_ < candidates_.size() && candidates_[nextCandidate_] < key)
                            ++nextCandidate_;
                          if (nextCandidate_ >= candidates_.size() || spent >= budget) return false;
                          ++spent;
                          if (candidates_[nextCandidate_] == key) {
                            ++nextCandidate_;
                            test(key, text);
                          }
                          return true;
                        });
    } else {
      // Few: each is looked for from where the last one was. The texts of rows far apart would
      // each cost a wait for memory; a batch of them is asked for at once.
      int row = 0;
      int rows[CandidateBatch];
      while (nextCandidate_ < candidates_.size() && spent < budget) {
        const std::size_t batch = std::min(CandidateBatch, candidates_.size() - nextCandidate_);
        for (std::size_t k = 0; k < batch; ++k) {
          const RowKey key = candidates_[nextCandidate_ + k];
          row = table_.LowerBoundOfKey(key, row);
          rows[k] = row < table_.RowCount() && table_.KeyOf(row) == key ? row : -1;
          if (rows[k] >= 0) table_.PrefetchTexts(rows[k]);
        }
        std::size_t tested = 0;
        for (; tested < batch && (tested == 0 || spent < budget); ++tested) {
          if (rows[tested] >= 0)
            test(candidates_[nextCandidate_ + tested], table_.CellView(column_, rows[tested], scratch_));
        }
        nextCandidate_ += tested;
      }
    }
    EndOfCandidates();
  }
  return scan_ == Scan::None;
}

bool RowFilter::Done() {
  Sync();
  return scan_ == Scan::None;
}

int RowFilter::Count() {
  Sync();
  return Active() ? static_cast<int>(matches_.size()) : table_.RowCount();
}

int RowFilter::RowAt(int position) {
  if (position < 0 || position >= Count()) return -1;
  return Active() ? table_.RowOfKey(matches_[static_cast<std::size_t>(position)]) : position;
}

int RowFilter::PositionOf(int row) {
  Sync();
  if (row < 0 || row >= table_.RowCount()) return -1;
  if (!Active()) return row;
  const RowKey key = table_.KeyOf(row);
  const auto at = std::lower_bound(matches_.begin(), matches_.end(), key);
  return at != matches_.end() && *at == key ? static_cast<int>(at - matches_.begin()) : -1;
}

}  // namespace grid
