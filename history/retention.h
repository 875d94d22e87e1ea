// How long entries stay: a number of days and a number of entries, and the reading of an
// entry's date cell that the age needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "grid/table.h"
#include "platform/desktop.h"

namespace history {

struct RetentionLimits {
  int days = 0;        // entries older than this many days go; 0 keeps them for ever
  int maxEntries = 0;  // the newest this many stay; 0 for no limit
  bool operator==(const RetentionLimits&) const = default;
};

// Reads back the date cells that captures write (DateText): the user's short date, then a space
// and the long time unless the time was exactly midnight. The forms are learnt by formatting a
// known moment, so any order of day, month and year, any separators, a 12- or 24-hour clock and
// a designator before or after the time read back; a form with names in it (of months or days)
// reads nothing, and an entry written so is kept.
class DateReader {
 public:
  explicit DateReader(platform::Desktop& desktop);

  // The moment a cell names, in seconds since 1 January 1970 in local time; nothing for a
  // text that is not in the program's form.
  std::optional<std::int64_t> Read(std::u16string_view cell) const;

  static std::int64_t SecondsOf(const platform::SystemTime& time);

 private:
  enum class Field { Literal, Year4, Year2, Month, Day, Hour24, Hour12, Minute, Second, Designator };
  struct Piece {
    Field field = Field::Literal;
    std::u16string text;   // a literal, or the AM designator
    std::u16string other;  // the PM designator
  };
  struct Moment {
    int year = -1, month = -1, day = -1, hour = 0, minute = 0, second = 0;
    int pm = -1;  // -1 when the form has no designator
  };
  static std::vector<Piece> Learn(const std::u16string& probe, const std::u16string& otherHalfOfDay,
                                  bool date);
  bool Match(const std::vector<Piece>& form, std::u16string_view text, std::size_t& at, Moment& moment) const;

  std::vector<Piece> date_, time_;
  int century_ = 2000;  // for a two-digit year: the latest century that does not put it ahead
  int thisYear_ = 2000;
};

// Removes from `history` the rows older than `limits.days` days before `now` (a row whose date
// does not read is kept), then every row below the newest `limits.maxEntries`; the selection,
// current row and anchor follow the kept rows. Pinned entries stay, and are not counted.
// Returns how many rows went.
int ApplyRetention(grid::Table& history, const DateReader& dates, const RetentionLimits& limits,
                   const platform::SystemTime& now);
// After a capture: removes the lowest entries that are not pinned until at most `maxEntries`
// of those are left (0 for no limit), `pinned` being how many the history holds. Returns how
// many went.
int TrimToCount(grid::Table& history, int maxEntries, int pinned);

}  // namespace history
