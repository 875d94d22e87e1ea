// The simulated window system: windows, a message queue and timers on a virtual clock.
//
// Nothing here runs by itself. A test advances the virtual clock with Advance(), which fires
// the timers and scheduled events that fall due and dispatches the queued messages, one at a
// time and in order, as a message loop would.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace sim {

// Milliseconds since the simulated system started; the tick count is its low 32 bits plus an
// offset that a test may set to put the wrap of GetTickCount within reach.
class VirtualClock {
 public:
  std::uint64_t Ms() const { return ms_; }
  void AdvanceTo(std::uint64_t ms) {
    if (ms > ms_) ms_ = ms;
  }
  platform::Dword Tick() const { return static_cast<platform::Dword>(ms_) + tickOffset_; }
  void SetTickOffset(platform::Dword offset) { tickOffset_ = offset; }

 private:
  std::uint64_t ms_ = 0;
  platform::Dword tickOffset_ = 10000;
};

struct SentMessage {
  platform::Hwnd hwnd;
  platform::Uint msg;
  platform::WParam wParam;
  platform::LParam lParam;
};

class SimWindows : public platform::IWindows {
 public:
  explicit SimWindows(VirtualClock& clock);
  ~SimWindows() override;

  platform::Hwnd CreateWindowA(const platform::WindowDesc& desc, platform::IWindowProc* proc) override;
  void DestroyWindow(platform::Hwnd hwnd) override;
  bool ShowWindow(platform::Hwnd hwnd, int cmd) override;
  bool IsWindowVisible(platform::Hwnd hwnd) override;
  bool IsIconic(platform::Hwnd hwnd) override;
  bool SetForegroundWindow(platform::Hwnd hwnd) override;
  bool EnableWindow(platform::Hwnd hwnd, bool enable) override;
  bool SetWindowTextW(platform::Hwnd hwnd, const std::string& text) override;
  bool SetWindowPos(platform::Hwnd hwnd, int x, int y, int width, int height) override;
  bool GetWindowRect(platform::Hwnd hwnd, int& x, int& y, int& width, int& height) override;
  void SetWindowIcon(platform::Hwnd hwnd, platform::Hicon icon) override;

  platform::LResult SendMessageA(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                                 platform::LParam lParam) override;
  bool PostMessageA(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                    platform::LParam lParam) override;
  platform::LResult DefWindowProcA(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                                   platform::LParam lParam) override;
  platform::Uint RegisterWindowMessageA(const std::string& name) override;

  std::uintptr_t SetTimer(platform::Hwnd hwnd, std::uintptr_t id, platform::Uint elapseMs) override;
  bool KillTimer(platform::Hwnd hwnd, std::uintptr_t id) override;

  bool GetCursorPos(platform::Point& pt) override;
  platform::Hwnd GetForegroundWindow() override { return foreground_; }
  std::string GetWindowProgramFileName(platform::Hwnd hwnd) override {
    auto found = programs_.find(hwnd);
    return found == programs_.end() ? std::string() : found->second;
  }
  // The executable whose process made `hwnd`; a window without one tells none.
  void SetWindowProgramFileName(platform::Hwnd hwnd, std::string fileName) {
    programs_[hwnd] = std::move(fileName);
  }
  bool GetCaretRect(platform::Hwnd window, platform::Rect& caret) override;
  platform::Rect GetMonitorWorkArea(platform::Point pt) override;
  int GetDpiForWindow(platform::Hwnd) override { return dpi_; }
  int GetDpiAt(platform::Point) override { return dpi_; }

  int RunMessageLoop() override;
  void RunModalLoop(platform::Hwnd modal, bool (*done)(void*), void* context) override;
  void PostQuitMessage(int exitCode) override;
  void ProcessMessages() override;
  bool KeyPressWaiting() override { return keyPressWaiting_; }

  int CommonControlsVersion() override { return commonControlsVersion_; }
  platform::Hicon LoadMainIcon(int size) override;
  unsigned GetSysColor(int index) override;
  bool HighContrast() override { return highContrast_; }

  // --- For tests ---

  // Runs the message loop for `ms` of virtual time: due timers and events fire in time order,
  // and the queue is emptied after each. Stops early once PostQuitMessage was called.
  void Advance(platform::Dword ms);
  // Dispatches what is queued now (no time passes).
  void Pump();
  // Told as each window procedure call that no other encloses begins (true) and ends (false),
  // whether the message was sent or dispatched from the queue: a benchmark's measure of how long
  // the program keeps the message loop from answering.
  std::function<void(bool begins)> OnOutermostCall;
  // Runs `action` on the message loop when the virtual clock reaches now + delayMs.
  void Schedule(platform::Dword delayMs, std::function<void()> action);
  // Returns the time until the next due timer or event, or -1 when there is none.
  long long NextDueIn() const;
  bool HasQueuedMessages() const { return !queue_.empty(); }
  // Lets time pass until input is queued or the clock reaches `deadlineMs` (MsgWaitForMultipleObjects):
  // true when input arrived first.
  bool WaitForInput(std::uint64_t deadlineMs);
  VirtualClock& Clock() { return clock_; }

  // Whether KeyPressWaiting answers that the user has pressed another key already: typing
  // faster than the program answers.
  void SetKeyPressWaiting(bool waiting) { keyPressWaiting_ = waiting; }

  bool QuitRequested() const { return quit_; }
  // A program runs again after the last one ended: its quit request is forgotten.
  void StartNewProcess() {
    quit_ = false;
    exitCode_ = 0;
    queue_.clear();
  }
  int ExitCode() const { return exitCode_; }
  // The dots per inch of every monitor (96 unless set).
  void SetDpi(int dpi) { dpi_ = dpi; }
  void SetHighContrast(bool on) { highContrast_ = on; }

  // Each modal loop runs the next handler; it must end the modal state (close the window).
  void OnNextModal(std::function<void(platform::Hwnd)> handler) {
    modalHandlers_.push_back(std::move(handler));
  }
  int ModalsLeftOpen() const { return modalsLeftOpen_; }
  int ModalDepth() const { return modalDepth_; }

  bool Exists(platform::Hwnd hwnd) const;
  // Shown maximized (ShowWindow with SW_SHOWMAXIMIZED), until it is next placed.
  bool IsZoomed(platform::Hwnd hwnd) const;
  std::string Title(platform::Hwnd hwnd) const;
  platform::Hwnd Foreground() const { return foreground_; }
  bool IsEnabled(platform::Hwnd hwnd) const;
  // The taskbar shows a button while an application window is visible.
  bool TaskbarButtonVisible() const;
  // Every window, alive or destroyed, in creation order.
  const std::vector<platform::Hwnd>& AllWindows() const { return order_; }
  std::vector<platform::Hwnd> FindWindowsByTitle(const std::string& title) const;
  // Messages sent to a window (not posted), as recorded when `recordSends` is on.
  std::vector<SentMessage>& Sent() { return sent_; }
  void SetCursorPos(platform::Point pt) { cursor_ = pt; }
  // The caret that the program owning `window` shows; an empty optional hides it.
  void SetCaret(platform::Hwnd window, std::optional<platform::Rect> caret);
  // The monitors' work areas; at first one 1920 by 1040 at the origin.
  void SetWorkAreas(std::vector<platform::Rect> areas) { workAreas_ = std::move(areas); }
  void SetCommonControlsVersion(int version) { commonControlsVersion_ = version; }
  // Sends WM_QUERYENDSESSION to every top-level window, as a log-off does; true when all agree.
  bool LogOff();
  std::vector<platform::Hwnd> DestroyOrder() const { return destroyed_; }

 private:
  struct Window {
    platform::WindowDesc desc;
    platform::IWindowProc* proc = nullptr;
    bool alive = true;
    bool visible = false;
    bool iconic = false;
    bool zoomed = false;
    bool enabled = true;
    bool hiddenByOwner = false;
    platform::Hicon icon = 0;
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;
  };
  struct Timer {
    platform::Hwnd hwnd;
    std::uintptr_t id;
    platform::Uint interval;
    std::uint64_t due;
  };
  struct Event {
    std::uint64_t due;
    long long seq;
    std::function<void()> action;
  };

  Window* Find(platform::Hwnd hwnd);
  platform::LResult CallProc(Window& w, platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                             platform::LParam lParam);
  const Window* Find(platform::Hwnd hwnd) const;
  void Dispatch(const SentMessage& m);
  bool RunOneDue(std::uint64_t until);

  VirtualClock& clock_;
  std::map<platform::Hwnd, Window> windows_;
  std::vector<platform::Hwnd> order_;
  std::vector<platform::Hwnd> destroyed_;
  platform::Hwnd nextHandle_ = 0x10010;
  std::deque<SentMessage> queue_;
  std::vector<Timer> timers_;
  std::vector<Event> events_;
  long long eventSeq_ = 0;
  std::map<std::string, platform::Uint> registered_;
  platform::Uint nextRegistered_ = 0xC100;
  std::deque<std::function<void(platform::Hwnd)>> modalHandlers_;
  int modalsLeftOpen_ = 0;
  int modalDepth_ = 0;
  int callDepth_ = 0;  // window procedure calls under way, while OnOutermostCall is set
  bool quit_ = false;
  bool keyPressWaiting_ = false;
  int exitCode_ = 0;
  platform::Hwnd foreground_ = 0;
  platform::Point cursor_{600, 700};
  std::map<platform::Hwnd, platform::Rect> carets_;
  std::map<platform::Hwnd, std::string> programs_;
  std::vector<platform::Rect> workAreas_{{0, 0, 1920, 1040}};
  int commonControlsVersion_ = 600;
  std::vector<SentMessage> sent_;
  bool recordSends_ = true;

 public:
  void RecordSends(bool on) { recordSends_ = on; }

 private:
  int dpi_ = 96;
  bool highContrast_ = false;
};

}  // namespace sim
