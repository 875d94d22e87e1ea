#include "platform/win32/win32_services.h"

#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>

#include "platform/win32/win32_text.h"

namespace win32 {

namespace {

// NOTIFYICONDATAA up to dwInfoFlags, the layout of shell version 5 (balloon tips, no GUID). The
// SDK's struct grows with the SDK; this one stays what the program registers with: 488 bytes in
// a 32-bit process, 504 in a 64-bit one.
struct NotifyIconDataV2 {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  CHAR szTip[128];
  DWORD dwState;
  DWORD dwStateMask;
  CHAR szInfo[256];
  union {
    UINT uTimeout;
    UINT uVersion;
  };
  CHAR szInfoTitle[64];
  DWORD dwInfoFlags;
};

static_assert(std::is_standard_layout_v<NotifyIconDataV2>);
static_assert(sizeof(NotifyIconDataV2) == (sizeof(void*) == 8 ? 504 : 488));
#ifdef NOTIFYICONDATAA_V2_SIZE
static_assert(sizeof(NotifyIconDataV2) == NOTIFYICONDATAA_V2_SIZE);
#endif

struct MenuDeleter {
  void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

}  // namespace

bool Win32NotifyArea::Shell_NotifyIconA(platform::Dword message, const platform::NotifyIconData& data) {
  NotifyIconDataV2 record = {};
  // Never let the shell read past the record, whatever size the caller names.
  record.cbSize = std::min<DWORD>(data.cbSize, sizeof record);
  record.hWnd = ToHwnd(data.hWnd);
  record.uID = data.uID;
  record.uFlags = data.uFlags;
  record.uCallbackMessage = data.uCallbackMessage;
  record.hIcon = To<HICON>(data.hIcon);
  std::memcpy(record.szTip, data.szTip, sizeof record.szTip);
  record.szTip[sizeof record.szTip - 1] = '\0';
  std::memcpy(record.szInfo, data.szInfo, sizeof record.szInfo);
  record.szInfo[sizeof record.szInfo - 1] = '\0';
  std::memcpy(record.szInfoTitle, data.szInfoTitle, sizeof record.szInfoTitle);
  record.szInfoTitle[sizeof record.szInfoTitle - 1] = '\0';
  record.dwInfoFlags = data.dwInfoFlags;
  record.uVersion = data.uVersion;
  return ::Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(&record)) != 0;
}

platform::Dword Win32NotifyArea::NotifyIconDataV2Size() { return sizeof(NotifyIconDataV2); }

platform::Uint Win32NotifyArea::TrackPopupMenu(const std::vector<platform::MenuEntry>& entries,
                                               platform::Uint flags, int x, int y, platform::Hwnd owner) {
  UniqueMenu menu(::CreatePopupMenu());
  if (!menu) return 0;
  for (const platform::MenuEntry& entry : entries) {
    if (entry.caption == "-")
      ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    else
      ::AppendMenuW(menu.get(), MF_STRING | (entry.checked ? MF_CHECKED : MF_UNCHECKED), entry.commandId,
                    WideFromUtf8(entry.caption).c_str());
  }
  // The choice is returned rather than posted as WM_COMMAND, so the caller runs its handler.
  BOOL chosen =
      ::TrackPopupMenu(menu.get(), flags | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, ToHwnd(owner), nullptr);
  return static_cast<platform::Uint>(chosen);
}

}  // namespace win32
