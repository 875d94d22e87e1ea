// Background work on one thread of its own; each job's `done` is handed back to the message
// loop through a message to a window of the background's own.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/background.h"

namespace win32 {

class Win32Background final : public platform::IBackground {
 public:
  explicit Win32Background(HINSTANCE instance) : instance_(instance) {}
  ~Win32Background() override;
  Win32Background(const Win32Background&) = delete;
  Win32Background& operator=(const Win32Background&) = delete;

  void Post(std::function<void()> work, std::function<void()> done) override;
  void Finish() override;

 private:
  struct Job {
    std::function<void()> work, done;
  };
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Work();
  // Runs the `done` of the jobs whose work has ended, in order (on the message loop).
  void RunDone();

  HINSTANCE instance_;
  HWND window_ = nullptr;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;                // a job was posted, or the thread must end
  std::condition_variable ended_;               // a job's work ended
  std::deque<Job> waiting_;                     // posted, work not begun
  std::deque<std::function<void()>> finished_;  // work ended, `done` not run
  int running_ = 0;
  bool stopping_ = false;
};

}  // namespace win32
