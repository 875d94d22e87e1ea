#include "ui/timer.h"

#include "ui/form.h"

namespace ui {

namespace {
std::uintptr_t nextTimerId = 1;
}

Timer::Timer(Form& owner, platform::Uint intervalMs, bool enabled)
    : owner_(owner), interval_(intervalMs), enabled_(enabled), id_(nextTimerId++) {
  owner_.AddTimer(this);
  if (enabled_ && owner_.HandleAllocated()) Start();
}

Timer::~Timer() {
  if (enabled_ && owner_.HandleAllocated()) owner_.Desktop().Windows().KillTimer(owner_.Handle(), id_);
  owner_.RemoveTimer(this);
}

void Timer::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (!owner_.HandleAllocated()) return;
  if (enabled_)
    Start();
  else
    owner_.Desktop().Windows().KillTimer(owner_.Handle(), id_);
}

void Timer::SetInterval(platform::Uint intervalMs) {
  interval_ = intervalMs;
  if (enabled_ && owner_.HandleAllocated()) Start();
}

void Timer::Start() {
  if (enabled_) owner_.Desktop().Windows().SetTimer(owner_.Handle(), id_, interval_);
}

void Timer::Fire() {
  if (enabled_ && OnTimer) OnTimer();
}

}  // namespace ui
