#include "platform/sim/sim_notify_area.h"

#include <stdexcept>

namespace sim {

using namespace platform;

bool SimNotifyArea::Shell_NotifyIconA(Dword message, const NotifyIconData& data) {
  calls_.push_back({message, data});
  if (!available_) return false;
  auto key = std::make_pair(data.hWnd, data.uID);
  switch (message) {
    case NimAdd:
      if (icons_.count(key)) return false;
      icons_[key] = data;
      return true;
    case NimModify:
      if (!icons_.count(key)) return false;
      icons_[key] = data;
      return true;
    case NimDelete:
      return icons_.erase(key) == 1;
    case NimSetVersion:
      if (!icons_.count(key)) return false;
      icons_[key].uVersion = data.uVersion;
      return true;
    default:
      return false;
  }
}

const NotifyIconData& SimNotifyArea::Icon() const {
  if (icons_.size() != 1) throw std::logic_error("expected exactly one tray icon");
  return icons_.begin()->second;
}

void SimNotifyArea::Deliver(LParam mouseMessage) {
  const NotifyIconData& icon = Icon();
  lastMouse_ = mouseMessage;
  windows_.SendMessageA(icon.hWnd, icon.uCallbackMessage, icon.uID, mouseMessage);
  windows_.Pump();
}

void SimNotifyArea::Click() {
  Deliver(WmLButtonDown);
  Deliver(WmLButtonUp);
}

void SimNotifyArea::DoubleClick() {
  Deliver(WmLButtonDown);
  Deliver(WmLButtonUp);
  Deliver(WmLButtonDblClk);
  Deliver(WmLButtonUp);
}

void SimNotifyArea::RightClick() {
  Deliver(WmRButtonDown);
  Deliver(WmRButtonUp);
}

Uint SimNotifyArea::TrackPopupMenu(const std::vector<MenuEntry>& entries, Uint flags, int x, int y,
                                   Hwnd owner) {
  popups_.push_back({entries, flags, x, y, owner, lastMouse_});
  if (choices_.empty()) return 0;
  std::string caption = std::move(choices_.front());
  choices_.pop_front();
  for (const MenuEntry& e : entries)
    if (e.caption == caption && e.caption != "-") return e.commandId;
  return 0;
}

void SimNotifyArea::RestartTaskbar() {
  icons_.clear();
  Uint msg = windows_.RegisterWindowMessageA("TaskbarCreated");
  std::vector<Hwnd> targets;
  for (Hwnd hwnd : windows_.AllWindows())
    if (windows_.Exists(hwnd)) targets.push_back(hwnd);
  for (Hwnd hwnd : targets) windows_.SendMessageA(hwnd, msg, 0, 0);
  windows_.Pump();
}

}  // namespace sim
