#include "clipboard/viewer_chain.h"

namespace clipboard {

using namespace platform;

void ViewerChain::JoinChain(Hwnd window) {
  // A second SetClipboardViewer would make the window its own successor, and every notice
  // would then circle between the two links for ever.
  if (joined_ || left_) return;
  joined_ = true;
  next_ = desktop_.Clipboard().SetClipboardViewer(window);
}

void ViewerChain::DrawClipboard(const std::function<void()>& capture) {
  // The rest of the chain must hear of the change whatever the capture made of it.
  IWindows& windows = desktop_.Windows();
  try {
    capture();
  } catch (...) {
    windows.SendMessageA(next_, WmDrawClipboard, 0, 0);
    throw;
  }
  windows.SendMessageA(next_, WmDrawClipboard, 0, 0);
}

LResult ViewerChain::ChangeCbChain(WParam removed, LParam next) {
  if (static_cast<Hwnd>(removed) == next_) {
    next_ = static_cast<Hwnd>(next);
  } else {
    desktop_.Windows().SendMessageA(next_, WmChangeCbChain, removed, next);
  }
  return 0;
}

// NextViewer 0 means either "last member" or "never joined"; joined_ tells them apart. A last
// member that left without unlinking would stay in its predecessor's NextViewer (or remain the
// chain's head) as a dead window, so it unlinks with successor 0 like any other member.
void ViewerChain::LeaveChain(Hwnd window) {
  const bool joined = joined_;
  joined_ = false;
  left_ = true;
  if (!joined) return;
  desktop_.Clipboard().ChangeClipboardChain(window, next_);
  next_ = 0;
}

}  // namespace clipboard
