#include "app/quick_paste.h"

#include <algorithm>

#include "app/key_picker.h"
#include "app/unit1.h"
#include "history/capture.h"
#include "history/history_table.h"
#include "platform/utf.h"

namespace app {

using namespace platform;

namespace {

// While the popup is open and its filters have work left, they take a slice at each tick.
constexpr Uint PollInterval = 1;
constexpr std::uintptr_t FilterTimer = 2;
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

QuickPaste::QuickPaste(TForm1& main, actions::ActionList& actions, actions::HotkeyPaste& paste,
                       hotkeys::KeyNames& keyNames)
    : List(main.App(), "QuickPasteList"),
      main_(main),
      actionTable_(actions.Table()),
      historyList_(main.TableGrid2.Rows()),
      paste_(paste),
      keyNames_(keyNames),
      hotkeys_(main.Desktop().Windows(), main.Desktop().HotKeys()),
      actionFilter_(actionTable_, actionTable_.ColumnIndex(actions::NameColumn)),
      historyFilter_(historyList_, historyList_.ColumnIndex(history::Clipboadrs_history)) {
  WindowDesc desc;
  desc.kind = WindowKind::MessageOnly;
  desc.title = "QuickPaste";
  window_ = Desktop().Windows().CreateWindowA(desc, this);

  List.ItemText = [this](int index) { return ItemText(index); };
  // A thumbnail made while the list is open shows at once.
  main.Pictures().OnReady = [this, table = main.Pictures().OnReady] {
    if (table) table();
    if (List.IsOpen()) List.SetCount(List.Count());
  };
  List.ItemPicture = [this](int index, int width, int height) -> const platform::Picture* {
    bool action = false;
    const int row = RowOf(index, action);
    if (action || row < 0) return nullptr;
    std::u16string scratch;
    return main_.Pictures().Of(
        historyList_.CellView(historyList_.ColumnIndex(history::ItemsColumn), row, scratch), width, height);
  };
  List.OnFilterChange = [this](const std::u16string& filter) { Refilter(filter); };
  List.OnPick = [this](int index) { Pick(index); };
  List.OnCancel = [this] { GiveFocusBack(); };
  // A click elsewhere has given the focus to what the user clicked; it stays there.
  List.OnDismiss = [] {};
  if (ui::PeerFactory* peers = main.App().Peers()) List.AttachPeer(peers->CreatePopupListPeer(List));

  hotkeys_.OnHotKeyPressed = [this](hotkeys::HotKey, std::uint16_t) { HotKeyPressed(); };
  // The paste's keystroke must not open the popup.
  paste_.SuspendWhilePasting(hotkeys_);
  QuickPasteOptions& options = main_.QuickPasteBox;
  FillKeyList(options.QuickPasteKey, keyNames_);
  options.SetValue(options.Value());
  options.QuickPasteApply.OnClick = [this] { ApplyClick(); };
  if (options.Value() != 0 && hotkeys_.AddBinding(options.Value()) == 0)
    main_.TellUser({"The quick-paste hotkey " + HotKeyText(options.Value()) +
                    " is taken by another program; choose another one on the Options tab."});
}

QuickPaste::~QuickPaste() {
  main_.QuickPasteBox.QuickPasteApply.OnClick = nullptr;
  paste_.StopSuspending(hotkeys_);
  Desktop().Windows().KillTimer(window_, FilterTimer);
  Desktop().Windows().DestroyWindow(window_);
}

Desktop& QuickPaste::Desktop() { return main_.Desktop(); }

std::string QuickPaste::HotKeyText(hotkeys::HotKey value) {
  return Utf16ToUtf8(Desktop().CodePage().AnsiToWide(keyNames_.FormatHotKey(value, true)));
}

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
  StepFilters(false);
}

void QuickPaste::GiveFocusBack() {
  if (target_ != 0) Desktop().Windows().SetForegroundWindow(target_);
}

void QuickPaste::Refilter(const std::u16string& filter) {
  const grid::TextQuery query(filter);
  actionFilter_.SetQuery(query);
  historyFilter_.SetQuery(query);
  StepFilters(true);
}

void QuickPaste::StepFilters(bool typed) {
  // The history is worked as the history tab's search box works it, with the same slices: the
  // scan stops for a key the user has pressed, the list is not told of what a key found while
  // the next one waits, and the work ahead for the next letter follows while the popup is open.
  actionFilter_.Step(ActionBudget);
  const TForm1& main = main_;
  const grid::SearchSlice slice = historySlices_.Step(
      typed, main.SearchSliceUnits, List.IsOpen(), [this] { return Desktop().Windows().KeyPressWaiting(); });
  const int count = actionFilter_.Count() + historyFilter_.Count();
  // A complete result of another count is shown too: the open list follows the captures made
  // meanwhile, the work ahead under way or not.
  if (slice.show || (slice.complete && count != List.Count())) List.SetCount(count);
  const bool filtering = !actionFilter_.Done() || slice.left;
  const Uint interval = !List.IsOpen() ? 0 : filtering ? PollInterval : FollowInterval;
  if (interval == filterInterval_) return;
  filterInterval_ = interval;
  if (interval == 0)
    Desktop().Windows().KillTimer(window_, FilterTimer);
  else
    Desktop().Windows().SetTimer(window_, FilterTimer, interval);
}

int QuickPaste::RowOf(int index, bool& action) {
  const int actions = actionFilter_.Count();
  action = index < actions;
  return action ? actionFilter_.RowAt(index) : historyFilter_.RowAt(index - actions);
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
  return ui::PopupList::OneLine(table.CellView(column, row, scratch), ItemChars);
}

void QuickPaste::Pick(int index) {
  Desktop().Windows().KillTimer(window_, FilterTimer);
  filterInterval_ = 0;
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
  if (!historyList_.Cell(history::ItemsColumn, row).empty()) {
    auto content = std::make_shared<clipboard::ClipboardContent>();
    if (!history::EntryOfRow(Desktop(), historyList_, row, &main_.History().Items(), *content))
      main_.TellMissingItems();
    request.content = std::move(content);
  }
  paste_.Press({std::move(request)});
}

LResult QuickPaste::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  switch (msg) {
    case WmTimer:
      if (wParam == FilterTimer) StepFilters(false);
      return 0;
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

bool QuickPaste::Available(hotkeys::HotKey value, std::string& why) {
  if (value == 0 || value == main_.QuickPasteBox.Value()) return true;
  if ((value & 0xFF) == 0) {
    why = "No key selected from the list.";
    return false;
  }
  // The program sends these itself to paste; as a hotkey they would open the popup instead.
  if (value == (hotkeys::HotKeyCtrl | VkV) || value == (hotkeys::HotKeyShift | VkInsert)) {
    why = HotKeyText(value) + " is the keystroke that the program's pastes send.";
    return false;
  }
  if (!hotkeys::IsHotKeyFree(Desktop().HotKeys(), main_.App().Handle(), value)) {
    why = HotKeyText(value) + " is taken by another program or by an action.";
    return false;
  }
  return true;
}

void QuickPaste::ApplyClick() {
  QuickPasteOptions& options = main_.QuickPasteBox;
  const hotkeys::HotKey old = options.Value();
  const hotkeys::HotKey chosen = options.Chosen();
  // The same combination again registers it once more if another program held it at start-up.
  if (chosen == old && (chosen == 0 || !hotkeys_.Bindings().empty())) return;
  std::string why;
  bool taken = !Available(chosen, why);
  if (!taken) {
    hotkeys_.ClearBindings();
    // Free a moment ago, but another program may have been quicker.
    if (chosen != 0 && hotkeys_.AddBinding(chosen) == 0) {
      why = HotKeyText(chosen) + " is taken by another program or by an action.";
      taken = true;
      if (old != 0) hotkeys_.AddBinding(old);
    }
  }
  if (taken) {
    const std::string stays =
        old == 0 ? "Quick paste stays off." : "The hotkey stays " + HotKeyText(old) + ".";
    Desktop().Dialogs().MessageBoxW(main_.Handle(), why + " " + stays, "Quick paste", MbOk | MbIconWarning);
    options.SetValue(old);
    return;
  }
  options.SetValue(chosen);
  main_.SaveSettings();
}

}  // namespace app
