// The tray icon component: one icon in the notification area with its popup menu.
//
// All icons of the process share one hidden window that receives their callbacks. The icon
// also hooks the application window, to come back after the taskbar is re-created and to bring
// the main window back when the application is restored.
#pragma once

#include <functional>
#include <string>

#include "platform/desktop.h"
#include "ui/form.h"
#include "ui/menu.h"

namespace tray {

constexpr platform::Uint TrayCallbackMessage = 0x800;

// Registers the "TaskbarCreated" message once at program start, when the common controls are
// newer than 4.70 (older shells never send it); 0 until then.
void RegisterTaskbarCreated(platform::IWindows& windows);
platform::Uint TaskbarCreatedMessage();

class TTrayIcon {
 public:
  explicit TTrayIcon(ui::Form& owner);
  ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  std::string Hint;
  platform::Hicon Icon = 0;
  ui::PopupMenu* PopupMenu = nullptr;
  std::function<void()> OnClick;

  // Adds the icon to the notification area (when the owner's components are loaded).
  void Load();
  // Tells the platform about a changed icon or hint.
  void Refresh();
  // A balloon over the icon that tells the user something without waiting for an answer; the
  // texts are cut to what the notification area holds.
  void ShowBalloon(const std::string& title, const std::string& text, bool warning);
  // Removes the icon (when the owner is destroyed).
  void Remove();
  platform::Uint Id() const { return id_; }
  platform::Hwnd CallbackWindow() const;

  // The owner form received WM_SHOWWINDOW: bring it to the front when it is shown on request.
  void OwnerShowWindow(platform::WParam wParam, platform::LParam lParam);

  // The mouse message of one callback.
  void HandleCallback(platform::LParam mouseMessage);

 private:
  platform::NotifyIconData Record() const;
  bool HookApplicationWindow(platform::Uint msg, platform::WParam wParam);

  ui::Form& owner_;
  platform::Uint id_;
  bool visible_ = false;
  bool clickStarted_ = false;
  int hook_ = 0;
};

}  // namespace tray
