// The standard controls. Each holds its state; a peer, where there is one, shows it. Captions are
// UTF-8, so that they can show any text the user gave the program.
#pragma once

#include <any>
#include <functional>
#include <string>
#include <vector>

#include "ui/control.h"

namespace ui {

class Button : public Control {
 public:
  Button(Control* parent, std::string name, std::string caption);
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  // The user pressed the button (or the program invoked its click).
  void Click();
  std::function<void()> OnClick;

 private:
  std::string caption_;
};

class CheckBox : public Control {
 public:
  CheckBox(Control* parent, std::string name, std::string caption, bool checked = false);
  const std::string& Caption() const { return caption_; }
  bool Checked() const { return checked_; }
  // Changing the state by program raises no event.
  void SetChecked(bool checked);
  // A character key pressed while the box has the focus (the space bar included).
  void KeyPress(char key);
  // The user toggled the box (a mouse click, or the space bar being released).
  void Toggle();
  // Keyboard use as Windows delivers it: the space bar's character comes on key-down, the box
  // changes on key-up.
  void PressSpaceBar();
  std::function<void(char& key)> OnKeyPress;

 private:
  std::string caption_;
  bool checked_;
};

class RadioButton : public Control {
 public:
  RadioButton(Control* parent, std::string name, std::string caption, bool checked = false);
  const std::string& Caption() const { return caption_; }
  bool Checked() const { return checked_; }
  // Checking one button unchecks the other radio buttons of the same parent.
  void SetChecked(bool checked);
  void Click() { SetChecked(true); }

 private:
  std::string caption_;
  bool checked_;
};

class Label : public Control {
 public:
  Label(Control* parent, std::string name, std::string caption);
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  bool WordWrap = false;
  bool AutoSize = true;
  bool Underline = false;
  bool HandCursor = false;
  bool RightAligned = false;
  // A system colour index, or -1 for the normal window text colour.
  int ColorIndex() const { return colorIndex_; }
  void SetColorIndex(int index);
  void Click();
  void MouseEnter();
  void MouseLeave();
  std::function<void()> OnClick, OnMouseEnter, OnMouseLeave;

 private:
  std::string caption_;
  int colorIndex_ = -1;
};

class Edit : public Control {
 public:
  Edit(Control* parent, std::string name, std::u16string text = {});
  const std::u16string& Text() const { return text_; }
  void SetText(std::u16string text);
  void SelectAll();
  bool AllSelected() const { return allSelected_; }
  // The user typed: the text is replaced as a whole, and OnChange is raised.
  void UserSetText(std::u16string text);
  bool MultiLine = false;
  bool ScrollBars = false;
  // Grey text shown in its place while the box is empty (UTF-8).
  std::string CueText;
  std::function<void()> OnChange;

 private:
  std::u16string text_;
  bool allSelected_ = false;
};

// A multi-line text held as lines.
class Memo : public Control {
 public:
  Memo(Control* parent, std::string name);
  const std::vector<std::string>& Lines() const { return lines_; }
  void Clear();
  void Append(std::string line);
  void SetLines(std::vector<std::string> lines);

 private:
  std::vector<std::string> lines_;
};

struct ListItem {
  std::string text;
  std::any object;  // what the item carries (a key code, a hotkey)
};

// A list of items, one of which may be selected (-1 for none).
class ItemList : public Control {
 public:
  ItemList(Control* parent, std::string name);
  const std::vector<ListItem>& Items() const { return items_; }
  int Count() const { return static_cast<int>(items_.size()); }
  void Clear();
  void Add(std::string text, std::any object = {});
  // Several at once, with one change told: a list of all the keys filled item by item kept a
  // Windows peer busy for half a second.
  void AddRange(std::vector<ListItem> items);
  int ItemIndex() const { return itemIndex_; }
  // An index outside the list leaves no selection.
  void SetItemIndex(int index);

 private:
  std::vector<ListItem> items_;
  int itemIndex_ = -1;
};

// A drop-down list from which a choice must be picked.
class ComboBox : public ItemList {
 public:
  using ItemList::ItemList;
  int DropDownCount = 8;
};

class ListBox : public ItemList {
 public:
  using ItemList::ItemList;
};

class GroupBox : public Control {
 public:
  GroupBox(Control* parent, std::string name, std::string caption);
  const std::string& Caption() const { return caption_; }

 private:
  std::string caption_;
};

class Image : public Control {
 public:
  using Control::Control;
  bool HandCursor = false;
  void Click();
  std::function<void()> OnClick;
};

class TabSheet : public Control {
 public:
  TabSheet(Control* parent, std::string name, std::string caption);
  const std::string& Caption() const { return caption_; }
  bool FillsParent() const override { return true; }

 private:
  std::string caption_;
};

class PageControl : public Control {
 public:
  PageControl(Control* parent, std::string name);
  // The tab sheets are the children, in order.
  int PageCount() const { return static_cast<int>(Children().size()); }
  int ActivePageIndex() const { return active_; }
  // An index outside the pages leaves no page active (-1).
  void SetActivePageIndex(int index);

 private:
  int active_ = 0;
};

}  // namespace ui
