#include "history/entry_changes.h"

#include "history/history_table.h"
#include "history/item_store.h"

namespace history {

bool AllPinned(const grid::Table& history, const std::vector<int>& rows) {
  if (rows.empty()) return false;
  for (int row : rows)
    if (!IsPinned(history, row)) return false;
  return true;
}

bool SetPinned(HistoryStore& store, const std::vector<int>& rows, bool pinned) {
  bool saved = true;
  const grid::Table& history = store.List();
  for (int row : rows) {
    if (row < 0 || row >= history.RowCount() || IsPinned(history, row) == pinned) continue;
    if (!store.ChangeRow(row, {{PinColumn, pinned ? std::u16string(PinnedMark) : std::u16string()}}))
      saved = false;
  }
  return saved;
}

bool IsEditable(const grid::Table& history, int row) {
  std::u16string scratch;
  for (const std::string& name :
       ItemNames(history.CellView(history.ColumnIndex(ItemsColumn), row, scratch))) {
    const std::string_view kind = ItemKind(name);
    if (kind == PngItem || kind == FileListItem) return false;
  }
  return true;
}

EditOutcome EditEntryText(HistoryStore& store, int row, std::u16string text) {
  const grid::Table& history = store.List();
  if (row < 0 || row >= history.RowCount()) return EditOutcome::Unchanged;
  if (!IsEditable(history, row)) return EditOutcome::NotEditable;
  std::u16string scratch;
  if (text.empty() || history.CellView(history.ColumnIndex(Clipboadrs_history), row, scratch) == text)
    return EditOutcome::Unchanged;
  std::vector<HistoryStore::CellChange> cells = {{Clipboadrs_history, std::move(text)}};
  if (!history.CellView(history.ColumnIndex(ItemsColumn), row, scratch).empty())
    cells.push_back({ItemsColumn, std::u16string()});
  return store.ChangeRow(row, cells) ? EditOutcome::Changed : EditOutcome::Unsaved;
}

}  // namespace history
