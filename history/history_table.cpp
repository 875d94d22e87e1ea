#include "history/history_table.h"

#include <unordered_set>

#include "grid/data_directory.h"
#include "history/entry_id.h"
#include "history/item_store.h"

namespace history {

std::vector<grid::Column> HistoryColumns() {
  return {
      {IncrementColumn1, u"#", grid::ColumnKind::Increment, true, 27, true},
      {Date, u"Date", grid::ColumnKind::Text, true, 109, false},
      {Clipboadrs_history, u"Clipboard history", grid::ColumnKind::Text, true, 471, false},
      {ItemsColumn, u"", grid::ColumnKind::Text, false, 0, false, ItemsFileTag},
      {PinColumn, u"", grid::ColumnKind::Text, false, 0, false, PinFileTag},
      {EntryIdColumn, u"", grid::ColumnKind::Text, false, 0, false, EntryIdFileTag},
  };
}

bool IsPinned(const grid::Table& history, int row) {
  std::u16string scratch;
  return history.CellView(history.ColumnIndex(PinColumn), row, scratch) == PinnedMark;
}

std::vector<std::string> ReferencedItemNames(const grid::Table& history) {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  const int column = history.ColumnIndex(ItemsColumn);
  std::u16string scratch;
  for (int row = 0; row < history.RowCount(); ++row) {
    const std::u16string_view reference = history.CellView(column, row, scratch);
    if (reference.empty()) continue;
    for (std::string& name : ItemNames(reference))
      if (seen.insert(name).second) names.push_back(std::move(name));
  }
  return names;
}

std::string HistoryPath(platform::Desktop& desktop) {
  return grid::DataPath(desktop.Files(), grid::HistoryFile);
}

PathProvider HistoryFilePath(platform::Desktop& desktop) {
  return [&desktop] { return HistoryPath(desktop); };
}

void WriteHistoryFile(const grid::Table& history, platform::Desktop& desktop, const std::string& path,
                      bool seal) {
  grid::WriteRowsToFile(history, desktop.Files(), desktop.CodePage(), path, Separator, LineBreakMark,
                        Encoding, seal ? &desktop.Crypto() : nullptr);
}

void ReadHistoryFile(grid::Table& history, platform::Desktop& desktop, const std::string& path) {
  grid::ReadRowsFromFile(history, desktop.Files(), path, Separator, LineBreakMark, &desktop.Crypto());
}

}  // namespace history
