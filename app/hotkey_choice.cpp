#include "app/hotkey_choice.h"

#include "platform/utf.h"

namespace app {

using namespace platform;

std::string HotKeyName(Desktop& desktop, hotkeys::KeyNames& keyNames, hotkeys::HotKey value) {
  return Utf16ToUtf8(desktop.CodePage().AnsiToWide(keyNames.FormatHotKey(value, true)));
}

namespace {

bool Available(Desktop& desktop, Hwnd appWindow, hotkeys::KeyNames& keyNames, hotkeys::HotKey value,
               hotkeys::HotKey current, std::string& why) {
  if (value == 0 || value == current) return true;
  if ((value & 0xFF) == 0) {
    why = "No key selected from the list.";
    return false;
  }
  // The program sends these itself to paste; as a hotkey they would take its own keystroke.
  if (value == (hotkeys::HotKeyCtrl | VkV) || value == (hotkeys::HotKeyShift | VkInsert)) {
    why = HotKeyName(desktop, keyNames, value) + " is the keystroke that the program's pastes send.";
    return false;
  }
  if (!hotkeys::IsHotKeyFree(desktop.HotKeys(), appWindow, value)) {
    why = HotKeyName(desktop, keyNames, value) + " is taken by another program or by an action.";
    return false;
  }
  return true;
}

}  // namespace

bool ChangeHotKey(Desktop& desktop, Hwnd appWindow, hotkeys::KeyNames& keyNames,
                  hotkeys::THotKeyManager& hotkeys, hotkeys::HotKey old, hotkeys::HotKey chosen,
                  std::string& why) {
  if (!Available(desktop, appWindow, keyNames, chosen, old, why)) return false;
  hotkeys.ClearBindings();
  // Free a moment ago, but another program may have been quicker.
  if (chosen != 0 && hotkeys.AddBinding(chosen) == 0) {
    why = HotKeyName(desktop, keyNames, chosen) + " is taken by another program or by an action.";
    if (old != 0) hotkeys.AddBinding(old);
    return false;
  }
  return true;
}

}  // namespace app
