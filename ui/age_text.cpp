#include "ui/age_text.h"

namespace ui {

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and back (H. Hinnant's
// algorithms).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilTime CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  CivilTime time;
  time.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  time.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  time.year = static_cast<int>(yoe + era * 400 + (time.month <= 2 ? 1 : 0));
  return time;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

std::u16string Number(std::int64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::int64_t CivilSeconds(const CivilTime& time) {
  return DaysFromCivil(time.year, time.month, time.day) * 86400 + time.hour * 3600 + time.minute * 60 +
         time.second;
}

CivilTime CivilFromSeconds(std::int64_t seconds) {
  const std::int64_t days = FloorDiv(seconds, 86400);
  CivilTime time = CivilFromDays(days);
  const std::int64_t rest = seconds - days * 86400;
  time.hour = static_cast<int>(rest / 3600);
  time.minute = static_cast<int>(rest / 60 % 60);
  time.second = static_cast<int>(rest % 60);
  return time;
}

std::u16string AgeText(std::int64_t now, std::int64_t then, std::u16string_view date) {
  const std::int64_t seconds = now - then;
  // A few seconds ahead is the same moment read from two clocks; more is a clock put back.
  if (seconds < -60) return std::u16string(date);
  if (seconds < 60) return u"now";
  if (seconds < 3600) return Number(seconds / 60) + u" min";
  const std::int64_t days = FloorDiv(now, 86400) - FloorDiv(then, 86400);
  if (days == 0) return Number(seconds / 3600) + u" h";
  if (days == 1) return u"yesterday";
  return std::u16string(date);
}

}  // namespace ui
