#include "app/unit1.h"

#include <algorithm>
#include <any>
#include <exception>
#include <functional>
#include <optional>

#include "app/about_form.h"
#include "app/entry_commands.h"
#include "app/globals.h"
#include "app/settings_text.h"
#include "app/tasks_add.h"
#include "clipboard/clipboard_text.h"
#include "grid/data_file.h"
#include "history/capture.h"
#include "history/entry_changes.h"
#include "history/history_commands.h"
#include "history/history_table.h"
#include "platform/errors.h"
#include "platform/utf.h"

namespace app {

using namespace platform;

namespace {
constexpr const char* LabelPrefix = "Clipboard contains: ";
// The label has room for a few lines; a copy of a whole book is shown by its start, and is not
// converted whole at every change.
constexpr std::size_t LabelTextUnits = 1024;

std::string LabelText(const std::u16string& text) {
  std::size_t length = std::min(text.size(), LabelTextUnits);
  // Not half a surrogate pair.
  if (length < text.size() && length > 0 && text[length - 1] >= 0xD800 && text[length - 1] < 0xDC00) --length;
  return LabelPrefix + Utf16ToUtf8(text.substr(0, length));
}
}  // namespace

std::vector<std::unique_ptr<ui::MenuItem>> MakeNumberedItems(ui::PopupMenu& menu) {
  std::vector<std::unique_ptr<ui::MenuItem>> items;
  for (int i = 0; i < TrayActionSlots; ++i) {
    // The designer named them N11, N12, ... N110 and then N200 for the last.
    std::string name = i == TrayActionSlots - 1 ? "N200" : "N1" + std::to_string(i + 1);
    auto item = std::make_unique<ui::MenuItem>(&menu, name, std::to_string(i + 1));
    item->SetVisible(false);
    items.push_back(std::move(item));
  }
  return items;
}

TForm1::TForm1(ui::Application& app, actions::ActionList& actions, history::HistoryStore& history,
               history::Recorder& recorder, history::Thumbnails& pictures, history::Recopy& recopy)
    : ui::Form(app, "Form1"),
      TableGrid1(&TabSheet1, "TableGrid1", actions.Table()),
      TableGrid2(&TabSheet2, "TableGrid2", history.List()),
      HistoryFilter(history.List(), history.List().ColumnIndex(history::Clipboadrs_history)),
      HistorySearch(Desktop().Windows(), HistoryFilter),
      actions_(actions),
      history_(history),
      pictures_(pictures),
      recorder_(recorder),
      recopy_(recopy) {
  for (int i = 0; i < TrayActionSlots; ++i) trayActionItems_[i] = NumberedItems[i].get();

  SetCaption(std::string(ProductName) + " - " + WebSite);
  SetBounds(295, 142, 625, 565);
  Border = ui::BorderStyle::Sizeable;
  Menu = &MainMenu1;

  PageControl1.SetBounds(0, 0, 609, 506);
  TableGrid1.SetBounds(0, 0, 601, 440);
  Add_b.SetBounds(8, 448, 90, 26);
  Edit_b.SetBounds(104, 448, 90, 26);
  Delete_b.SetBounds(200, 448, 90, 26);
  DeleteAll_b.SetBounds(296, 448, 90, 26);

  Search_e.SetBounds(0, 0, 601, 21);
  Search_e.CueText = "Search history";
  TableGrid2.SetBounds(0, 24, 601, 370);
  TableGrid2.SetView(&HistoryFilter);
  BitBtn1.SetBounds(8, 400, 100, 26);
  BitBtn2.SetBounds(114, 400, 90, 26);
  Label1.SetBounds(8, 432, 585, 42);
  Label1.AutoSize = false;
  Label1.WordWrap = true;

  // Two columns: the general options and the commands on the left, privacy on the right.
  GroupBox1.SetBounds(8, 8, 285, 72);
  CheckBox1.SetBounds(16, 20, 260, 17);
  CheckBox2.SetBounds(16, 44, 260, 17);
  GroupBox2.SetBounds(8, 88, 285, 60);
  BitBtn3.SetBounds(16, 22, 120, 26);
  BitBtn4.SetBounds(144, 22, 120, 26);
  GroupBox3.SetBounds(8, 156, 285, 60);
  BitBtn5.SetBounds(16, 22, 120, 26);
  BitBtn6.SetBounds(144, 22, 120, 26);
  QuickPasteBox.SetBounds(8, 224, 285, 104);
  PlainPasteBox.SetBounds(8, 336, 285, 104);
  PrivacyGroup.SetBounds(301, 8, 292, 320);
  SyncBox.SetBounds(301, 336, 292, 140);
  ExcludedProgramsLabel.SetBounds(12, 18, 270, 28);
  ExcludedProgramsLabel.AutoSize = false;
  ExcludedProgramsLabel.WordWrap = true;
  ExcludedPrograms_e.SetBounds(12, 48, 268, 112);
  ExcludedPrograms_e.MultiLine = true;
  ExcludedPrograms_e.ScrollBars = true;
  ForgetAfterLabel.SetBounds(12, 176, 150, 17);
  ForgetAfter_c.SetBounds(170, 172, 110, 21);
  KeepAtMostLabel.SetBounds(12, 204, 150, 17);
  KeepAtMost_e.SetBounds(170, 200, 60, 21);
  KeepAtMostUnitLabel.SetBounds(236, 204, 50, 17);
  SealBox.SetBounds(12, 232, 270, 34);
  PrivacyApply.SetBounds(210, 284, 70, 26);

  // As the window grows the tables take the room, the buttons stay by the bottom edge and the
  // privacy group grows to the right and down; the other groups keep their place.
  constexpr unsigned TopLeft = ui::AnchorLeft | ui::AnchorTop;
  constexpr unsigned BottomLeft = ui::AnchorLeft | ui::AnchorBottom;
  for (ui::Control* control : std::initializer_list<ui::Control*>{&PageControl1, &TableGrid1, &TableGrid2,
                                                                  &PrivacyGroup, &ExcludedPrograms_e})
    control->SetAnchors(ui::AnchorAll);
  for (ui::Control* control : std::initializer_list<ui::Control*>{&Search_e, &ExcludedProgramsLabel})
    control->SetAnchors(TopLeft | ui::AnchorRight);
  for (ui::Control* control : std::initializer_list<ui::Control*>{
           &Add_b, &Edit_b, &Delete_b, &DeleteAll_b, &BitBtn1, &BitBtn2, &ForgetAfterLabel, &ForgetAfter_c,
           &KeepAtMostLabel, &KeepAtMost_e, &KeepAtMostUnitLabel, &SealBox})
    control->SetAnchors(BottomLeft);
  Label1.SetAnchors(BottomLeft | ui::AnchorRight);
  SyncBox.SetAnchors(BottomLeft | ui::AnchorRight);
  PrivacyApply.SetAnchors(ui::AnchorRight | ui::AnchorBottom);
  // The dates are as wide as the user's format makes them.
  TableGrid2.WidestText = [this](int column) {
    std::u16string texts;
    if (column != history_.List().ColumnIndex(history::Date)) return texts;
    for (int month = 1; month <= 12; ++month)
      for (int hour : {10, 22}) {
        platform::SystemTime time;
        time.year = 2026;
        time.month = month;
        time.day = 28;
        time.hour = hour;
        time.minute = 58;
        time.second = 58;
        texts += history::DateText(Desktop(), time) + u'\n';
      }
    return texts;
  };

  Exit1.OnClick = [this](ui::MenuItem&) { Exit1Click(); };
  Reference1.OnClick = [this](ui::MenuItem&) { Reference1Click(); };
  ClipboardHistory1.OnClick = [this](ui::MenuItem&) { ClipboardHistory1Click(); };
  Optoins1.OnClick = [this](ui::MenuItem&) { Optoins1Click(); };
  ShowMainwindow2.OnClick = [this](ui::MenuItem&) { ShowMainwindow2Click(); };
  PauseRecordingItem.OnClick = [this](ui::MenuItem&) { PauseRecordingItemClick(); };
  StopPasteQueueItem.SetVisible(false);
  StopPasteQueueItem.OnClick = [this](ui::MenuItem&) {
    if (OnStopPasteQueue) OnStopPasteQueue();
  };
  Exit3.OnClick = [this](ui::MenuItem&) { Exit3Click(); };
  CheckBox1.OnKeyPress = [this](char& key) { CheckBox1KeyPress(key); };
  CheckBox2.OnKeyPress = [this](char& key) { CheckBox2KeyPress(key); };
  Search_e.OnChange = [this] { Search_eChange(); };
  HistorySearch.OnSlice = [this](const grid::SearchSlice& slice) {
    if (slice.show) TableGrid2.ViewChanged();
    return false;
  };
  TableGrid2.OnViewPending = [this] { HistorySearch.Wake(); };
  HistorySearch.SignAhead(history.List(), history.List().ColumnIndex(history::Clipboadrs_history));
  showMessage_ = Desktop().Windows().RegisterWindowMessageA(ShowRunningInstanceMessage);

  // Adding and editing an action are the action editor's.
  Add_b.OnClick = [] { Tasks_form->Add_bClick(); };
  Edit_b.OnClick = [] { Tasks_form->Edit_bClick(); };
  Delete_b.OnClick = [this] { Delete_bClick(); };
  DeleteAll_b.OnClick = [this] { DeleteAll_bClick(); };
  TableGrid1.OnCellDblClick = [this](ui::TableGrid&, int, int) { Edit_b.Click(); };
  BitBtn3.OnClick = [this] { actions_.Export(actionFiles_); };
  BitBtn4.OnClick = [this] { actions_.Import(actionFiles_); };
  TableGrid2.PictureColumn = history_.List().ColumnIndex(history::Clipboadrs_history);
  TableGrid2.RowPicture = [this](int row, int width, int height) {
    std::u16string scratch;
    const grid::Table& list = history_.List();
    return pictures_.Of(list.CellView(list.ColumnIndex(history::ItemsColumn), row, scratch), width, height);
  };
  TableGrid2.OnCellDblClick = [this](ui::TableGrid&, int, int row) { CopyHistoryRow(row); };
  TableGrid2.MarkColumn = history_.List().ColumnIndex(history::Clipboadrs_history);
  TableGrid2.RowMark = [this](int row) {
    return history::IsPinned(history_.List(), row) ? PinMark : std::u16string_view();
  };
  TableGrid2.OnContextMenu = [this](ui::TableGrid&, int x, int y) { HistoryMenuPopup(x, y); };
  PinItem.OnClick = [this](ui::MenuItem&) {
    if (OnTogglePins) OnTogglePins(SelectedHistoryRows());
  };
  EditItem.OnClick = [this](ui::MenuItem&) {
    if (const int row = CurrentHistoryRow(); row >= 0 && OnEditEntry) OnEditEntry(row);
  };
  AddToActionsItem.OnClick = [this](ui::MenuItem&) {
    if (const int row = CurrentHistoryRow(); row >= 0 && OnAddToActions) OnAddToActions(row);
  };
  CopyItem.OnClick = [this](ui::MenuItem&) { CopyHistoryRow(CurrentHistoryRow()); };
  DeleteItem.OnClick = [this](ui::MenuItem&) { BitBtn1.Click(); };
  BitBtn1.OnClick = [this] {
    // Only what the user sees selected goes.
    TableGrid2.DeselectHiddenRows();
    history::DeleteSelected(history_);
  };
  BitBtn2.OnClick = [this] { history::ClearAll(history_); };
  BitBtn5.OnClick = [this] {
    history_.CompleteLoad();  // the whole history, not the rows loaded so far
    history::ExportHistory(Desktop(), history_.List(), &history_.Items(), historyFiles_);
  };
  BitBtn6.OnClick = [this] {
    if (std::string notice = history::ImportHistory(Desktop(), history_, historyFiles_); !notice.empty())
      if (OnTell) OnTell({notice});
  };
  PrivacyApply.OnClick = [this] { PrivacyApplyClick(); };
  for (auto& item : NumberedItems) item->OnClick = [this](ui::MenuItem& sender) { N11Click(sender); };
  recorder_.OnClipboardText = [this](const std::u16string& text) { Label1.SetCaption(LabelText(text)); };
  recorder_.OnReadError = [this](const std::exception& error) { App().ShowException(error); };

  TrayIcon1.Hint = ProductName;
  // The notification area shows small icons at the system's DPI.
  TrayIcon1.Icon = Desktop().Windows().LoadMainIcon(16 * Desktop().Windows().GetDpiForWindow(0) / DesignDpi);
  TrayIcon1.PopupMenu = &PopupMenu2;
  TrayIcon1.OnClick = [this] { TrayIcon1Click(); };

  // The components are loaded: the window exists and the tray icon is added.
  Handle();
  Desktop().Windows().SetWindowIcon(Handle(), Desktop().Windows().LoadMainIcon(Scale(32)));
  TrayIcon1.Load();
}

TForm1::~TForm1() {
  recorder_.OnClipboardText = nullptr;
  recorder_.OnReadError = nullptr;
  TrayIcon1.Remove();
  // The window goes while its controls, whose peers its children talk to, still exist.
  DestroyHandle();
}

void TForm1::FormCloseQuery(bool& canClose) {
  if (OnClosing) OnClosing();
  canClose = true;
}

bool TForm1::HandleMessage(Uint msg, WParam wParam, LParam lParam, LResult& result) {
  switch (msg) {
    case WmSysCommand:
      // The close command only hides the window; the program goes on in the tray.
      try {
        if (SysCommandOf(wParam) == ScClose)
          Hide();
        else
          result = DefaultHandler(msg, wParam, lParam);
      } catch (const std::exception&) {
      }
      return true;
    case WmShowWindow:
      TrayIcon1.OwnerShowWindow(wParam, lParam);
      return false;
    case WmQueryEndSession:
      // The same writes as "Exit"; the log-off goes ahead whatever happens here. A box would
      // hold the log-off until someone answered it, so a failure is told in a balloon; the
      // captures are in the journal whatever the history file's write did.
      try {
        bool canClose = true;
        FormCloseQuery(canClose);
      } catch (const std::exception& error) {
        if (OnTell) OnTell({std::string("Not everything could be saved at log-off: ") + error.what()});
      }
      result = 1;
      return true;
    default:
      if (showMessage_ != 0 && msg == showMessage_) {
        // Another start of the program asks this one to show itself, as a tray icon click does.
        TrayIcon1Click();
        result = 0;
        return true;
      }
      return false;
  }
}

void TForm1::Exit1Click() { Close(); }

void TForm1::Exit3Click() { Close(); }

void TForm1::Reference1Click() { About_f->ShowModal(); }

void TForm1::MakeVisibleAndRestore(int showCmd) {
  Show();
  Desktop().Windows().ShowWindow(App().Handle(), showCmd);
}

void TForm1::TrayIcon1Click() { MakeVisibleAndRestore(SwRestore); }

void TForm1::ShowMainwindow2Click() {
  MakeVisibleAndRestore(SwRestore);
  PageControl1.SetActivePageIndex(0);
}

void TForm1::ClipboardHistory1Click() {
  MakeVisibleAndRestore(SwShowNormal);
  PageControl1.SetActivePageIndex(1);
}

void TForm1::Optoins1Click() {
  MakeVisibleAndRestore(SwShowNormal);
  PageControl1.SetActivePageIndex(2);
}

void TForm1::PauseRecordingItemClick() {
  if (OnPauseChosen) OnPauseChosen();
}

void TForm1::ShowSettings(const Settings& settings) {
  CheckBox1.SetChecked(settings.startAutomatically);
  CheckBox2.SetChecked(settings.trayOnly);
  if (settings.activePage) PageControl1.SetActivePageIndex(*settings.activePage);
  QuickPasteBox.SetValue(settings.quickPaste);
  ShowRetentionLimits(settings.limits);
  SealBox.SetChecked(settings.seal);
  if (!settings.trayOnly) MakeVisibleAndRestore(SwShowNormal);
}

void TForm1::TakeChoices(Settings& settings) const {
  settings.startAutomatically = CheckBox1.Checked();
  settings.trayOnly = CheckBox2.Checked();
  settings.activePage = PageControl1.ActivePageIndex();
}

void TForm1::FirstRun() {
  Desktop().Shell().ShellExecuteA(Handle(), "open", FirstRunPage, "", "", SwShowNormal);
  Show();
}

void TForm1::ShowExcludedPrograms(const std::vector<std::u16string>& names) {
  std::u16string text;
  for (const std::u16string& name : names) text += (text.empty() ? u"" : u"\r\n") + name;
  ExcludedPrograms_e.SetText(text);
}

void TForm1::ShowRetentionLimits(const history::RetentionLimits& limits) {
  std::vector<ui::ListItem> items;
  int shown = -1;
  for (int days : {0, 1, 7, 30, 90, 365, limits.days}) {
    if (shown >= 0 && days == limits.days) break;  // a number of days from the file is offered too
    if (days == limits.days) shown = static_cast<int>(items.size());
    items.push_back({days == 0 ? "Never" : std::to_string(days) + (days == 1 ? " day" : " days"), days});
  }
  ForgetAfter_c.Clear();
  ForgetAfter_c.AddRange(std::move(items));
  ForgetAfter_c.SetItemIndex(shown);
  KeepAtMost_e.SetText(Utf8ToUtf16(std::to_string(limits.maxEntries)));
}

void TForm1::PrivacyApplyClick() {
  // The count is read first: a text that is no number changes nothing.
  history::RetentionLimits limits;
  const std::string count = Utf16ToUtf8(KeepAtMost_e.Text());
  if (!count.empty()) {
    const std::optional<int> number = ReadSettingsInt(count);
    if (!number || *number < 0) throw platform::Error("'" + count + "' is not a valid number of entries");
    limits.maxEntries = *number;
  }
  const int chosen = ForgetAfter_c.ItemIndex();
  if (chosen >= 0)
    limits.days = std::any_cast<int>(ForgetAfter_c.Items()[static_cast<std::size_t>(chosen)].object);

  std::vector<std::u16string> names;
  const std::u16string& text = ExcludedPrograms_e.Text();
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string::npos) end = text.size();
    names.emplace_back(text, start, end - start);
    start = end + 1;
  }
  if (OnPrivacyApply) OnPrivacyApply({std::move(names), limits, SealBox.Checked()});
}

void TForm1::CheckBox1KeyPress(char&) {
  if (OnSettingsChanged) OnSettingsChanged();
}

void TForm1::CheckBox2KeyPress(char&) {
  if (OnSettingsChanged) OnSettingsChanged();
}

void TForm1::Search_eChange() {
  HistorySearch.Type(grid::TextQuery(Search_e.Text()));
  // Back to every row: the selected entries are where the user left them, shown again.
  if (!HistoryFilter.Active()) TableGrid2.ShowCurrentRow();
}

int TForm1::CurrentHistoryRow() {
  const int row = history_.List().CurrentRow();
  return row >= 0 && TableGrid2.ShownPosition(row) >= 0 ? row : -1;
}

std::vector<int> TForm1::SelectedHistoryRows() {
  std::vector<int> rows;
  const grid::Table& list = history_.List();
  // Only what the user sees selected: a search may hide selected rows.
  const int shown = TableGrid2.ShownCount();
  for (int position = 0; position < shown; ++position) {
    const int row = TableGrid2.ShownRow(position);
    if (row >= 0 && list.RowSelected(row)) rows.push_back(row);
  }
  return rows;
}

void TForm1::CopyHistoryRow(int row) {
  if (row < 0) return;
  // An image is decoded away from the window, which answers meanwhile.
  recopy_.Copy(history_.List(), row, alive_, [this](bool whole) {
    if (!whole && OnItemsMissing) OnItemsMissing();
  });
}

void TForm1::HistoryMenuPopup(int x, int y) {
  const std::vector<int> rows = SelectedHistoryRows();
  if (rows.empty()) return;
  PinItem.SetCaption(history::AllPinned(history_.List(), rows) ? "Unpin" : "Pin");
  HistoryMenu.Popup(x, y, Handle());
}

bool TForm1::FormKeyDown(int virtualKey, bool control) {
  // The history table's keys, while it has the focus.
  if (TableGrid2.Focused()) {
    if (control && virtualKey == 'P') {
      PinItem.Click();
      return true;
    }
    if (!control && virtualKey == VkF2) {
      EditItem.Click();
      return true;
    }
    if (!control && virtualKey == VkDelete) {
      BitBtn1.Click();
      return true;
    }
    if (!control && virtualKey == VkReturn) {
      CopyHistoryRow(CurrentHistoryRow());
      return true;
    }
  }
  if (control && virtualKey == 'F' && PageControl1.ActivePageIndex() == 1) {
    Search_e.SetFocus();
    Search_e.SelectAll();
    return true;
  }
  if (virtualKey == VkEscape && Search_e.Focused()) {
    if (!Search_e.Text().empty()) {
      Search_e.SetText(u"");
      Search_eChange();
    }
    return true;
  }
  return false;
}

void TForm1::Delete_bClick() { actions_.DeleteSelected(); }

void TForm1::DeleteAll_bClick() { actions_.DeleteAll(); }

void TForm1::RefreshTrayActionItems() {
  try {
    const grid::Table& table = actions_.Table();
    const int n = table.RowCount();
    for (int k = n; k < TrayActionSlots; ++k) trayActionItems_[k]->SetVisible(false);
    const int name = table.ColumnIndex(actions::NameColumn);
    for (int k = 0; k < std::min(n, TrayActionSlots); ++k) {
      trayActionItems_[k]->SetVisible(true);
      trayActionItems_[k]->SetCaption(Utf16ToUtf8(table.Cell(name, k)));
    }
  } catch (const std::exception&) {
    // The menu keeps whatever the refresh got to.
  }
}

void TForm1::N11Click(ui::MenuItem& sender) {
  const grid::Table& table = actions_.Table();
  // The caption holds the name exactly, so names that differ in any character stay apart.
  const std::u16string name = Utf8ToUtf16(sender.Caption());
  for (int row = 0; row < table.RowCount(); ++row) {
    if (table.Cell(actions::NameColumn, row) != name) continue;
    clipboard::SetClipboardText(Desktop(), Handle(), table.Cell(actions::TextColumn, row));
  }
}

}  // namespace app
