// The hotkey paste: the action's text goes on the clipboard, the paste keystroke goes to the
// focused window, and once that window has taken the text, everything the clipboard held
// before comes back.
//
// Presses that arrive while a paste runs (its waits keep the program's messages flowing) are
// queued and pasted after it, in the order pressed, each with its own snapshot and restore;
// a paste never runs inside another.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "clipboard/snapshot.h"
#include "hotkeys/hotkey_manager.h"
#include "platform/desktop.h"

namespace actions {

// One action to paste, as it was when its hotkey was pressed.
struct PasteRequest {
  std::u16string text;
  std::u16string method;   // "V" for Ctrl+V, "I" for Shift+Insert; anything else sends no key
  hotkeys::HotKey hotkey;  // whose modifier keys the paste waits for
};

// The paste keystroke: Ctrl down, V down and up, Ctrl up.
void SendCtrlV(platform::IKeyboard& keyboard);

class HotkeyPaste : private platform::IWindowProc {
 public:
  // `processMessages` dispatches every waiting message of the thread; `isOwnWindow` tells the
  // program's own windows, whose clipboard reads are not the target taking the text.
  HotkeyPaste(platform::Desktop& desktop, hotkeys::THotKeyManager& hotkeys,
              std::function<void()> processMessages, std::function<bool(platform::Hwnd)> isOwnWindow);
  ~HotkeyPaste();
  HotkeyPaste(const HotkeyPaste&) = delete;
  HotkeyPaste& operator=(const HotkeyPaste&) = delete;

  // Pastes the requests in order, after any paste that is running already. Never raises.
  void Press(std::vector<PasteRequest> requests);

  bool Running() const { return running_; }
  platform::Hwnd Window() const { return window_; }

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  void PasteOne(const PasteRequest& request);
  // Gives the user's clipboard back, then has its large formats put on for good.
  void RestoreClipboard(std::unique_ptr<clipboard::ClipboardSnapshot> snapshot);
  // Offers the text with its data delayed; false when the clipboard cannot be opened.
  bool OfferText();
  void Render();
  // `start`: the tick count when the paste began.
  void WaitForModifierKeys(hotkeys::HotKey hotkey, platform::Dword start);
  void WaitUntilTaken(bool keystrokeSent);
  void SendShiftInsert();
  // Waits while the program goes on handling its messages.
  void Wait(platform::Dword milliseconds);
  platform::Dword Elapsed(platform::Dword since);

  platform::Desktop& desktop_;
  hotkeys::THotKeyManager& hotkeys_;
  std::function<void()> processMessages_;
  std::function<bool(platform::Hwnd)> isOwnWindow_;
  platform::Hwnd window_ = 0;
  std::deque<PasteRequest> queue_;
  // The last snapshot given back, while the clipboard still asks it for delayed data.
  std::unique_ptr<clipboard::ClipboardSnapshot> restored_;
  bool running_ = false;

  // The paste under way: its text as the clipboard format carries it, and what the reads of
  // it have told so far.
  struct Offer {
    bool active = false;
    std::string bytes;
    bool ownReadAnswered = false;  // the program's own capture has been given the text
    bool rendered = false;         // the data is on the clipboard: further reads go unreported
    bool rearmed = false;
    bool keystrokeSent = false;
    bool taken = false;  // another program read the text after the keystroke
  } offer_;
};

}  // namespace actions
