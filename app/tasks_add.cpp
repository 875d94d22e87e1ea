#include "app/tasks_add.h"

#include "platform/utf.h"

namespace app {

using namespace platform;
using actions::HotkeyColumn;
using actions::MethodColumn;
using actions::NameColumn;
using actions::TextColumn;

namespace {

bool Contains(const std::u16string& text, const char16_t* word) {
  return text.find(word) != std::u16string::npos;
}

}  // namespace

TTasks_form::TTasks_form(ui::Application& app, actions::ActionList& actions, hotkeys::KeyNames& keyNames)
    : ui::Form(app, "Tasks_form"), actions_(actions), keyNames_(keyNames) {
  SetCaption("Add action");
  Border = ui::BorderStyle::Single;
  Position = ui::FormPosition::MainFormCenter;
  ClientSized = true;
  MaximizeBox = false;
  SetBounds(0, 0, 481, 320);

  GroupBox1.SetBounds(8, 8, 465, 145);
  Label1.SetBounds(12, 20, 60, 13);
  Edit1.SetBounds(12, 36, 441, 21);
  Label2.SetBounds(12, 62, 100, 13);
  edit2.SetBounds(12, 78, 441, 58);
  edit2.MultiLine = true;
  edit2.ScrollBars = true;
  GroupBox2.SetBounds(8, 160, 465, 115);
  Label3.SetBounds(12, 22, 30, 13);
  ComboBox1.SetBounds(48, 18, 160, 21);
  ComboBox1.DropDownCount = 12;
  CheckBox1.SetBounds(224, 20, 50, 17);
  CheckBox2.SetBounds(280, 20, 55, 17);
  CheckBox3.SetBounds(340, 20, 50, 17);
  CheckBox4.SetBounds(396, 20, 50, 17);
  CheckBox5.SetBounds(12, 50, 120, 17);
  RadioButton1.SetBounds(12, 72, 220, 17);
  RadioButton2.SetBounds(12, 92, 220, 17);
  BitBtn1.SetBounds(8, 286, 75, 26);
  BitBtn2.SetBounds(90, 286, 75, 26);

  int order = 0;
  for (ui::Control* control : std::initializer_list<ui::Control*>{
           &Edit1, &edit2, &BitBtn1, &BitBtn2, &CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4, &ComboBox1,
           &CheckBox5, &RadioButton1, &RadioButton2})
    control->SetTabOrder(order++);

  ListBox1.SetVisible(false);
  BitBtn5.SetVisible(false);

  BitBtn1.OnClick = [this] { BitBtn1Click(); };
  BitBtn2.OnClick = [this] { BitBtn2Click(); };
  BitBtn5.OnClick = [this] { BitBtn5Click(); };

  FillKeyList();
}

TTasks_form::~TTasks_form() { DestroyHandle(); }

std::u16string TTasks_form::Widen(const std::string& text) { return Desktop().CodePage().AnsiToWide(text); }

std::string TTasks_form::Narrow(const std::u16string& text) { return Desktop().CodePage().WideToAnsi(text); }

void TTasks_form::FillKeyList() { app::FillKeyList(ComboBox1, keyNames_); }

void TTasks_form::RegisterActionHotkey(hotkeys::HotKey hotkey) {
  if (!actions_.RegisterHotkey(hotkey)) return;
  ListBox1.Clear();
  ListBox1.Add(keyNames_.FormatHotKey(hotkey, true));
}

hotkeys::HotKey TTasks_form::ComposedHotKey() { return Picker().Composed(); }

std::u16string TTasks_form::RecordedHotKeyText() {
  return ListBox1.Count() == 0 ? std::u16string(u"No") : Widen(ListBox1.Items()[0].text);
}

void TTasks_form::Add_bClick() { OpenAdd(Edit1.Text(), u""); }

void TTasks_form::OpenAdd(std::u16string name, std::u16string text) {
  ListBox1.Clear();
  Mode = EditorMode::Add;
  // A fresh name: one pass over the rows, counting the last digit up (or appending "1")
  // whenever a row already has the name.
  int nameColumn = Actions().ColumnIndex(NameColumn);
  for (int row = 0; row < Actions().RowCount(); ++row) {
    if (Actions().Cell(nameColumn, row) != name) continue;
    if (!name.empty() && name.back() >= u'0' && name.back() <= u'9') {
      int digit = name.back() - u'0';
      name.pop_back();
      for (char c : std::to_string(digit + 1)) name += static_cast<char16_t>(c);
    } else {
      name += u"1";
    }
  }
  Edit1.SetText(name);
  edit2.SetText(std::move(text));
  Edit1.SelectAll();
  CheckBox5.SetChecked(false);
  ComboBox1.SetItemIndex(18);
  ShowModal();
}

void TTasks_form::Edit_bClick() {
  try {
    EditRow = Actions().CurrentRow();
    Edit1.SetText(Actions().Cell(NameColumn, EditRow));
    edit2.SetText(Actions().Cell(TextColumn, EditRow));
    std::u16string hotkey = Actions().Cell(HotkeyColumn, EditRow);
    CheckBox1.SetChecked(false);
    CheckBox2.SetChecked(false);
    CheckBox3.SetChecked(false);
    CheckBox4.SetChecked(false);
    if (Contains(hotkey, u"Ctrl")) CheckBox1.SetChecked(true);
    if (Contains(hotkey, u"Alt")) CheckBox3.SetChecked(true);
    if (Contains(hotkey, u"Shift")) CheckBox2.SetChecked(true);
    if (Contains(hotkey, u"Win")) CheckBox4.SetChecked(true);
    std::u16string method = Actions().Cell(MethodColumn, EditRow);
    if (method == u"V") RadioButton1.SetChecked(true);
    if (method == u"I") RadioButton2.SetChecked(true);
    CheckBox5.SetChecked(hotkey != u"No");
    std::size_t plus = hotkey.rfind(u'+');
    if (plus != std::u16string::npos) {
      std::string key = Narrow(hotkey.substr(plus + 1));
      for (int i = 0; i < ComboBox1.Count(); ++i)
        if (ComboBox1.Items()[i].text == key) ComboBox1.SetItemIndex(i);
    }
    Mode = EditorMode::Edit;
    ListBox1.Clear();
    ShowModal();
  } catch (const std::exception&) {
    // No current row: there is nothing to edit.
  }
}

void TTasks_form::BitBtn5Click() {
  if (ComboBox1.ItemIndex() < 0) {
    Desktop().Dialogs().MessageDialog(Handle(), "No key selected from the list.", MessageDialogType::Warning);
    return;
  }
  RegisterActionHotkey(ComposedHotKey());
}

void TTasks_form::BitBtn1Click() {
  grid::Table& table = Actions();
  const std::u16string method = actions::PasteCode(
      RadioButton1.Checked() ? actions::PasteMethod::CtrlV : actions::PasteMethod::ShiftInsert);
  if (Mode == EditorMode::Add) {
    auto warn = [this](const char* text) {
      Desktop().Dialogs().MessageBoxW(Handle(), text, "Warning!", 0x40);
    };
    if (CheckBox5.Checked()) {
      hotkeys::HotKey hotkey = ComposedHotKey();
      if (!hotkeys::IsHotKeyFree(Desktop().HotKeys(), App().Handle(), hotkey)) {
        Desktop().Dialogs().MessageDialog(
            Handle(),
            platform::Utf16ToUtf8(actions_.HotKeyText(hotkey)) + " is NOT available for registration!!!",
            MessageDialogType::Information);
        return;
      }
    }
    if (table.RowCount() >= actions::MaxActions) {
      warn("The max value of actions is 100!");
      return;
    }
    int nameColumn = table.ColumnIndex(NameColumn);
    for (int row = 0; row < table.RowCount(); ++row)
      if (table.Cell(nameColumn, row) == Edit1.Text()) {
        warn("The Name is not unique!");
        Edit1.SetFocus();
        return;
      }
    if (Edit1.Text().empty() || edit2.Text().empty()) {
      warn("Please fill out all the fields!");
      Edit1.SetFocus();
      return;
    }
    if (CheckBox5.Checked()) BitBtn5.Click();
    int row = table.AppendRow();
    table.BeginUpdate();
    table.SetCell(NameColumn, row, Edit1.Text());
    table.SetCell(TextColumn, row, edit2.Text());
    table.SetCell(HotkeyColumn, row, RecordedHotKeyText());
    table.SetCell(MethodColumn, row, method);
    table.EndUpdate();
  } else {
    std::u16string hotkeyText = u"No";
    if (CheckBox5.Checked()) {
      std::u16string current = table.Cell(HotkeyColumn, EditRow);
      if (actions_.HotKeyText(ComposedHotKey()) == current) {
        hotkeyText = current;  // unchanged: it stays registered
      } else {
        BitBtn5.Click();
        hotkeyText = RecordedHotKeyText();
      }
    }
    table.SetCell(NameColumn, EditRow, Edit1.Text());
    table.SetCell(TextColumn, EditRow, edit2.Text());
    table.SetCell(HotkeyColumn, EditRow, hotkeyText);
    table.SetCell(MethodColumn, EditRow, method);
  }
  actions_.Changed();
  SetModalResult(ui::MrOk);
}

void TTasks_form::BitBtn2Click() { SetModalResult(ui::MrCancel); }

}  // namespace app
