#include "history/history_commands.h"

#include <exception>
#include <string>
#include <unordered_set>
#include <vector>

namespace history {

using namespace platform;

void DeleteSelected(HistoryStore& store) {
  store.List().DeleteSelectedRows();
  try {
    store.WriteAll();
  } catch (const std::exception&) {
    // The list is already changed; the next write stores it.
  }
}

void ClearAll(HistoryStore& store) {
  try {
    store.List().RemoveAllRows();
    store.WriteAll();
  } catch (const std::exception&) {
  }
}

void ExportHistory(Desktop& desktop, const grid::Table& history, ItemStore* items, grid::FilePrompt& prompt) {
  std::string name;
  if (!prompt.AskFileToSave(FileFilter, name)) return;
  // Added every time, also to a name that already ends in it: the dialog adds no extension.
  const std::string file = name + FileExtension;
  WriteHistoryFile(history, desktop, file);
  if (!items) return;
  ItemStore exported(desktop, [folder = ItemsFolderOf(file)] { return folder; });
  Item item;
  for (std::string& itemName : ReferencedItemNames(history)) {
    if (!items->Get(itemName, item.bytes)) continue;
    item.name = std::move(itemName);
    exported.Put(item, false);  // exports are plain, as the file beside them is
  }
}

void ImportHistory(Desktop& desktop, HistoryStore& store, grid::FilePrompt& prompt) {
  grid::Table staging(HistoryColumns());
  std::string name;
  if (prompt.AskFileToOpen(FileFilter, "", name)) ReadHistoryFile(staging, desktop, name);

  if (staging.RowCount() == 0) return;
  grid::Table& history = store.List();
  const int textColumn = history.ColumnIndex(Clipboadrs_history);
  const int dateColumn = history.ColumnIndex(Date);
  const int itemsColumn = history.ColumnIndex(ItemsColumn);
  // The items that came with the file join the store; the rest must be there already.
  std::unordered_set<std::string> available;
  {
    ItemStore imported(desktop, [folder = ItemsFolderOf(name)] { return folder; });
    Item item;
    for (std::string& itemName : ReferencedItemNames(staging)) {
      item.name = itemName;
      const bool read = imported.Get(itemName, item.bytes) || store.Items().Get(itemName, item.bytes);
      if (read && store.Items().Put(item, store.Sealing()) == 0) available.insert(std::move(itemName));
    }
  }
  {
    grid::UpdateScope update(history);
    // An entry keeps the date its file gives, so that restoring a backup keeps the dates.
    std::u16string scratch;
    std::vector<std::u16string> cells(static_cast<std::size_t>(history.ColumnCount()));
    for (int record = 0; record < staging.RowCount(); ++record) {
      cells[dateColumn] = staging.CellView(dateColumn, record, scratch);
      cells[textColumn] = staging.CellView(textColumn, record, scratch);
      std::vector<std::string> names = ItemNames(staging.CellView(itemsColumn, record, scratch));
      std::erase_if(names, [&](const std::string& item) { return available.count(item) == 0; });
      cells[itemsColumn] = ItemReference(names);
      history.AppendRow(cells);
    }
  }
  // One write when all are in: writing after each entry cost a whole history file per entry.
  // The file ends as the last of those writes would have left it, and, as for them, an error
  // is dropped: the entries stay in the list and go out with the next write.
  try {
    store.WriteAll();
  } catch (const std::exception&) {
  }
}

}  // namespace history
