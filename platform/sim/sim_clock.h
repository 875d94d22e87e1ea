// Simulated time: the tick count and local time run on the virtual clock; US formats.
#pragma once

#include <functional>
#include <set>
#include <string>

#include "platform/clock.h"
#include "platform/sim/sim_windows.h"

namespace sim {

class SimClock : public platform::IClock {
 public:
  explicit SimClock(SimWindows& windows) : windows_(windows) {}

  platform::Dword GetTickCount() override { return windows_.Clock().Tick(); }
  // Time passes; timers that fall due fire at the next turn of the message loop.
  void Sleep(platform::Dword ms) override { windows_.Clock().AdvanceTo(windows_.Clock().Ms() + ms); }
  platform::SystemTime GetLocalTime() override;
  std::int64_t UtcNowMs() override;
  platform::SystemTime LocalTimeOfUtc(std::int64_t utcMs) override;
  std::string FormatShortDate(const platform::SystemTime& time) override;  // M/d/yyyy
  std::string FormatLongTime(const platform::SystemTime& time) override;   // h:mm:ss AM
  platform::Hevent CreateEventA(bool manualReset, bool initialState) override;
  bool CloseHandle(platform::Hevent handle) override;
  platform::Dword MsgWaitForMultipleObjects(platform::Hevent event, platform::Dword timeoutMs,
                                            platform::Dword wakeMask) override;

  // --- For tests ---
  // The local time at virtual time 0; the default is 2026-12-08 09:30:00.
  void SetLocalTimeAtStart(const platform::SystemTime& time) { start_ = time; }
  // How far local time is ahead of UTC, in minutes (0 by default).
  void SetUtcOffset(int minutes) { utcOffset_ = minutes; }
  // The user's formats, for readers of formatted dates; empty keeps the US ones.
  std::function<std::string(const platform::SystemTime&)> ShortDateFormat, LongTimeFormat;
  int OpenEvents() const { return static_cast<int>(events_.size()); }
  int Waits() const { return waits_; }

 private:
  SimWindows& windows_;
  platform::SystemTime start_{2026, 12, 2, 8, 9, 30, 0, 0};
  std::set<platform::Hevent> events_;
  int utcOffset_ = 0;
  platform::Hevent nextEvent_ = 0x500;
  int waits_ = 0;
};

}  // namespace sim
