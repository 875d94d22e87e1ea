#include "platform/sim/sim_windows.h"

#include <algorithm>
#include <stdexcept>

#include "platform/scope_exit.h"

namespace sim {

using namespace platform;

SimWindows::SimWindows(VirtualClock& clock) : clock_(clock) {}

SimWindows::~SimWindows() = default;

SimWindows::Window* SimWindows::Find(Hwnd hwnd) {
  auto it = windows_.find(hwnd);
  return it == windows_.end() || !it->second.alive ? nullptr : &it->second;
}

const SimWindows::Window* SimWindows::Find(Hwnd hwnd) const {
  auto it = windows_.find(hwnd);
  return it == windows_.end() || !it->second.alive ? nullptr : &it->second;
}

Hwnd SimWindows::CreateWindowA(const WindowDesc& desc, IWindowProc* proc) {
  Hwnd hwnd = nextHandle_;
  nextHandle_ += 4;
  Window w;
  w.desc = desc;
  w.proc = proc;
  w.title = desc.title;
  w.x = desc.x;
  w.y = desc.y;
  w.width = desc.width;
  w.height = desc.height;
  windows_[hwnd] = w;
  order_.push_back(hwnd);
  return hwnd;
}

void SimWindows::DestroyWindow(Hwnd hwnd) {
  Window* w = Find(hwnd);
  if (!w) return;
  // Owned windows go first, as on Windows.
  for (Hwnd other : order_) {
    const Window* o = Find(other);
    if (o && o->desc.owner == hwnd) DestroyWindow(other);
  }
  SendMessageA(hwnd, WmDestroy, 0, 0);
  SendMessageA(hwnd, WmNcDestroy, 0, 0);
  w = Find(hwnd);
  if (!w) return;
  w->alive = false;
  w->visible = false;
  destroyed_.push_back(hwnd);
  std::erase_if(timers_, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
  std::erase_if(queue_, [hwnd](const SentMessage& m) { return m.hwnd == hwnd; });
  if (foreground_ == hwnd) foreground_ = 0;
}

bool SimWindows::ShowWindow(Hwnd hwnd, int cmd) {
  Window* w = Find(hwnd);
  if (!w) return false;
  bool wasVisible = w->visible;
  bool wasIconic = w->iconic;
  switch (cmd) {
    case SwHide:
      w->visible = false;
      break;
    case SwMinimize:
    case SwShowMinimized:
      w->visible = true;
      w->iconic = true;
      break;
    case SwShowNormal:
    case SwRestore:
      w->visible = true;
      w->iconic = false;
      break;
    case SwShowMaximized: {
      w->visible = true;
      w->iconic = false;
      w->zoomed = true;
      const Rect area = GetMonitorWorkArea({w->x, w->y});
      SendMessageA(hwnd, WmSize, SizeMaximized,
                   static_cast<LParam>((area.Width() & 0xFFFF) | ((area.Height() & 0xFFFF) << 16)));
      break;
    }
    default:  // SW_SHOW, SW_SHOWNA and the rest show without changing the state
      w->visible = true;
      break;
  }
  bool nowVisible = w->visible;
  bool nowIconic = w->iconic;
  if (wasVisible != nowVisible) SendMessageA(hwnd, WmShowWindow, nowVisible ? 1 : 0, 0);
  if (wasIconic != nowIconic) SendMessageA(hwnd, WmSize, nowIconic ? SizeMinimized : SizeRestored, 0);
  // Minimizing an owner hides its owned windows; restoring it brings them back.
  if (!wasIconic && nowIconic) {
    for (Hwnd other : order_) {
      Window* o = Find(other);
      if (o && o->desc.owner == hwnd && o->visible) {
        o->visible = false;
        o->hiddenByOwner = true;
        SendMessageA(other, WmShowWindow, 0, 1 /* SW_PARENTCLOSING */);
      }
    }
  } else if (wasIconic && !nowIconic) {
    for (Hwnd other : order_) {
      Window* o = Find(other);
      if (o && o->desc.owner == hwnd && o->hiddenByOwner) {
        o->visible = true;
        o->hiddenByOwner = false;
        SendMessageA(other, WmShowWindow, 1, 3 /* SW_PARENTOPENING */);
      }
    }
  }
  return wasVisible;
}

bool SimWindows::IsWindowVisible(Hwnd hwnd) {
  const Window* w = Find(hwnd);
  return w && w->visible;
}

bool SimWindows::IsIconic(Hwnd hwnd) {
  const Window* w = Find(hwnd);
  return w && w->iconic;
}

bool SimWindows::SetForegroundWindow(Hwnd hwnd) {
  if (!Find(hwnd)) return false;
  foreground_ = hwnd;
  return true;
}

bool SimWindows::EnableWindow(Hwnd hwnd, bool enable) {
  Window* w = Find(hwnd);
  if (!w) return false;
  bool wasDisabled = !w->enabled;
  w->enabled = enable;
  return wasDisabled;
}

bool SimWindows::SetWindowTextW(Hwnd hwnd, const std::string& text) {
  Window* w = Find(hwnd);
  if (!w) return false;
  w->title = text;
  return true;
}

bool SimWindows::SetWindowPos(Hwnd hwnd, int x, int y, int width, int height) {
  Window* w = Find(hwnd);
  if (!w) return false;
  const bool resized = w->width != width || w->height != height;
  w->x = x;
  w->y = y;
  w->width = width;
  w->height = height;
  w->zoomed = false;
  // A simulated window has no frame: its client area is the whole window.
  if (resized && !w->iconic)
    SendMessageA(hwnd, WmSize, SizeRestored,
                 static_cast<LParam>((width & 0xFFFF) | ((height & 0xFFFF) << 16)));
  return true;
}

bool SimWindows::GetWindowRect(Hwnd hwnd, int& x, int& y, int& width, int& height) {
  const Window* w = Find(hwnd);
  if (!w) return false;
  x = w->x;
  y = w->y;
  width = w->width;
  height = w->height;
  return true;
}

void SimWindows::SetWindowIcon(Hwnd hwnd, Hicon icon) {
  if (Window* w = Find(hwnd)) w->icon = icon;
}

LResult SimWindows::SendMessageA(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  if (recordSends_) sent_.push_back({hwnd, msg, wParam, lParam});
  Window* w = Find(hwnd);
  if (!w) return 0;
  if (!w->proc) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return CallProc(*w, hwnd, msg, wParam, lParam);
}

LResult SimWindows::CallProc(Window& w, Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  if (!OnOutermostCall || callDepth_ > 0) return w.proc->WindowProc(hwnd, msg, wParam, lParam);
  ++callDepth_;
  OnOutermostCall(true);
  const platform::ScopeExit end([this] {
    --callDepth_;
    if (OnOutermostCall) OnOutermostCall(false);
  });
  return w.proc->WindowProc(hwnd, msg, wParam, lParam);
}

bool SimWindows::PostMessageA(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  if (hwnd == HwndBroadcast) {
    for (Hwnd target : order_)
      if (const Window* w = Find(target); w && w->desc.kind != WindowKind::MessageOnly)
        queue_.push_back({target, msg, wParam, lParam});
    return true;
  }
  if (hwnd != 0 && !Find(hwnd)) return false;
  queue_.push_back({hwnd, msg, wParam, lParam});
  return true;
}

LResult SimWindows::DefWindowProcA(Hwnd hwnd, Uint msg, WParam wParam, LParam) {
  switch (msg) {
    case WmClose:
      DestroyWindow(hwnd);
      return 0;
    case WmSysCommand:
      switch (SysCommandOf(wParam)) {
        case ScClose:
          SendMessageA(hwnd, WmClose, 0, 0);
          break;
        case ScMinimize:
          ShowWindow(hwnd, SwMinimize);
          break;
        case ScRestore:
          ShowWindow(hwnd, SwRestore);
          break;
        case ScMaximize:
          ShowWindow(hwnd, SwShow);
          break;
      }
      return 0;
    case WmQueryEndSession:
      return 1;
    default:
      return 0;
  }
}

Uint SimWindows::RegisterWindowMessageA(const std::string& name) {
  auto [it, added] = registered_.emplace(name, nextRegistered_);
  if (added) ++nextRegistered_;
  return it->second;
}

std::uintptr_t SimWindows::SetTimer(Hwnd hwnd, std::uintptr_t id, Uint elapseMs) {
  if (!Find(hwnd)) return 0;
  KillTimer(hwnd, id);
  timers_.push_back({hwnd, id, std::max<Uint>(elapseMs, 10), clock_.Ms() + std::max<Uint>(elapseMs, 10)});
  return id;
}

bool SimWindows::KillTimer(Hwnd hwnd, std::uintptr_t id) {
  auto before = timers_.size();
  std::erase_if(timers_, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  std::erase_if(queue_,
                [&](const SentMessage& m) { return m.hwnd == hwnd && m.msg == WmTimer && m.wParam == id; });
  return timers_.size() != before;
}

bool SimWindows::GetCursorPos(Point& pt) {
  pt = cursor_;
  return true;
}

bool SimWindows::GetCaretRect(Hwnd window, Rect& caret) {
  auto found = carets_.find(window);
  if (found == carets_.end() || !Find(window)) return false;
  caret = found->second;
  return true;
}

void SimWindows::SetCaret(Hwnd window, std::optional<Rect> caret) {
  if (caret)
    carets_[window] = *caret;
  else
    carets_.erase(window);
}

// The area that holds the point, else the one nearest to it, as MONITOR_DEFAULTTONEAREST.
Rect SimWindows::GetMonitorWorkArea(Point pt) {
  auto distance = [pt](const Rect& r) {
    long long dx = pt.x < r.left ? r.left - pt.x : (pt.x >= r.right ? pt.x - r.right + 1 : 0);
    long long dy = pt.y < r.top ? r.top - pt.y : (pt.y >= r.bottom ? pt.y - r.bottom + 1 : 0);
    return dx * dx + dy * dy;
  };
  const Rect* best = &workAreas_.front();
  for (const Rect& area : workAreas_)
    if (distance(area) < distance(*best)) best = &area;
  return *best;
}

void SimWindows::Dispatch(const SentMessage& m) {
  if (m.hwnd == 0) return;  // thread messages have no receiver here
  Window* w = Find(m.hwnd);
  if (!w) return;
  if (!w->proc) {
    DefWindowProcA(m.hwnd, m.msg, m.wParam, m.lParam);
    return;
  }
  CallProc(*w, m.hwnd, m.msg, m.wParam, m.lParam);
}

void SimWindows::Pump() {
  while (!queue_.empty() && !quit_) {
    SentMessage m = queue_.front();
    queue_.pop_front();
    Dispatch(m);
  }
}

long long SimWindows::NextDueIn() const {
  long long best = -1;
  auto consider = [&](std::uint64_t due) {
    long long in = due > clock_.Ms() ? static_cast<long long>(due - clock_.Ms()) : 0;
    if (best < 0 || in < best) best = in;
  };
  for (const Timer& t : timers_) consider(t.due);
  for (const Event& e : events_) consider(e.due);
  return best;
}

// Fires the earliest timer or event that is due no later than `until`, moving the clock to it.
bool SimWindows::RunOneDue(std::uint64_t until) {
  const Timer* timer = nullptr;
  for (const Timer& t : timers_)
    if (t.due <= until && (!timer || t.due < timer->due)) timer = &t;
  const Event* event = nullptr;
  for (const Event& e : events_)
    if (e.due <= until && (!event || e.due < event->due || (e.due == event->due && e.seq < event->seq)))
      event = &e;
  if (!timer && !event) return false;
  if (event && (!timer || event->due <= timer->due)) {
    clock_.AdvanceTo(event->due);
    long long seq = event->seq;
    auto it = std::find_if(events_.begin(), events_.end(), [seq](const Event& e) { return e.seq == seq; });
    std::function<void()> action = std::move(it->action);
    events_.erase(it);
    action();
    return true;
  }
  clock_.AdvanceTo(timer->due);
  Hwnd hwnd = timer->hwnd;
  std::uintptr_t id = timer->id;
  for (Timer& t : timers_)
    if (t.hwnd == hwnd && t.id == id) t.due = clock_.Ms() + t.interval;
  // Like Windows, a timer has at most one WM_TIMER waiting in the queue.
  bool pending = std::any_of(queue_.begin(), queue_.end(), [&](const SentMessage& m) {
    return m.hwnd == hwnd && m.msg == WmTimer && m.wParam == id;
  });
  if (!pending) queue_.push_back({hwnd, WmTimer, id, 0});
  return true;
}

void SimWindows::Advance(Dword ms) {
  std::uint64_t target = clock_.Ms() + ms;
  Pump();
  while (!quit_ && RunOneDue(target)) Pump();
  if (!quit_) clock_.AdvanceTo(target);
}

bool SimWindows::WaitForInput(std::uint64_t deadlineMs) {
  while (queue_.empty()) {
    if (!RunOneDue(deadlineMs)) {
      clock_.AdvanceTo(deadlineMs);
      return false;
    }
  }
  return true;
}

void SimWindows::Schedule(Dword delayMs, std::function<void()> action) {
  events_.push_back({clock_.Ms() + delayMs, eventSeq_++, std::move(action)});
}

int SimWindows::RunMessageLoop() {
  for (;;) {
    Pump();
    if (quit_) return exitCode_;
    long long next = NextDueIn();
    if (next < 0) return exitCode_;  // nothing can ever happen again
    Advance(static_cast<Dword>(next));
  }
}

void SimWindows::RunModalLoop(Hwnd modal, bool (*done)(void*), void* context) {
  ++modalDepth_;
  Pump();
  if (!done(context) && !modalHandlers_.empty()) {
    auto handler = std::move(modalHandlers_.front());
    modalHandlers_.pop_front();
    handler(modal);
    Pump();
  }
  if (!done(context)) ++modalsLeftOpen_;
  --modalDepth_;
}

void SimWindows::PostQuitMessage(int exitCode) {
  quit_ = true;
  exitCode_ = exitCode;
}

void SimWindows::ProcessMessages() { Pump(); }

Hicon SimWindows::LoadMainIcon(int size) { return 0x70000 + static_cast<Hicon>(size); }

unsigned SimWindows::GetSysColor(int index) { return 0x00100000u + static_cast<unsigned>(index); }

bool SimWindows::Exists(Hwnd hwnd) const { return Find(hwnd) != nullptr; }

bool SimWindows::IsZoomed(Hwnd hwnd) const {
  const Window* w = Find(hwnd);
  return w && w->zoomed;
}

std::string SimWindows::Title(Hwnd hwnd) const {
  const Window* w = Find(hwnd);
  return w ? w->title : std::string();
}

bool SimWindows::IsEnabled(Hwnd hwnd) const {
  const Window* w = Find(hwnd);
  return w && w->enabled;
}

bool SimWindows::TaskbarButtonVisible() const {
  for (const auto& [hwnd, w] : windows_)
    if (w.alive && w.visible && w.desc.appWindow) return true;
  return false;
}

std::vector<Hwnd> SimWindows::FindWindowsByTitle(const std::string& title) const {
  std::vector<Hwnd> found;
  for (Hwnd hwnd : order_)
    if (const Window* w = Find(hwnd); w && w->title == title) found.push_back(hwnd);
  return found;
}

bool SimWindows::LogOff() {
  bool all = true;
  std::vector<Hwnd> targets;
  for (Hwnd hwnd : order_)
    if (const Window* w = Find(hwnd); w && w->desc.kind != WindowKind::MessageOnly) targets.push_back(hwnd);
  for (Hwnd hwnd : targets)
    if (SendMessageA(hwnd, WmQueryEndSession, 0, 0) == 0) all = false;
  for (Hwnd hwnd : targets) SendMessageA(hwnd, WmEndSession, all ? 1 : 0, 0);
  return all;
}

}  // namespace sim
