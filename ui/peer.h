// On-screen peers: a backend shows a control's state and reports user input back as events.
//
// A control keeps all of its state itself. Where something is shown, the backend attaches a
// peer to each control when the form's window is created; the control calls Update() after each
// change of its state, and the peer calls the control's event methods (Click, KeyPress, ...)
// when the user acts. On the simulated desktop no peer exists and tests call those methods.
#pragma once

#include <memory>

namespace ui {

class Form;
class PopupList;

class Peer {
 public:
  virtual ~Peer() = default;
  virtual void Update() = 0;
};

class PeerFactory {
 public:
  virtual ~PeerFactory() = default;
  // Creates the peers of the form's controls (menus included) inside its window.
  virtual void CreatePeers(Form& form) = 0;
  // The window of a list that pops up on its own, outside any form; nullptr where none is shown.
  virtual std::unique_ptr<Peer> CreatePopupListPeer(PopupList& list) {
    (void)list;
    return nullptr;
  }
};

}  // namespace ui
