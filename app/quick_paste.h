// Quick paste: a hotkey that opens the actions and the history at the text caret of the
// program the user types in, to pick one and paste it there without leaving that program.
//
// A history entry goes on the clipboard as a double-click on its row puts it there, and stays;
// the focus goes back and Ctrl+V follows once the user's keys are up. An action is pasted by
// the hotkey paste, exactly as its own hotkey pastes it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "actions/action_table.h"
#include "actions/hotkey_paste.h"
#include "actions/paste_queue.h"
#include "app/notices.h"
#include "app/quick_paste_options.h"
#include "app/settings.h"
#include "grid/row_filter.h"
#include "history/history_store.h"
#include "history/retention.h"
#include "history/thumbnails.h"
#include "hotkeys/hotkey_manager.h"
#include "platform/desktop.h"
#include "ui/application.h"
#include "ui/popup_list.h"
#include "ui/search_box.h"

namespace app {

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

  // What the popup is given by the program; all of it must outlive the popup.
  struct Needs {
    ui::Application& app;
    actions::ActionList& actions;
    history::HistoryStore& history;
    actions::HotkeyPaste& paste;
    // Ctrl+Enter on entries starts it.
    actions::PasteQueue& queue;
    hotkeys::KeyNames& keyNames;
    history::Thumbnails& pictures;
    app::Notices& notices;
    // The hotkey in force is the settings' one; a change is saved with `saveSettings`.
    app::Settings& settings;
    QuickPasteOptions& options;
    std::function<void()> saveSettings;
    // The window that owns the box telling why a hotkey was refused.
    std::function<platform::Hwnd()> boxOwner;
    // Ctrl+P and F2 on an entry: the pins of history rows are to be toggled, or a row's text
    // edited (true when it changed).
    std::function<void(const std::vector<int>& rows)> togglePins;
    std::function<bool(int row)> editEntry;
  };

  // Takes the hotkey of the settings; a combination that is taken is told in a balloon and
  // left unregistered.
  explicit QuickPaste(Needs needs);
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
  // A thumbnail was made: the open list shows it.
  void PicturesReady();
  // The search over the history as the popup's box types it.
  ui::SearchBox& Search() { return historySearch_; }

  // The options tab's "Apply": takes the combination the controls show, or refuses it.
  void ApplyClick();

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  platform::Desktop& Desktop();
  void Open();
  void GiveFocusBack();
  void Refilter(const std::u16string& filter);
  // Shows what a slice of the history's search found, the actions' too; whether the actions
  // have work left.
  bool ShowFound(const grid::SearchSlice& slice);
  // The action row (action true) or history row an item shows; -1 when it shows none any more.
  // The actions come first, then the pinned entries the filter shows, then its other entries.
  int RowOf(int index, bool& action);
  // The item that shows a history row; -1 when none does.
  int IndexOfRow(int row);
  // Finds the pinned entries among the filter's rows, unless the history and the filter are as
  // they were at the last look.
  void FindPinned();
  void TogglePin(int index);
  void EditItem(int index);
  // After a change of an entry: the list shows the entries anew, with that one selected.
  void Follow(grid::RowKey key);
  std::u16string ItemText(int index);
  // A history entry's age ("5 min", "yesterday", its date); nothing for an action.
  std::u16string ItemAge(int index);
  void Pick(int index);
  // Several entries, or one as plain text or for a queue; false, with the popup's notice saying
  // why, when they cannot be pasted so.
  bool PickMany(const std::vector<int>& indices, ui::PopupList::PickKind kind);
  bool Refuse(const std::u16string& why);
  std::string HotKeyText(hotkeys::HotKey value);

  Needs needs_;
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
  ui::SearchBox historySearch_;
  // Reads the history's date cells back, for the entries' ages.
  std::optional<history::DateReader> dates_;
  // The pinned entries the filter shows, top first: their keys, and their places among the
  // filter's rows (ascending); as of the history's revision and the filter's count.
  std::vector<grid::RowKey> pinnedKeys_;
  std::vector<int> pinnedPlaces_;
  std::uint64_t pinnedRevision_ = ~std::uint64_t{0};
  int pinnedCount_ = -1;
  // The action to paste once the popup's key has been handled (the paste waits inside).
  bool actionPending_ = false;
  actions::PasteRequest action_;
  // Gone with the popup: an image decoded for a paste after that is not pasted.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace app
