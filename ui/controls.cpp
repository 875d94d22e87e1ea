#include "ui/controls.h"

namespace ui {

Button::Button(Control* parent, std::string name, std::string caption)
    : Control(parent, std::move(name)), caption_(std::move(caption)) {}

void Button::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Changed();
}

void Button::Click() { Raise(OnClick); }

CheckBox::CheckBox(Control* parent, std::string name, std::string caption, bool checked)
    : Control(parent, std::move(name)), caption_(std::move(caption)), checked_(checked) {}

void CheckBox::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Changed();
}

void CheckBox::KeyPress(char key) {
  if (OnKeyPress) Raise([&] { OnKeyPress(key); });
}

void CheckBox::Toggle() { SetChecked(!checked_); }

void CheckBox::PressSpaceBar() {
  SetFocus();
  KeyPress(' ');
  Toggle();
}

RadioButton::RadioButton(Control* parent, std::string name, std::string caption, bool checked)
    : Control(parent, std::move(name)), caption_(std::move(caption)), checked_(checked) {}

void RadioButton::SetChecked(bool checked) {
  if (checked && Parent()) {
    for (Control* sibling : Parent()->Children())
      if (auto* radio = dynamic_cast<RadioButton*>(sibling); radio && radio != this && radio->checked_) {
        radio->checked_ = false;
        if (radio->GetPeer()) radio->GetPeer()->Update();
      }
  }
  if (checked_ == checked) return;
  checked_ = checked;
  Changed();
}

Label::Label(Control* parent, std::string name, std::string caption)
    : Control(parent, std::move(name)), caption_(std::move(caption)) {}

void Label::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Changed();
}

void Label::SetColorIndex(int index) {
  colorIndex_ = index;
  Changed();
}

void Label::Click() { Raise(OnClick); }
void Label::MouseEnter() { Raise(OnMouseEnter); }
void Label::MouseLeave() { Raise(OnMouseLeave); }

Edit::Edit(Control* parent, std::string name, std::u16string text)
    : Control(parent, std::move(name)), text_(std::move(text)) {}

void Edit::SetText(std::u16string text) {
  text_ = std::move(text);
  allSelected_ = false;
  Changed();
}

void Edit::SelectAll() {
  allSelected_ = true;
  Changed();
}

void Edit::UserSetText(std::u16string text) {
  text_ = std::move(text);
  allSelected_ = false;
  Raise(OnChange);
}

Memo::Memo(Control* parent, std::string name) : Control(parent, std::move(name)) {}

void Memo::Clear() {
  lines_.clear();
  Changed();
}

void Memo::Append(std::string line) {
  lines_.push_back(std::move(line));
  Changed();
}

void Memo::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  Changed();
}

ItemList::ItemList(Control* parent, std::string name) : Control(parent, std::move(name)) {}

void ItemList::Clear() {
  items_.clear();
  itemIndex_ = -1;
  Changed();
}

void ItemList::Add(std::string text, std::any object) {
  items_.push_back({std::move(text), std::move(object)});
  Changed();
}

void ItemList::AddRange(std::vector<ListItem> items) {
  for (ListItem& item : items) items_.push_back(std::move(item));
  Changed();
}

void ItemList::SetItemIndex(int index) {
  itemIndex_ = index >= 0 && index < Count() ? index : -1;
  Changed();
}

GroupBox::GroupBox(Control* parent, std::string name, std::string caption)
    : Control(parent, std::move(name)), caption_(std::move(caption)) {}

void Image::Click() { Raise(OnClick); }

TabSheet::TabSheet(Control* parent, std::string name, std::string caption)
    : Control(parent, std::move(name)), caption_(std::move(caption)) {}

PageControl::PageControl(Control* parent, std::string name) : Control(parent, std::move(name)) {}

void PageControl::SetActivePageIndex(int index) {
  active_ = index >= 0 && index < PageCount() ? index : -1;
  Changed();
}

}  // namespace ui
