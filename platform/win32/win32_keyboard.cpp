#include "platform/win32/win32_services.h"

#include <algorithm>

namespace win32 {

void Win32Keyboard::keybd_event(std::uint8_t vk, std::uint8_t scan, platform::Dword flags,
                                std::uintptr_t extraInfo) {
  ::keybd_event(vk, scan, flags, extraInfo);
}

platform::Uint Win32Keyboard::MapVirtualKeyA(platform::Uint code, platform::Uint mapType) {
  return ::MapVirtualKeyA(code, mapType);
}

std::int16_t Win32Keyboard::GetAsyncKeyState(int vk) { return ::GetAsyncKeyState(vk); }

platform::Uint Win32Keyboard::MapVirtualKeyExA(platform::Uint code, platform::Uint mapType,
                                               platform::Hkl layout) {
  return ::MapVirtualKeyExA(code, mapType, To<HKL>(layout));
}

int Win32Keyboard::GetKeyNameTextA(platform::LParam requestValue, std::string& name, int bufferSize) {
  char buffer[256] = {};
  int size = std::clamp(bufferSize, 0, static_cast<int>(sizeof buffer));
  int length = size > 0 ? ::GetKeyNameTextA(static_cast<LONG>(requestValue), buffer, size) : 0;
  name.assign(buffer, static_cast<std::size_t>(std::max(length, 0)));
  return length;
}

platform::Hkl Win32Keyboard::GetKeyboardLayout(platform::Dword threadId) {
  return From(::GetKeyboardLayout(threadId));
}

int Win32Keyboard::GetKeyboardLayoutList(int maxCount, std::vector<platform::Hkl>& layouts) {
  layouts.clear();
  if (maxCount <= 0) return ::GetKeyboardLayoutList(0, nullptr);
  std::vector<HKL> installed(static_cast<std::size_t>(maxCount));
  int count = ::GetKeyboardLayoutList(maxCount, installed.data());
  for (int i = 0; i < count; ++i) layouts.push_back(From(installed[static_cast<std::size_t>(i)]));
  return count;
}

platform::Hkl Win32Keyboard::LoadKeyboardLayoutA(const std::string& id, platform::Uint flags) {
  return From(::LoadKeyboardLayoutA(id.c_str(), flags));
}

platform::Hkl Win32Keyboard::ActivateKeyboardLayout(platform::Hkl layout, platform::Uint flags) {
  return From(::ActivateKeyboardLayout(To<HKL>(layout), flags));
}

bool Win32Keyboard::UnloadKeyboardLayout(platform::Hkl layout) {
  return ::UnloadKeyboardLayout(To<HKL>(layout)) != 0;
}

}  // namespace win32
