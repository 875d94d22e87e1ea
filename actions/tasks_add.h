// The action editor window. It also owns the hotkeys, the import staging tables and the file
// dialogs of the export and import commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "actions/hotkey_paste.h"
#include "actions/key_picker.h"
#include "actions/main_window.h"
#include "hotkeys/hotkey_manager.h"
#include "hotkeys/hotkey_text.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/table_grid.h"

namespace actions {

// What the record of the registered hotkey carries.
struct THotKeyEntry {
  hotkeys::HotKey value;
};

enum class EditorMode { Edit = 0, Add = 1 };

class TTasks_form : public ui::Form {
 public:
  TTasks_form(ui::Application& app, MainWindow& main, hotkeys::KeyNames& keyNames);
  ~TTasks_form() override;

  ui::GroupBox GroupBox1{this, "GroupBox1", "Details"};
  ui::Label Label1{&GroupBox1, "Label1", "Name:"};
  ui::Edit Edit1{&GroupBox1, "Edit1", u"New Action"};
  ui::Label Label2{&GroupBox1, "Label2", "Clipboard text"};
  ui::Edit edit2{&GroupBox1, "edit2"};
  ui::GroupBox GroupBox2{this, "GroupBox2", "Hotkeys"};
  ui::Label Label3{&GroupBox2, "Label3", "Key:"};
  ui::ComboBox ComboBox1{&GroupBox2, "ComboBox1"};
  ui::CheckBox CheckBox1{&GroupBox2, "CheckBox1", "Ctrl", true};
  ui::CheckBox CheckBox2{&GroupBox2, "CheckBox2", "Shift"};
  ui::CheckBox CheckBox3{&GroupBox2, "CheckBox3", "Alt"};
  ui::CheckBox CheckBox4{&GroupBox2, "CheckBox4", "Win"};
  ui::CheckBox CheckBox5{&GroupBox2, "CheckBox5", "Add hotkey"};
  ui::RadioButton RadioButton1{&GroupBox2, "RadioButton1", "Emulate Control + V", true};
  ui::RadioButton RadioButton2{&GroupBox2, "RadioButton2", "Emulate Shift + Insert"};
  ui::Button BitBtn1{this, "BitBtn1", "OK"};
  ui::Button BitBtn2{this, "BitBtn2", "Cancel"};

  // Never shown: the record of the hotkey registered during this use of the editor, the
  // button that registers it, the import staging tables and the dialogs.
  ui::ListBox ListBox1{this, "ListBox1"};
  ui::Button BitBtn5{this, "BitBtn5", "Add hotkey"};
  ui::TableGrid TableGrid1;
  ui::TableGrid TableGrid2;
  ui::OpenDialog OpenDialog1{*this};
  ui::OpenDialog OpenDialog2{*this};
  ui::SaveDialog SaveDialog1{*this};

  hotkeys::THotKeyManager HotKeyManager1;
  HotkeyPaste Paste;

  EditorMode Mode = EditorMode::Add;
  int EditRow = -1;

  // Start-up: reads both lists and prepares what depends on them.
  void LoadActions();
  // What the user should be told about the data files after LoadActions, one text each.
  std::vector<std::string> LoadNotices;
  void FillKeyList();
  void RegisterActionHotkey(hotkeys::HotKey hotkey);
  void RegisterHotkeysOf(const grid::Table& table);

  // The commands of the main window's "Actions" tab and of the "Options" tab.
  void Add_bClick();
  void Edit_bClick();
  void Delete_bClick();
  void DeleteAll_bClick();
  void ExportActions();  // "Export actions"
  void ImportActions();  // "Import actions"

  // The editor's own buttons.
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn5Click();

  // A hotkey was pressed: paste every action that carries it.
  void HotKeyManager1HotKeyPressed(hotkeys::HotKey hotkey, std::uint16_t index);

 private:
  ui::TableGrid& Actions() { return main_.ActionTable(); }
  std::u16string Widen(const std::string& text);
  std::string Narrow(const std::u16string& text);
  KeyPicker Picker() { return {CheckBox1, CheckBox2, CheckBox3, CheckBox4, ComboBox1}; }
  hotkeys::HotKey ComposedHotKey();
  std::u16string RecordedHotKeyText();
  void AfterChange();
  // A hotkey that no row carries any more is given back to the system at once, so that its
  // combination is free for another action.
  void ReleaseUnusedHotkeys();

  MainWindow& main_;
  hotkeys::KeyNames& keyNames_;
};

}  // namespace actions
