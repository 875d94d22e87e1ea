// A paste queue: entries pasted one after another, each by the next Ctrl+V (or Shift+Insert)
// the user presses in any program; after the last, the clipboard holds what it held before.
//
// While a queue runs, the two paste keys are the program's hotkeys: a press brings the next
// entry onto the clipboard through the one paste path (HotkeyPaste), which then sends the
// keystroke on to the focused window. Only a press advances the queue, so a program that reads
// the clipboard without pasting (another clipboard manager, a remote desktop client, the
// program's own history) never does. A copy the user makes meanwhile ends it, and so does Stop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/hotkey_paste.h"
#include "clipboard/clipboard_content.h"
#include "clipboard/snapshot.h"
#include "hotkeys/hotkey_manager.h"
#include "platform/desktop.h"

namespace actions {

class PasteQueue final : private platform::IWindowProc {
 public:
  PasteQueue(platform::Desktop& desktop, HotkeyPaste& paste);
  // Stops a queue that runs, which gives the clipboard back; before the paste goes.
  ~PasteQueue();
  PasteQueue(const PasteQueue&) = delete;
  PasteQueue& operator=(const PasteQueue&) = delete;

  enum class StartResult { Started, Empty, KeysTaken, ClipboardBusy };
  // Starts a queue of the entries, oldest first, in place of one that runs. KeysTaken when
  // neither Ctrl+V nor Shift+Insert could be registered (another program holds them); nothing
  // changes then.
  StartResult Start(std::vector<std::shared_ptr<const clipboard::ClipboardContent>> entries);
  // Ends the queue; what the clipboard held before it began goes back.
  void Stop();

  bool Running() const { return running_; }
  // The entry the next press pastes, from 1, and how many there are.
  int Next() const { return next_ + 1; }
  int Count() const { return static_cast<int>(entries_.size()); }
  // "Pasting N of M" while the queue runs, else empty.
  std::string Tip() const;

  // Told when the queue starts, advances or ends.
  std::function<void()> OnChanged;

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  void Pressed(hotkeys::HotKey hotkey);
  // The clipboard changed and the paste did not change it: the user copied something.
  void CheckForCopy();
  void End();
  void Changed();

  platform::Desktop& desktop_;
  HotkeyPaste& paste_;
  hotkeys::THotKeyManager keys_;
  platform::Hwnd window_ = 0;
  bool running_ = false;
  std::vector<std::shared_ptr<const clipboard::ClipboardContent>> entries_;
  std::size_t next_ = 0;
  std::shared_ptr<clipboard::ClipboardSnapshot> before_;
  bool beforePrivate_ = false;
  platform::Dword sequence_ = 0;  // the clipboard's, as the queue or its paste last left it
};

}  // namespace actions
