#include "actions/action_table.h"

#include <unordered_set>

#include "grid/data_directory.h"
#include "grid/data_file.h"
#include "grid/table_file.h"

namespace actions {

std::vector<grid::Column> ActionColumns() {
  return {
      {"NumberColumn1", u"#", grid::ColumnKind::Increment, true, 27, true},
      {NameColumn, u"Name", grid::ColumnKind::Text, true, 76, false},
      {HotkeyColumn, u"Hotkey", grid::ColumnKind::Text, true, 51, false},
      {TextColumn, u"Clipboard text", grid::ColumnKind::Text, true, 450, false},
      {MethodColumn, u"V", grid::ColumnKind::Text, false, 64, false},
  };
}

PasteMethod PasteMethodOf(std::u16string_view code) {
  if (code == u"V") return PasteMethod::CtrlV;
  if (code == u"I") return PasteMethod::ShiftInsert;
  return PasteMethod::None;
}

std::u16string PasteCode(PasteMethod method) {
  switch (method) {
    case PasteMethod::CtrlV:
      return u"V";
    case PasteMethod::ShiftInsert:
      return u"I";
    case PasteMethod::None:
      break;
  }
  return {};
}

ActionList::ActionList(platform::Desktop& desktop, hotkeys::KeyNames& keyNames)
    : HotKeyManager1(desktop.Windows(), desktop.HotKeys()),
      desktop_(desktop),
      keyNames_(keyNames),
      table_(ActionColumns()) {}

std::string ActionList::Load() {
  std::string notice;
  try {
    const grid::UpdateScope update(table_);
    const std::string path = grid::DataPath(desktop_.Files(), grid::ActionsFile);
    const grid::DataFileLoad load =
        grid::LoadDataFile(table_, desktop_.Files(), desktop_.Clock(), path, Separator, LineBreakMark, false,
                           grid::DataFileRetryMs, &desktop_.Crypto());
    // A file that could not be read is never replaced: this run's changes go beside it.
    fileUnread_ = load.state == grid::DataFileLoad::State::Unreadable;
    // One in the other form than the one chosen is written in it now.
    if (load.state == grid::DataFileLoad::State::Read && load.sealed != seal_) Save();
    notice = grid::LoadNotice(
        desktop_.Files(), load, "The actions", "actions file",
        " and are left as they are; changes are saved in " + grid::FileNameOf(SavePath()) + ".");
  } catch (const std::exception&) {
  }
  loaded_ = true;
  RegisterHotkeysOf(table_);
  return notice;
}

std::string ActionList::SavePath() {
  const std::string path = grid::DataPath(desktop_.Files(), grid::ActionsFile);
  return fileUnread_ ? grid::SideFileName(path, "saved-aside") : path;
}

void ActionList::Save() {
  try {
    grid::WriteRowsToFile(table_, desktop_.Files(), desktop_.CodePage(), SavePath(), Separator, LineBreakMark,
                          1, seal_ ? &desktop_.Crypto() : nullptr);
  } catch (const std::exception&) {
    // Without the Data folder, or on a full disk, the actions live on in memory.
  }
}

void ActionList::SetSealing(bool seal) {
  if (seal == seal_) return;
  seal_ = seal;
  // Before the file is read there is nothing to write: the table does not hold it yet.
  if (!loaded_) return;
  Save();
  // The actions kept aside, should a file with them be there from another run, take the form too.
  const std::string aside =
      grid::SideFileName(grid::DataPath(desktop_.Files(), grid::ActionsFile), "saved-aside");
  platform::IFiles::FileStamp stamp;
  if (!fileUnread_ && desktop_.Files().GetFileStamp(aside, stamp) == 0) {
    grid::Table staging(ActionColumns());
    try {
      grid::ReadRowsFromFile(staging, desktop_.Files(), aside, Separator, LineBreakMark, &desktop_.Crypto());
      grid::WriteRowsToFile(staging, desktop_.Files(), desktop_.CodePage(), aside, Separator, LineBreakMark,
                            1, seal_ ? &desktop_.Crypto() : nullptr);
    } catch (const std::exception&) {
      // Another account's, or damaged: left as it is.
    }
  }
}

void ActionList::Changed() {
  Save();
  if (OnChanged) OnChanged();
  ReleaseUnusedHotkeys();
}

hotkeys::HotKey ActionList::HotKeyOfText(std::u16string_view text) const {
  return keyNames_.ParseHotKey(desktop_.CodePage().WideToAnsi(std::u16string(text)), true);
}

std::u16string ActionList::HotKeyText(hotkeys::HotKey hotkey) const {
  return desktop_.CodePage().AnsiToWide(keyNames_.FormatHotKey(hotkey, true));
}

bool ActionList::RegisterHotkey(hotkeys::HotKey hotkey) { return HotKeyManager1.AddBinding(hotkey) != 0; }

void ActionList::RegisterHotkeysOf(const grid::Table& rows) {
  // Each hotkey is registered once, however many rows share it: a registration costs the
  // system a round trip or three (atom, hotkey, atom again on refusal), which at a hundred
  // thousand rows is seconds.
  std::unordered_set<hotkeys::HotKey> seen;
  for (const hotkeys::HotKeyBinding& binding : HotKeyManager1.Bindings()) seen.insert(binding.HotKey);
  const int hotkeyColumn = rows.ColumnIndex(HotkeyColumn);
  std::u16string scratch;
  for (int row = 0; row < rows.RowCount(); ++row) {
    const hotkeys::HotKey hotkey = HotKeyOfText(rows.CellView(hotkeyColumn, row, scratch));
    if (hotkey != 0 && seen.insert(hotkey).second) RegisterHotkey(hotkey);
  }
}

const std::vector<int>& ActionList::RowsWithHotKey(hotkeys::HotKey hotkey) {
  if (mappedVersion_ != table_.ContentVersion()) {
    rowsByHotKey_.clear();
    const int hotkeyColumn = table_.ColumnIndex(HotkeyColumn);
    std::u16string scratch;
    for (int row = 0; row < table_.RowCount(); ++row)
      if (const hotkeys::HotKey value = HotKeyOfText(table_.CellView(hotkeyColumn, row, scratch)); value != 0)
        rowsByHotKey_[value].push_back(row);
    mappedVersion_ = table_.ContentVersion();
  }
  static const std::vector<int> none;
  const auto found = rowsByHotKey_.find(hotkey);
  return found == rowsByHotKey_.end() ? none : found->second;
}

void ActionList::ReleaseUnusedHotkeys() {
  std::vector<hotkeys::HotKey> unused;
  for (const hotkeys::HotKeyBinding& binding : HotKeyManager1.Bindings())
    if (RowsWithHotKey(binding.HotKey).empty()) unused.push_back(binding.HotKey);
  for (hotkeys::HotKey hotkey : unused) HotKeyManager1.RemoveBinding(hotkey);
}

void ActionList::DeleteSelected() {
  table_.DeleteSelectedRows();
  Changed();
}

void ActionList::DeleteAll() {
  table_.RemoveAllRows();
  Changed();
}

void ActionList::Export(grid::FilePrompt& prompt) {
  std::string name;
  if (!prompt.AskFileToSave(FileFilter, name)) return;
  grid::WriteRowsToFile(table_, desktop_.Files(), desktop_.CodePage(), name, Separator, LineBreakMark, 1);
}

void ActionList::Import(grid::FilePrompt& prompt) {
  grid::Table staging(ActionColumns());
  std::string name;
  if (prompt.AskFileToOpen(FileFilter, grid::ExeDirectory(desktop_.Files()), name))
    grid::ReadRowsFromFile(staging, desktop_.Files(), name, Separator, LineBreakMark, &desktop_.Crypto());
  if (staging.RowCount() == 0) return;
  for (int row = 0; row < staging.RowCount(); ++row) {
    table_.AppendRow();
    for (const char* column : {NameColumn, TextColumn, HotkeyColumn, MethodColumn})
      table_.SetCell(column, grid::LastRow, staging.Cell(column, row));
  }
  // One write for the whole import: a write after each row held the file the same in the end,
  // at the cost of writing the whole table once per row. A failed write keeps the rows, which
  // the next save writes.
  Save();
  // The imported hotkeys work at once, and the tray menu shows the imported names.
  RegisterHotkeysOf(staging);
  if (OnChanged) OnChanged();
}

}  // namespace actions
