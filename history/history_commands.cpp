#include "history/history_commands.h"

#include <exception>
#include <string>
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

void ExportHistory(Desktop& desktop, const grid::Table& history, grid::FilePrompt& prompt) {
  std::string name;
  if (!prompt.AskFileToSave(FileFilter, name)) return;
  // Added every time, also to a name that already ends in it: the dialog adds no extension.
  WriteHistoryFile(history, desktop, name + FileExtension);
}

void ImportHistory(Desktop& desktop, HistoryStore& store, grid::FilePrompt& prompt) {
  grid::Table staging(HistoryColumns());
  std::string name;
  if (prompt.AskFileToOpen(FileFilter, "", name)) ReadHistoryFile(staging, desktop, name);

  if (staging.RowCount() == 0) return;
  grid::Table& history = store.List();
  const int textColumn = history.ColumnIndex(Clipboadrs_history);
  const int dateColumn = history.ColumnIndex(Date);
  {
    grid::UpdateScope update(history);
    // An entry keeps the date its file gives, so that restoring a backup keeps the dates.
    std::u16string scratch;
    std::vector<std::u16string> cells(static_cast<std::size_t>(history.ColumnCount()));
    for (int record = 0; record < staging.RowCount(); ++record) {
      cells[dateColumn] = staging.CellView(dateColumn, record, scratch);
      cells[textColumn] = staging.CellView(textColumn, record, scratch);
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
