// The simulated keyboard: keyboard layouts with scan codes and key names, and a record of the
// synthetic key events a program sends.
//
// Three layouts are known. US English carries the key names Windows gives for it; German has
// German names in Windows-1252 ("Strg", "Umschalt", "Rücktaste") and the German key positions
// (Y and Z swapped, umlauts, "+" key); the capitals test layout is US English whose Alt key is
// named "ALT". On all of them the browser and media keys have no name or the one letter of
// the main-block key that shares their scan code, as on real keyboards.
//
// A layout is "installed" when GetKeyboardLayoutList lists it. Loading a known layout that is
// not installed installs it until it is unloaded. At the start only US English is installed,
// and it is active.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/keyboard.h"

namespace sim {

class SimHotKeys;

struct KeyEvent {
  std::uint8_t vk;
  std::uint8_t scan;
  platform::Dword flags;
  std::uintptr_t extraInfo;
};

class SimKeyboard : public platform::IKeyboard {
 public:
  static constexpr platform::Hkl UsEnglish = 0x04090409;       // "00000409"
  static constexpr platform::Hkl German = 0x04070407;          // "00000407"
  static constexpr platform::Hkl CapitalsLayout = 0xF0FF0409;  // "F0FF0409"
  // ActivateKeyboardLayout's cycling values.
  static constexpr platform::Hkl HklPrev = 0;
  static constexpr platform::Hkl HklNext = 1;

  SimKeyboard();

  void keybd_event(std::uint8_t vk, std::uint8_t scan, platform::Dword flags,
                   std::uintptr_t extraInfo) override;
  // Map types 0 (virtual key to scan code), 1 (scan code to the lowest virtual key that has it)
  // and 2 (virtual key to its unshifted character); any other type gives 0.
  platform::Uint MapVirtualKeyA(platform::Uint code, platform::Uint mapType) override;
  // Down for keys the user holds and for keys a program's keybd_event left down; the generic
  // Shift, Ctrl and Alt are down while either of their left or right keys is.
  std::int16_t GetAsyncKeyState(int vk) override;
  // As MapVirtualKeyA for `layout`, which must be installed (0 is the active layout).
  platform::Uint MapVirtualKeyExA(platform::Uint code, platform::Uint mapType, platform::Hkl layout) override;
  // The active layout's name for the scan code in bits 16-23; bit 24 asks for the extended key.
  int GetKeyNameTextA(platform::LParam requestValue, std::string& name, int bufferSize) override;
  platform::Hkl GetKeyboardLayout(platform::Dword threadId) override;
  int GetKeyboardLayoutList(int maxCount, std::vector<platform::Hkl>& layouts) override;
  platform::Hkl LoadKeyboardLayoutA(const std::string& id, platform::Uint flags) override;
  platform::Hkl ActivateKeyboardLayout(platform::Hkl layout, platform::Uint flags) override;
  // Refuses to unload the last installed layout.
  bool UnloadKeyboardLayout(platform::Hkl layout) override;

  // --- For tests ---

  // Installs exactly `installed` (known layouts, in this order) and activates `active`, or the
  // first of them when `active` is not among them.
  void SetLayouts(const std::vector<platform::Hkl>& installed, platform::Hkl active);
  bool IsInstalled(platform::Hkl layout) const;
  platform::Hkl Active() const { return active_; }
  // How many times ActivateKeyboardLayout changed the active layout.
  int Activations() const { return activations_; }
  const std::vector<platform::Hkl>& Unloaded() const { return unloaded_; }

  // Key presses reach the system-wide hotkeys, whether the user or keybd_event made them, as
  // on Windows; a key that a hotkey takes does not reach the focused program.
  void ConnectHotKeys(SimHotKeys& hotkeys) { hotkeys_ = &hotkeys; }
  // The user presses or releases a key. Pressing a key that is already down is an auto-repeat.
  void UserKeyDown(std::uint8_t vk);
  void UserKeyUp(std::uint8_t vk);
  bool IsDown(std::uint8_t vk) const;

  // Every keybd_event call, in order.
  const std::vector<KeyEvent>& Events() const { return events_; }
  void ClearEvents() { events_.clear(); }
  // Called after each synthetic event is recorded, so that a simulated focused program can
  // react to it; not for the key presses that a hotkey took.
  void OnKeyEvent(std::function<void(const KeyEvent&)> handler) { onKeyEvent_ = std::move(handler); }
  // From now on the user's own key presses that no hotkey took reach that handler too, as the
  // focused program receives them.
  void UserKeysReachHandler(bool reach) { userKeysReach_ = reach; }

 private:
  struct Layout {
    platform::Hkl hkl = 0;
    std::string id;
    std::array<std::uint8_t, 256> scanOfVk{};
    std::map<unsigned, std::string> names;  // key: scan code, plus 0x100 for the extended key
  };

  const Layout* Find(platform::Hkl hkl) const;
  const Layout* Installed(platform::Hkl hkl) const;
  static platform::Uint Map(const Layout& layout, platform::Uint code, platform::Uint mapType);

  std::vector<Layout> known_;
  std::vector<platform::Hkl> installed_;
  platform::Hkl active_ = 0;
  int activations_ = 0;
  std::vector<platform::Hkl> unloaded_;
  std::vector<KeyEvent> events_;
  std::function<void(const KeyEvent&)> onKeyEvent_;
  SimHotKeys* hotkeys_ = nullptr;
  bool userKeysReach_ = false;
  std::array<bool, 256> down_{};
  // Whether a key change is taken by a hotkey; updates the key state.
  bool KeyChange(std::uint8_t vk, bool up);
};

}  // namespace sim
