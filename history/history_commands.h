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

// "Clear All": removes every row and writes the (then empty) history file; an error ends the
// command without a word.
void ClearAll(HistoryStore& store);

// "Export history": asks for a file name and writes the whole history to that name + ".hstr".
// Errors of that file go to the caller.
void ExportHistory(platform::Desktop& desktop, const grid::Table& history, grid::FilePrompt& prompt);

// "Import history": asks for a file, reads it and appends each record's text and date at the
// bottom of the history, then writes the history file once (an error of that write is
// dropped). An error reading the chosen file goes to the caller before anything is appended.
void ImportHistory(platform::Desktop& desktop, HistoryStore& store, grid::FilePrompt& prompt);

}  // namespace history
