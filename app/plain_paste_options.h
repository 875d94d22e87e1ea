// The plain-text paste hotkey's place on the "Options" tab: on or off, and the combination,
// picked as the quick-paste hotkey is.
#pragma once

#include "app/key_picker.h"
#include "app/settings.h"
#include "hotkeys/hotkey_text.h"
#include "ui/controls.h"

namespace app {

class PlainPasteOptions : public ui::GroupBox {
 public:
  explicit PlainPasteOptions(ui::Control* parent);

  ui::CheckBox PlainPasteOn{this, "PlainPasteOn", "Paste the clipboard as plain text with", true};
  ui::CheckBox PlainPasteCtrl{this, "PlainPasteCtrl", "Ctrl", true};
  ui::CheckBox PlainPasteShift{this, "PlainPasteShift", "Shift"};
  ui::CheckBox PlainPasteAlt{this, "PlainPasteAlt", "Alt", true};
  ui::CheckBox PlainPasteWin{this, "PlainPasteWin", "Win", true};
  ui::ComboBox PlainPasteKey{this, "PlainPasteKey"};
  ui::Button PlainPasteApply{this, "PlainPasteApply", "Apply"};

  KeyPicker Picker() {
    return {PlainPasteCtrl, PlainPasteShift, PlainPasteAlt, PlainPasteWin, PlainPasteKey};
  }
  // Makes `value` the one shown as in force (0: off).
  void SetValue(hotkeys::HotKey value);
  // What the controls ask for: 0 when the box is unchecked.
  hotkeys::HotKey Chosen();
};

}  // namespace app
