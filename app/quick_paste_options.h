// The quick-paste hotkey's place on the "Options" tab: on or off, and the combination, picked
// as in the action editor.
#pragma once

#include "app/key_picker.h"
#include "app/settings.h"
#include "hotkeys/hotkey_text.h"
#include "ui/controls.h"

namespace app {

class QuickPasteOptions : public ui::GroupBox {
 public:
  explicit QuickPasteOptions(ui::Control* parent);

  ui::CheckBox QuickPasteOn{this, "QuickPasteOn", "Paste from the history at the caret with", true};
  ui::CheckBox QuickPasteCtrl{this, "QuickPasteCtrl", "Ctrl"};
  ui::CheckBox QuickPasteShift{this, "QuickPasteShift", "Shift"};
  ui::CheckBox QuickPasteAlt{this, "QuickPasteAlt", "Alt"};
  ui::CheckBox QuickPasteWin{this, "QuickPasteWin", "Win", true};
  ui::ComboBox QuickPasteKey{this, "QuickPasteKey"};
  ui::Button QuickPasteApply{this, "QuickPasteApply", "Apply"};

  KeyPicker Picker() {
    return {QuickPasteCtrl, QuickPasteShift, QuickPasteAlt, QuickPasteWin, QuickPasteKey};
  }
  // The hotkey in force, 0 when quick paste is off.
  hotkeys::HotKey Value() const { return value_; }
  // Makes `value` the one in force and shows it.
  void SetValue(hotkeys::HotKey value);
  // What the controls ask for: 0 when the box is unchecked.
  hotkeys::HotKey Chosen();

 private:
  hotkeys::HotKey value_ = DefaultQuickPasteHotKey;
};

}  // namespace app
