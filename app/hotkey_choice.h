// A program hotkey that the user sets on the "Options" tab (quick paste, the plain-text paste):
// its name as the user reads it, the checks a new combination must pass, and the change of the
// registration.
#pragma once

#include <string>

#include "hotkeys/hotkey_manager.h"
#include "hotkeys/hotkey_text.h"
#include "platform/desktop.h"

namespace app {

std::string HotKeyName(platform::Desktop& desktop, hotkeys::KeyNames& keyNames, hotkeys::HotKey value);

// Registers `chosen` on `hotkeys` in place of `old` (0 is off). False, with `why` and `old`
// still registered, when `chosen` is no combination, is a keystroke the program's pastes send,
// or is taken by another program or by an action.
bool ChangeHotKey(platform::Desktop& desktop, platform::Hwnd appWindow, hotkeys::KeyNames& keyNames,
                  hotkeys::THotKeyManager& hotkeys, hotkeys::HotKey old, hotkeys::HotKey chosen,
                  std::string& why);

}  // namespace app
