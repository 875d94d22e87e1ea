// The notification area ("system tray") and popup menus.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

// The fields of NOTIFYICONDATAA the program fills; the backend lays them out.
struct NotifyIconData {
  Dword cbSize = 0;
  Hwnd hWnd = 0;
  Uint uID = 0;
  Uint uFlags = 0;
  Uint uCallbackMessage = 0;
  Hicon hIcon = 0;
  char szTip[128] = {};
  char szInfo[256] = {};  // a balloon's text (NIF_INFO)
  Uint uVersion = 0;
  char szInfoTitle[64] = {};
  Dword dwInfoFlags = 0;
};

// One item of a popup menu as the platform shows it.
struct MenuEntry {
  std::string caption;   // UTF-8; "-" is a separator
  Uint commandId = 0;    // returned by TrackPopupMenu when chosen
  bool checked = false;  // shown with a check mark
};

class INotifyArea {
 public:
  virtual ~INotifyArea() = default;
  virtual bool Shell_NotifyIconA(Dword message, const NotifyIconData& data) = 0;
  // Size of the NOTIFYICONDATAA layout whose size field is 488 in a 32-bit build.
  virtual Dword NotifyIconDataV2Size() = 0;
  // Shows the entries as a popup menu at (x, y); returns the chosen command id or 0.
  virtual Uint TrackPopupMenu(const std::vector<MenuEntry>& entries, Uint flags, int x, int y,
                              Hwnd owner) = 0;
};

}  // namespace platform
