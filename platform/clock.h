// Time: the tick count, the local time with its user formats, and waiting for input.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace platform {

struct SystemTime {
  int year = 0, month = 0, dayOfWeek = 0, day = 0;
  int hour = 0, minute = 0, second = 0, milliseconds = 0;
};

class IClock {
 public:
  virtual ~IClock() = default;
  virtual Dword GetTickCount() = 0;
  // Suspends the thread without dispatching messages.
  virtual void Sleep(Dword ms) = 0;
  virtual SystemTime GetLocalTime() = 0;
  // The time as milliseconds since 1601-01-01 UTC (GetSystemTimeAsFileTime / 10^4), which means
  // the same moment on every computer whatever its time zone; and such a moment as this
  // computer's local time (SystemTimeToTzSpecificLocalTime).
  virtual std::int64_t UtcNowMs() = 0;
  virtual SystemTime LocalTimeOfUtc(std::int64_t utcMs) = 0;
  // The user's short date format and long time format (GetDateFormatA, GetTimeFormatA).
  virtual std::string FormatShortDate(const SystemTime& time) = 0;
  virtual std::string FormatLongTime(const SystemTime& time) = 0;

  virtual Hevent CreateEventA(bool manualReset, bool initialState) = 0;
  virtual bool CloseHandle(Hevent handle) = 0;
  // Waits for the event or for input in the thread's queue (MsgWaitForMultipleObjects, one object).
  virtual Dword MsgWaitForMultipleObjects(Hevent event, Dword timeoutMs, Dword wakeMask) = 0;
};

}  // namespace platform
