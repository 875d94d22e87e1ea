// Work that would hold up the message loop (coding a large image, hashing it), run away from it.
#pragma once

#include <functional>

namespace platform {

class IBackground {
 public:
  virtual ~IBackground() = default;
  // `work` runs away from the message loop, one job after another in the order posted; `done`
  // runs on the message loop once its `work` has ended, the jobs' `done` in the same order.
  // `work` must touch nothing but its own data and the calls that say they may run on any
  // thread; `done` is where its result meets the rest of the program.
  virtual void Post(std::function<void()> work, std::function<void()> done) = 0;
  // Waits for every job posted and runs the `done` of each, for the end of a run.
  virtual void Finish() = 0;
};

}  // namespace platform
