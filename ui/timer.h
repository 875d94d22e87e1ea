// A timer of a form, firing on the form's window.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/types.h"

namespace ui {

class Form;

class Timer {
 public:
  Timer(Form& owner, platform::Uint intervalMs, bool enabled);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  platform::Uint Interval() const { return interval_; }
  // A running timer starts counting the new interval now.
  void SetInterval(platform::Uint intervalMs);
  std::uintptr_t Id() const { return id_; }
  std::function<void()> OnTimer;

  // Called by the form: its window now exists, or the timer fired.
  void Start();
  void Fire();

 private:
  Form& owner_;
  platform::Uint interval_;
  bool enabled_;
  std::uintptr_t id_;
};

}  // namespace ui
