// The action table: its columns, its file beside the executable, and the hotkeys of its rows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "grid/file_prompt.h"
#include "grid/table.h"
#include "hotkeys/hotkey_manager.h"
#include "hotkeys/hotkey_text.h"
#include "platform/desktop.h"

namespace actions {

constexpr char16_t Separator = u',';
constexpr char16_t LineBreakMark = u'|';
constexpr const char* FileFilter = "Corvilane Clipboard manager template|*.cnfg";

// The columns' component names, which the file's fields follow.
constexpr const char* NameColumn = "TextColumn1";
constexpr const char* TextColumn = "TextColumn2";
constexpr const char* HotkeyColumn = "TextColumn3";
constexpr const char* MethodColumn = "Ins";

// NumberColumn1 "#", TextColumn1 "Name", TextColumn3 "Hotkey", TextColumn2 "Clipboard text",
// and the hidden Ins holding the paste method.
std::vector<grid::Column> ActionColumns();

// The keystroke an action's paste sends, stored as "V" and "I".
enum class PasteMethod {
  CtrlV,
  ShiftInsert,
  None,  // any other code: nothing is sent
};
PasteMethod PasteMethodOf(std::u16string_view code);
std::u16string PasteCode(PasteMethod method);

// The most actions the table holds.
constexpr int MaxActions = 100;

// The actions of the running program: the table, its file, and the hotkeys its rows carry.
class ActionList {
 public:
  ActionList(platform::Desktop& desktop, hotkeys::KeyNames& keyNames);
  ActionList(const ActionList&) = delete;
  ActionList& operator=(const ActionList&) = delete;

  grid::Table& Table() { return table_; }

  // Registers the system-wide hotkeys of the rows and reports their presses.
  hotkeys::THotKeyManager HotKeyManager1;

  // Start-up: reads the actions file (a damaged or missing file costs only the actions) and
  // registers the rows' hotkeys. Returns what the user should be told, or an empty text.
  std::string Load();

  // After every change of the table: the table is saved, OnChanged is told, and a hotkey that
  // no row carries any more is given back to the system, so that it is free for another action.
  void Changed();
  std::function<void()> OnChanged;

  // The file Save writes: the actions file, or, when that existed but could not be read at
  // start-up, the file beside it (importable later with "Import actions").
  std::string SavePath();
  // Writes the whole table to SavePath; a failure is dropped, the table keeps its rows.
  void Save();
  // Whether the actions file (and the one kept aside) is sealed for the Windows account; a
  // change writes them anew at once. Either form is read whatever this says.
  void SetSealing(bool seal);

  // Registers `hotkey` for the actions; false when the system refused it.
  bool RegisterHotkey(hotkeys::HotKey hotkey);
  // The hotkeys of `rows` (this table or one being imported); rows whose hotkey text names no
  // hotkey, and hotkeys another program holds, are skipped.
  void RegisterHotkeysOf(const grid::Table& rows);

  // The hotkey an action's text names, 0 for none, and the text the table keeps for one.
  hotkeys::HotKey HotKeyOfText(std::u16string_view text) const;
  std::u16string HotKeyText(hotkeys::HotKey hotkey) const;
  // The rows that carry `hotkey`, top first.
  const std::vector<int>& RowsWithHotKey(hotkeys::HotKey hotkey);

  // The commands of the "Actions" tab and of the "Options" tab.
  void DeleteSelected();
  void DeleteAll();
  void Export(grid::FilePrompt& prompt);
  void Import(grid::FilePrompt& prompt);

 private:
  void ReleaseUnusedHotkeys();

  platform::Desktop& desktop_;
  hotkeys::KeyNames& keyNames_;
  grid::Table table_;
  bool fileUnread_ = false;
  // The rows of each hotkey, as of the table's content version; made again after a change.
  std::unordered_map<hotkeys::HotKey, std::vector<int>> rowsByHotKey_;
  std::uint64_t mappedVersion_ = ~std::uint64_t{0};
  bool seal_ = false;
  bool loaded_ = false;
};

}  // namespace actions
