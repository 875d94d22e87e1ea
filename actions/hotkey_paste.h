// The paste of the program, for hotkeys and quick paste alike: the text goes on the clipboard,
// the paste keystroke goes to the focused window once the user's keys are up, and (for an
// action) once that window has taken the text, everything the clipboard held before comes back.
//
// Presses that arrive while a paste runs (its waits keep the program's messages flowing) are
// queued and pasted after it, in the order pressed, each with its own snapshot and restore;
// a paste never runs inside another.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "actions/action_table.h"
#include "clipboard/clipboard_content.h"
#include "clipboard/snapshot.h"
#include "hotkeys/hotkey_manager.h"
#include "platform/desktop.h"

namespace actions {

enum class PasteMode {
  // An action: the user's clipboard comes back once the target has taken the text.
  Restore,
  // A history entry picked in quick paste: it goes on the clipboard on behalf of the main
  // window, as a double-click on its row puts it there, and stays; the keystroke waits for
  // Enter as well, and for the clipboard while another program holds it.
  Keep,
  // The clipboard's own text alone, without its other formats; then the whole clipboard comes
  // back. The request's text is not used: it is read when the paste begins.
  Plain,
  // One entry of a paste queue: it stays on the clipboard after its keystroke, until the next
  // entry or `restoreAfter` replaces it.
  Queued,
  // No keystroke: `restoreAfter` goes back on the clipboard (a paste queue that was stopped).
  GiveBack,
};

// Which of the program's own clipboard writes the clipboard holds (see HotkeyPaste::OwnWrite).
enum class OwnWrite {
  None,    // none: another program's content, or the user's re-copy
  Record,  // one the history records as any copy (an action's text, a restore)
  Skip,    // one that stays out of the history (a plain-text offer, a queued entry, private content)
};

// One text to paste, as it was when the user asked for it.
struct PasteRequest {
  std::u16string text;
  PasteMethod method = PasteMethod::CtrlV;
  hotkeys::HotKey hotkey = 0;  // whose modifier keys the paste waits for
  PasteMode mode = PasteMode::Restore;
  // The window the keystroke is for, given the focus back should it have lost it; 0 for
  // whichever has the focus.
  platform::Hwnd target = 0;
  // PasteMode::Keep and Queued: the whole content to put there instead of the text alone (an
  // image, formatted text, files).
  std::shared_ptr<const clipboard::ClipboardContent> content = nullptr;
  // PasteMode::Queued and GiveBack: what goes back on the clipboard once the target has taken
  // the entry (the last of a queue), or at once; whether it is to stay out of the history.
  std::shared_ptr<clipboard::ClipboardSnapshot> restoreAfter = nullptr;
  bool restorePrivate = false;
};

class HotkeyPaste final : private platform::IWindowProc {
 public:
  // `processMessages` dispatches every waiting message of the thread; `isOwnWindow` tells the
  // program's own windows, whose clipboard reads are not the target taking the text;
  // `mainWindow` is the window on whose behalf a kept text goes on the clipboard.
  HotkeyPaste(platform::Desktop& desktop, std::function<void()> processMessages,
              std::function<bool(platform::Hwnd)> isOwnWindow, std::function<platform::Hwnd()> mainWindow);
  ~HotkeyPaste();
  HotkeyPaste(const HotkeyPaste&) = delete;
  HotkeyPaste& operator=(const HotkeyPaste&) = delete;

  // The program's hotkeys would take its keystroke (an action on Ctrl+V would paste itself
  // without end), so they are given back to the system while it is sent.
  void SuspendWhilePasting(hotkeys::THotKeyManager& hotkeys) { suspended_.push_back(&hotkeys); }
  void StopSuspending(hotkeys::THotKeyManager& hotkeys) { std::erase(suspended_, &hotkeys); }

  // Pastes the requests in order, after any paste that is running already. Never raises.
  void Press(std::vector<PasteRequest> requests);

  bool Running() const { return running_; }
  // Whether a paste waits for the user's keys to be up before its keystroke.
  bool WaitingForKeys() const { return waitingForKeys_; }

  // Asked when a paste takes its snapshot: whether what the clipboard holds must stay out of
  // the history (it came from a program kept out). Its restore is then private too.
  std::function<bool()> SnapshotIsPrivate;
  // What the clipboard holds now, when it is one of the paste's own writes. Each carries the
  // marks that keep other histories out (paste_writes.h); the program's own history knows
  // them apart by this.
  OwnWrite CurrentWrite();
  // A snapshot of the clipboard for a paste queue to give back at its end, and whether it is to
  // stay out of the history; nothing when the clipboard stays busy.
  std::shared_ptr<clipboard::ClipboardSnapshot> TakeSnapshot(bool& privateContent);
  platform::Hwnd Window() const { return window_; }

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  void PasteQueued();
  // Whether what the snapshot took is to stay out of the history when it is given back.
  bool TakenIsPrivate(const clipboard::ClipboardSnapshot& snapshot);
  void PasteOne(const PasteRequest& request);
  void StartKept(PasteRequest request);
  bool PutKept();
  void KeptTimerFired();
  void FinishKept();
  // Gives the user's clipboard back, then has its large formats put on for good.
  void RestoreClipboard(std::shared_ptr<clipboard::ClipboardSnapshot> snapshot, bool privateContent);
  // Offers the blocks with their data delayed, and the marks; false when the clipboard cannot be
  // opened.
  bool Offer();
  // Puts the data of one offered format on the clipboard; false when it is not one of them.
  bool Render(platform::Uint format);
  // A queued entry's data goes on for good once it is pasted: it is no longer asked for.
  void RenderOffer();
  // Whether the user still holds a key that the keystroke must not join.
  bool KeysHeld(const PasteRequest& request);
  // Waits for the request's keys to be up; `start`: the tick count when the paste began.
  void WaitForKeys(const PasteRequest& request, platform::Dword start);
  // Gives the target the focus back should it have lost it, and sends the keystroke with the
  // program's hotkeys suspended; false when the method sends none.
  bool SendKeystroke(const PasteRequest& request);
  void WaitUntilTaken(bool keystrokeSent);
  void SendCtrlV();
  void SendShiftInsert();
  // Waits while the program goes on handling its messages.
  void Wait(platform::Dword milliseconds);
  platform::Dword Elapsed(platform::Dword since);

  platform::Desktop& desktop_;
  std::vector<hotkeys::THotKeyManager*> suspended_;
  std::function<void()> processMessages_;
  std::function<bool(platform::Hwnd)> isOwnWindow_;
  std::function<platform::Hwnd()> mainWindow_;
  platform::Hwnd window_ = 0;
  std::deque<PasteRequest> queue_;
  // The last snapshot given back, while the clipboard still asks it for delayed data.
  std::shared_ptr<clipboard::ClipboardSnapshot> restored_;
  bool running_ = false;
  bool waitingForKeys_ = false;
  // The kind of the last write this window made; it holds while the window owns the clipboard.
  OwnWrite lastWrite_ = OwnWrite::None;
  // The kept text whose keystroke waits, since when, and whether it is on the clipboard yet.
  std::optional<PasteRequest> kept_;
  platform::Dword keptSince_ = 0;
  bool keptOnClipboard_ = false;

  // The paste under way: its formats with their blocks, and what the reads of them have told
  // so far.
  struct OfferState {
    bool active = false;
    OwnWrite kind = OwnWrite::Record;
    std::vector<std::pair<platform::Uint, std::string>> blocks;
    bool ownReadAnswered = false;  // the program's own capture has been given the text
    bool rendered = false;         // data is on the clipboard: further reads of it go unreported
    bool rearmed = false;
    bool keystrokeSent = false;
    bool taken = false;  // another program read the text after the keystroke
  } offer_;
};

}  // namespace actions
