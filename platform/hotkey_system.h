// System-wide hotkeys and the global atom table that names them.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

using Atom = std::uint16_t;

class IHotKeys {
 public:
  virtual ~IHotKeys() = default;
  virtual Atom GlobalAddAtomA(const std::string& name) = 0;
  virtual Atom GlobalDeleteAtom(Atom atom) = 0;  // 0 on success
  virtual bool RegisterHotKey(Hwnd hwnd, int id, Uint modifiers, Uint vk) = 0;
  virtual bool UnregisterHotKey(Hwnd hwnd, int id) = 0;
};

}  // namespace platform
