#include "actions/tray_items.h"

#include <algorithm>

#include "clipboard/clipboard_text.h"
#include "platform/utf.h"

namespace actions {

void RefreshTrayActionItems(MainWindow& main) {
  try {
    auto& items = main.TrayActionItems();
    ui::TableGrid& table = main.ActionTable();
    int n = table.RowCount();
    for (int k = n; k < TrayActionSlots; ++k) items[k]->SetVisible(false);
    int name = table.ColumnIndex("TextColumn1");
    for (int k = 0; k < std::min(n, TrayActionSlots); ++k) {
      items[k]->SetVisible(true);
      items[k]->SetCaption(platform::Utf16ToUtf8(table.Cell(name, k)));
    }
  } catch (const std::exception&) {
    // The menu keeps whatever the refresh got to.
  }
}

void N11Click(MainWindow& main, ui::MenuItem& sender) {
  ui::TableGrid& table = main.ActionTable();
  platform::Desktop& desktop = main.MainForm().Desktop();
  // The caption holds the name exactly, so names that differ in any character stay apart.
  const std::u16string name = platform::Utf8ToUtf16(sender.Caption());
  for (int row = 0; row < table.RowCount(); ++row) {
    if (table.Cell("TextColumn1", row) != name) continue;
    clipboard::SetClipboardText(desktop, main.MainForm().Handle(), table.Cell("TextColumn2", row));
  }
}

}  // namespace actions
