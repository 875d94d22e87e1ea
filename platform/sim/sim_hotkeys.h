// The simulated system-wide hotkeys and the global atom table.
//
// Both are shared by every simulated program on the desktop: a combination that any window
// holds cannot be registered again, whoever asks. Other programs are stood for by a hidden
// window that HoldByOtherProgram registers from.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/hotkey_system.h"
#include "platform/sim/sim_windows.h"

namespace sim {

struct HotKeyRegistration {
  platform::Hwnd hwnd;
  int id;
  platform::Uint modifiers;  // ModAlt, ModControl, ModShift, ModWin
  platform::Uint vk;
  bool noRepeat = false;  // registered with MOD_NOREPEAT
};

class SimHotKeys : public platform::IHotKeys {
 public:
  explicit SimHotKeys(SimWindows& windows);

  // Atom names are matched ignoring ASCII letter case; ids count up from 0xC000. An empty or
  // over-long (more than 255 characters) name gives 0.
  platform::Atom GlobalAddAtomA(const std::string& name) override;
  // Drops one reference; the atom goes when none is left. Returns 0, or the atom when it does
  // not exist.
  platform::Atom GlobalDeleteAtom(platform::Atom atom) override;
  // Fails when any window holds the combination, when the window does not exist, or when the
  // window already has a hotkey under `id` (Windows would keep both and Wine would replace the
  // old one; refusing lets a test notice a program that reuses an id).
  bool RegisterHotKey(platform::Hwnd hwnd, int id, platform::Uint modifiers, platform::Uint vk) override;
  bool UnregisterHotKey(platform::Hwnd hwnd, int id) override;

  // --- For tests ---

  // The user presses the combination: WM_HOTKEY (wParam the id, lParam the registered
  // modifier flags in the low word and the key in the high word) is posted to the window
  // that holds it. False when nobody does, and then nothing is posted.
  bool Press(platform::Uint modifiers, platform::Uint vk);
  // The system's look at a key going down, from the user or from keybd_event alike, with the
  // modifiers then down: WM_HOTKEY is posted when a registration matches, except for an
  // auto-repeat of a registration made with MOD_NOREPEAT. True when a hotkey took the key, so
  // that the focused window does not receive it.
  bool KeyDown(platform::Uint modifiers, platform::Uint vk, bool repeat);
  // How many WM_HOTKEY the system posted.
  int HotKeysPosted() const { return posted_; }
  // How many times RegisterHotKey was asked, granted or not: each is a trip to the system.
  int RegisterCalls() const { return registerCalls_; }
  // Posts WM_HOTKEY to `hwnd` as the system would report it, with any id and flags, matching
  // a registration or not.
  bool PostHotKey(platform::Hwnd hwnd, int id, platform::Uint modifiers, platform::Uint vk);
  // Another program takes the combination; false when someone holds it already.
  bool HoldByOtherProgram(platform::Uint modifiers, platform::Uint vk);
  bool ReleaseByOtherProgram(platform::Uint modifiers, platform::Uint vk);
  platform::Hwnd OtherProgramWindow();

  bool IsHeld(platform::Uint modifiers, platform::Uint vk) const;
  const std::vector<HotKeyRegistration>& Registrations() const { return registrations_; }
  std::vector<HotKeyRegistration> RegistrationsOf(platform::Hwnd hwnd) const;

  // References to the atom of that name; 0 when there is no such atom.
  int AtomReferences(const std::string& name) const;
  int AtomReferences(platform::Atom atom) const;
  std::string AtomName(platform::Atom atom) const;
  std::size_t AtomCount() const { return atoms_.size(); }

 private:
  struct AtomEntry {
    std::string name;
    int references;
  };

  static std::string Key(const std::string& name);
  const HotKeyRegistration* FindCombination(platform::Uint modifiers, platform::Uint vk) const;

  SimWindows& windows_;
  std::map<platform::Atom, AtomEntry> atoms_;
  std::map<std::string, platform::Atom> atomsByName_;
  unsigned nextAtom_ = 0xC000;
  std::vector<HotKeyRegistration> registrations_;
  platform::Hwnd otherProgram_ = 0;
  int nextOtherId_ = 1;
  int posted_ = 0;
  int registerCalls_ = 0;
};

}  // namespace sim
