// Keyboard input and the key names of keyboard layouts.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

class IKeyboard {
 public:
  virtual ~IKeyboard() = default;
  virtual void keybd_event(std::uint8_t vk, std::uint8_t scan, Dword flags, std::uintptr_t extraInfo) = 0;
  virtual Uint MapVirtualKeyA(Uint code, Uint mapType) = 0;
  // Bit 15 is set while the key is down, whichever program pressed it.
  virtual std::int16_t GetAsyncKeyState(int vk) = 0;
  virtual Uint MapVirtualKeyExA(Uint code, Uint mapType, Hkl layout) = 0;
  // Fills `name` with at most bufferSize - 1 characters; returns the length.
  virtual int GetKeyNameTextA(LParam requestValue, std::string& name, int bufferSize) = 0;
  virtual Hkl GetKeyboardLayout(Dword threadId) = 0;
  // Copies up to maxCount installed layouts into `layouts`; returns how many there are.
  virtual int GetKeyboardLayoutList(int maxCount, std::vector<Hkl>& layouts) = 0;
  virtual Hkl LoadKeyboardLayoutA(const std::string& id, Uint flags) = 0;
  virtual Hkl ActivateKeyboardLayout(Hkl layout, Uint flags) = 0;  // previous layout, 0 on failure
  virtual bool UnloadKeyboardLayout(Hkl layout) = 0;
};

}  // namespace platform
