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

// Writes the whole table to the actions file; a failure is dropped, the table keeps its rows.
void SaveActions(const grid::Table& table, platform::Desktop& desktop);

}  // namespace actions
