#include "platform/sim/sim_clock.h"

#include <chrono>
#include <cstdio>

namespace sim {

using namespace platform;

namespace {

// 1601-01-01, the start of Windows' file times, before 1970-01-01 by this many milliseconds.
constexpr std::int64_t FileTimeEpochMs = 11644473600000;

SystemTime CivilTime(std::chrono::sys_time<std::chrono::milliseconds> now) {
  using namespace std::chrono;
  sys_days today = floor<days>(now);
  year_month_day ymd{today};
  hh_mm_ss<milliseconds> tod{now - today};
  SystemTime t;
  t.year = static_cast<int>(ymd.year());
  t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  t.dayOfWeek = static_cast<int>(weekday{today}.c_encoding());
  t.hour = static_cast<int>(tod.hours().count());
  t.minute = static_cast<int>(tod.minutes().count());
  t.second = static_cast<int>(tod.seconds().count());
  t.milliseconds = static_cast<int>(tod.subseconds().count());
  return t;
}

}  // namespace

SystemTime SimClock::GetLocalTime() {
  using namespace std::chrono;
  sys_days startDay = year_month_day{year{start_.year}, month{static_cast<unsigned>(start_.month)},
                                     day{static_cast<unsigned>(start_.day)}};
  milliseconds startOfDay = hours{start_.hour} + minutes{start_.minute} + seconds{start_.second} +
                            milliseconds{start_.milliseconds};
  return CivilTime(startDay + startOfDay + milliseconds{windows_.Clock().Ms()});
}

std::int64_t SimClock::UtcNowMs() {
  using namespace std::chrono;
  sys_days startDay = year_month_day{year{start_.year}, month{static_cast<unsigned>(start_.month)},
                                     day{static_cast<unsigned>(start_.day)}};
  milliseconds startOfDay = hours{start_.hour} + minutes{start_.minute} + seconds{start_.second} +
                            milliseconds{start_.milliseconds};
  const sys_time<milliseconds> local = startDay + startOfDay + milliseconds{windows_.Clock().Ms()};
  return local.time_since_epoch().count() - std::int64_t{utcOffset_} * 60000 + FileTimeEpochMs;
}

SystemTime SimClock::LocalTimeOfUtc(std::int64_t utcMs) {
  using namespace std::chrono;
  return CivilTime(
      sys_time<milliseconds>{milliseconds{utcMs - FileTimeEpochMs + std::int64_t{utcOffset_} * 60000}});
}

std::string SimClock::FormatShortDate(const SystemTime& time) {
  if (ShortDateFormat) return ShortDateFormat(time);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%d/%d/%04d", time.month, time.day, time.year);
  return buffer;
}

std::string SimClock::FormatLongTime(const SystemTime& time) {
  if (LongTimeFormat) return LongTimeFormat(time);
  char buffer[32];
  int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
  std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d %s", hour12, time.minute, time.second,
                time.hour < 12 ? "AM" : "PM");
  return buffer;
}

Hevent SimClock::CreateEventA(bool, bool) {
  Hevent handle = nextEvent_;
  nextEvent_ += 4;
  events_.insert(handle);
  return handle;
}

bool SimClock::CloseHandle(Hevent handle) { return events_.erase(handle) == 1; }

// The program's events are never signalled, so only input or the timeout ends a wait.
Dword SimClock::MsgWaitForMultipleObjects(Hevent event, Dword timeoutMs, Dword) {
  ++waits_;
  if (!events_.count(event)) return 0xFFFFFFFF;  // WAIT_FAILED
  bool input = windows_.WaitForInput(windows_.Clock().Ms() + timeoutMs);
  return input ? WaitObject0 + 1 : WaitTimeout;
}

}  // namespace sim
