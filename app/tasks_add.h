// The action editor: a dialog that adds an action to the action table or edits one of its rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "actions/action_table.h"
#include "app/key_picker.h"
#include "hotkeys/hotkey_text.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace app {

enum class EditorMode { Edit = 0, Add = 1 };

class TTasks_form : public ui::Form {
 public:
  TTasks_form(ui::Application& app, actions::ActionList& actions, hotkeys::KeyNames& keyNames);
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

  // Never shown: the text of the hotkey registered during this use of the editor, and the
  // button that registers it.
  ui::ListBox ListBox1{this, "ListBox1"};
  ui::Button BitBtn5{this, "BitBtn5", "Add hotkey"};

  EditorMode Mode = EditorMode::Add;
  int EditRow = -1;

  void FillKeyList();
  void RegisterActionHotkey(hotkeys::HotKey hotkey);

  // The main window's "Add" and "Edit": fill the editor and show it.
  void Add_bClick();
  // "Add" with a name and a clipboard text of the caller's: the name is made fresh as "Add"
  // makes it.
  void OpenAdd(std::u16string name, std::u16string text);
  void Edit_bClick();

  // The editor's own buttons.
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn5Click();

 private:
  grid::Table& Actions() { return actions_.Table(); }
  std::u16string Widen(const std::string& text);
  std::string Narrow(const std::u16string& text);
  KeyPicker Picker() { return {CheckBox1, CheckBox2, CheckBox3, CheckBox4, ComboBox1}; }
  hotkeys::HotKey ComposedHotKey();
  std::u16string RecordedHotKeyText();

  actions::ActionList& actions_;
  hotkeys::KeyNames& keyNames_;
};

}  // namespace app
