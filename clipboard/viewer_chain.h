// A window's membership in the clipboard viewer chain, through which it hears of every clipboard
// change: the protocol of joining, passing each notification on, repairing the chain when
// another viewer leaves, and leaving.
#pragma once

#include <functional>

#include "platform/desktop.h"

namespace clipboard {

// Works on its owner's NextViewer field, which stays the only record of the window's successor;
// this object adds whether the window has joined, so that leaving can tell a last member
// (NextViewer 0) from a window that never joined.
class ViewerChain {
 public:
  ViewerChain(platform::Desktop& desktop, platform::Hwnd& nextViewer)
      : desktop_(desktop), next_(nextViewer) {}
  ViewerChain(const ViewerChain&) = delete;
  ViewerChain& operator=(const ViewerChain&) = delete;

  // NextViewer := SetClipboardViewer(window). Once only: later calls, and calls after leaving,
  // do nothing.
  void JoinChain(platform::Hwnd window);

  // WM_DRAWCLIPBOARD, after the window's default handling: runs `capture`, then passes the
  // notification to NextViewer exactly once, also when `capture` raises (the error then goes
  // on to the caller).
  void DrawClipboard(const std::function<void()>& capture);

  // WM_CHANGECBCHAIN, after the window's default handling: repairs the link when the leaving
  // window is NextViewer, forwards the message unchanged otherwise. The message's result is 0.
  platform::LResult ChangeCbChain(platform::WParam removed, platform::LParam next);

  // At the window's destruction: unlinks a joined window (also the chain's last member, with
  // successor 0) and clears NextViewer. A window that never joined is not unlinked. Either way
  // the window cannot join afterwards.
  void LeaveChain(platform::Hwnd window);

  // In the chain now: the window has heard of the clipboard as it stood when it joined.
  bool Joined() const { return joined_; }

 private:
  platform::Desktop& desktop_;
  platform::Hwnd& next_;
  bool joined_ = false;  // in the chain now
  bool left_ = false;    // has left it, or left before joining: may not join again
};

}  // namespace clipboard
