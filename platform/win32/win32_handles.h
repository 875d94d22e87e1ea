// Conversions between the desktop layer's opaque handles and the Win32 handle types.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// <windows.h> makes CreateWindowA a macro of eleven arguments, which would swallow the
// two-argument IWindows::CreateWindowA; the backend calls CreateWindowExA instead.
#undef CreateWindowA

#include "platform/types.h"

namespace win32 {

template <class Win32Handle>
Win32Handle To(platform::Handle handle) {
  return reinterpret_cast<Win32Handle>(handle);
}

template <class Win32Handle>
platform::Handle From(Win32Handle handle) {
  return reinterpret_cast<platform::Handle>(handle);
}

inline HWND ToHwnd(platform::Hwnd hwnd) { return To<HWND>(hwnd); }

}  // namespace win32
