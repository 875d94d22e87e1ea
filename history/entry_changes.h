// Changes of entries already in the history, made where they stand: a pin, and a new text.
#pragma once

#include <string>
#include <vector>

#include "grid/table.h"
#include "history/history_store.h"

namespace history {

// Whether every one of the rows is pinned (a toggle then unpins them all); false for none.
bool AllPinned(const grid::Table& history, const std::vector<int>& rows);
// Pins or unpins the rows. Returns false when a change did not reach the disk (it is kept in
// the list and written with the next capture or write).
bool SetPinned(HistoryStore& store, const std::vector<int>& rows, bool pinned);

// Whether the entry's text is what it holds: not an image's or a list of files', whose text
// only describes them.
bool IsEditable(const grid::Table& history, int row);

enum class EditOutcome {
  Changed,      // the row holds the new text
  Unchanged,    // the same text, or an empty one: nothing to do
  NotEditable,  // an image or a list of files
  Unsaved,      // changed, but not on the disk yet (kept, as SetPinned's)
};
// Replaces the entry's text where it stands: the same date, place and pin. The formats kept
// beside the text (HTML, RTF) go, as they no longer match it. The clipboard is not touched.
EditOutcome EditEntryText(HistoryStore& store, int row, std::u16string text);

}  // namespace history
