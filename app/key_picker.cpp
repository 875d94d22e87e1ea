#include "app/key_picker.h"

#include <any>

namespace app {

using namespace platform;

void FillKeyList(ui::ComboBox& list, hotkeys::KeyNames& keyNames) {
  std::vector<ui::ListItem> items;
  auto add = [&](int from, int to) {
    for (int code = from; code <= to; ++code) {
      std::string name = keyNames.FormatHotKey(static_cast<hotkeys::HotKey>(code), true);
      if (!name.empty()) items.push_back({name, TPotentialKey{static_cast<std::uint16_t>(code)}});
    }
  };
  add(8, 9);
  add(13, 13);
  add(20, 145);
  add(186, 255);
  add(166, 183);
  list.AddRange(std::move(items));
  if (list.Count() > 0) list.SetItemIndex(0);
}

std::uint8_t KeyPicker::ModifierSet() const {
  std::uint8_t set = 0;
  if (ctrl.Checked()) set += ModControl;
  if (shift.Checked()) set += ModShift;
  if (alt.Checked()) set += ModAlt;
  if (win.Checked()) set += ModWin;
  return set;
}

hotkeys::HotKey KeyPicker::Composed() const {
  std::uint16_t code = 0;
  if (key.ItemIndex() >= 0) code = std::any_cast<TPotentialKey>(key.Items()[key.ItemIndex()].object).code;
  return hotkeys::ComposeHotKey(ModifierSet(), code);
}

void KeyPicker::Show(hotkeys::HotKey value) {
  ctrl.SetChecked((value & hotkeys::HotKeyCtrl) != 0);
  shift.SetChecked((value & hotkeys::HotKeyShift) != 0);
  alt.SetChecked((value & hotkeys::HotKeyAlt) != 0);
  win.SetChecked((value & hotkeys::HotKeyWin) != 0);
  const std::uint16_t code = value & 0xFF;
  for (int i = 0; i < key.Count(); ++i)
    if (std::any_cast<TPotentialKey>(key.Items()[i].object).code == code) {
      key.SetItemIndex(i);
      break;
    }
}

}  // namespace app
