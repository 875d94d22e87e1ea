#include "platform/win32/win32_background.h"

namespace win32 {

namespace {
constexpr UINT WorkEnded = WM_APP + 0x31;
constexpr char ClassName[] = "CorvilaneClipboardBackground";
}  // namespace

Win32Background::~Win32Background() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (window_) ::DestroyWindow(window_);
}

LRESULT CALLBACK Win32Background::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WorkEnded) {
    if (auto* self = reinterpret_cast<Win32Background*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA)))
      self->RunDone();
    return 0;
  }
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Win32Background::Post(std::function<void()> work, std::function<void()> done) {
  if (!window_) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32Background::WindowProc;
    wc.hInstance = instance_;
    wc.lpszClassName = ClassName;
    ::RegisterClassExA(&wc);
    window_ = ::CreateWindowExA(0, ClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, nullptr);
    if (window_) ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  if (!window_) {
    // Without a window to hand results back through, the job runs here and now.
    if (work) work();
    if (done) done();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.push_back({std::move(work), std::move(done)});
    if (!thread_.joinable()) thread_ = std::thread([this] { Work(); });
  }
  wake_.notify_one();
}

void Win32Background::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) return;
    Job job = std::move(waiting_.front());
    waiting_.pop_front();
    ++running_;
    lock.unlock();
    try {
      if (job.work) job.work();
    } catch (...) {
      // A job that fails still ends: its `done` sees what it left.
    }
    lock.lock();
    --running_;
    finished_.push_back(std::move(job.done));
    ::PostMessageA(window_, WorkEnded, 0, 0);
    ended_.notify_all();
  }
}

void Win32Background::RunDone() {
  for (;;) {
    std::function<void()> done;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (finished_.empty()) return;
      done = std::move(finished_.front());
      finished_.pop_front();
    }
    if (done) done();
  }
}

void Win32Background::Finish() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait(lock, [this] { return waiting_.empty() && running_ == 0; });
  }
  RunDone();
}

}  // namespace win32
