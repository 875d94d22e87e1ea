#include "platform/win32/win32_services.h"

namespace win32 {

platform::Atom Win32HotKeys::GlobalAddAtomA(const std::string& name) {
  return ::GlobalAddAtomA(name.c_str());
}

platform::Atom Win32HotKeys::GlobalDeleteAtom(platform::Atom atom) { return ::GlobalDeleteAtom(atom); }

bool Win32HotKeys::RegisterHotKey(platform::Hwnd hwnd, int id, platform::Uint modifiers, platform::Uint vk) {
  return ::RegisterHotKey(ToHwnd(hwnd), id, modifiers, vk) != 0;
}

bool Win32HotKeys::UnregisterHotKey(platform::Hwnd hwnd, int id) {
  return ::UnregisterHotKey(ToHwnd(hwnd), id) != 0;
}

}  // namespace win32
