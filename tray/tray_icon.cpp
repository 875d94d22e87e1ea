#include "tray/tray_icon.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/utf.h"
#include "ui/application.h"

namespace tray {

using namespace platform;

namespace {

Uint taskbarCreated = 0;
Uint nextIconId = 1;

// The one hidden window of the process that receives the callbacks of every tray icon. It is
// an ordinary hidden window, not a message-only one, so that it also sees the session's end.
class CallbackWindow final : public IWindowProc {
 public:
  // One for each desktop: several programs may run in one process on desktops of their own (the
  // tests of programs that sync with one another).
  static CallbackWindow& Get(IWindows& windows) {
    static std::map<IWindows*, std::unique_ptr<CallbackWindow>> instances;
    auto& instance = instances[&windows];
    if (!instance) instance = std::make_unique<CallbackWindow>();
    return *instance;
  }

  Hwnd Attach(IWindows& windows, TTrayIcon* icon) {
    if (!hwnd_) {
      windows_ = &windows;
      WindowDesc desc;
      desc.kind = WindowKind::Hidden;
      desc.title = "TrayIconCallback";
      hwnd_ = windows.CreateWindowA(desc, this);
    }
    icons_[icon->Id()] = icon;
    return hwnd_;
  }

  void Detach(TTrayIcon* icon) {
    icons_.erase(icon->Id());
    if (icons_.empty() && hwnd_) {
      Hwnd hwnd = hwnd_;
      hwnd_ = 0;
      windows_->DestroyWindow(hwnd);
    }
  }

  Hwnd Handle() const { return hwnd_; }

  LResult WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) override {
    switch (msg) {
      case TrayCallbackMessage: {
        auto it = icons_.find(static_cast<Uint>(wParam));
        if (it != icons_.end()) it->second->HandleCallback(lParam);
        return 0;
      }
      case WmQueryEndSession:
      case WmEndSession:
      case WmClose:
      case WmQuit:
      case WmDestroy:
      case WmNcDestroy:
        return 1;
      default:
        return windows_->DefWindowProcA(hwnd, msg, wParam, lParam);
    }
  }

 private:
  IWindows* windows_ = nullptr;
  Hwnd hwnd_ = 0;
  std::map<Uint, TTrayIcon*> icons_;
};

}  // namespace

void RegisterTaskbarCreated(IWindows& windows) {
  taskbarCreated =
      windows.CommonControlsVersion() > 470 ? windows.RegisterWindowMessageA("TaskbarCreated") : 0;
}

Uint TaskbarCreatedMessage() { return taskbarCreated; }

TTrayIcon::TTrayIcon(ui::Form& owner) : owner_(owner), id_(nextIconId++) {
  CallbackWindow::Get(owner_.Desktop().Windows()).Attach(owner_.Desktop().Windows(), this);
  hook_ = owner_.App().AddHook(
      [this](Uint msg, WParam wParam, LParam, LResult&) { return HookApplicationWindow(msg, wParam); });
}

TTrayIcon::~TTrayIcon() {
  owner_.App().RemoveHook(hook_);
  Remove();
  CallbackWindow::Get(owner_.Desktop().Windows()).Detach(this);
}

Hwnd TTrayIcon::CallbackWindow() const { return CallbackWindow::Get(owner_.Desktop().Windows()).Handle(); }

NotifyIconData TTrayIcon::Record() const {
  NotifyIconData data;
  data.cbSize = owner_.Desktop().NotifyArea().NotifyIconDataV2Size();
  data.hWnd = CallbackWindow();
  data.uID = id_;
  data.uFlags = NifMessage | NifIcon | NifTip;
  data.uCallbackMessage = TrayCallbackMessage;
  data.hIcon = Icon;
  std::size_t length = std::min<std::size_t>(Hint.size(), sizeof data.szTip - 1);
  std::memcpy(data.szTip, Hint.data(), length);
  data.uVersion = 0;
  return data;
}

void TTrayIcon::Load() {
  INotifyArea& area = owner_.Desktop().NotifyArea();
  NotifyIconData data = Record();
  area.Shell_NotifyIconA(NimAdd, data);  // without a notification area the icon comes with TaskbarCreated
  area.Shell_NotifyIconA(NimSetVersion, data);
  visible_ = true;
}

void TTrayIcon::Refresh() {
  if (visible_) owner_.Desktop().NotifyArea().Shell_NotifyIconA(NimModify, Record());
}

void TTrayIcon::ShowBalloon(const std::string& title, const std::string& text, bool warning) {
  if (!visible_) return;
  NotifyIconData data = Record();
  data.uFlags |= NifInfo;
  // The record is the ANSI one; the program's texts are UTF-8.
  ICodePage& codePage = owner_.Desktop().CodePage();
  const std::string info = codePage.WideToAnsi(Utf8ToUtf16(text));
  const std::string infoTitle = codePage.WideToAnsi(Utf8ToUtf16(title));
  std::memcpy(data.szInfo, info.data(), std::min<std::size_t>(info.size(), sizeof data.szInfo - 1));
  std::memcpy(data.szInfoTitle, infoTitle.data(),
              std::min<std::size_t>(infoTitle.size(), sizeof data.szInfoTitle - 1));
  data.dwInfoFlags = warning ? NiifWarning : NiifInfo;
  owner_.Desktop().NotifyArea().Shell_NotifyIconA(NimModify, data);
}

void TTrayIcon::Remove() {
  if (!visible_) return;
  owner_.Desktop().NotifyArea().Shell_NotifyIconA(NimDelete, Record());
  visible_ = false;
}

bool TTrayIcon::HookApplicationWindow(Uint msg, WParam wParam) {
  if (taskbarCreated != 0 && msg == taskbarCreated) {
    if (visible_) owner_.Desktop().NotifyArea().Shell_NotifyIconA(NimAdd, Record());
    return false;
  }
  if (msg == WmSysCommand && SysCommandOf(wParam) == ScRestore) {
    // Restoring the application from its taskbar button brings the main window back too.
    ui::Form* main = owner_.App().MainForm();
    if (main) {
      IWindows& windows = owner_.Desktop().Windows();
      if (main->HandleAllocated() && windows.IsIconic(main->Handle()))
        windows.ShowWindow(main->Handle(), SwRestore);
      main->Show();
    }
  }
  return false;
}

void TTrayIcon::OwnerShowWindow(WParam wParam, LParam lParam) {
  if (wParam == 1 && lParam == 0) {
    IWindows& windows = owner_.Desktop().Windows();
    windows.SetForegroundWindow(owner_.App().Handle());
    windows.SetForegroundWindow(owner_.Handle());
  }
}

void TTrayIcon::HandleCallback(LParam mouseMessage) {
  IWindows& windows = owner_.Desktop().Windows();
  switch (mouseMessage) {
    case WmLButtonDown:
      clickStarted_ = true;
      break;
    case WmLButtonUp:
      if (clickStarted_ && OnClick) owner_.App().Guard(OnClick);
      clickStarted_ = false;
      break;
    case WmRButtonDown:
      if (PopupMenu && PopupMenu->AutoPopup) {
        Hwnd window = CallbackWindow();
        // The menu only closes on a click elsewhere when its owner is in the foreground.
        windows.SetForegroundWindow(window);
        Point pt;
        windows.GetCursorPos(pt);
        windows.SetForegroundWindow(window);
        owner_.App().ProcessMessages();
        PopupMenu->Popup(pt.x, pt.y, window);
        windows.PostMessageA(owner_.Handle(), WmNull, 0, 0);
      }
      break;
    default:
      break;  // double clicks, the right button's release and the rest do nothing here
  }
}

}  // namespace tray
