// The history tab's commands, and export and import of history files.
#pragma once

#include "grid/file_prompt.h"
#include "grid/table.h"
#include "history/history_store.h"
#include "history/history_table.h"
#include "platform/desktop.h"

namespace history {

// "Delete selected": removes every selected row, then writes the history file. Errors of the
// write are dropped.
void DeleteSelected(HistoryStore& store);

// "Clear All": removes every row that is not pinned and writes the history file; an error ends the
// command without a word.
void ClearAll(HistoryStore& store);

// "Export history": asks for a file name and writes the whole history to that name + ".hstr".
// The items of its entries (read from `items`) are copied, plain, into the folder beside it
// (see ItemsFolderOf); an item that cannot be read or written is left out, and its entry comes
// back with its text. Errors of the file go to the caller.
void ExportHistory(platform::Desktop& desktop, const grid::Table& history, ItemStore* items,
                   grid::FilePrompt& prompt);

// "Import history": asks for a file, reads it and appends each record's text, date and items
// at the bottom of the history, then writes the history file once (an error of that write is
// dropped). The items come from the folder beside the file; an entry whose items are not there
// (nor in the history's own store) comes in with its text alone. Only items named by their hash
// are taken, from files in the folder itself (links and junctions are never followed) that hold
// what their names say; the notice returned for the user counts the names and files that did
// not fit (empty when all did). An error reading the chosen file goes to the caller before
// anything is appended.
std::string ImportHistory(platform::Desktop& desktop, HistoryStore& store, grid::FilePrompt& prompt);

}  // namespace history
