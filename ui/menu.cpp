#include "ui/menu.h"

#include <algorithm>

#include "ui/application.h"
#include "ui/form.h"

namespace ui {

namespace {
platform::Uint nextCommandId = 100;
}

MenuItem::MenuItem(MenuItem* parent, std::string name, std::string caption)
    : parent_(parent), name_(std::move(name)), caption_(std::move(caption)), commandId_(nextCommandId++) {
  if (parent_) parent_->items_.push_back(this);
}

MenuItem::~MenuItem() {
  if (parent_) std::erase(parent_->items_, this);
}

void MenuItem::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Changed();
}

void MenuItem::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed();
}

void MenuItem::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Changed();
}

MenuItem* MenuItem::FindByCommand(platform::Uint id) {
  if (commandId_ == id) return this;
  for (MenuItem* item : items_)
    if (MenuItem* found = item->FindByCommand(id)) return found;
  return nullptr;
}

void MenuItem::Click() {
  if (!OnClick) return;
  if (Application* app = Application::Current())
    app->Guard([this] { OnClick(*this); });
  else
    OnClick(*this);
}

Peer* MenuItem::GetPeer() const {
  for (const MenuItem* m = this; m; m = m->parent_)
    if (m->peer_) return m->peer_.get();
  return nullptr;
}

void MenuItem::Changed() {
  // A menu's peer rebuilds the whole menu, so the change goes to the nearest peer up the tree.
  if (Peer* peer = GetPeer()) peer->Update();
}

PopupMenu::PopupMenu(Form& owner, std::string name) : MenuItem(nullptr, std::move(name), ""), owner_(owner) {}

void PopupMenu::ReduceSeparators() {
  const auto& items = Items();
  bool visibleBefore = false;
  for (std::size_t i = 0; i < items.size(); ++i) {
    MenuItem* item = items[i];
    if (!item->IsSeparator()) {
      visibleBefore = visibleBefore || item->Visible();
      continue;
    }
    bool visibleAfter = false;
    for (std::size_t j = i + 1; j < items.size() && !items[j]->IsSeparator(); ++j)
      visibleAfter = visibleAfter || items[j]->Visible();
    item->SetVisible(visibleBefore && visibleAfter);
    if (item->Visible()) visibleBefore = false;
  }
}

void PopupMenu::Popup(int x, int y, platform::Hwnd window) {
  ReduceSeparators();
  std::vector<platform::MenuEntry> entries;
  for (MenuItem* item : Items())
    if (item->Visible()) entries.push_back({item->Caption(), item->CommandId(), item->Checked()});
  platform::Uint chosen = owner_.Desktop().NotifyArea().TrackPopupMenu(
      entries, platform::TpmLeftAlign | platform::TpmRightButton, x, y, window);
  if (chosen == 0) return;
  if (MenuItem* item = FindByCommand(chosen)) item->Click();
}

}  // namespace ui
