// The clipboard history: its table's columns and its file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "grid/table.h"
#include "grid/table_file.h"
#include "platform/desktop.h"

namespace history {

// Column component names; the data columns are looked up by them, not by position.
constexpr const char* IncrementColumn1 = "IncrementColumn1";
constexpr const char* Date = "Date";
constexpr const char* Clipboadrs_history = "Clipboadrs_history";
// Hidden: an entry's reference to the items it keeps besides its text (see item_store.h),
// carried in the file after the other fields, tagged, and only for such entries.
constexpr const char* ItemsColumn = "Items";
constexpr std::u16string_view ItemsFileTag = u"items1:";
// Hidden: PinnedMark for an entry the user pinned, which "Clear All" and the limits leave where
// it is; carried in the file as the items are, after them, and only for pinned entries, so that
// an earlier version still reads the entry's text.
constexpr const char* PinColumn = "Pin";
constexpr std::u16string_view PinFileTag = u"pin1:";
constexpr std::u16string_view PinnedMark = u"1";
// Whether the row's entry is pinned.
bool IsPinned(const grid::Table& history, int row);

// "#" (the row number), "Date", "Clipboard history", in this order, which is also the field
// order of the history file; then the hidden items and pin columns, and the entry's id (entry_id.h).
std::vector<grid::Column> HistoryColumns();

// The names of the items that the rows of a history table refer to, each once, in row order.
std::vector<std::string> ReferencedItemNames(const grid::Table& history);

// How history files are written and read, and how the file dialogs offer them.
constexpr char16_t Separator = u',';
constexpr char16_t LineBreakMark = u'|';
constexpr std::uint8_t Encoding = grid::Utf16LeEncoding;
constexpr const char* FileFilter = "Corvilane Clipboard manager history|*.hstr";
constexpr const char* FileExtension = ".hstr";

// The executable's folder + "\Data\clipboard_history.hstr", formed at each call.
std::string HistoryPath(platform::Desktop& desktop);
// The history file's full name, asked anew at every write.
using PathProvider = std::function<std::string()>;
// HistoryPath as a provider.
PathProvider HistoryFilePath(platform::Desktop& desktop);

// Every row, top row first, to the file `path`; raises platform::IoError. The running program's
// own history file is written by its store (history_store.h), which keeps the journal in step.
// `seal` seals it for the Windows account.
void WriteHistoryFile(const grid::Table& history, platform::Desktop& desktop, const std::string& path,
                      bool seal = false);
// Replaces all rows by the file's, plain or sealed; raises platform::IoError (the table is then
// left empty, or with the rows read before the failure).
void ReadHistoryFile(grid::Table& history, platform::Desktop& desktop, const std::string& path);

}  // namespace history
