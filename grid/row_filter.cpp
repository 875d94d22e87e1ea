#include "grid/row_filter.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <utility>

namespace grid {

namespace {

// What testing a row costs besides the text units it reads, in text units, so that a slice of
// many empty rows (or of rows matched at their first units) still ends.
constexpr std::size_t RowCost = 16;

// The complete results kept for queries met again.
constexpr std::size_t MostResults = 12;

// The work ahead that PrepareAway does on the caller's thread, in text units.
constexpr std::size_t AtOnceUnits = std::size_t{1} << 18;

// Candidates resolved to rows, and their texts asked for from memory, this many at a time.
constexpr std::size_t CandidateBatch = 32;

// Candidates of more than one row in this many are met in one walk down the table: a walk over
// every row's signature in memory order costs less than a wait for memory at each of them.
constexpr std::size_t WalkShare = 64;

// A scan asks whether to stop each time it has spent this many more text units: a fraction of
// a millisecond, long against the question, which may have to ask the window system.
constexpr std::size_t StopAskUnits = std::size_t{1} << 18;

// A slice of work: over once `budget` text units are spent, or once `stop` (asked from the
// start, then each StopAskUnits) says so. A stop may answer messages sent from other
// programs, and so run a clipboard capture, say, while the slice is under way: the slice then
// ends as it is, for the work in progress may rest on what has changed.
class Slice {
 public:
  // `settle` brings the work to a point where it may be left, before each question.
  Slice(std::size_t budget, const std::function<bool()>& stop, const Table& table,
        const std::uint64_t& generation, const std::function<void()>& settle)
      : budget_(budget), stop_(stop), table_(table), generation_(generation), settle_(settle) {}
  // Asked for each row: one compare until the budget or the next question is reached.
  bool Over() { return spent >= checkAt_ && Check(); }
  // The table or the filter changed during a stop: nothing the work held may be used.
  bool Abandoned() const { return abandoned_; }
  std::size_t spent = 0;

 private:
  std::size_t budget_;
  const std::function<bool()>& stop_;
  const Table& table_;
  const std::uint64_t& generation_;
  const std::function<void()>& settle_;
  bool Check() {
    if (over_) return true;
    if (spent >= budget_) {
      checkAt_ = 0;
      return over_ = true;
    }
    checkAt_ = std::min(budget_, spent + StopAskUnits);
    if (!stop_) return false;
    if (settle_) settle_();
    const std::uint64_t revision = table_.Revision();
    const std::uint64_t generation = generation_;
    over_ = stop_();
    if (table_.Revision() != revision || generation_ != generation) over_ = abandoned_ = true;
    if (over_) checkAt_ = 0;
    return over_;
  }

  // With a stop, the first question comes at once.
  std::size_t checkAt_ = stop_ ? 0 : budget_;
  bool over_ = false;
  bool abandoned_ = false;
};

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

// Works out TextQuery::UnitsAfter for `count` matches from `first` on, onto the end of `out`:
// their rows are looked for from `row` on (which ends at the last), and their texts asked for
// from memory together. Returns what that cost, in text units.
std::size_t PrepareBatch(const Table& table, int column, const TextQuery& query,
                         const std::deque<RowKey>& matches, std::size_t first, std::size_t count, int& row,
                         std::vector<std::uint64_t>& out, std::u16string& scratch) {
  int rows[CandidateBatch];
  for (std::size_t k = 0; k < count; ++k) {
    row = table.LowerBoundOfKey(matches[first + k], row);
    rows[k] = row;
    table.PrefetchTexts(row);
  }
  std::size_t spent = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const CellText text = table.TextAt(column, rows[k], scratch);
    out.push_back(query.UnitsAfter(text));
    spent += text.size() + RowCost;
  }
  return spent;
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

RowFilter::~RowFilter() { StopAway(); }

void RowFilter::SetQuery(TextQuery query) {
  StopAway();
  ++generation_;
  Sync();
  if (query == query_) return;
  // The word of a complete result whose next units are prepared, for all its matches or the
  // first of them.
  const std::u16string followed(FollowsStarted() ? query_.OnlyWord() : std::u16string_view());
  if (scan_ == Scan::None) Remember();
  // Letters typed (or pasted) faster than the scan: what the unfinished scan found, and what it
  // has yet to test, are all that the longer query can match.
  const bool narrowsUnfinished = Active() && scan_ != Scan::None && TextQuery(query).Narrows(query_);
  query_ = std::move(query);
  if (narrowsUnfinished) {
    std::vector<std::uint64_t>().swap(after_);
    NarrowUnfinished();
    return;
  }
  std::deque<RowKey>().swap(candidates_);
  nextCandidate_ = 0;
  rest_ = false;
  if (!Active()) {
    std::deque<RowKey>().swap(matches_);
    std::vector<std::uint64_t>().swap(after_);
    scan_ = Scan::None;
    return;
  }
  table_.KeepSignatures(column_);
  if (table_.ContentVersion() != resultsVersion_) results_.clear();
  // A query met again shows its rows at once.
  for (Result& result : results_) {
    if (result.query == query_) {
      matches_ = result.matches;
      // Its work ahead, if it was kept, comes back with it: leaving the query keeps it again.
      after_ = std::move(result.after);
      result.after = {};
      afterVersion_ = resultsVersion_;
      scan_ = Scan::None;
      return;
    }
  }
  // The word typed on: of the matches whose next units are prepared, those followed by the
  // new unit are all that can match, and when that unit is the last and a letter or digit,
  // exactly what matches. The matches not prepared yet are tested as candidates.
  const std::u16string_view word = query_.OnlyWord();
  if (!followed.empty() && word.size() > followed.size() && word.starts_with(followed)) {
    const char16_t next = word[followed.size()];
    const std::uint64_t bit = TextQuery::UpperBit(next);
    const std::deque<RowKey>& earlier = results_.back().matches;  // the matches, just kept
    // Complete notes went with them; some are still here.
    const std::vector<std::uint64_t>& notes = after_.empty() ? results_.back().after : after_;
    std::deque<RowKey> kept;
    auto key = earlier.begin();
    for (const std::uint64_t after : notes) {
      if ((after & bit) != 0) kept.push_back(*key);
      ++key;
    }
    std::vector<std::uint64_t>().swap(after_);
    std::deque<RowKey>().swap(matches_);
    if (word.size() == followed.size() + 1 && TextQuery::BitOfItsOwn(next)) {
      matches_ = std::move(kept);
      candidates_.assign(key, earlier.end());
    } else {
      candidates_ = std::move(kept);
      candidates_.insert(candidates_.end(), key, earlier.end());
    }
    scan_ = Scan::Candidates;
    EndOfCandidates();
    return;
  }
  std::vector<std::uint64_t>().swap(after_);
  // One that narrows a kept result tests only the rows of the smallest such result.
  const Result* base = nullptr;
  for (const Result& result : results_) {
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

bool RowFilter::FollowsStarted() const {
  return Active() && scan_ == Scan::None && !query_.OnlyWord().empty() && !after_.empty() &&
         after_.size() <= matches_.size() && afterVersion_ == table_.ContentVersion();
}

bool RowFilter::Prepare(std::size_t budget, const std::function<bool()>& stop) {
  StopAway();
  Sync();
  if (!Active() || scan_ != Scan::None || query_.OnlyWord().empty()) return true;
  if (afterVersion_ != table_.ContentVersion() || after_.size() > matches_.size()) {
    std::vector<std::uint64_t>().swap(after_);
    afterVersion_ = table_.ContentVersion();
  }
  const std::function<void()> settled;  // each match is prepared whole
  Slice slice(budget, stop, table_, generation_, settled);
  std::size_t& spent = slice.spent;
  auto prepare = [&](int row) {
    const CellText text = table_.TextAt(column_, row, scratch_);
    after_.push_back(query_.UnitsAfter(text));
    spent += text.size() + RowCost;
  };
  if (after_.size() < matches_.size() &&
      matches_.size() - after_.size() >= static_cast<std::size_t>(table_.RowCount()) / WalkShare) {
    auto next = matches_.begin() + static_cast<std::ptrdiff_t>(after_.size());
    table_.VisitSignatures(column_, table_.LowerBoundOfKey(*next),
                           [&](RowKey key, const Table::SignedText&, int row) {
                             if (next == matches_.end() || slice.Over()) return false;
                             ++spent;
                             if (*next == key) {
                               ++next;
                               prepare(row);
                             }
                             return true;
                           });
  }
  // Few: each is looked for from where the one before was, a batch at a time.
  int row = 0;
  while (after_.size() < matches_.size() && !slice.Over()) {
    const std::size_t batch = std::min(CandidateBatch, matches_.size() - after_.size());
    spent += PrepareBatch(table_, column_, query_, matches_, after_.size(), batch, row, after_, scratch_);
  }
  return !slice.Abandoned() && after_.size() == matches_.size();
}

bool RowFilter::PrepareAway() {
  if (away_.running) {
    if (!away_.ended.load(std::memory_order_acquire)) return false;
    StopAway();
  }
  // Work of well under a millisecond is done at once: a thread would cost more.
  if (Prepare(AtOnceUnits)) return true;
  away_.query = query_;
  away_.stop.store(false, std::memory_order_relaxed);
  away_.ended.store(false, std::memory_order_relaxed);
  away_.after.clear();
  away_.after.reserve(matches_.size() - after_.size());
  try {
    away_.thread = std::thread([this, first = after_.size()] {
      try {
        std::u16string scratch;
        int row = 0;
        for (std::size_t next = first;
             next < matches_.size() && !away_.stop.load(std::memory_order_relaxed);) {
          const std::size_t batch = std::min(CandidateBatch, matches_.size() - next);
          PrepareBatch(table_, column_, away_.query, matches_, next, batch, row, away_.after, scratch);
          next += batch;
        }
      } catch (const std::exception&) {
        // Out of memory, say: what was worked out stands, and the rest is read when needed.
      }
      away_.ended.store(true, std::memory_order_release);
    });
  } catch (const std::system_error&) {
    // No thread to be had: the next letter reads the texts.
    return true;
  }
  table_.AddReader(away_);
  away_.running = true;
  return false;
}

void RowFilter::StopAway() {
  if (!away_.running) return;
  away_.stop.store(true, std::memory_order_relaxed);
  away_.thread.join();
  away_.running = false;
  table_.RemoveReader(away_);
  if (after_.empty()) {
    after_.swap(away_.after);
  } else {
    after_.insert(after_.end(), away_.after.begin(), away_.after.end());
  }
  std::vector<std::uint64_t>().swap(away_.after);
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
  // The matches move: every way on from here (but a scan not yet complete, which keeps no
  // result) puts others in their place.
  std::erase_if(results_, [&](const Result& result) { return result.query == query_; });
  // The work ahead goes with the matches when it is complete, so that the word met again
  // (a Backspace back to it) is typed on at once.
  const bool prepared = !query_.OnlyWord().empty() && !after_.empty() && after_.size() == matches_.size() &&
                        afterVersion_ == version;
  results_.push_back({query_, std::move(matches_), {}});
  if (prepared) results_.back().after.swap(after_);
  matches_ = {};
  // A few results of a few keys a row at most: the kept keys stay below twice the table's.
  std::size_t kept = 0;
  for (const Result& result : results_) kept += result.matches.size();
  while (results_.size() > 1 &&
         (results_.size() > MostResults || kept > 2 * static_cast<std::size_t>(table_.RowCount()) + 1024)) {
    kept -= results_.front().matches.size();
    results_.pop_front();
  }
  // And the work ahead of a few: the newest kept, together within one note a row.
  std::size_t notes = 0;
  for (auto result = results_.rbegin(); result != results_.rend(); ++result) {
    if (notes + result->after.size() > static_cast<std::size_t>(table_.RowCount()) + 1024)
      std::vector<std::uint64_t>().swap(result->after);
    notes += result->after.size();
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

bool RowFilter::Test(int row) const { return query_.Matches(table_.TextAt(column_, row, scratch_)); }

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
  // What follows may change the matches, which the work ahead reads.
  StopAway();
  // Rows moved in below the signed ones wait for the signing; a search signs them at once.
  if (Active() && !table_.KeepsSignatures(column_)) table_.KeepSignatures(column_);
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

bool RowFilter::Step(std::size_t budget, const std::function<bool()>& stop) {
  Sync();
  EndOfCandidates();  // deletes may have taken the last ones
  // What the slice does before each stop: the rows found are tested, and the walk's place is
  // kept, so that a change of the table during the stop meets the filter as between slices.
  std::function<void()> settle;
  Slice slice(budget, stop, table_, generation_, settle);
  std::size_t& spent = slice.spent;
  const Table::SignatureTest mayHold = table_.TestOf(column_, query_);
  const bool decided = query_.DecidedBySignature();
  // Rows whose signature may hold the query: their texts are asked for from memory as they
  // are found and read CandidateBatch rows later, so that the waits for rows far apart overlap.
  // A query that the signatures decide needs no text.
  int rows[CandidateBatch];
  RowKey keys[CandidateBatch];
  std::size_t found = 0, read = 0;
  auto testOldest = [&] {
    const std::size_t k = read++ % CandidateBatch;
    std::size_t units = 0;
    if (query_.Matches(table_.TextAt(column_, rows[k], scratch_), units)) matches_.push_back(keys[k]);
    spent += units + RowCost;
  };
  auto consider = [&](RowKey key, int row) {
    if (decided) {
      matches_.push_back(key);
      return;
    }
    if (found - read == CandidateBatch) testOldest();
    table_.PrefetchTexts(row);
    rows[found % CandidateBatch] = row;
    keys[found % CandidateBatch] = key;
    ++found;
  };
  // Rows that pass their signature are few and far apart, and so are their wide pairs: those
  // are asked for from memory as such rows are found and tested CandidateBatch rows later, as
  // the texts are, since a wait for each would cost more than the rest of the walk. A row
  // passes on in the order it came.
  struct Waiting {
    RowKey key;
    int row;
    std::uint32_t wide;
  };
  Waiting waiting[CandidateBatch];
  std::size_t queued = 0, tested = 0;
  auto testWideOldest = [&] {
    const Waiting& w = waiting[tested++ % CandidateBatch];
    if (mayHold.Wide(w.wide)) consider(w.key, w.row);
  };
  // For a row whose signature may hold the query. The walks test the signature themselves,
  // and take a match that it decides at once: a call for each of a million rows would cost
  // about as much as the walk.
  auto pass = [&](RowKey key, const Table::SignedText& signature, int row) {
    const std::uint32_t wide = mayHold.WideToTest(signature);
    if (wide == 0 && queued == tested) {
      consider(key, row);
      return;
    }
    if (queued - tested == CandidateBatch) testWideOldest();
    if (wide != 0) mayHold.PrefetchWide(wide);
    waiting[queued++ % CandidateBatch] = {key, row, wide};
  };
  auto test = [&] {
    while (tested < queued) testWideOldest();
    while (read < found) testOldest();
  };
  settle = test;
  // A row whose signature may hold the query: a match at once when the signature decides,
  // else passed on to have its text tested.
  auto take = [&](RowKey key, const Table::SignedText& signature, int row) {
    if (decided)
      matches_.push_back(key);
    else
      pass(key, signature, row);
  };
  auto mayMatch = [&](RowKey key, const Table::SignedText& signature, int row) {
    if (mayHold.Base(signature)) take(key, signature, row);
  };
  if (scan_ == Scan::AllRows) {
    const int reached = table_.VisitSignatures(column_, table_.LowerBoundOfKey(nextKey_),
                                               [&](RowKey key, const Table::SignedText& signature, int row) {
                                                 if (key > lastKey_ || slice.Over()) return false;
                                                 ++spent;
                                                 nextKey_ = key + 1;
                                                 mayMatch(key, signature, row);
                                                 return true;
                                               });
    if (slice.Abandoned()) return false;
    test();
    if (reached >= table_.RowCount() || table_.KeyOf(reached) > lastKey_) scan_ = Scan::None;
  } else if (scan_ == Scan::Candidates) {
    if (candidates_.size() - nextCandidate_ >= static_cast<std::size_t>(table_.RowCount()) / WalkShare) {
      // Many candidates: one walk down the table, passing over the rows between them. Each
      // row's signature is tested before the row is looked for among the candidates: a walk
      // that reads every signature in memory order costs less than one that reads only the
      // candidates' and waits for memory at each.
      auto next = candidates_.begin() + static_cast<std::ptrdiff_t>(nextCandidate_);
      const RowKey lastCandidate = candidates_.back();
      // The row the walk is at; the candidates before it are done.
      RowKey reached = *next;
      auto passReached = [&] {
        while (next != candidates_.end() && *next < reached) ++next;
        nextCandidate_ = static_cast<std::size_t>(next - candidates_.begin());
      };
      settle = [&] {
        test();
        passReached();
      };
      const int stopped =
          table_.VisitSignatures(column_, table_.LowerBoundOfKey(*next),
                                 [&](RowKey key, const Table::SignedText& signature, int row) {
                                   reached = key;
                                   if (key > lastCandidate || slice.Over()) return false;
                                   ++spent;
                                   if (!mayHold.Base(signature)) return true;
                                   while (*next < key) ++next;  // the last candidate is not below the key
                                   if (*next != key) return true;
                                   ++next;
                                   take(key, signature, row);
                                   return true;
                                 });
      if (slice.Abandoned()) return false;
      if (stopped >= table_.RowCount()) {
        nextCandidate_ = candidates_.size();
      } else {
        passReached();
      }
    } else {
      // Few: each is looked for from where the last one was.
      int row = 0;
      while (nextCandidate_ < candidates_.size() && !slice.Over()) {
        const RowKey key = candidates_[nextCandidate_++];
        row = table_.LowerBoundOfKey(key, row);
        spent += 2;
        if (row >= table_.RowCount() || table_.KeyOf(row) != key) continue;
        const Table::SignedText& signature = table_.Signed(column_, row);
        if (mayHold.Base(signature)) pass(key, signature, row);
      }
      if (slice.Abandoned()) return false;
    }
    test();
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

SearchSlice SearchSlices::Step(bool typed, std::size_t scanUnits, bool workAhead,
                               const std::function<bool()>& keyWaits) {
  SearchSlice slice;
  if (typed || !filter_.Done()) {
    bool keyWaited = false;
    const bool done = filter_.Step(scanUnits, [&] { return keyWaited = keyWaits(); });
    // A result known at once (a query met again) asks as well.
    if (done && !keyWaited) keyWaited = keyWaits();
    unshown_ = keyWaited;
    slice.show = !keyWaited;
    // The work ahead starts at the next slice: a timer's message comes after the paint's, so
    // that the thread does not take a processor from the list view while it draws the rows.
    slice.left = !done || unshown_ || (typed && workAhead);
    if (slice.left) return slice;
  } else if (unshown_) {
    // The key that waited was not one that changed the query.
    unshown_ = false;
    slice.show = true;
  }
  slice.complete = true;
  slice.left = workAhead && !filter_.PrepareAway();
  return slice;
}

}  // namespace grid
