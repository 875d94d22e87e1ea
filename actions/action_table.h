// The action table: its columns, and its file beside the executable.
#pragma once

#include <string>
#include <vector>

#include "grid/table.h"
#include "platform/desktop.h"

namespace actions {

constexpr char16_t Separator = u',';
constexpr char16_t LineBreakMark = u'|';

// NumberColumn1 "#", TextColumn1 "Name", TextColumn3 "Hotkey", TextColumn2 "Clipboard text",
// and the hidden Ins holding the paste method.
std::vector<grid::Column> ActionColumns();

// Set at start-up when the actions file exists but could not be read: it keeps its actions, and
// the actions of this run are saved beside it instead.
extern bool ActionsFileUnread;

// The file SaveActions writes: the actions file, or while it was unread the file beside it.
std::string ActionsSavePath(platform::Desktop& desktop);

// Writes the whole table to ActionsSavePath; a failure is dropped, the table keeps its rows.
void SaveActions(const grid::Table& table, platform::Desktop& desktop);

}  // namespace actions
