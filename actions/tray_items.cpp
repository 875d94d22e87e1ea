#include "actions/tray_items.h"

#include <algorithm>

#include "clipboard/clipboard_text.h"

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
      std::u16string caption = table.Cell(name, k);
      items[k]->SetCaption(main.MainForm().Desktop().CodePage().WideToAnsi(caption));
    }
  } catch (const std::exception&) {
    // The menu keeps whatever the refresh got to.
  }
}

void N11Click(MainWindow& main, ui::MenuItem& sender) {
  ui::TableGrid& table = main.ActionTable();
  platform::Desktop& desktop = main.MainForm().Desktop();
  std::string name = sender.Caption();
  for (int row = 0; row < table.RowCount(); ++row) {
    if (desktop.CodePage().WideToAnsi(table.Cell("TextColumn1", row)) != name) continue;
    std::string text = desktop.CodePage().WideToAnsi(table.Cell("TextColumn2", row));
    clipboard::SetClipboardText(desktop, main.MainForm().Handle(), text);
  }
}

}  // namespace actions
