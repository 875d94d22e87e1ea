#include "history/retention.h"

#include <utility>

#include "history/history_table.h"

namespace history {

using namespace platform;

namespace {

// A moment whose every number differs from the others, so that each field of a formatted text
// tells which it is: 2045-11-23 13:45:56 (and 01:45:56 for the other half of the day).
constexpr SystemTime Probe{2045, 11, 4, 23, 13, 45, 56, 0};
constexpr SystemTime MorningProbe{2045, 11, 4, 23, 1, 45, 56, 0};

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::vector<std::u16string> Runs(const std::u16string& text) {
  std::vector<std::u16string> runs;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t end = i;
    const bool digits = IsDigit(text[i]);
    while (end < text.size() && IsDigit(text[end]) == digits) ++end;
    runs.emplace_back(text, i, end - i);
    i = end;
  }
  return runs;
}

// Days since 1 January 1970 in the proleptic Gregorian calendar; the years run from March, so
// that a leap day comes last.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

std::int64_t DateReader::SecondsOf(const SystemTime& time) {
  return DaysFromCivil(time.year, time.month, time.day) * 86400 + time.hour * 3600 + time.minute * 60 +
         time.second;
}

DateReader::DateReader(Desktop& desktop) {
  IClock& clock = desktop.Clock();
  ICodePage& codePage = desktop.CodePage();
  try {
    date_ = Learn(codePage.AnsiToWide(clock.FormatShortDate(Probe)), {}, true);
    time_ = Learn(codePage.AnsiToWide(clock.FormatLongTime(Probe)),
                  codePage.AnsiToWide(clock.FormatLongTime(MorningProbe)), false);
    thisYear_ = clock.GetLocalTime().year;
  } catch (const std::exception&) {
    // A form that cannot be learnt reads nothing, so every entry is kept.
    date_.clear();
    time_.clear();
  }
  century_ = thisYear_ / 100 * 100;
}

std::vector<DateReader::Piece> DateReader::Learn(const std::u16string& probe, const std::u16string& other,
                                                 bool date) {
  const std::vector<std::u16string> runs = Runs(probe);
  const std::vector<std::u16string> otherRuns = Runs(other);
  if (!date && otherRuns.size() != runs.size()) return {};
  std::vector<Piece> form;
  bool year = false, month = false, day = false, hour = false, designator = false;
  bool twelveHour = false;
  auto once = [](bool& seen) { return !std::exchange(seen, true); };
  for (std::size_t i = 0; i < runs.size(); ++i) {
    Piece piece;
    const std::u16string& run = runs[i];
    if (!IsDigit(run[0])) {
      piece.text = run;
      if (!date && otherRuns[i] != run) {
        if (!once(designator)) return {};
        piece.field = Field::Designator;
        piece.text = otherRuns[i];  // the morning's
        piece.other = run;
      }
    } else if (date && run == u"2045" && once(year)) {
      piece.field = Field::Year4;
    } else if (date && run == u"45" && once(year)) {
      piece.field = Field::Year2;
    } else if (date && run == u"11" && once(month)) {
      piece.field = Field::Month;
    } else if (date && run == u"23" && once(day)) {
      piece.field = Field::Day;
    } else if (!date && run == u"13" && once(hour)) {
      piece.field = Field::Hour24;
    } else if (!date && (run == u"1" || run == u"01") && once(hour)) {
      piece.field = Field::Hour12;
      twelveHour = true;
    } else if (!date && run == u"45") {
      piece.field = Field::Minute;
    } else if (!date && run == u"56") {
      piece.field = Field::Second;
    } else {
      return {};
    }
    form.push_back(std::move(piece));
  }
  if (date ? !(year && month && day) : !hour || twelveHour != designator) return {};
  return form;
}

bool DateReader::Match(const std::vector<Piece>& form, std::u16string_view text, std::size_t& at,
                       Moment& moment) const {
  for (const Piece& piece : form) {
    if (piece.field == Field::Literal || piece.field == Field::Designator) {
      // The longer designator first, in case one starts the other.
      const bool pmFirst = piece.other.size() > piece.text.size();
      const std::u16string* tries[] = {pmFirst ? &piece.other : &piece.text,
                                       pmFirst ? &piece.text : &piece.other};
      const int count = piece.field == Field::Designator ? 2 : 1;
      bool matched = false;
      for (int k = 0; k < count && !matched; ++k) {
        const std::u16string& want = *tries[k];
        if (text.substr(at, want.size()) != want) continue;
        matched = true;
        at += want.size();
        if (piece.field == Field::Designator) moment.pm = tries[k] == &piece.other ? 1 : 0;
      }
      if (!matched) return false;
      continue;
    }
    int value = 0, digits = 0;
    while (at < text.size() && IsDigit(text[at]) && digits < 5)
      value = value * 10 + (text[at++] - u'0'), ++digits;
    if (digits == 0 || digits > 4) return false;
    switch (piece.field) {
      case Field::Year4:
        moment.year = value;
        break;
      case Field::Year2:
        if (digits > 2) return false;
        moment.year = century_ + value;
        if (moment.year > thisYear_ + 1) moment.year -= 100;
        break;
      case Field::Month:
        moment.month = value;
        break;
      case Field::Day:
        moment.day = value;
        break;
      case Field::Hour24:
      case Field::Hour12:
        moment.hour = value;
        break;
      case Field::Minute:
        moment.minute = value;
        break;
      case Field::Second:
        moment.second = value;
        break;
      default:
        return false;
    }
  }
  return true;
}

std::optional<std::int64_t> DateReader::Read(std::u16string_view cell) const {
  if (date_.empty()) return std::nullopt;
  Moment moment;
  std::size_t at = 0;
  if (!Match(date_, cell, at, moment)) return std::nullopt;
  if (at != cell.size()) {
    // Midnight has no time; any other moment has its time after one space.
    if (time_.empty() || cell[at] != u' ') return std::nullopt;
    ++at;
    if (!Match(time_, cell, at, moment) || at != cell.size()) return std::nullopt;
    if (moment.pm >= 0) {
      if (moment.hour < 1 || moment.hour > 12) return std::nullopt;
      moment.hour = moment.hour % 12 + (moment.pm ? 12 : 0);
    }
  }
  if (moment.month < 1 || moment.month > 12 || moment.day < 1 || moment.day > 31 || moment.year < 1 ||
      moment.hour > 23 || moment.minute > 59 || moment.second > 59)
    return std::nullopt;
  SystemTime time;
  time.year = moment.year;
  time.month = moment.month;
  time.day = moment.day;
  time.hour = moment.hour;
  time.minute = moment.minute;
  time.second = moment.second;
  return SecondsOf(time);
}

int ApplyRetention(grid::Table& history, const DateReader& dates, const RetentionLimits& limits,
                   const SystemTime& now) {
  if (limits.days <= 0 && limits.maxEntries <= 0) return 0;
  const int rows = history.RowCount();
  std::vector<bool> doomed(static_cast<std::size_t>(rows), false);
  // A pinned entry stays whatever its age, and takes no place in the count.
  std::vector<bool> pinned(static_cast<std::size_t>(rows), false);
  std::size_t at = 0;
  history.VisitTexts(history.ColumnIndex(PinColumn), 0, [&](grid::RowKey, std::u16string_view text) {
    pinned[at++] = text == PinnedMark;
    return true;
  });
  if (limits.days > 0) {
    const std::int64_t oldest = DateReader::SecondsOf(now) - static_cast<std::int64_t>(limits.days) * 86400;
    std::size_t row = 0;
    history.VisitTexts(history.ColumnIndex(Date), 0, [&](grid::RowKey, std::u16string_view text) {
      const std::optional<std::int64_t> seconds = dates.Read(text);
      doomed[row] = !pinned[row] && seconds && *seconds < oldest;
      ++row;
      return true;
    });
  }
  if (limits.maxEntries > 0) {
    int kept = 0;
    for (std::size_t row = 0; row < doomed.size(); ++row)
      if (!doomed[row] && !pinned[row] && ++kept > limits.maxEntries) doomed[row] = true;
  }
  return history.DeleteRows(doomed);
}

int TrimToCount(grid::Table& history, int maxEntries, int pinned) {
  if (maxEntries <= 0) return 0;
  int removed = 0;
  const int column = history.ColumnIndex(PinColumn);
  std::u16string scratch;
  // From the bottom up, past the pinned entries there.
  for (int row = history.RowCount() - 1; row >= 0 && history.RowCount() - pinned > maxEntries; --row) {
    if (history.CellView(column, row, scratch) == PinnedMark) continue;
    history.DeleteRow(row);
    ++removed;
  }
  return removed;
}

}  // namespace history
