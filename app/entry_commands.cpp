#include "app/entry_commands.h"

#include "app/edit_entry.h"
#include "app/tasks_add.h"
#include "history/entry_changes.h"
#include "history/history_table.h"
#include "history/item_store.h"

namespace app {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0; }
bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

constexpr const char* NotSaved =
    "The change could not be saved yet; it is kept, and saved with the next copy or at the exit.";

}  // namespace

std::u16string ActionNameOf(std::u16string_view text) {
  // The first line that holds anything.
  std::size_t at = 0;
  while (at < text.size() && (IsBlank(text[at]) || IsLineBreak(text[at]))) ++at;
  std::size_t end = at;
  while (end < text.size() && !IsLineBreak(text[end])) ++end;
  std::u16string name;
  // Word by word, the blanks between them made one space, while the words fit.
  while (at < end) {
    std::size_t wordEnd = at;
    while (wordEnd < end && !IsBlank(text[wordEnd])) ++wordEnd;
    const std::size_t room =
        ActionNameChars - std::min(ActionNameChars, name.size() + (name.empty() ? 0 : 1));
    const std::size_t length = wordEnd - at;
    if (length > room) {
      if (name.empty()) {
        std::size_t cut = room;
        if (cut > 0 && text[at + cut - 1] >= 0xD800 && text[at + cut - 1] < 0xDC00) --cut;
        name.assign(text.substr(at, cut));
      }
      break;
    }
    if (!name.empty()) name += u' ';
    name.append(text.substr(at, length));
    at = wordEnd;
    while (at < end && IsBlank(text[at])) ++at;
  }
  return name.empty() ? u"New Action" : name;
}

EntryCommands::EntryCommands(Needs needs) : needs_(std::move(needs)) {}

EntryCommands::~EntryCommands() = default;

void EntryCommands::TogglePins(const std::vector<int>& rows) {
  history::HistoryStore& store = needs_.history;
  if (rows.empty()) return;
  if (!history::SetPinned(store, rows, !history::AllPinned(store.List(), rows)))
    needs_.notices.Tell({NotSaved});
}

bool EntryCommands::Edit(int row) {
  history::HistoryStore& store = needs_.history;
  const grid::Table& list = store.List();
  if (row < 0 || row >= list.RowCount() || dialog_) return false;
  if (!history::IsEditable(list, row)) {
    needs_.notices.Tell({"Only a text can be edited: an image or a list of files is kept as it was copied."});
    return false;
  }
  // Copies may come while the window is open: the entry is found again by its key.
  const grid::RowKey key = list.KeyOf(row);
  std::u16string text = list.Cell(history::Clipboadrs_history, row);
  TEditEntry dialog(needs_.app);
  dialog_ = &dialog;
  const bool chosen = dialog.Run(text);
  dialog_ = nullptr;
  if (!chosen) return false;
  row = list.RowOfKey(key);
  if (row < 0) {
    needs_.notices.Tell({"The entry was removed while it was being edited; the new text was not kept."});
    return false;
  }
  switch (history::EditEntryText(store, row, std::move(text))) {
    case history::EditOutcome::Changed:
      return true;
    case history::EditOutcome::Unsaved:
      needs_.notices.Tell({NotSaved});
      return true;
    case history::EditOutcome::Unchanged:
    case history::EditOutcome::NotEditable:
      return false;
  }
  return false;
}

void EntryCommands::AddToActions(int row) {
  const grid::Table& list = needs_.history.List();
  if (row < 0 || row >= list.RowCount()) return;
  std::u16string scratch;
  for (const std::string& name :
       history::ItemNames(list.CellView(list.ColumnIndex(history::ItemsColumn), row, scratch)))
    if (history::ItemKind(name) == history::PngItem) {
      needs_.notices.Tell({"An image has no text to make an action of."});
      return;
    }
  const std::u16string text = list.Cell(history::Clipboadrs_history, row);
  needs_.editor().OpenAdd(ActionNameOf(text), text);
}

}  // namespace app
