#include "ui/control.h"

#include <algorithm>

#include "ui/application.h"
#include "ui/form.h"

namespace ui {

Control::Control(Control* parent, std::string name) : parent_(parent), name_(std::move(name)) {
  if (parent_) parent_->children_.push_back(this);
}

Control::~Control() {
  if (parent_) std::erase(parent_->children_, this);
}

Form& Control::OwnerForm() {
  Control* c = this;
  while (c->parent_) c = c->parent_;
  return static_cast<Form&>(*c);
}

void Control::SetBounds(int left, int top, int width, int height) {
  bounds_ = {left, top, width, height};
  Changed();
}

Bounds Control::ScaledBounds() const {
  const Control* root = this;
  while (root->parent_) root = root->parent_;
  // A control of no form (a list that pops up on its own) is placed in pixels already.
  if (auto* form = dynamic_cast<const Form*>(root)) return form->Place(*this);
  return bounds_;
}

void Control::SetAnchors(unsigned anchors) {
  anchors_ = anchors;
  Changed();
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed();
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}

void Control::SetFocus() {
  OwnerForm().SetActiveControl(this);
  Changed();
}

bool Control::Focused() { return OwnerForm().ActiveControl() == this; }

void Control::AttachPeer(std::unique_ptr<Peer> peer) {
  peer_ = std::move(peer);
  if (peer_) peer_->Update();
}

void Control::Changed() {
  if (peer_) peer_->Update();
}

void Control::Raise(const std::function<void()>& handler) {
  if (handler) OwnerForm().App().Guard(handler);
}

}  // namespace ui
