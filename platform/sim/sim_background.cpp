#include "platform/sim/sim_background.h"

namespace sim {

void SimBackground::Post(std::function<void()> work, std::function<void()> done) {
  jobs_.push_back({std::move(work), std::move(done)});
  ++posted_;
  if (!held_) windows_.Schedule(delay_, [this] { RunFront(); });
}

void SimBackground::Hold(bool held) {
  if (held_ == held) return;
  held_ = held;
  if (!held_)
    for (std::size_t k = 0; k < jobs_.size(); ++k) windows_.Schedule(delay_, [this] { RunFront(); });
}

void SimBackground::RunFront() {
  // Finish may have run the job already, or a hold come after it was scheduled.
  if (held_ || jobs_.empty()) return;
  Job job = std::move(jobs_.front());
  jobs_.pop_front();
  if (job.work) job.work();
  if (job.done) job.done();
}

void SimBackground::Finish() {
  held_ = false;
  while (!jobs_.empty()) RunFront();
}

}  // namespace sim
