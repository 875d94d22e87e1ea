#include "app/quick_paste.h"

#include <algorithm>

#include "actions/tasks_add.h"
#include "app/unit1.h"
#include "clipboard/clipboard_text.h"
#include "history/history_table.h"
#include "platform/utf.h"

namespace app {

using namespace platform;

namespace {

// A history paste sends its Ctrl+V once Enter and the modifiers are up, so that neither
// reaches the target with it; no sooner than the least, so that the target has the focus
// again, and no later than the most, when it goes ahead anyway.
constexpr Dword MinBeforeKeystroke = 10;
constexpr Dword MaxBeforeKeystroke = 2000;
constexpr Uint PollInterval = 10;
constexpr std::uintptr_t KeysTimer = 1;
// While the popup is open, the filters take a slice of this many text units at each tick.
constexpr std::uintptr_t FilterTimer = 2;
// Once the filters are through, the open popup only follows the lists' changes, less often:
// a thread woken every 10 ms answers the user's keys later under Wine.
constexpr Uint FollowInterval = 200;
constexpr std::size_t FilterBudget = 1 << 20;
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

QuickPaste::QuickPaste(TForm1& main, actions::TTasks_form& tasks, hotkeys::KeyNames& keyNames)
    : List(main.App(), "QuickPasteList"),
      main_(main),
      tasks_(tasks),
      keyNames_(keyNames),
      hotkeys_(main.Desktop().Windows(), main.Desktop().HotKeys()),
      actionFilter_(main.TableGrid1, main.TableGrid1.ColumnIndex("TextColumn1")),
      historyFilter_(main.TableGrid2, main.TableGrid2.ColumnIndex(history::Clipboadrs_history)) {
  WindowDesc desc;
  desc.kind = WindowKind::MessageOnly;
  desc.title = "QuickPaste";
  window_ = Desktop().Windows().CreateWindowA(desc, this);

  List.ItemText = [this](int index) { return ItemText(index); };
  List.OnFilterChange = [this](const std::u16string& filter) { Refilter(filter); };
  List.OnPick = [this](int index) { Pick(index); };
  List.OnCancel = [this] { GiveFocusBack(); };
  // A click elsewhere has given the focus to what the user clicked; it stays there.
  List.OnDismiss = [] {};
  if (ui::PeerFactory* peers = main.App().Peers()) List.AttachPeer(peers->CreatePopupListPeer(List));

  hotkeys_.OnHotKeyPressed = [this](hotkeys::HotKey, std::uint16_t) { HotKeyPressed(); };
  QuickPasteOptions& options = main_.QuickPasteBox;
  actions::FillKeyList(options.QuickPasteKey, keyNames_);
  options.SetValue(options.Value());
  options.QuickPasteApply.OnClick = [this] { ApplyClick(); };
  if (options.Value() != 0 && hotkeys_.AddBinding(options.Value()) == 0)
    main_.TellUser({"The quick-paste hotkey " + HotKeyText(options.Value()) +
                    " is taken by another program; choose another one on the Options tab."});
}

QuickPaste::~QuickPaste() {
  main_.QuickPasteBox.QuickPasteApply.OnClick = nullptr;
  Desktop().Windows().KillTimer(window_, KeysTimer);
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
  if (PasteWaiting() || actionPending_ || tasks_.Paste.Running()) return;
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
  Refilter(u"");
  List.Popup(PlacePopup(anchor, area, Width, Height));
  StepFilters();
}

void QuickPaste::GiveFocusBack() {
  if (target_ != 0) Desktop().Windows().SetForegroundWindow(target_);
}

void QuickPaste::Refilter(const std::u16string& filter) {
  const grid::TextQuery query(filter);
  actionFilter_.SetQuery(query);
  historyFilter_.SetQuery(query);
  StepFilters();
}

void QuickPaste::StepFilters() {
  // The actions are few; the history gets what is left of the slice after them.
  actionFilter_.Step(FilterBudget);
  historyFilter_.Step(FilterBudget);
  const int count = actionFilter_.Count() + historyFilter_.Count();
  if (count != List.Count()) List.SetCount(count);
  const bool filtering = !actionFilter_.Done() || !historyFilter_.Done();
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
  ui::TableGrid& table = action ? main_.TableGrid1 : main_.TableGrid2;
  std::u16string scratch;
  const int column =
      action ? table.ColumnIndex("TextColumn1") : table.ColumnIndex(history::Clipboadrs_history);
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
    ui::TableGrid& actions = main_.TableGrid1;
    action_ = {actions.Cell("TextColumn2", row), actions.Cell("Ins", row), AnyModifier};
    actionPending_ = true;
    Desktop().Windows().PostMessageA(window_, WmPasteAction, 0, 0);
    return;
  }
  entry_ = main_.TableGrid2.Cell(history::Clipboadrs_history, row);
  entryOnClipboard_ = false;
  waitingSince_ = Desktop().Clock().GetTickCount();
  PutEntryOnClipboard();
  Desktop().Windows().SetTimer(window_, KeysTimer, PollInterval);
}

// On behalf of the main window, as a double-click on the row puts it there, so that the capture
// records it as it records such a re-copy. Another program may hold the clipboard open for a
// moment; the keystroke waits for the entry, or would paste what the clipboard held before.
void QuickPaste::PutEntryOnClipboard() {
  try {
    entryOnClipboard_ = clipboard::SetClipboardText(Desktop(), main_.Handle(), entry_);
  } catch (const std::exception&) {
    entryOnClipboard_ = false;
  }
}

void QuickPaste::StopWaiting() {
  Desktop().Windows().KillTimer(window_, KeysTimer);
  waitingSince_ = 0;
  entry_.clear();
}

void QuickPaste::SendPaste() {
  StopWaiting();
  if (Desktop().Windows().GetForegroundWindow() != target_) GiveFocusBack();
  // An action on Ctrl+V, or the quick-paste hotkey itself, would take the keystroke.
  tasks_.HotKeyManager1.Suspend();
  hotkeys_.Suspend();
  actions::SendCtrlV(Desktop().Keyboard());
  hotkeys_.Resume();
  tasks_.HotKeyManager1.Resume();
}

LResult QuickPaste::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  switch (msg) {
    case WmTimer: {
      if (wParam == FilterTimer) {
        StepFilters();
        return 0;
      }
      if (wParam != KeysTimer || waitingSince_ == 0) return 0;
      IKeyboard& keyboard = Desktop().Keyboard();
      auto held = [&keyboard](int vk) { return (keyboard.GetAsyncKeyState(vk) & 0x8000) != 0; };
      const Dword waited = Desktop().Clock().GetTickCount() - waitingSince_;
      if (!entryOnClipboard_) PutEntryOnClipboard();
      if (!entryOnClipboard_) {
        // The clipboard stayed busy: nothing is pasted rather than the wrong text.
        if (waited >= MaxBeforeKeystroke) StopWaiting();
        return 0;
      }
      const bool keysUp = !held(VkReturn) && !held(VkShift) && !held(VkControl) && !held(VkMenu) &&
                          !held(VkLWin) && !held(VkRWin);
      if ((waited >= MinBeforeKeystroke && keysUp) || waited >= MaxBeforeKeystroke) SendPaste();
      return 0;
    }
    case WmPasteAction: {
      if (!actionPending_) return 0;
      actionPending_ = false;
      // Under Wine the target can lose the focus again to the late news of the popup's own
      // activation; it is given back once more before the paste's keystroke is on its way.
      GiveFocusBack();
      tasks_.Paste.Press({action_});
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
