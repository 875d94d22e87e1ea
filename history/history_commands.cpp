#include "history/history_commands.h"

#include <exception>

namespace history {

using namespace platform;

namespace {

// Defers the view's repainting until a command's row changes are done, on every way out.
class UpdateScope {
 public:
  explicit UpdateScope(grid::Table& table) : table_(table) { table_.BeginUpdate(); }
  ~UpdateScope() { table_.EndUpdate(); }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

 private:
  grid::Table& table_;
};

}  // namespace

void DeleteSelected(Desktop& desktop, grid::Table& history, const PathProvider& historyPath) {
  {
    UpdateScope update(history);
    // One pass: a deleted row's successor moves into its place and is looked at next.
    int i = 0;
    while (i < history.RowCount()) {
      if (history.RowSelected(i)) {
        history.DeleteRow(i);
      } else {
        ++i;
      }
    }
  }
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

  const int textColumn = history.ColumnIndex(Clipboadrs_history);
  const int stagedText = staging.ColumnIndex(Clipboadrs_history);
  UpdateScope update(history);
  for (int record = 0; record < staging.RowCount(); ++record) {
    const int row = history.AppendRow();
    history.SetCell(textColumn, row, staging.Cell(stagedText, record));
    // Written after each entry, as after every change to the list: a crash halfway keeps what
    // was already appended.
    try {
      WriteHistoryFile(history, desktop, historyPath());
    } catch (const std::exception&) {
    }
  }
}

}  // namespace history
