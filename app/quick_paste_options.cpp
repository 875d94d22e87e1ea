#include "app/quick_paste_options.h"

namespace app {

QuickPasteOptions::QuickPasteOptions(ui::Control* parent)
    : ui::GroupBox(parent, "QuickPasteOptions", "Quick paste") {
  QuickPasteOn.SetBounds(16, 22, 260, 17);
  QuickPasteCtrl.SetBounds(16, 48, 50, 17);
  QuickPasteShift.SetBounds(72, 48, 55, 17);
  QuickPasteAlt.SetBounds(132, 48, 50, 17);
  QuickPasteWin.SetBounds(188, 48, 50, 17);
  QuickPasteKey.SetBounds(16, 72, 160, 21);
  QuickPasteKey.DropDownCount = 12;
  QuickPasteApply.SetBounds(184, 70, 90, 26);
}

void QuickPasteOptions::SetValue(hotkeys::HotKey value) {
  value_ = value;
  QuickPasteOn.SetChecked(value != 0);
  // Off keeps the combination that was last in force on show, for the user to turn it on again.
  if (value != 0) Picker().Show(value);
}

hotkeys::HotKey QuickPasteOptions::Chosen() { return QuickPasteOn.Checked() ? Picker().Composed() : 0; }

}  // namespace app
