// A list that pops up over other programs: a filter box on top of a list of one-line items,
// picked with the keyboard or the mouse. The items are not held here: the owner tells how many
// there are and gives each text when it is shown, so that a list of a million costs nothing
// until it is looked at.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/images.h"
#include "platform/types.h"
#include "ui/control.h"

namespace ui {

class Application;

class PopupList : public Control {
 public:
  PopupList(Application& app, std::string name);
  Application& App() const { return app_; }

  // --- The owner's side ---

  // Shows the list at the screen rectangle given, with an empty filter and the first item
  // selected; it takes the keyboard focus.
  void Popup(const platform::Rect& at);
  void Close();
  bool IsOpen() const { return Visible(); }
  // The number of items changed, or their texts: the selection stays on its position, within
  // the new count.
  void SetCount(int count);
  int Count() const { return count_; }
  // Counts the calls of SetCount: the items shown are redrawn when it changes, and only then,
  // so that a filter's text typed on shows nothing until the owner has its items.
  std::uint64_t ItemsVersion() const { return itemsVersion_; }
  int Selected() const { return selected_; }
  // Selects one item alone.
  void SetSelected(int index);
  // The items highlighted, ascending: the selected one alone, or several that Shift+Up,
  // Shift+Down and Ctrl+click gathered; empty when there is none.
  std::vector<int> Highlighted() const;
  bool IsHighlighted(int index) const;
  // Changes whenever the highlight of an item other than the selected one may have changed.
  std::uint64_t HighlightVersion() const { return highlightVersion_; }
  const std::u16string& Filter() const { return filter_; }
  // How many items a page (Page Up, Page Down) moves; the peer sets it from its height.
  int PageSize = 10;

  // The text of item `index` (0 <= index < Count()).
  std::function<std::u16string(int index)> ItemText;
  // A small picture at the start of an item (an image entry's thumbnail), as TableGrid::RowPicture.
  std::function<const platform::Picture*(int index, int width, int height)> ItemPicture;
  // A short text shown in grey at the right of an item (its age); none when empty or unset.
  std::function<std::u16string(int index)> ItemDetail;
  // Whether a thin rule goes above the item: the first of another kind of items.
  std::function<bool(int index)> StartsGroup;
  // One line under the list that tells which keys do what.
  std::u16string Hint = u"Enter pastes   1\u20139 pick   Type to filter   Esc closes";
  // The filter's text changed; the owner filters and calls SetCount.
  std::function<void(const std::u16string& filter)> OnFilterChange;
  // How the highlighted items are to be pasted: Enter or a click; Shift+Enter (as plain text);
  // Ctrl+Enter (one after another).
  enum class PickKind { Paste, Plain, Queue };
  // An item was chosen: Enter, a click, or one of the keys 1 to 9. The list closes after it.
  std::function<void(int index)> OnPick;
  // Several items were chosen, or one with Shift+Enter or Ctrl+Enter (`indices` ascending, as
  // Highlighted()). The handler returns whether the list closes: it stays open when the items
  // cannot be pasted so (with `Notice` saying why).
  std::function<bool(const std::vector<int>& indices, PickKind kind)> OnPickMany;
  // A line the list shows under its filter box, for what it could not do; emptied by any key.
  std::u16string Notice;
  // Ctrl+P and F2 on the selected item: its pin is toggled, or its text edited. The list stays
  // open, and the owner tells it the items' new order (SetCount, SetSelected).
  std::function<void(int index)> OnTogglePin;
  std::function<void(int index)> OnEdit;
  // Esc: the user gave up. The list closes after it.
  std::function<void()> OnCancel;
  // Another window took the focus (a click elsewhere).
  std::function<void()> OnDismiss;

  // --- The user's side (the peer, or a test acting as the user) ---

  // The filter box's text became `text`.
  void UserSetFilter(std::u16string text);
  // A key went down in the list or its filter box; true when the list used it, which keeps it
  // from the filter box.
  bool KeyDown(int vk);
  // A character was typed; true when the list used it. The keys 1 to 9 pick the first nine
  // items while the filter is empty; once something is typed they are part of the filter.
  bool Char(char16_t ch);
  // A click on an item picks it; with Ctrl held it adds the item to the highlight, or takes it
  // out, instead.
  void ClickItem(int index);
  void Deactivated();

  // A window of the owner's own is in front for a while (the edit of an entry): the list stays
  // open but is not shown meanwhile, and losing the focus to that window does not close it.
  // Shown again, it takes the focus back.
  void SetAside(bool aside);
  bool IsAside() const { return aside_; }

  // The text shown for an item: its first line without the blanks around it, cut to
  // `maxChars` characters with an ellipsis where anything was left out. With `maxChars`, only
  // the text's start is read: a run of blanks longer than BlankRun counts as holding more.
  static std::u16string OneLine(std::u16string_view text, std::size_t maxChars);
  static constexpr std::size_t BlankRun = std::size_t{1} << 16;

 private:
  void Raise(const std::function<void()>& handler);
  void Move(int delta);
  // Shift+Up and Shift+Down: the highlight runs from the anchor to the item moved to.
  void Extend(int delta);
  void Pick(PickKind kind);
  bool Held(int vk);
  void ClearHighlight();

  Application& app_;
  int count_ = 0;
  int selected_ = -1;
  int anchor_ = -1;      // where a Shift+Up or Shift+Down run starts
  std::set<int> added_;  // the items Ctrl+click added
  bool ranged_ = false;  // the run from the anchor is highlighted
  std::uint64_t highlightVersion_ = 0;
  std::uint64_t itemsVersion_ = 0;
  std::u16string filter_;
  bool aside_ = false;
};

}  // namespace ui
