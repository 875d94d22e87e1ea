#include "actions/action_table.h"

#include "grid/data_directory.h"
#include "grid/data_file.h"
#include "grid/table_file.h"

namespace actions {

std::vector<grid::Column> ActionColumns() {
  return {
      {"NumberColumn1", u"#", grid::ColumnKind::Increment, true, 27, true},
      {"TextColumn1", u"Name", grid::ColumnKind::Text, true, 76, false},
      {"TextColumn3", u"Hotkey", grid::ColumnKind::Text, true, 51, false},
      {"TextColumn2", u"Clipboard text", grid::ColumnKind::Text, true, 450, false},
      {"Ins", u"V", grid::ColumnKind::Text, false, 64, false},
  };
}

bool ActionsFileUnread = false;

std::string ActionsSavePath(platform::Desktop& desktop) {
  const std::string path = grid::DataPath(desktop.Files(), grid::ActionsFile);
  // Importable later with "Import actions", as it is a table text file of the same kind.
  return ActionsFileUnread ? grid::SideFileName(path, "saved-aside") : path;
}

void SaveActions(const grid::Table& table, platform::Desktop& desktop) {
  try {
    grid::WriteRowsToFile(table, desktop.Files(), desktop.CodePage(), ActionsSavePath(desktop), Separator,
                          LineBreakMark, 1);
  } catch (const std::exception&) {
    // Without the Data folder, or on a full disk, the actions live on in memory.
  }
}

}  // namespace actions
