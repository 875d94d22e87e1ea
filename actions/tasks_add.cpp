#include "actions/tasks_add.h"

#include <algorithm>

#include "actions/action_table.h"
#include "actions/tray_items.h"
#include "grid/data_directory.h"
#include "grid/data_file.h"
#include "grid/table_file.h"
#include "history/history_store.h"
#include "history/history_table.h"
#include "platform/utf.h"

namespace actions {

using namespace platform;

namespace {

constexpr int MaxActions = 100;
constexpr const char* TemplateFilter = "Corvilane Clipboard manager template|*.cnfg";

bool Contains(const std::u16string& text, const char16_t* word) {
  return text.find(word) != std::u16string::npos;
}

}  // namespace

TTasks_form::TTasks_form(ui::Application& app, MainWindow& main, hotkeys::KeyNames& keyNames)
    : ui::Form(app, "Tasks_form"),
      TableGrid1(this, "TableGrid1", ActionColumns()),
      TableGrid2(this, "TableGrid2", history::HistoryColumns()),
      HotKeyManager1(app.Desktop().Windows(), app.Desktop().HotKeys()),
      Paste(
          app.Desktop(), HotKeyManager1, [&app] { app.ProcessMessages(); },
          [this](platform::Hwnd hwnd) {
            return hwnd != 0 &&
                   (hwnd == main_.MainForm().Handle() || (HandleAllocated() && hwnd == Handle()));
          }),
      main_(main),
      keyNames_(keyNames) {
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
  TableGrid1.SetVisible(false);
  TableGrid2.SetVisible(false);
  OpenDialog1.Filter = TemplateFilter;
  OpenDialog2.Filter = "Corvilane Clipboard manager history|*.hstr";

  BitBtn1.OnClick = [this] { BitBtn1Click(); };
  BitBtn2.OnClick = [this] { BitBtn2Click(); };
  BitBtn5.OnClick = [this] { BitBtn5Click(); };
  HotKeyManager1.OnHotKeyPressed = [this](hotkeys::HotKey hotkey, std::uint16_t index) {
    HotKeyManager1HotKeyPressed(hotkey, index);
  };

  LoadActions();
}

TTasks_form::~TTasks_form() { DestroyHandle(); }

std::u16string TTasks_form::Widen(const std::string& text) { return Desktop().CodePage().AnsiToWide(text); }

std::string TTasks_form::Narrow(const std::u16string& text) { return Desktop().CodePage().WideToAnsi(text); }

void TTasks_form::LoadActions() {
  platform::Desktop& desktop = Desktop();
  ui::TableGrid& historyTable = main_.HistoryTable();
  {
    const grid::UpdateScope updateActions(Actions());
    const grid::UpdateScope updateHistory(historyTable);
    // Each list is read on its own: a damaged or missing file costs only that list, and a file
    // that could not be read is never replaced (see SaveActions and the history store).
    LoadNotices.clear();
    try {
      const std::string path = grid::DataPath(desktop.Files(), grid::ActionsFile);
      const grid::DataFileLoad load =
          grid::LoadDataFile(Actions(), desktop.Files(), desktop.Clock(), path, Separator, LineBreakMark);
      ActionsFileUnread = load.state == grid::DataFileLoad::State::Unreadable;
      if (ActionsFileUnread) {
        LoadNotices.push_back("The actions could not be read (" +
                              grid::ErrorDescription(desktop.Files(), load.error) +
                              ") and are left as they are; changes are saved in " +
                              grid::FileNameOf(ActionsSavePath(desktop)) + ".");
      } else if (load.malformed) {
        LoadNotices.push_back(load.keptAs.empty()
                                  ? "The actions file is damaged, and no copy of it could be made."
                                  : "The actions file is damaged; it was kept as " +
                                        grid::FileNameOf(load.keptAs) + ".");
      }
    } catch (const std::exception&) {
    }
    try {
      if (history::HistoryStore* store = history::HistoryStore::Active()) {
        if (std::string notice = store->Load(historyTable); !notice.empty()) LoadNotices.push_back(notice);
      } else {
        history::ReadHistoryFile(historyTable, desktop, history::HistoryPath(desktop));
      }
    } catch (const std::exception&) {
    }
  }
  RefreshTrayActionItems(main_);
  FillKeyList();
  RegisterHotkeysOf(Actions());
}

// Rows whose hotkey text names no hotkey, and hotkeys another program holds, are skipped.
void TTasks_form::RegisterHotkeysOf(const grid::Table& table) {
  int hotkeyColumn = table.ColumnIndex("TextColumn3");
  for (int row = 0; row < table.RowCount(); ++row) {
    hotkeys::HotKey hotkey = keyNames_.ParseHotKey(Narrow(table.Cell(hotkeyColumn, row)), true);
    if (hotkey != 0) RegisterActionHotkey(hotkey);
  }
}

void TTasks_form::FillKeyList() { actions::FillKeyList(ComboBox1, keyNames_); }

void TTasks_form::RegisterActionHotkey(hotkeys::HotKey hotkey) {
  if (HotKeyManager1.AddBinding(hotkey) == 0) return;
  ListBox1.Clear();
  ListBox1.Add(keyNames_.FormatHotKey(hotkey, true), THotKeyEntry{hotkey});
}

hotkeys::HotKey TTasks_form::ComposedHotKey() { return Picker().Composed(); }

std::u16string TTasks_form::RecordedHotKeyText() {
  return ListBox1.Count() == 0 ? std::u16string(u"No") : Widen(ListBox1.Items()[0].text);
}

void TTasks_form::AfterChange() {
  SaveActions(Actions(), Desktop());
  RefreshTrayActionItems(main_);
  ReleaseUnusedHotkeys();
}

void TTasks_form::ReleaseUnusedHotkeys() {
  int hotkeyColumn = Actions().ColumnIndex("TextColumn3");
  std::vector<hotkeys::HotKey> unused;
  for (const hotkeys::HotKeyBinding& binding : HotKeyManager1.Bindings()) {
    std::u16string text = Widen(keyNames_.FormatHotKey(binding.HotKey, true));
    bool carried = false;
    for (int row = 0; row < Actions().RowCount() && !carried; ++row)
      carried = Actions().Cell(hotkeyColumn, row) == text;
    if (!carried) unused.push_back(binding.HotKey);
  }
  for (hotkeys::HotKey hotkey : unused) HotKeyManager1.RemoveBinding(hotkey);
}

void TTasks_form::Add_bClick() {
  ListBox1.Clear();
  Mode = EditorMode::Add;
  // A fresh name: one pass over the rows, counting the last digit up (or appending "1")
  // whenever a row already has the name.
  std::u16string name = Edit1.Text();
  int nameColumn = Actions().ColumnIndex("TextColumn1");
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
  edit2.SetText(u"");
  Edit1.SelectAll();
  CheckBox5.SetChecked(false);
  ComboBox1.SetItemIndex(18);
  ShowModal();
}

void TTasks_form::Edit_bClick() {
  try {
    EditRow = Actions().CurrentRow();
    Edit1.SetText(Actions().Cell("TextColumn1", EditRow));
    edit2.SetText(Actions().Cell("TextColumn2", EditRow));
    std::u16string hotkey = Actions().Cell("TextColumn3", EditRow);
    CheckBox1.SetChecked(false);
    CheckBox2.SetChecked(false);
    CheckBox3.SetChecked(false);
    CheckBox4.SetChecked(false);
    if (Contains(hotkey, u"Ctrl")) CheckBox1.SetChecked(true);
    if (Contains(hotkey, u"Alt")) CheckBox3.SetChecked(true);
    if (Contains(hotkey, u"Shift")) CheckBox2.SetChecked(true);
    if (Contains(hotkey, u"Win")) CheckBox4.SetChecked(true);
    std::u16string method = Actions().Cell("Ins", EditRow);
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

void TTasks_form::Delete_bClick() {
  for (int i = 0; i < Actions().RowCount();) {
    if (Actions().RowSelected(i))
      Actions().DeleteRow(i);
    else
      ++i;
  }
  AfterChange();
}

void TTasks_form::DeleteAll_bClick() {
  Actions().RemoveAllRows();
  AfterChange();
}

void TTasks_form::BitBtn5Click() {
  if (ComboBox1.ItemIndex() < 0) {
    Desktop().Dialogs().MessageDialog(Handle(), "No key selected from the list.", MessageDialogType::Warning);
    return;
  }
  RegisterActionHotkey(ComposedHotKey());
}

void TTasks_form::BitBtn1Click() {
  ui::TableGrid& table = Actions();
  if (Mode == EditorMode::Add) {
    auto warn = [this](const char* text) {
      Desktop().Dialogs().MessageBoxW(Handle(), text, "Warning!", 0x40);
    };
    if (CheckBox5.Checked()) {
      hotkeys::HotKey hotkey = ComposedHotKey();
      if (!hotkeys::IsHotKeyFree(Desktop().HotKeys(), App().Handle(), hotkey)) {
        Desktop().Dialogs().MessageDialog(Handle(),
                                          platform::Utf16ToUtf8(Widen(keyNames_.FormatHotKey(hotkey, true))) +
                                              " is NOT available for registration!!!",
                                          MessageDialogType::Information);
        return;
      }
    }
    if (table.RowCount() >= MaxActions) {
      warn("The max value of actions is 100!");
      return;
    }
    int nameColumn = table.ColumnIndex("TextColumn1");
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
    table.SetCell("TextColumn1", row, Edit1.Text());
    table.SetCell("TextColumn2", row, edit2.Text());
    table.SetCell("TextColumn3", row, RecordedHotKeyText());
    table.SetCell("Ins", row, RadioButton1.Checked() ? u"V" : u"I");
    table.EndUpdate();
  } else {
    std::u16string hotkeyText = u"No";
    if (CheckBox5.Checked()) {
      std::u16string current = table.Cell("TextColumn3", EditRow);
      if (Widen(keyNames_.FormatHotKey(ComposedHotKey(), true)) == current) {
        hotkeyText = current;  // unchanged: it stays registered
      } else {
        BitBtn5.Click();
        hotkeyText = RecordedHotKeyText();
      }
    }
    table.SetCell("TextColumn1", EditRow, Edit1.Text());
    table.SetCell("TextColumn2", EditRow, edit2.Text());
    table.SetCell("TextColumn3", EditRow, hotkeyText);
    table.SetCell("Ins", EditRow, RadioButton1.Checked() ? u"V" : u"I");
  }
  AfterChange();
  SetModalResult(ui::MrOk);
}

void TTasks_form::BitBtn2Click() { SetModalResult(ui::MrCancel); }

void TTasks_form::ExportActions() {
  SaveDialog1.Filter = TemplateFilter;
  if (!SaveDialog1.Execute()) return;
  grid::WriteRowsToFile(Actions(), Desktop().Files(), Desktop().CodePage(), SaveDialog1.FileName, Separator,
                        LineBreakMark, 1);
}

void TTasks_form::ImportActions() {
  TableGrid1.RemoveAllRows();
  OpenDialog1.InitialDir = grid::ExeDirectory(Desktop().Files());
  if (OpenDialog1.Execute())
    grid::ReadRowsFromFile(TableGrid1, Desktop().Files(), OpenDialog1.FileName, Separator, LineBreakMark);
  ui::TableGrid& table = Actions();
  for (int row = 0; row < TableGrid1.RowCount(); ++row) {
    table.AppendRow();
    for (const char* column : {"TextColumn1", "TextColumn2", "TextColumn3", "Ins"})
      table.SetCell(column, grid::LastRow, TableGrid1.Cell(column, row));
    SaveActions(table, Desktop());
  }
  // The imported hotkeys work at once, and the tray menu shows the imported names.
  RegisterHotkeysOf(TableGrid1);
  RefreshTrayActionItems(main_);
}

}  // namespace actions
