#include "ui/form.h"

#include <algorithm>

#include "platform/errors.h"
#include "ui/application.h"
#include "ui/timer.h"

namespace ui {

using namespace platform;

Form::Form(Application& app, std::string name) : Control(nullptr, std::move(name)), app_(app) {
  Control::SetVisible(false);
  app_.AddForm(this);
}

Form::~Form() {
  DestroyHandle();
  app_.RemoveForm(this);
}

Desktop& Form::Desktop() { return app_.Desktop(); }

Hwnd Form::Handle() {
  if (handle_) return handle_;
  WindowDesc desc;
  desc.kind = Border == BorderStyle::Sizeable ? WindowKind::TopLevel : WindowKind::Dialog;
  desc.title = caption_;
  desc.owner = app_.Handle();
  // A new window appears at the system's DPI; should its monitor have another, it is told.
  IWindows& windows = Desktop().Windows();
  dpi_ = windows.GetDpiForWindow(0);
  const Bounds bounds = OnScreen(Scaled(GetBounds()));
  desc.x = bounds.left;
  desc.y = bounds.top;
  desc.width = bounds.width;
  desc.height = bounds.height;
  desc.clientSize = ClientSized;
  desc.sizeable = Border == BorderStyle::Sizeable;
  desc.minimizeBox = MinimizeBox;
  desc.maximizeBox = MaximizeBox;
  handle_ = windows.CreateWindowA(desc, this);
  if (const int dpi = windows.GetDpiForWindow(handle_); dpi != dpi_) {
    dpi_ = dpi;
    const Bounds placed = OnScreen(Scaled(GetBounds()));
    windows.SetWindowPos(handle_, placed.left, placed.top, placed.width, placed.height);
  }
  for (Timer* timer : timers_) timer->Start();
  if (PeerFactory* peers = app_.Peers()) peers->CreatePeers(*this);
  return handle_;
}

void Form::DestroyHandle() {
  if (!handle_) return;
  Hwnd handle = handle_;
  Desktop().Windows().DestroyWindow(handle);
  handle_ = 0;
}

bool Form::KeyDown(int virtualKey, bool control) {
  bool handled = false;
  app_.Guard([&] { handled = FormKeyDown(virtualKey, control); });
  return handled;
}

int Form::Scale(int designed) const {
  // Rounded to the nearest pixel, halves away from zero, as MulDiv does.
  const long long product = static_cast<long long>(designed) * dpi_;
  return static_cast<int>((product + (product >= 0 ? DesignDpi / 2 : -DesignDpi / 2)) / DesignDpi);
}

Bounds Form::Scaled(const Bounds& designed) const {
  // The right and bottom edges are scaled, not the sizes, so that controls that touch at 96 DPI
  // still touch.
  const int left = Scale(designed.left), top = Scale(designed.top);
  return {left, top, Scale(designed.left + designed.width) - left,
          Scale(designed.top + designed.height) - top};
}

Bounds Form::OnScreen(Bounds bounds) {
  // Scaled up, a window placed for 96 DPI may reach past its monitor: it is moved back onto the
  // work area, as much of it as fits.
  const Rect area = Desktop().Windows().GetMonitorWorkArea({bounds.left, bounds.top});
  bounds.width = std::min(bounds.width, area.Width());
  bounds.height = std::min(bounds.height, area.Height());
  bounds.left = std::clamp(bounds.left, area.left, area.right - bounds.width);
  bounds.top = std::clamp(bounds.top, area.top, area.bottom - bounds.height);
  return bounds;
}

void Form::DpiChanged(int dpi, const Rect& suggested) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  Desktop().Windows().SetWindowPos(handle_, suggested.left, suggested.top, suggested.Width(),
                                   suggested.Height());
  // Each control's peer lays it out anew from its designed bounds.
  std::vector<Control*> pending(Children().begin(), Children().end());
  while (!pending.empty()) {
    Control* control = pending.back();
    pending.pop_back();
    control->Relayout();
    pending.insert(pending.end(), control->Children().begin(), control->Children().end());
  }
}

void Form::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  if (handle_) Desktop().Windows().SetWindowTextW(handle_, caption_);
}

void Form::SetVisible(bool visible) {
  if (visible == Visible()) return;
  Hwnd handle = Handle();
  Control::SetVisible(visible);
  if (visible) PlaceForShowing();
  Desktop().Windows().ShowWindow(handle, visible ? SwShow : SwHide);
  app_.FormVisibilityChanged();
}

void Form::PlaceForShowing() {
  Form* main = app_.MainForm();
  if (Position != FormPosition::MainFormCenter || !main || main == this || !main->HandleAllocated()) return;
  IWindows& windows = Desktop().Windows();
  int mx, my, mw, mh, x, y, w, h;
  if (!windows.GetWindowRect(main->Handle(), mx, my, mw, mh) || !windows.GetWindowRect(handle_, x, y, w, h))
    return;
  windows.SetWindowPos(handle_, mx + (mw - w) / 2, my + (mh - h) / 2, w, h);
}

int Form::ShowModal() {
  if (Visible() || modal_) throw platform::Error("Cannot make a visible window modal");
  IWindows& windows = Desktop().Windows();
  std::vector<Hwnd> disabled;
  for (Form* form : app_.Forms())
    if (form != this && form->Visible() && form->HandleAllocated()) {
      windows.EnableWindow(form->Handle(), false);
      disabled.push_back(form->Handle());
    }
  modal_ = true;
  modalResult_ = MrNone;
  Show();
  windows.SetForegroundWindow(Handle());
  windows.RunModalLoop(
      Handle(),
      [](void* context) {
        auto* form = static_cast<Form*>(context);
        return form->modalResult_ != MrNone || form->app_.Terminated();
      },
      this);
  int result = modalResult_ != MrNone ? modalResult_ : MrCancel;
  Hide();
  for (Hwnd hwnd : disabled) windows.EnableWindow(hwnd, true);
  modal_ = false;
  modalResult_ = result;
  return result;
}

void Form::Close() {
  if (modal_) {
    modalResult_ = MrCancel;
    return;
  }
  bool canClose = true;
  FormCloseQuery(canClose);
  if (!canClose) return;
  if (app_.MainForm() == this)
    app_.Terminate();
  else
    Hide();
}

void Form::RemoveTimer(Timer* timer) { std::erase(timers_, timer); }

LResult Form::DefaultHandler(Uint msg, WParam wParam, LParam lParam) {
  switch (msg) {
    case WmClose:
      Close();
      return 0;
    case WmQueryEndSession: {
      bool canClose = true;
      FormCloseQuery(canClose);
      return canClose ? 1 : 0;
    }
    case WmSysCommand:
      // The main form stands for the application: minimizing it minimizes the application.
      if (SysCommandOf(wParam) == ScMinimize && app_.MainForm() == this) {
        app_.Minimize();
        return 0;
      }
      break;
    case WmDpiChanged:
      if (lParam != 0)
        DpiChanged(static_cast<int>((wParam >> 16) & 0xFFFF), *reinterpret_cast<const Rect*>(lParam));
      return 0;
    case WmTimer:
      for (Timer* timer : timers_)
        if (timer->Id() == wParam) {
          timer->Fire();
          return 0;
        }
      break;
  }
  return Desktop().Windows().DefWindowProcA(handle_, msg, wParam, lParam);
}

LResult Form::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  if (!handle_) handle_ = hwnd;  // messages sent while the window is being created
  try {
    LResult result = 0;
    if (HandleMessage(msg, wParam, lParam, result)) return result;
    return DefaultHandler(msg, wParam, lParam);
  } catch (const std::exception& error) {
    app_.ShowException(error);
    return 0;
  }
}

}  // namespace ui
