// Recording each clipboard change in the history, and putting an entry back on the clipboard.
#pragma once

#include <string>

#include "grid/table.h"
#include "history/history_table.h"
#include "platform/desktop.h"
#include "ui/controls.h"

namespace history {

// Handles one change notification: reads the clipboard's text on behalf of `mainWindow` into
// `lastClipboardText`, shows it in `label` and, unless it is empty or repeats the top row,
// inserts it with the current date and time as the new top row. Content that its owner marked
// private is kept in `lastClipboardText` only: neither shown nor recorded. Errors while checking
// and recording are dropped; an error reading the clipboard goes to the caller.
void CaptureClipboard(platform::Desktop& desktop, platform::Hwnd mainWindow, grid::Table& history,
                      ui::Label& label, std::u16string& lastClipboardText);

// The double-click on a history row: puts that row's text on the clipboard, on behalf of
// `mainWindow`. A row outside the table does nothing. Errors of the clipboard write go
// to the caller.
void CopyEntryToClipboard(platform::Desktop& desktop, platform::Hwnd mainWindow, const grid::Table& history,
                          int row);

// The capture's date text for a local time: the short date, a space and the long time, or the
// short date alone at exactly midnight.
std::u16string DateText(platform::Desktop& desktop, const platform::SystemTime& time);

}  // namespace history
