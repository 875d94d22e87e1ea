#include "app/plain_paste_options.h"

namespace app {

PlainPasteOptions::PlainPasteOptions(ui::Control* parent)
    : ui::GroupBox(parent, "PlainPasteOptions", "Plain text") {
  PlainPasteOn.SetBounds(16, 22, 260, 17);
  PlainPasteCtrl.SetBounds(16, 48, 50, 17);
  PlainPasteShift.SetBounds(72, 48, 55, 17);
  PlainPasteAlt.SetBounds(132, 48, 50, 17);
  PlainPasteWin.SetBounds(188, 48, 50, 17);
  PlainPasteKey.SetBounds(16, 72, 160, 21);
  PlainPasteKey.DropDownCount = 12;
  PlainPasteApply.SetBounds(184, 70, 90, 26);
}

void PlainPasteOptions::SetValue(hotkeys::HotKey value) {
  PlainPasteOn.SetChecked(value != 0);
  // Off keeps the combination shown, for the user to turn it on again.
  if (value != 0) Picker().Show(value);
}

hotkeys::HotKey PlainPasteOptions::Chosen() { return PlainPasteOn.Checked() ? Picker().Composed() : 0; }

}  // namespace app
