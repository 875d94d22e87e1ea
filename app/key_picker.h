// The hotkey picker of the action editor and of the options: a key list and four modifier
// boxes, composed into a HotKey value and shown from one.
#pragma once

#include <cstdint>

#include "hotkeys/hotkey_text.h"
#include "ui/controls.h"

namespace app {

// What the key list's entries carry: a virtual-key code.
struct TPotentialKey {
  std::uint16_t code;
};

// Fills the list with the keys that have a name in the user's layout, in the order the editor
// offers them, and selects the first.
void FillKeyList(ui::ComboBox& list, hotkeys::KeyNames& keyNames);

// The picker's controls, which belong to a form.
struct KeyPicker {
  ui::CheckBox& ctrl;
  ui::CheckBox& shift;
  ui::CheckBox& alt;
  ui::CheckBox& win;
  ui::ComboBox& key;

  // The RegisterHotKey modifier flags of the checked boxes.
  std::uint8_t ModifierSet() const;
  // The boxes and the selected key; the key code is 0 while no key is selected.
  hotkeys::HotKey Composed() const;
  // Checks the boxes of the value's modifiers and selects its key; a key that the list lacks
  // leaves the selection as it was.
  void Show(hotkeys::HotKey value);
};

}  // namespace app
