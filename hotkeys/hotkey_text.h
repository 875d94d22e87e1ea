// Hotkey values and their text form ("Ctrl+Shift+F5") with the key names of a keyboard layout.
//
// A HotKey value holds the virtual-key code in bits 0-7 and the modifiers in the bits below;
// 0 means "no hotkey". Text is either localized (the names of the user's active layout, what
// the program shows and stores) or English (the names of the US English layout).
//
// The key names need the keyboard, so the conversions are members of KeyNames. The program
// creates one KeyNames first thing at start-up, calls StartUp() before any window exists,
// passes it by reference to whoever formats or parses hotkeys, and calls ShutDown() last:
//
//   hotkeys::KeyNames keyNames(desktop.Keyboard());
//   keyNames.StartUp();
//   ...                               // keyNames.FormatHotKey(value, true) and so on
//   keyNames.ShutDown();              // or let the destructor do it
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/keyboard.h"

namespace hotkeys {

using HotKey = std::uint32_t;

constexpr HotKey HotKeyKeyMask = 0xFF;
constexpr HotKey HotKeyShift = 0x2000;
constexpr HotKey HotKeyCtrl = 0x4000;
constexpr HotKey HotKeyAlt = 0x8000;
constexpr HotKey HotKeyWin = 0x10000;

// The value for RegisterHotKey-style modifier flags (ModAlt, ModControl, ModShift, ModWin) and a
// key code; other flag bits are ignored.
HotKey ComposeHotKey(std::uint8_t modifiers, std::uint16_t key);
// The modifier flags for RegisterHotKey and the key code (bits 0-7) of a value.
void SplitHotKey(HotKey value, std::uint16_t& modifiers, std::uint16_t& key);

class KeyNames {
 public:
  // Until StartUp() the localized modifier names are the English ones.
  explicit KeyNames(platform::IKeyboard& keyboard);
  // Shuts down when StartUp() was not matched by ShutDown().
  ~KeyNames();
  KeyNames(const KeyNames&) = delete;
  KeyNames& operator=(const KeyNames&) = delete;

  // Fixes the localized modifier names from the active layout and loads the US English layout
  // for the English form. Calling it again while started does nothing.
  void StartUp();
  // Unloads the US English layout if StartUp() had to load it, and returns to the state before
  // StartUp().
  void ShutDown();
  bool Started() const { return started_; }

  // "Ctrl+Shift+A"; the modifier prefix alone ("Ctrl+") or "" when the key has no name. Before
  // StartUp() the English form reads the names of the active layout.
  std::string FormatHotKey(HotKey value, bool localized) const;
  // The value of a hotkey text, or 0 when the text is not a hotkey. Modifier words are accepted
  // in English and localized, in any letter case, whatever `localized` says; `localized`
  // chooses the key names.
  HotKey ParseHotKey(std::string_view text, bool localized) const;
  // The lowest code 8..255 whose formatted text equals `name` ignoring letter case, or 0.
  std::uint16_t KeyNameToCode(std::string_view name, bool localized) const;

  const std::string& ShiftName() const { return shift_; }
  const std::string& CtrlName() const { return ctrl_; }
  const std::string& AltName() const { return alt_; }
  const std::string& WinName() const { return win_; }

 private:
  std::string KeyName(std::uint8_t code, bool localized) const;
  std::string ReadKeyName(platform::LParam request, bool localized) const;
  bool IsModifierWordExactly(std::string_view word) const;

  platform::IKeyboard& keyboard_;
  std::string shift_;
  std::string ctrl_;
  std::string alt_;
  std::string win_;
  platform::Hkl usLayout_ = 0;
  bool unloadUsLayout_ = false;
  bool started_ = false;
  // The code of each key name (letter case folded), read once per layout: reading the 248 names
  // for every hotkey text parsed made an actions file of many rows take seconds to load.
  struct CodesByName {
    bool filled = false;
    platform::Hkl layout = 0;
    std::unordered_map<std::string, std::uint16_t> codes;
  };
  mutable CodesByName codesByName_[2];  // English, localized
};

// Letter case folding of the single-byte text the names are in: ASCII and the letters of
// Windows-1252.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace hotkeys
