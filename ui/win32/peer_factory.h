// The Win32 peers of the ui controls: native common controls (version 6) inside the forms'
// windows, kept in step with the controls' state, reporting the user's input as the controls'
// events.
#pragma once

#include "ui/peer.h"

namespace win32 {

class Win32PeerFactory final : public ui::PeerFactory {
 public:
  Win32PeerFactory();
  // Makes a native control for every control of the form, siblings in the order of their
  // TabOrder (declaration order for those without one), and peers for the form and its main
  // menu. The Tab key follows TabOrder across the whole form. Controls made after the window
  // get their peers when the form is next shown.
  void CreatePeers(ui::Form& form) override;
  // A top-most pop-up window of its own, with an edit box over a virtual list view.
  std::unique_ptr<ui::Peer> CreatePopupListPeer(ui::PopupList& list) override;
};

}  // namespace win32
