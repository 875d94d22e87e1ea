// The simulated desktop's background work: each job's work and its `done` run on the message
// loop once the virtual clock has moved on by the job's delay, one job after another, so that
// a test knows exactly when the result arrives. A test may hold the jobs back meanwhile.
#pragma once

#include <deque>
#include <functional>

#include "platform/background.h"
#include "platform/sim/sim_windows.h"

namespace sim {

class SimBackground final : public platform::IBackground {
 public:
  explicit SimBackground(SimWindows& windows) : windows_(windows) {}
  void Post(std::function<void()> work, std::function<void()> done) override;
  void Finish() override;

  // --- For tests ---
  // How long a job takes, in virtual time (0: it ends at the next run of the loop).
  void SetDelay(platform::Dword ms) { delay_ = ms; }
  // While held, no job ends; Hold(false) lets the held ones end after their delay.
  void Hold(bool held);
  int Pending() const { return static_cast<int>(jobs_.size()); }
  int Posted() const { return posted_; }

 private:
  struct Job {
    std::function<void()> work, done;
  };
  void RunFront();

  SimWindows& windows_;
  std::deque<Job> jobs_;
  platform::Dword delay_ = 0;
  bool held_ = false;
  int posted_ = 0;
};

}  // namespace sim
