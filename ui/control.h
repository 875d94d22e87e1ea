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
  bool operator==(const Bounds&) const = default;
};

// The edges of its parent that a control keeps its distance to as the parent grows or shrinks:
// held at both sides it grows with its parent, held at the right only it moves with the right.
enum Anchor : unsigned { AnchorLeft = 1, AnchorTop = 2, AnchorRight = 4, AnchorBottom = 8 };
constexpr unsigned AnchorAll = AnchorLeft | AnchorTop | AnchorRight | AnchorBottom;

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

  // As designed, at 96 DPI, in a parent of its designed size; ScaledBounds is where the control
  // is on screen, at its form's DPI and in its parent's present size (see Anchors).
  const Bounds& GetBounds() const { return bounds_; }
  void SetBounds(int left, int top, int width, int height);
  Bounds ScaledBounds() const;
  unsigned Anchors() const { return anchors_; }
  void SetAnchors(unsigned anchors);
  // Whether it covers its parent whatever its bounds say (a tab sheet: its page control's
  // display area).
  virtual bool FillsParent() const { return false; }
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
  unsigned anchors_ = AnchorLeft | AnchorTop;
  std::unique_ptr<Peer> peer_;
};

}  // namespace ui
