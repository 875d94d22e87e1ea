#include "app/quick_paste.h"

#include <algorithm>
#include <functional>

#include "app/entry_commands.h"
#include "app/hotkey_choice.h"
#include "app/key_picker.h"
#include "grid/data_file.h"
#include "history/capture.h"
#include "history/history_table.h"
#include "platform/utf.h"
#include "ui/age_text.h"

namespace app {

using namespace platform;

namespace {

// Once the filters are through, the open popup only follows the lists' changes, less often:
// a thread woken every 10 ms answers the user's keys later under Wine.
constexpr Uint FollowInterval = 200;
// The actions are few: a slice of this many text units scans them whole.
constexpr std::size_t ActionBudget = 1 << 20;
// Posted to run an action's paste after the key that picked it has been handled.
constexpr Uint WmPasteAction = WmApp + 1;

constexpr hotkeys::HotKey AnyModifier =
    hotkeys::HotKeyCtrl | hotkeys::HotKeyShift | hotkeys::HotKeyAlt | hotkeys::HotKeyWin;

}  // namespace

Rect PlacePopup(const Rect& anchor, const Rect& workArea, int width, int height) {
  width = std::min(width, workArea.Width());
  height = std::min(height, workArea.Height());
  Rect at;
  at.left = std::clamp(anchor.left, workArea.left, workArea.right - width);
  if (anchor.bottom + height <= workArea.bottom)
    at.top = std::max(anchor.bottom, workArea.top);
  else if (anchor.top - height >= workArea.top)
    at.top = std::min(anchor.top - height, workArea.bottom - height);
  else
    at.top = workArea.bottom - height;
  at.right = at.left + width;
  at.bottom = at.top + height;
  return at;
}

QuickPaste::QuickPaste(Needs needs)
    : List(needs.app, "QuickPasteList"),
      needs_(std::move(needs)),
      actionTable_(needs_.actions.Table()),
      historyList_(needs_.history.List()),
      paste_(needs_.paste),
      keyNames_(needs_.keyNames),
      hotkeys_(needs_.app.Desktop().Windows(), needs_.app.Desktop().HotKeys()),
      actionFilter_(actionTable_, actionTable_.ColumnIndex(actions::NameColumn)),
      historyFilter_(historyList_, historyList_.ColumnIndex(history::Clipboadrs_history)),
      historySearch_(needs_.app.Desktop().Windows(), historyFilter_) {
  WindowDesc desc;
  desc.kind = WindowKind::MessageOnly;
  desc.title = "QuickPaste";
  window_ = Desktop().Windows().CreateWindowA(desc, this);

  // The history is worked as the history tab's search box works it, with the same slices: the
  // scan stops for a key the user has pressed, the list is not told of what a key found while
  // the next one waits, and the work ahead for the next letter follows while the popup is open.
  historySearch_.WorkAhead = [this] { return List.IsOpen(); };
  historySearch_.OnSlice = [this](const grid::SearchSlice& slice) { return ShowFound(slice); };
  historySearch_.WhenIdle = [this] { return List.IsOpen() ? FollowInterval : 0; };

  List.ItemText = [this](int index) { return ItemText(index); };
  List.ItemPicture = [this](int index, int width, int height) -> const platform::Picture* {
    bool action = false;
    const int row = RowOf(index, action);
    if (action || row < 0) return nullptr;
    std::u16string scratch;
    return needs_.pictures.Of(
        historyList_.CellView(historyList_.ColumnIndex(history::ItemsColumn), row, scratch), width, height);
  };
  List.ItemDetail = [this](int index) { return ItemAge(index); };
  // A rule between the actions and the history, and between the pinned entries and the others.
  List.StartsGroup = [this](int index) {
    FindPinned();
    const int actions = actionFilter_.Count();
    return index > 0 && (index == actions ||
                         (!pinnedKeys_.empty() && index == actions + static_cast<int>(pinnedKeys_.size())));
  };
  List.Hint = u"Enter pastes   1\u20139 pick   Ctrl+P pins   F2 edits   Type to filter   Esc closes";
  List.OnTogglePin = [this](int index) { TogglePin(index); };
  List.OnEdit = [this](int index) { EditItem(index); };
  List.OnFilterChange = [this](const std::u16string& filter) { Refilter(filter); };
  List.OnPick = [this](int index) { Pick(index); };
  List.OnPickMany = [this](const std::vector<int>& indices, ui::PopupList::PickKind kind) {
    return PickMany(indices, kind);
  };
  List.OnCancel = [this] { GiveFocusBack(); };
  // A click elsewhere has given the focus to what the user clicked; it stays there.
  List.OnDismiss = [] {};
  if (ui::PeerFactory* peers = needs_.app.Peers()) List.AttachPeer(peers->CreatePopupListPeer(List));

  hotkeys_.OnHotKeyPressed = [this](hotkeys::HotKey, std::uint16_t) { HotKeyPressed(); };
  // The paste's keystroke must not open the popup.
  paste_.SuspendWhilePasting(hotkeys_);
  QuickPasteOptions& options = needs_.options;
  FillKeyList(options.QuickPasteKey, keyNames_);
  const hotkeys::HotKey value = needs_.settings.quickPaste;
  options.SetValue(value);
  options.QuickPasteApply.OnClick = [this] { ApplyClick(); };
  if (value != 0 && hotkeys_.AddBinding(value) == 0)
    needs_.notices.Tell({"The quick-paste hotkey " + HotKeyText(value) +
                         " is taken by another program; choose another one on the Options tab."});
}

QuickPaste::~QuickPaste() {
  needs_.options.QuickPasteApply.OnClick = nullptr;
  paste_.StopSuspending(hotkeys_);
  historySearch_.Stop();
  Desktop().Windows().DestroyWindow(window_);
}

Desktop& QuickPaste::Desktop() { return needs_.app.Desktop(); }

void QuickPaste::PicturesReady() {
  if (List.IsOpen()) List.SetCount(List.Count());
}

std::string QuickPaste::HotKeyText(hotkeys::HotKey value) { return HotKeyName(Desktop(), keyNames_, value); }

void QuickPaste::HotKeyPressed() {
  if (List.IsOpen()) {
    GiveFocusBack();
    List.Close();
    return;
  }
  // A paste under way is aimed at the window that has the focus; the popup must not take it.
  if (actionPending_ || paste_.Running()) return;
  Open();
}

void QuickPaste::Open() {
  IWindows& windows = Desktop().Windows();
  target_ = windows.GetForegroundWindow();
  Rect anchor;
  if (target_ == 0 || !windows.GetCaretRect(target_, anchor)) {
    Point pointer;
    windows.GetCursorPos(pointer);
    anchor = {pointer.x, pointer.y, pointer.x, pointer.y};
  }
  const Rect area = windows.GetMonitorWorkArea({anchor.left, anchor.bottom});
  // Designed at 96 DPI, as the forms are, and scaled to the monitor it opens on.
  const int dpi = windows.GetDpiAt({anchor.left, anchor.bottom});
  Refilter(u"");
  List.Popup(PlacePopup(anchor, area, Width * dpi / ui::Form::DesignDpi, Height * dpi / ui::Form::DesignDpi));
  historySearch_.Wake();
}

void QuickPaste::GiveFocusBack() {
  if (target_ != 0) Desktop().Windows().SetForegroundWindow(target_);
}

void QuickPaste::Refilter(const std::u16string& filter) {
  pinnedRevision_ = ~std::uint64_t{0};
  const grid::TextQuery query(filter);
  actionFilter_.SetQuery(query);
  historySearch_.Type(query);
}

bool QuickPaste::ShowFound(const grid::SearchSlice& slice) {
  pinnedRevision_ = ~std::uint64_t{0};
  actionFilter_.Step(ActionBudget);
  const int count = actionFilter_.Count() + historyFilter_.Count();
  // A complete result of another count is shown too: the open list follows the captures made
  // meanwhile, the work ahead under way or not.
  if (slice.show || (slice.complete && count != List.Count())) List.SetCount(count);
  return List.IsOpen() && !actionFilter_.Done();
}

void QuickPaste::FindPinned() {
  const int count = historyFilter_.Count();
  if (historyList_.Revision() == pinnedRevision_ && count == pinnedCount_) return;
  pinnedRevision_ = historyList_.Revision();
  pinnedCount_ = count;
  pinnedKeys_.clear();
  pinnedPlaces_.clear();
  for (int row : needs_.history.Pins().Rows(historyList_)) {
    const int place = historyFilter_.PositionOf(row);
    if (place < 0) continue;
    pinnedKeys_.push_back(historyList_.KeyOf(row));
    pinnedPlaces_.push_back(place);
  }
}

int QuickPaste::RowOf(int index, bool& action) {
  const int actions = actionFilter_.Count();
  action = index < actions;
  if (action) return actionFilter_.RowAt(index);
  FindPinned();
  const int pinned = static_cast<int>(pinnedKeys_.size());
  const int k = index - actions;
  if (k < pinned) return historyList_.RowOfKey(pinnedKeys_[static_cast<std::size_t>(k)]);
  // The filter's rows without the pinned ones, which are listed above them.
  int place = k - pinned;
  for (int taken : pinnedPlaces_) {
    if (taken > place) break;
    ++place;
  }
  return historyFilter_.RowAt(place);
}

int QuickPaste::IndexOfRow(int row) {
  if (row < 0) return -1;
  FindPinned();
  const int actions = actionFilter_.Count();
  const grid::RowKey key = historyList_.KeyOf(row);
  for (std::size_t k = 0; k < pinnedKeys_.size(); ++k)
    if (pinnedKeys_[k] == key) return actions + static_cast<int>(k);
  const int place = historyFilter_.PositionOf(row);
  if (place < 0) return -1;
  const auto before =
      std::lower_bound(pinnedPlaces_.begin(), pinnedPlaces_.end(), place) - pinnedPlaces_.begin();
  return actions + static_cast<int>(pinnedKeys_.size()) + place - static_cast<int>(before);
}

void QuickPaste::Follow(grid::RowKey key) {
  pinnedRevision_ = ~std::uint64_t{0};
  List.SetCount(actionFilter_.Count() + historyFilter_.Count());
  const int index = IndexOfRow(historyList_.RowOfKey(key));
  if (index >= 0) List.SetSelected(index);
}

void QuickPaste::TogglePin(int index) {
  bool action = false;
  const int row = RowOf(index, action);
  if (action || row < 0 || !needs_.togglePins) return;
  const grid::RowKey key = historyList_.KeyOf(row);
  needs_.togglePins({row});
  Follow(key);
}

void QuickPaste::EditItem(int index) {
  bool action = false;
  const int row = RowOf(index, action);
  if (action || row < 0 || !needs_.editEntry) return;
  const grid::RowKey key = historyList_.KeyOf(row);
  // The popup stays open behind the window, and comes back with the focus once it closes.
  List.SetAside(true);
  try {
    needs_.editEntry(row);
  } catch (...) {
    List.SetAside(false);
    throw;
  }
  List.SetAside(false);
  if (!List.IsOpen()) return;
  historySearch_.Wake();
  Follow(key);
}

std::u16string QuickPaste::ItemText(int index) {
  bool action = false;
  const int row = RowOf(index, action);
  // A row deleted while the list was open shows empty until the list is counted again.
  if (row < 0) return {};
  const grid::Table& table = action ? actionTable_ : historyList_;
  std::u16string scratch;
  const int column =
      action ? table.ColumnIndex(actions::NameColumn) : table.ColumnIndex(history::Clipboadrs_history);
  std::u16string line = ui::PopupList::OneLine(table.CellView(column, row, scratch), ItemChars);
  if (!action && history::IsPinned(historyList_, row)) line = std::u16string(PinMark) + u' ' + line;
  return line;
}

std::u16string QuickPaste::ItemAge(int index) {
  bool action = false;
  const int row = RowOf(index, action);
  if (action || row < 0) return {};
  // Learnt once, when the popup first shows an entry: it formats a known moment.
  if (!dates_) dates_.emplace(Desktop());
  std::u16string scratch;
  const std::optional<std::int64_t> then =
      dates_->Read(historyList_.CellView(historyList_.ColumnIndex(history::Date), row, scratch));
  // A date in another form (an import from another locale) says nothing of its age.
  if (!then) return {};
  const std::int64_t now = history::DateReader::SecondsOf(Desktop().Clock().GetLocalTime());
  const ui::CivilTime day = ui::CivilFromSeconds(*then);
  platform::SystemTime date;
  date.year = day.year;
  date.month = day.month;
  date.day = day.day;
  return ui::AgeText(now, *then, Desktop().CodePage().AnsiToWide(Desktop().Clock().FormatShortDate(date)));
}

void QuickPaste::Pick(int index) {
  historySearch_.Stop();
  GiveFocusBack();
  bool action = false;
  const int row = RowOf(index, action);
  if (row < 0) return;
  if (action) {
    action_ = {actionTable_.Cell(actions::TextColumn, row),
               actions::PasteMethodOf(actionTable_.Cell(actions::MethodColumn, row)), AnyModifier,
               actions::PasteMode::Restore, target_};
    actionPending_ = true;
    Desktop().Windows().PostMessageA(window_, WmPasteAction, 0, 0);
    return;
  }
  // The entry stays on the clipboard, as a double-click on its row puts it there; Ctrl+V follows
  // once the user's keys are up.
  actions::PasteRequest request{historyList_.Cell(history::Clipboadrs_history, row),
                                actions::PasteMethod::CtrlV, AnyModifier, actions::PasteMode::Keep, target_};
  if (historyList_.Cell(history::ItemsColumn, row).empty()) {
    paste_.Press({std::move(request)});
    return;
  }
  // An image is decoded in the background, and pasted once it is; the popup has closed by then.
  history::EntryOfRowLater(
      Desktop(), historyList_, row, needs_.history.Items(), alive_,
      [this, request](std::shared_ptr<clipboard::ClipboardContent> content, bool whole) {
        if (!whole) needs_.notices.TellMissingItems(grid::FileNameOf(needs_.history.Items().Folder()));
        actions::PasteRequest paste = request;
        paste.content = std::move(content);
        paste_.Press({std::move(paste)});
      });
}

// The popup stays open with the reason in its notice line, which a balloon tells as well.
bool QuickPaste::Refuse(const std::u16string& why) {
  List.Notice = why;
  needs_.notices.Tell({Utf16ToUtf8(why)});
  return false;
}

bool QuickPaste::PickMany(const std::vector<int>& indices, ui::PopupList::PickKind kind) {
  // In the order they were copied: the history lists the newest first. Actions were never
  // copied; they come first, in the order listed.
  std::vector<int> actionRows, historyRows;
  for (int index : indices) {
    bool action = false;
    const int row = RowOf(index, action);
    if (row >= 0) (action ? actionRows : historyRows).push_back(row);
  }
  std::sort(historyRows.begin(), historyRows.end(), std::greater<>());
  std::vector<std::shared_ptr<const clipboard::ClipboardContent>> entries;
  for (int row : actionRows) {
    auto content = std::make_shared<clipboard::ClipboardContent>();
    content->text = actionTable_.Cell(actions::TextColumn, row);
    entries.push_back(std::move(content));
  }
  bool whole = true;
  for (int row : historyRows) {
    auto content = std::make_shared<clipboard::ClipboardContent>();
    if (!history::EntryOfRow(Desktop(), historyList_, row, &needs_.history.Items(), *content)) whole = false;
    entries.push_back(std::move(content));
  }
  if (entries.empty()) return true;
  auto tellMissing = [this, whole] {
    if (!whole) needs_.notices.TellMissingItems(grid::FileNameOf(needs_.history.Items().Folder()));
  };

  if (kind == ui::PopupList::PickKind::Queue) {
    switch (needs_.queue.Start(std::move(entries))) {
      case actions::PasteQueue::StartResult::KeysTaken:
        return Refuse(u"Another program holds Ctrl+V and Shift+Insert: the entries cannot be queued.");
      case actions::PasteQueue::StartResult::ClipboardBusy:
        return Refuse(u"Another program holds the clipboard open: try again.");
      case actions::PasteQueue::StartResult::Empty:
      case actions::PasteQueue::StartResult::Started:
        break;
    }
    historySearch_.Stop();
    tellMissing();
    GiveFocusBack();
    return true;
  }
  // As one text, joined by line breaks; an image has none to give.
  std::u16string text;
  for (const auto& entry : entries) {
    if (entry->text.empty()) {
      return Refuse(entries.size() == 1 ? u"An image has no text to paste as plain text."
                                        : u"An image has no text to paste with the others.");
    }
    if (&entry != &entries.front()) text += u"\r\n";
    text += entry->text;
  }
  historySearch_.Stop();
  tellMissing();
  GiveFocusBack();
  // The user's own copy, which stays, as an entry picked alone does; the text alone.
  paste_.Press(
      {{std::move(text), actions::PasteMethod::CtrlV, AnyModifier, actions::PasteMode::Keep, target_}});
  return true;
}

LResult QuickPaste::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  switch (msg) {
    case WmPasteAction: {
      if (!actionPending_) return 0;
      actionPending_ = false;
      // Under Wine the target can lose the focus again to the late news of the popup's own
      // activation; it is given back once more before the paste's keystroke is on its way.
      GiveFocusBack();
      paste_.Press({action_});
      return 0;
    }
    default:
      return Desktop().Windows().DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

void QuickPaste::ApplyClick() {
  QuickPasteOptions& options = needs_.options;
  const hotkeys::HotKey old = needs_.settings.quickPaste;
  const hotkeys::HotKey chosen = options.Chosen();
  // The same combination again registers it once more if another program held it at start-up.
  if (chosen == old && (chosen == 0 || !hotkeys_.Bindings().empty())) return;
  std::string why;
  if (!ChangeHotKey(Desktop(), needs_.app.Handle(), keyNames_, hotkeys_, old, chosen, why)) {
    const std::string stays =
        old == 0 ? "Quick paste stays off." : "The hotkey stays " + HotKeyText(old) + ".";
    Desktop().Dialogs().MessageBoxW(needs_.boxOwner(), why + " " + stays, "Quick paste",
                                    MbOk | MbIconWarning);
    options.SetValue(old);
    return;
  }
  options.SetValue(chosen);
  needs_.settings.quickPaste = chosen;
  needs_.saveSettings();
}

}  // namespace app
