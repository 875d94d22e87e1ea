// The editor's side of the hotkey paste: which actions a press pastes. The paste itself is
// HotkeyPaste's.
#include <cstdint>

#include "actions/tasks_add.h"

namespace actions {

void TTasks_form::HotKeyManager1HotKeyPressed(hotkeys::HotKey hotkey, std::uint16_t) {
  // Everything the paste needs is taken now: the waits let the user edit or delete the actions,
  // and a paste must neither fail half-way nor paste what a row holds by then.
  std::vector<PasteRequest> requests;
  std::u16string pressed = Widen(keyNames_.FormatHotKey(hotkey, true));
  ui::TableGrid& table = Actions();
  int hotkeyColumn = table.ColumnIndex("TextColumn3");
  int textColumn = table.ColumnIndex("TextColumn2");
  int methodColumn = table.ColumnIndex("Ins");
  for (int row = 0; row < table.RowCount(); ++row)
    if (table.Cell(hotkeyColumn, row) == pressed)
      requests.push_back({table.Cell(textColumn, row), table.Cell(methodColumn, row), hotkey});
  Paste.Press(std::move(requests));
}

}  // namespace actions
