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

Bounds Form::DesignClient() const {
  Bounds client;
  if (DesignClientWidth > 0 && DesignClientHeight > 0) {
    client.width = DesignClientWidth;
    client.height = DesignClientHeight;
  } else if (ClientSized) {
    client.width = GetBounds().width;
    client.height = GetBounds().height;
  } else {
    for (const Control* child : Children()) {
      const Bounds& b = child->GetBounds();
      client.width = std::max(client.width, b.left + b.width);
      client.height = std::max(client.height, b.top + b.height);
    }
  }
  return client;
}

int Form::ClientWidth() const { return clientWidth_ >= 0 ? clientWidth_ : Scale(DesignClient().width); }
int Form::ClientHeight() const { return clientHeight_ >= 0 ? clientHeight_ : Scale(DesignClient().height); }

Form::Growth Form::GrowthOf(const Control& control) const {
  if (&control == this) {
    const Bounds design = DesignClient();
    return {ClientWidth() - Scale(design.width), ClientHeight() - Scale(design.height)};
  }
  const Growth parent = control.Parent() ? GrowthOf(*control.Parent()) : Growth{};
  if (control.FillsParent()) return parent;
  const unsigned anchors = control.Anchors();
  return {(anchors & AnchorLeft) && (anchors & AnchorRight) ? parent.dx : 0,
          (anchors & AnchorTop) && (anchors & AnchorBottom) ? parent.dy : 0};
}

Bounds Form::Place(const Control& control) const {
  Bounds placed = Scaled(control.GetBounds());
  if (&control == this || !control.Parent() || control.FillsParent()) return placed;
  const Growth parent = GrowthOf(*control.Parent());
  const unsigned anchors = control.Anchors();
  // Held at one side it keeps that distance; at both it stretches; at neither it keeps its
  // place in the middle.
  auto along = [](int& start, int& size, int growth, bool low, bool high) {
    if (low && high)
      size = std::max(0, size + growth);
    else if (high)
      start += growth;
    else if (!low)
      start += growth / 2;
  };
  along(placed.left, placed.width, parent.dx, anchors & AnchorLeft, anchors & AnchorRight);
  along(placed.top, placed.height, parent.dy, anchors & AnchorTop, anchors & AnchorBottom);
  return placed;
}

Bounds Form::MinimumSize() const {
  const Bounds scaled = Scaled({0, 0, GetBounds().width, GetBounds().height});
  return {0, 0, scaled.width, scaled.height};
}

void Form::ClientResized(int width, int height) {
  if (width == clientWidth_ && height == clientHeight_) return;
  clientWidth_ = width;
  clientHeight_ = height;
  RelayoutAll();
}

void Form::RelayoutAll() {
  std::vector<Control*> pending(Children().begin(), Children().end());
  while (!pending.empty()) {
    Control* control = pending.back();
    pending.pop_back();
    control->Relayout();
    pending.insert(pending.end(), control->Children().begin(), control->Children().end());
  }
}

void Form::NoteWindowRect() {
  if (!handle_ || maximized_ || Desktop().Windows().IsIconic(handle_)) return;
  Bounds rect;
  if (Desktop().Windows().GetWindowRect(handle_, rect.left, rect.top, rect.width, rect.height))
    normal_ = rect;
}

Form::Placement Form::CurrentPlacement() {
  NoteWindowRect();
  return {normal_, maximized_};
}

void Form::RestorePlacement(const Placement& placement) {
  Handle();
  const Bounds minimum = MinimumSize();
  Bounds bounds = placement.normal;
  bounds.width = std::max(bounds.width, minimum.width);
  bounds.height = std::max(bounds.height, minimum.height);
  // The monitor nearest to the kept place, which may not be the one it was on.
  bounds = OnScreen(bounds);
  Desktop().Windows().SetWindowPos(handle_, bounds.left, bounds.top, bounds.width, bounds.height);
  normal_ = bounds;
  maximized_ = placement.maximized;
}

void Form::DpiChanged(int dpi, const Rect& suggested) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  Desktop().Windows().SetWindowPos(handle_, suggested.left, suggested.top, suggested.Width(),
                                   suggested.Height());
  // Each control's peer lays it out anew from its designed bounds.
  RelayoutAll();
}

void Form::ThemeChanged() {
  if (!handle_) return;
  Changed();
  RelayoutAll();
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
  Desktop().Windows().ShowWindow(handle, visible ? (maximized_ ? SwShowMaximized : SwShow) : SwHide);
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
    case WmSize:
      if (wParam == SizeMinimized) break;
      maximized_ = wParam == SizeMaximized;
      NoteWindowRect();
      ClientResized(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
      break;
    case WmMove:
      NoteWindowRect();
      break;
    case WmGetMinMaxInfo:
      // A sizeable window cannot be made smaller than its design at its DPI.
      if (lParam != 0 && Border == BorderStyle::Sizeable) {
        auto& info = *reinterpret_cast<MinMaxInfo*>(lParam);
        const Bounds minimum = MinimumSize();
        info.minTrackSize.x = std::max(info.minTrackSize.x, minimum.width);
        info.minTrackSize.y = std::max(info.minTrackSize.y, minimum.height);
        return 0;
      }
      break;
    case WmSettingChange:
    case WmSysColorChange:
    case WmThemeChanged:
      // Each window hears a broadcast change; the first to hear it redraws them all.
      app_.RefreshTheme();
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
