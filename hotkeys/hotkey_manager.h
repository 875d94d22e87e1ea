// THotKeyManager: system-wide hotkeys of the program, and the event that reports their presses.
//
// The manager registers each hotkey under a global atom named after its value, on a hidden
// message window of its own, and raises OnHotKeyPressed from that window's procedure when
// the system reports a press of a bound value. Its owner keeps it for the whole run; the
// destructor unregisters every binding before the window goes.
//
//   hotkeys::THotKeyManager manager(desktop.Windows(), desktop.HotKeys());
//   manager.OnHotKeyPressed = [&](hotkeys::HotKey value, std::uint16_t id) { ... };
//   manager.AddBinding(value);
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hotkeys/hotkey_text.h"
#include "platform/hotkey_system.h"
#include "platform/window_system.h"

namespace hotkeys {

using TOnHotKeyPressed = std::function<void(HotKey hotKey, std::uint16_t Index)>;

struct HotKeyBinding {
  hotkeys::HotKey HotKey;  // the value AddBinding received
  std::uint16_t Id;        // the global atom, also the registration id
};

// "HotKeyManagerHotKey" followed by the value in decimal.
std::string HotKeyAtomName(HotKey value);

class THotKeyManager final : private platform::IWindowProc {
 public:
  // Creates the hidden window; no binding yet.
  THotKeyManager(platform::IWindows& windows, platform::IHotKeys& hotKeys);
  // ClearBindings(), then the window is destroyed.
  ~THotKeyManager();
  THotKeyManager(const THotKeyManager&) = delete;
  THotKeyManager& operator=(const THotKeyManager&) = delete;

  // Registers the value system-wide; the registration id, or 0 when the system refuses (the
  // combination is held, by this program or another) and nothing changes.
  std::uint16_t AddBinding(HotKey value);
  // Unregisters the first binding of the value and drops it, whatever the system answers;
  // whether the system confirmed it, and false when the value is not bound.
  bool RemoveBinding(HotKey value);
  // Unregisters every binding, last to first.
  void ClearBindings();
  // Gives every binding's combination back to the system for a moment and takes it again, so
  // that keystrokes the program synthesizes meanwhile reach the focused window instead of
  // its own hotkeys. The bindings stay; nesting is allowed.
  void Suspend();
  void Resume();

  const std::vector<HotKeyBinding>& Bindings() const { return bindings_; }
  platform::Hwnd Window() const { return window_; }

  // Raised for a press of a bound value, with the id the hotkey was registered under.
  TOnHotKeyPressed OnHotKeyPressed;

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  // Unregisters and releases the atom; whether the system confirmed the unregistration.
  bool Release(const HotKeyBinding& binding);
  bool Register(platform::Atom id, HotKey value);

  platform::IWindows& windows_;
  platform::IHotKeys& hotKeys_;
  platform::Hwnd window_ = 0;
  std::vector<HotKeyBinding> bindings_;
  int suspended_ = 0;
};

// Whether the value could be registered right now: registers it on `applicationWindow` under
// the atom "HotKeyManagerHotKeyTest" and unregisters it at once.
bool IsHotKeyFree(platform::IHotKeys& hotKeys, platform::Hwnd applicationWindow, HotKey value);

}  // namespace hotkeys
