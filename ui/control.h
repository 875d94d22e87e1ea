// The base of every control: a name, a parent, bounds, visibility and an optional peer.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/peer.h"

namespace ui {

class Form;

struct Bounds {
  int left = 0, top = 0, width = 0, height = 0;
};

class Control {
 public:
  Control(Control* parent, std::string name);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  Control* Parent() const { return parent_; }
  const std::vector<Control*>& Children() const { return children_; }
  // The form this control belongs to (the form itself for a form).
  Form& OwnerForm();

  // As designed, at 96 DPI; ScaledBounds is where the control is on screen, at its form's DPI.
  const Bounds& GetBounds() const { return bounds_; }
  void SetBounds(int left, int top, int width, int height);
  Bounds ScaledBounds() const;
  // Tells the peer to lay the control out again (its form's DPI changed).
  void Relayout() { Changed(); }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Gives this control the keyboard focus of its form.
  void SetFocus();
  bool Focused();
  // Whether the user can reach it with the Tab key, and its place in that order.
  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int order) { tabOrder_ = order; }

  Peer* GetPeer() const { return peer_.get(); }
  void AttachPeer(std::unique_ptr<Peer> peer);

 protected:
  // Tells the peer that the state changed.
  void Changed();
  // Runs an event handler behind the program's error report: an error escaping a handler is
  // shown to the user, and the program goes on.
  void Raise(const std::function<void()>& handler);

 private:
  Control* parent_;
  std::string name_;
  std::vector<Control*> children_;
  Bounds bounds_;
  bool visible_ = true;
  bool enabled_ = true;
  int tabOrder_ = -1;
  std::unique_ptr<Peer> peer_;
};

}  // namespace ui
