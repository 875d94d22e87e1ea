// The program's own writes of a whole entry to the clipboard, from a window of their own that
// answers for the image: the text, the formatted text, the file list and the PNG go on at once,
// the CF_DIBV5 (from which Windows makes CF_DIB and CF_BITMAP) only when a program asks for it.
// A screen's pixels are tens of megabytes, and handing them to the system takes a felt moment
// (under Wine, a third of a second); most programs that paste an image take the PNG, and many
// a copy is never pasted at all. The window answers on a thread of its own, so that a
// program's request holds up none of the program's windows: the calls below come from the
// message loop, the requests from that thread, and what both see is behind a lock.
//
//   clipboard::ContentOwner owner(desktop);
//   owner.Put(content);   // the image's data waits for WM_RENDERFORMAT
//   ...                   // a program reads CF_DIB: the owner puts the data on, then it reads
//   // at the owner's end, data still delayed is put on, so that it outlives the program
#pragma once

#include <memory>
#include <mutex>

#include "clipboard/clipboard_content.h"
#include "platform/desktop.h"

namespace clipboard {

class ContentOwner final : private platform::IWindowProc {
 public:
  explicit ContentOwner(platform::Desktop& desktop);
  // Puts an image that still waits for its data on the clipboard first, then destroys the window.
  ~ContentOwner();
  ContentOwner(const ContentOwner&) = delete;
  ContentOwner& operator=(const ContentOwner&) = delete;

  platform::Hwnd Window() const { return window_; }

  // Replaces the clipboard's content as SetClipboardContent does, the image offered with its data
  // delayed. False, with the clipboard untouched, when it cannot be opened; a failure after the
  // open raises platform::Error.
  bool Put(std::shared_ptr<const ClipboardContent> content);
  // Whether the content put last is still the clipboard's: no other write has replaced it.
  bool OnClipboard();
  // Whether the image put last still waits for a program to ask for its data.
  bool ImageDelayed() const;
  // Puts the data of an image that still waits for it on the clipboard now. False when the
  // clipboard cannot be opened (the data then still waits).
  bool RenderNow();

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  // WM_RENDERFORMAT: the reader holds the clipboard open.
  void Render(platform::Uint format);

  // The delayed content, taken to be put on; null when none waits. No clipboard call is made
  // under the lock: emptying the clipboard sends WM_DESTROYCLIPBOARD to this window's thread,
  // which takes it.
  std::shared_ptr<const ClipboardContent> TakeDelayed();
  // Puts back what TakeDelayed gave when it could not be put on.
  void KeepWaiting(const std::shared_ptr<const ClipboardContent>& content);

  platform::Desktop& desktop_;
  platform::Hwnd window_ = 0;
  mutable std::mutex mutex_;
  bool onClipboard_ = false;
  // The content whose image waits for its data; its other formats are on the clipboard already.
  std::shared_ptr<const ClipboardContent> delayed_;
};

}  // namespace clipboard
