// Quick paste: a hotkey that opens the actions and the history at the text caret of the
// program the user types in, to pick one and paste it there without leaving that program.
//
// A history entry goes on the clipboard as a double-click on its row puts it there, and stays;
// the focus goes back and Ctrl+V follows once the user's keys are up. An action is pasted by
// the hotkey paste, exactly as its own hotkey pastes it.
#pragma once

#include <string>

#include "actions/action_table.h"
#include "actions/hotkey_paste.h"
#include "grid/row_filter.h"
#include "hotkeys/hotkey_manager.h"
#include "platform/desktop.h"
#include "ui/popup_list.h"

namespace app {

class TForm1;

// Where the popup of `width` by `height` goes for a caret (or pointer) at `anchor`: below it,
// else above it when below it would leave the work area, always inside `workArea`.
platform::Rect PlacePopup(const platform::Rect& anchor, const platform::Rect& workArea, int width,
                          int height);

class QuickPaste final : private platform::IWindowProc {
 public:
  static constexpr int Width = 420;
  static constexpr int Height = 320;
  // The most characters an item shows of its text.
  static constexpr std::size_t ItemChars = 120;

  // Takes the hotkey that the options tab holds; a combination that is taken is told in a
  // balloon and left unregistered.
  QuickPaste(TForm1& main, actions::ActionList& actions, actions::HotkeyPaste& paste,
             hotkeys::KeyNames& keyNames);
  ~QuickPaste();
  QuickPaste(const QuickPaste&) = delete;
  QuickPaste& operator=(const QuickPaste&) = delete;

  ui::PopupList List;

  // The hotkey was pressed: opens the popup, or closes it when it is open.
  void HotKeyPressed();
  // The window that had the focus when the popup opened.
  platform::Hwnd Target() const { return target_; }
  // Whether a paste waits for the user's keys before its keystroke.
  bool PasteWaiting() const { return paste_.Running(); }

  // The options tab's "Apply": takes the combination the controls show, or refuses it.
  void ApplyClick();
  // Whether the combination may become the quick-paste hotkey now, and why not.
  bool Available(hotkeys::HotKey value, std::string& why);

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  platform::Desktop& Desktop();
  void Open();
  void GiveFocusBack();
  void Refilter(const std::u16string& filter);
  // Filters a slice further (the first after the filter's text changed when `typed`) and
  // shows what is found; while the popup is open this also follows the lists' changes.
  void StepFilters(bool typed);
  // The action row (action true) or history row an item shows; -1 when it shows none any more.
  int RowOf(int index, bool& action);
  std::u16string ItemText(int index);
  void Pick(int index);
  std::string HotKeyText(hotkeys::HotKey value);

  TForm1& main_;
  const grid::Table& actionTable_;
  const grid::Table& historyList_;
  actions::HotkeyPaste& paste_;
  hotkeys::KeyNames& keyNames_;
  hotkeys::THotKeyManager hotkeys_;
  platform::Hwnd window_ = 0;
  platform::Hwnd target_ = 0;
  // The search box filters the actions by name and the history by text, as the history tab's
  // search does.
  grid::RowFilter actionFilter_;
  grid::RowFilter historyFilter_;
  grid::SearchSlices historySlices_{historyFilter_};
  platform::Uint filterInterval_ = 0;  // of the filter timer, 0 while it is off
  // The action to paste once the popup's key has been handled (the paste waits inside).
  bool actionPending_ = false;
  actions::PasteRequest action_;
};

}  // namespace app
