// The history tab's commands, and export and import of history files.
#pragma once

#include "grid/table.h"
#include "history/history_table.h"
#include "platform/desktop.h"
#include "ui/file_dialogs.h"

namespace history {

constexpr const char* FileFilter = "Corvilane Clipboard manager history|*.hstr";
constexpr const char* FileExtension = ".hstr";

// "Delete selected": removes every selected row, then writes the history file. Errors of the
// write are dropped.
void DeleteSelected(platform::Desktop& desktop, grid::Table& history, const PathProvider& historyPath);

// "Clear All": removes every row and writes the (then empty) history file; an error ends the
// command without a word.
void ClearAll(platform::Desktop& desktop, grid::Table& history, const PathProvider& historyPath);

// "Export history": asks for a file name with `dialog` and writes the whole history to that
// name + ".hstr". Errors of that file go to the caller.
void ExportHistory(platform::Desktop& desktop, const grid::Table& history, ui::SaveDialog& dialog);

// "Import history": asks for a file with `dialog`, reads it into `staging` and appends each
// record's text and date at the bottom of the history, then writes the history file once
// (an error of that write is dropped). An error reading the chosen file goes to the caller
// before anything is appended.
void ImportHistory(platform::Desktop& desktop, grid::Table& history, grid::Table& staging,
                   ui::OpenDialog& dialog, const PathProvider& historyPath);

}  // namespace history
