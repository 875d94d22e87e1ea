// Menu items, the main menu of a form and popup menus. Captions are UTF-8.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/notify_area.h"
#include "ui/peer.h"

namespace ui {

class Form;

class MenuItem {
 public:
  MenuItem(MenuItem* parent, std::string name, std::string caption);
  virtual ~MenuItem();
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool IsSeparator() const { return caption_ == "-"; }
  // Shown with a check mark.
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  const std::vector<MenuItem*>& Items() const { return items_; }
  MenuItem* Parent() const { return parent_; }
  // A number unique in the process; menus report the chosen item by it.
  platform::Uint CommandId() const { return commandId_; }
  MenuItem* FindByCommand(platform::Uint id);

  void Click();
  std::function<void(MenuItem& sender)> OnClick;

  Peer* GetPeer() const;
  void AttachPeer(std::unique_ptr<Peer> peer) { peer_ = std::move(peer); }

 protected:
  void Changed();

 private:
  MenuItem* parent_;
  std::string name_;
  std::string caption_;
  bool visible_ = true;
  bool checked_ = false;
  platform::Uint commandId_;
  std::vector<MenuItem*> items_;
  std::unique_ptr<Peer> peer_;
};

class MainMenu : public MenuItem {
 public:
  explicit MainMenu(std::string name) : MenuItem(nullptr, std::move(name), "") {}
};

class PopupMenu : public MenuItem {
 public:
  PopupMenu(Form& owner, std::string name);
  // Opens the menu at (x, y), tracking the right button, and carries out the chosen item.
  // `window` is the window that owns the menu while it is open.
  void Popup(int x, int y, platform::Hwnd window);
  // Hides separators with no visible item before or after them, and shows again those that
  // stand between visible items.
  void ReduceSeparators();
  bool AutoPopup = true;

 private:
  Form& owner_;
};

}  // namespace ui
