// How long ago a moment was, as a list shows it beside an entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ui {

// A moment of the local calendar and clock.
struct CivilTime {
  int year = 1970, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
};

// Seconds since 1970-01-01 00:00 of the local clock, every day counted as 86400 seconds, and
// back.
std::int64_t CivilSeconds(const CivilTime& time);
CivilTime CivilFromSeconds(std::int64_t seconds);

// The age of `then` at `now` (both in CivilSeconds): "now" within a minute, "5 min" within an
// hour, "3 h" earlier the same day, "yesterday" for the day before, else `date` (the day in the
// user's own form). A moment ahead of `now` (the clock was put back since) shows its date, as
// any age would be wrong.
std::u16string AgeText(std::int64_t now, std::int64_t then, std::u16string_view date);

}  // namespace ui
