#include "clipboard/content_owner.h"

#include "clipboard/clipboard_handles.h"
#include "platform/errors.h"

namespace clipboard {

using namespace platform;

ContentOwner::ContentOwner(Desktop& desktop) : desktop_(desktop) {
  WindowDesc desc;
  desc.kind = WindowKind::MessageOnly;
  desc.title = "ClipboardContentOwner";
  desc.ownThread = true;
  window_ = desktop_.Windows().CreateWindowA(desc, this);
}

ContentOwner::~ContentOwner() {
  try {
    RenderNow();
  } catch (const std::exception&) {
    // The image is lost with the window; the rest of the content stays on the clipboard.
  }
  desktop_.Windows().DestroyWindow(window_);
}

bool ContentOwner::Put(std::shared_ptr<const ClipboardContent> content) {
  IClipboard& clipboard = desktop_.Clipboard();
  OpenedClipboard open(clipboard, window_);
  if (!open.IsOpen()) return false;
  // The empty tells the owner before (this window too, for what it put there last).
  if (!clipboard.EmptyClipboard()) throw Error("The clipboard cannot be emptied");
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    onClipboard_ = true;
    delayed_.reset();
  }
  // No program reads the clipboard while it is open here, so none asks for the image before
  // it is known to wait.
  if (PutOpenClipboardContent(desktop_, *content, true)) {
    const std::lock_guard<std::mutex> lock(mutex_);
    delayed_ = std::move(content);
  }
  return true;
}

bool ContentOwner::OnClipboard() {
  // A program that opened the clipboard without a window and emptied it leaves no owner, and
  // sends no WM_DESTROYCLIPBOARD on some systems: the owner tells.
  const bool owner = desktop_.Clipboard().GetClipboardOwner() == window_;
  const std::lock_guard<std::mutex> lock(mutex_);
  if (onClipboard_ && !owner) {
    onClipboard_ = false;
    delayed_.reset();
  }
  return onClipboard_;
}

bool ContentOwner::ImageDelayed() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return delayed_ != nullptr;
}

std::shared_ptr<const ClipboardContent> ContentOwner::TakeDelayed() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return std::move(delayed_);
}

bool ContentOwner::RenderNow() {
  if (!ImageDelayed()) return true;
  if (!OnClipboard()) return true;
  IClipboard& clipboard = desktop_.Clipboard();
  OpenedClipboard open(clipboard, window_);
  if (!open.IsOpen()) return false;
  // Taken once the clipboard is open, so that a program's request cannot put it on as well.
  const std::shared_ptr<const ClipboardContent> content = TakeDelayed();
  if (!content || clipboard.GetClipboardOwner() != window_) return true;
  try {
    PutImageData(desktop_, *content);
  } catch (const std::exception&) {
    // Held until it is on: a failure leaves it waiting for a program's request.
    KeepWaiting(content);
    throw;
  }
  return true;
}

void ContentOwner::KeepWaiting(const std::shared_ptr<const ClipboardContent>& content) {
  // Unless a new content came meanwhile.
  const std::lock_guard<std::mutex> lock(mutex_);
  if (onClipboard_ && !delayed_) delayed_ = content;
}

void ContentOwner::Render(Uint format) {
  if (format != CfDibV5) return;
  const std::shared_ptr<const ClipboardContent> content = TakeDelayed();
  if (!content) return;
  try {
    PutImageData(desktop_, *content);
  } catch (const std::exception&) {
    // The reader gets nothing; a later request asks again.
    KeepWaiting(content);
  }
}

LResult ContentOwner::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  switch (msg) {
    case WmRenderFormat:
      Render(static_cast<Uint>(wParam));
      return 0;
    case WmRenderAllFormats:
      // The window goes while the image waits (the system ends the program): it is put on for good.
      try {
        RenderNow();
      } catch (const std::exception&) {
      }
      return 0;
    case WmDestroyClipboard: {
      // Another write empties the clipboard: what waited for a request is not asked for any more.
      const std::lock_guard<std::mutex> lock(mutex_);
      onClipboard_ = false;
      delayed_.reset();
      return 0;
    }
    default:
      return desktop_.Windows().DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

}  // namespace clipboard
