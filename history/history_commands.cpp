#include "history/history_commands.h"

#include <exception>
#include <string>
#include <unordered_set>
#include <vector>

#include "clipboard/image_checks.h"

namespace history {

using namespace platform;

void DeleteSelected(HistoryStore& store) {
  // The rows of a load still under way come in first: the journal's changes name rows by place.
  store.CompleteLoad();
  store.List().DeleteSelectedRows();
  try {
    store.WriteAll();
  } catch (const std::exception&) {
    // The list is already changed; the next write stores it.
  }
}

void ClearAll(HistoryStore& store) {
  try {
    // The rows of a load still under way go too, not only those in the list so far.
    store.CompleteLoad();
    // The pinned entries stay: the user chose to keep them.
    grid::Table& list = store.List();
    const std::vector<int> pinned = store.Pins().Rows(list);
    if (pinned.empty()) {
      list.RemoveAllRows();
    } else {
      std::vector<bool> doomed(static_cast<std::size_t>(list.RowCount()), true);
      for (int row : pinned) doomed[static_cast<std::size_t>(row)] = false;
      list.DeleteRows(doomed);
    }
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

namespace {

// An imported item's file: in the folder itself (a link or junction, to a file or as the folder,
// is never followed), holding what its name says and, for an image, a PNG to keep.
enum class Taken { Missing, Unfit, Read };
Taken TakeImported(IFiles& files, ItemStore& imported, bool folderLinked, const std::string& name,
                   std::string& bytes) {
  const std::string path = imported.PathOf(name);
  IFiles::FileStamp stamp;
  const bool exists = files.GetFileStamp(path, stamp) == 0 || files.IsReparsePoint(path);
  if (!exists) return Taken::Missing;
  if (folderLinked || files.IsReparsePoint(path) || !imported.Get(name, bytes)) return Taken::Unfit;
  if (ItemKind(name) == PngItem && clipboard::CheckPng({reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                        bytes.size()}) == clipboard::ImageCheck::Bad) {
    bytes.clear();
    return Taken::Unfit;
  }
  return Taken::Read;
}

}  // namespace

std::string ImportHistory(Desktop& desktop, HistoryStore& store, grid::FilePrompt& prompt) {
  grid::Table staging(HistoryColumns());
  std::string name;
  if (prompt.AskFileToOpen(FileFilter, "", name)) ReadHistoryFile(staging, desktop, name);

  if (staging.RowCount() == 0) return {};
  // The entries imported go below the whole history.
  store.CompleteLoad();
  grid::Table& history = store.List();
  const int textColumn = history.ColumnIndex(Clipboadrs_history);
  const int dateColumn = history.ColumnIndex(Date);
  const int itemsColumn = history.ColumnIndex(ItemsColumn);
  const int pinColumn = history.ColumnIndex(PinColumn);
  // The items that came with the file join the store; the rest must be there already.
  std::unordered_set<std::string> available;
  std::size_t unfit = 0;
  const std::string folder = ItemsFolderOf(name);
  {
    ItemStore imported(desktop, [folder] { return folder; });
    IFiles& files = desktop.Files();
    const bool folderLinked = files.IsReparsePoint(folder);
    Item item;
    for (std::string& itemName : ReferencedItemNames(staging)) {
      item.name = itemName;
      const Taken taken = TakeImported(files, imported, folderLinked, itemName, item.bytes);
      unfit += taken == Taken::Unfit;
      const bool read = taken == Taken::Read || store.Items().Get(itemName, item.bytes);
      if (read && store.Items().Put(item, store.Sealing()) == 0) available.insert(std::move(itemName));
    }
    std::u16string scratch;
    const int itemsColumn = staging.ColumnIndex(ItemsColumn);
    for (int record = 0; record < staging.RowCount(); ++record)
      unfit += UnfitItemNames(staging.CellView(itemsColumn, record, scratch));
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
      // A pin comes in with its entry, so that restoring a backup keeps it.
      cells[pinColumn] = staging.CellView(pinColumn, record, scratch) == PinnedMark ? PinnedMark : u"";
      history.AppendRow(cells);
    }
  }
  store.Pins().Rescan(history);
  // One write when all are in: writing after each entry cost a whole history file per entry.
  // The file ends as the last of those writes would have left it, and, as for them, an error
  // is dropped: the entries stay in the list and go out with the next write.
  try {
    store.WriteAll();
  } catch (const std::exception&) {
  }
  if (unfit == 0) return {};
  return std::to_string(unfit) + (unfit == 1 ? " item" : " items") + " of the imported entries " +
         (unfit == 1 ? "was" : "were") + " left out: a name that is not an item's, or a file in \"" + folder +
         "\" that is a link or does not hold what its name says. Those entries came in with their text.";
}

}  // namespace history
