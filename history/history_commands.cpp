#include "history/history_commands.h"

#include <exception>
#include <string>
#include <vector>

namespace history {

using namespace platform;

void DeleteSelected(Desktop& desktop, grid::Table& history, const PathProvider& historyPath) {
  history.DeleteSelectedRows();
  try {
    WriteHistoryFile(history, desktop, historyPath());
  } catch (const std::exception&) {
    // The list is already changed; the next write stores it.
  }
}

void ClearAll(Desktop& desktop, grid::Table& history, const PathProvider& historyPath) {
  try {
    history.RemoveAllRows();
    WriteHistoryFile(history, desktop, historyPath());
  } catch (const std::exception&) {
  }
}

void ExportHistory(Desktop& desktop, const grid::Table& history, ui::SaveDialog& dialog) {
  // The dialog is shared with the actions export, which leaves its own filter behind.
  dialog.Filter = FileFilter;
  if (!dialog.Execute()) return;
  // Added every time, also to a name that already ends in it: the dialog adds no extension.
  WriteHistoryFile(history, desktop, dialog.FileName + FileExtension);
}

void ImportHistory(Desktop& desktop, grid::Table& history, grid::Table& staging, ui::OpenDialog& dialog,
                   const PathProvider& historyPath) {
  staging.RemoveAllRows();
  if (dialog.Execute()) ReadHistoryFile(staging, desktop, dialog.FileName);

  if (staging.RowCount() == 0) return;
  const int textColumn = history.ColumnIndex(Clipboadrs_history);
  const int dateColumn = history.ColumnIndex(Date);
  const int stagedText = staging.ColumnIndex(Clipboadrs_history);
  const int stagedDate = staging.ColumnIndex(Date);
  {
    grid::UpdateScope update(history);
    // An entry keeps the date its file gives, so that restoring a backup keeps the dates.
    std::u16string scratch;
    std::vector<std::u16string> cells(static_cast<std::size_t>(history.ColumnCount()));
    for (int record = 0; record < staging.RowCount(); ++record) {
      cells[dateColumn] = staging.CellView(stagedDate, record, scratch);
      cells[textColumn] = staging.CellView(stagedText, record, scratch);
      history.AppendRow(cells);
    }
  }
  // One write when all are in: writing after each entry cost a whole history file per entry.
  // The file ends as the last of those writes would have left it, and, as for them, an error
  // is dropped: the entries stay in the list and go out with the next write.
  try {
    WriteHistoryFile(history, desktop, historyPath());
  } catch (const std::exception&) {
  }
}

}  // namespace history
