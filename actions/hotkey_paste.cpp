#include "actions/hotkey_paste.h"

#include <algorithm>
#include <cstring>

#include "clipboard/clipboard_handles.h"
#include "clipboard/clipboard_text.h"
#include "clipboard/paste_writes.h"
#include "clipboard/snapshot.h"
#include "platform/scope_exit.h"

namespace actions {

using namespace platform;

namespace {

// The user's keys: at least this long before the keystroke, and then until the hotkey's
// modifiers are up, but no longer than the most, when the paste goes ahead anyway. A kept
// text waits the least: the user's Enter in the popup is all there is to wait for, and the
// target has the focus again once SetForegroundWindow returns.
constexpr Dword MinBeforeKeystroke = 200;
constexpr Dword MinBeforeKeptKeystroke = 10;
constexpr Dword MaxBeforeKeystroke = 2000;
// The target's read: at least this long after the keystroke, and then until the target has
// taken the text, but no longer than the most. A paste without a keystroke waits the least.
constexpr Dword MinAfterKeystroke = 50;
constexpr Dword MaxAfterKeystroke = 1000;
// How often the keys and the clipboard are looked at again while waiting.
constexpr Dword PollInterval = 10;
constexpr std::uintptr_t KeptTimer = 1;
// How long a clipboard that another program holds open is tried again.
constexpr Dword MaxClipboardBusy = 1000;
// Formats this large come back with their data delayed, and are put on right after.
constexpr std::size_t DelayRestoreFrom = 64 * 1024;

clipboard::ClipboardContent TextContent(const std::u16string& text) {
  clipboard::ClipboardContent content;
  content.text = text;
  return content;
}

}  // namespace

HotkeyPaste::HotkeyPaste(Desktop& desktop, std::function<void()> processMessages,
                         std::function<bool(Hwnd)> isOwnWindow, std::function<Hwnd()> mainWindow)
    : desktop_(desktop),
      processMessages_(std::move(processMessages)),
      isOwnWindow_(std::move(isOwnWindow)),
      mainWindow_(std::move(mainWindow)) {
  WindowDesc desc;
  desc.kind = WindowKind::MessageOnly;
  desc.title = "HotkeyPaste";
  window_ = desktop_.Windows().CreateWindowA(desc, this);
}

HotkeyPaste::~HotkeyPaste() {
  // Data still delayed would die with the window.
  try {
    if (restored_) restored_->RenderDelayed(window_);
  } catch (const std::exception&) {
  }
  desktop_.Windows().KillTimer(window_, KeptTimer);
  desktop_.Windows().DestroyWindow(window_);
}

void HotkeyPaste::Press(std::vector<PasteRequest> requests) {
  for (PasteRequest& request : requests) queue_.push_back(std::move(request));
  // A press inside a running paste's wait only queues; the running paste takes it up.
  if (!running_) PasteQueued();
}

void HotkeyPaste::PasteQueued() {
  running_ = true;
  while (!queue_.empty()) {
    PasteRequest request = std::move(queue_.front());
    queue_.pop_front();
    try {
      if (request.mode == PasteMode::Keep) {
        // Its wait runs on a timer and ends in KeptTimerFired, which takes up the rest.
        StartKept(std::move(request));
        return;
      }
      PasteOne(request);
    } catch (const std::exception&) {
      // A failed paste costs that paste alone; its restore has run on the way out.
    }
  }
  running_ = false;
}

void HotkeyPaste::PasteOne(const PasteRequest& request) {
  const Dword start = desktop_.Clock().GetTickCount();
  if (request.mode == PasteMode::GiveBack) {
    if (request.restoreAfter) RestoreClipboard(request.restoreAfter, request.restorePrivate);
    return;
  }
  // An action and a plain-text paste give back what the clipboard holds now; a queued entry
  // gives back (if it is the last) what it held before the queue began.
  std::shared_ptr<clipboard::ClipboardSnapshot> snapshot = request.restoreAfter;
  bool privateContent = request.restorePrivate;
  if (request.mode != PasteMode::Queued) {
    snapshot = std::make_shared<clipboard::ClipboardSnapshot>(desktop_);
    while (!snapshot->Take(window_)) {
      if (Elapsed(start) >= MaxClipboardBusy) return;  // nothing was changed, nothing to give back
      Wait(PollInterval);
    }
    privateContent = TakenIsPrivate(*snapshot);
  }

  offer_ = OfferState{};
  switch (request.mode) {
    case PasteMode::Plain: {
      std::u16string text;
      try {
        clipboard::GetClipboardText(desktop_, window_, text);
      } catch (const std::exception&) {
        text.clear();
      }
      // Nothing that is text: nothing to paste, and the clipboard was not touched.
      if (text.empty()) return;
      offer_.blocks = clipboard::ContentBlocks(desktop_.Clipboard(), TextContent(text));
      // The user's own text, which the history holds already with its formats.
      offer_.kind = OwnWrite::Skip;
      break;
    }
    case PasteMode::Queued:
      offer_.blocks = clipboard::ContentBlocks(
          desktop_.Clipboard(), request.content ? *request.content : TextContent(request.text));
      offer_.kind = OwnWrite::Skip;  // an entry of the history already
      break;
    default:
      offer_.blocks = clipboard::ContentBlocks(desktop_.Clipboard(), TextContent(request.text));
      offer_.kind = OwnWrite::Record;
      break;
  }
  offer_.active = true;
  // Whatever happens from here, what the user had on the clipboard goes back (for a queued
  // entry, only after the last one).
  const platform::ScopeExit restore([this, &snapshot, privateContent, &request] {
    waitingForKeys_ = false;
    if (request.mode == PasteMode::Queued) {
      if (!snapshot) {
        RenderOffer();
        return;
      }
    }
    offer_.active = false;
    offer_.blocks.clear();
    try {
      RestoreClipboard(std::move(snapshot), privateContent);
    } catch (const std::exception&) {
    }
  });

  if (!Offer()) return;
  WaitForKeys(request, start);
  // A read before the keystroke (the program's own capture, or a monitor) has the text rendered
  // for it; offering it delayed once more lets the target's read be told again.
  if (offer_.rendered && !offer_.rearmed) {
    offer_.rearmed = true;
    Offer();
  }
  offer_.keystrokeSent = true;
  const bool sent = SendKeystroke(request);
  // An entry that stays on the clipboard may be read whenever the target likes; only what goes
  // back after it must wait for the read.
  WaitUntilTaken(sent && snapshot != nullptr);
}

// A kept text waits on a timer rather than inside a loop of its own: the popup's key that
// picked it is still being handled, and the program answers the user meanwhile.
void HotkeyPaste::StartKept(PasteRequest request) {
  kept_ = std::move(request);
  keptSince_ = desktop_.Clock().GetTickCount();
  keptOnClipboard_ = PutKept();
  desktop_.Windows().SetTimer(window_, KeptTimer, PollInterval);
}

// On behalf of the main window, so that the capture records it as it records a re-copy.
bool HotkeyPaste::PutKept() {
  try {
    if (kept_->content) return clipboard::SetClipboardContent(desktop_, mainWindow_(), *kept_->content);
    return clipboard::SetClipboardText(desktop_, mainWindow_(), kept_->text);
  } catch (const std::exception&) {
    return false;
  }
}

// Another program may hold the clipboard open for a moment; the keystroke waits for the text,
// or would paste what the clipboard held before, and nothing is pasted when it stays held.
void HotkeyPaste::KeptTimerFired() {
  const Dword waited = Elapsed(keptSince_);
  if (!keptOnClipboard_) keptOnClipboard_ = PutKept();
  if (!keptOnClipboard_) {
    if (waited >= MaxBeforeKeystroke) FinishKept();
    return;
  }
  if (waited < MaxBeforeKeystroke && (waited < MinBeforeKeptKeystroke || KeysHeld(*kept_))) return;
  const platform::ScopeExit finish([this] { FinishKept(); });
  SendKeystroke(*kept_);
}

void HotkeyPaste::FinishKept() {
  desktop_.Windows().KillTimer(window_, KeptTimer);
  kept_.reset();
  PasteQueued();
}

bool HotkeyPaste::SendKeystroke(const PasteRequest& request) {
  IWindows& windows = desktop_.Windows();
  if (request.target != 0 && windows.GetForegroundWindow() != request.target)
    windows.SetForegroundWindow(request.target);
  for (hotkeys::THotKeyManager* hotkeys : suspended_) hotkeys->Suspend();
  const platform::ScopeExit resume([this] {
    for (hotkeys::THotKeyManager* hotkeys : suspended_) hotkeys->Resume();
  });
  switch (request.method) {
    case PasteMethod::CtrlV:
      SendCtrlV();
      return true;
    case PasteMethod::ShiftInsert:
      SendShiftInsert();
      return true;
    case PasteMethod::None:
      break;
  }
  return false;
}

void HotkeyPaste::RestoreClipboard(std::shared_ptr<clipboard::ClipboardSnapshot> snapshot,
                                   bool privateContent) {
  // Reads of the delayed formats reach this window from the moment they are offered.
  restored_ = std::move(snapshot);
  // The user's content, given back: the history records it unless it was private.
  lastWrite_ = privateContent ? OwnWrite::Skip : OwnWrite::Record;
  Dword start = desktop_.Clock().GetTickCount();
  while (!restored_->Restore(window_, DelayRestoreFrom, true) && Elapsed(start) < MaxClipboardBusy)
    Wait(PollInterval);
  // Until its data is on, a large format lives only in this process; put it on now, after the
  // user has the clipboard back. Should the clipboard stay busy, reads still reach this window.
  start = desktop_.Clock().GetTickCount();
  while (!restored_->RenderDelayed(window_) && Elapsed(start) < MaxClipboardBusy) Wait(PollInterval);
  if (!restored_->HasDelayed()) restored_.reset();
}

// The marks of the program's own writes are no owner's wish: what the history records of them,
// it records again when a paste gives them back.
bool HotkeyPaste::TakenIsPrivate(const clipboard::ClipboardSnapshot& snapshot) {
  if (SnapshotIsPrivate && SnapshotIsPrivate()) return true;
  switch (CurrentWrite()) {
    case OwnWrite::Record:
      return false;
    case OwnWrite::Skip:
      return true;
    case OwnWrite::None:
      break;
  }
  return snapshot.MarkedPrivate();
}

OwnWrite HotkeyPaste::CurrentWrite() {
  return desktop_.Clipboard().GetClipboardOwner() == window_ ? lastWrite_ : OwnWrite::None;
}

std::shared_ptr<clipboard::ClipboardSnapshot> HotkeyPaste::TakeSnapshot(bool& privateContent) {
  auto snapshot = std::make_shared<clipboard::ClipboardSnapshot>(desktop_);
  const Dword start = desktop_.Clock().GetTickCount();
  while (!snapshot->Take(window_)) {
    if (Elapsed(start) >= MaxClipboardBusy) return nullptr;
    Wait(PollInterval);
  }
  privateContent = TakenIsPrivate(*snapshot);
  return snapshot;
}

// The formats are offered with their data delayed, so that each read asks this window for it:
// the first read by another program after the keystroke tells that the target has taken it.
bool HotkeyPaste::Offer() {
  IClipboard& clipboard = desktop_.Clipboard();
  clipboard::OpenedClipboard open(clipboard, window_);
  if (!open.IsOpen()) return false;
  lastWrite_ = offer_.kind;
  clipboard.EmptyClipboard();
  offer_.rendered = false;
  // Offering a format without data returns no handle even when it succeeds; whether the
  // format is on the clipboard tells. Without delayed rendering the data itself goes on.
  for (const auto& [format, bytes] : offer_.blocks) {
    clipboard.SetClipboardData(format, 0);
    if (!clipboard.IsClipboardFormatAvailable(format)) Render(format);
  }
  clipboard::PutPasteMarks(desktop_);
  return true;
}

bool HotkeyPaste::Render(Uint format) {
  auto it = std::find_if(offer_.blocks.begin(), offer_.blocks.end(),
                         [format](const auto& block) { return block.first == format; });
  if (it == offer_.blocks.end()) return false;
  const std::string& bytes = it->second;
  IGlobalMemory& memory = desktop_.Memory();
  clipboard::OwnedBlock block(memory, memory.GlobalAlloc(GmemMoveable, bytes.size()));
  if (block.Get() == 0) return true;
  {
    clipboard::LockedBlock lock(memory, block.Get());
    if (!lock.Data()) return true;
    std::memcpy(lock.Data(), bytes.data(), bytes.size());
  }
  if (desktop_.Clipboard().SetClipboardData(format, block.Get()) != 0) {
    block.Release();
    offer_.rendered = true;
  }
  return true;
}

void HotkeyPaste::RenderOffer() {
  // Each read of a delayed format asks this window, which puts its data on.
  {
    clipboard::OpenedClipboard open(desktop_.Clipboard(), window_);
    if (!open.IsOpen()) return;  // reads go on reaching this window meanwhile
    if (desktop_.Clipboard().GetClipboardOwner() == window_)
      for (const auto& block : offer_.blocks) desktop_.Clipboard().GetClipboardData(block.first);
  }
  offer_.active = false;
  offer_.blocks.clear();
}

LResult HotkeyPaste::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  switch (msg) {
    case WmTimer:
      if (wParam == KeptTimer && kept_) KeptTimerFired();
      return 0;
    case WmRenderFormat: {
      const Uint format = static_cast<Uint>(wParam);
      if (offer_.active && std::any_of(offer_.blocks.begin(), offer_.blocks.end(),
                                       [format](const auto& block) { return block.first == format; })) {
        const Hwnd reader = desktop_.Clipboard().GetOpenClipboardWindow();
        const bool own = isOwnWindow_(reader);
        if (own && offer_.kind == OwnWrite::Record) {
          // The program's capture records the action's text once, as any copy; after that its
          // reads get nothing, so that only another program's read renders the text.
          if (offer_.ownReadAnswered) return 0;
          offer_.ownReadAnswered = true;
        } else if (!own && reader != window_ && offer_.keystrokeSent) {
          offer_.taken = true;
        }
        Render(format);
      } else if (restored_) {
        restored_->RenderFormat(format);
      }
      return 0;
    }
    case WmRenderAllFormats: {
      // The program ends while the offer or a restored format waits for its data: it stays on
      // the clipboard for good.
      if (!offer_.active && !restored_) return 0;
      clipboard::OpenedClipboard open(desktop_.Clipboard(), window_);
      if (!open.IsOpen()) return 0;
      if (offer_.active)
        for (const auto& block : offer_.blocks)
          if (desktop_.Clipboard().IsClipboardFormatAvailable(block.first)) Render(block.first);
      if (restored_)
        for (Uint format : restored_->Formats()) restored_->RenderFormat(format);
      return 0;
    }
    default:
      return desktop_.Windows().DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

// The keystroke joins whatever keys the user still holds: Ctrl+V with Alt held is Ctrl+Alt+V to
// the target, and pastes nothing. The times count from the start of the paste, so that copying
// a large clipboard falls within them instead of coming on top.
bool HotkeyPaste::KeysHeld(const PasteRequest& request) {
  IKeyboard& keyboard = desktop_.Keyboard();
  auto held = [&keyboard](int vk) { return (keyboard.GetAsyncKeyState(vk) & 0x8000) != 0; };
  const hotkeys::HotKey hotkey = request.hotkey;
  // A queued entry's press is the user's own Ctrl+V: its key too must be up.
  return (request.mode == PasteMode::Keep && held(VkReturn)) ||
         (request.mode == PasteMode::Queued && (hotkey & 0xFF) != 0 && held(hotkey & 0xFF)) ||
         ((hotkey & hotkeys::HotKeyShift) && held(VkShift)) ||
         ((hotkey & hotkeys::HotKeyCtrl) && held(VkControl)) ||
         ((hotkey & hotkeys::HotKeyAlt) && held(VkMenu)) ||
         ((hotkey & hotkeys::HotKeyWin) && (held(VkLWin) || held(VkRWin)));
}

void HotkeyPaste::WaitForKeys(const PasteRequest& request, Dword start) {
  waitingForKeys_ = true;
  // The user's own paste key brought a queued entry: nothing else to wait for than its keys.
  const Dword least = request.mode == PasteMode::Queued ? MinBeforeKeptKeystroke : MinBeforeKeystroke;
  if (Elapsed(start) < least) Wait(least - Elapsed(start));
  while (KeysHeld(request) && Elapsed(start) < MaxBeforeKeystroke) Wait(PollInterval);
  waitingForKeys_ = false;
}

void HotkeyPaste::WaitUntilTaken(bool keystrokeSent) {
  const Dword start = desktop_.Clock().GetTickCount();
  Wait(MinAfterKeystroke);
  if (!keystrokeSent) return;
  // Once the text is rendered no read is reported any more, and only the bound is left.
  while (!offer_.taken && Elapsed(start) < MaxAfterKeystroke) Wait(PollInterval);
}

// The right Shift goes down and up around Insert's press, then the generic Shift is pressed
// once more, and only then is Insert released.
void HotkeyPaste::SendShiftInsert() {
  IKeyboard& keyboard = desktop_.Keyboard();
  auto scan = [&keyboard](std::uint8_t vk) {
    return static_cast<std::uint8_t>(keyboard.MapVirtualKeyA(vk, 0));
  };
  keyboard.keybd_event(VkRShift, scan(VkRShift), 0, 0);
  keyboard.keybd_event(VkInsert, 0, 0, 0);
  keyboard.keybd_event(VkRShift, scan(VkRShift), KeyEventFExtendedKey | KeyEventFKeyUp, 0);
  keyboard.keybd_event(VkShift, scan(VkShift), 0, 0);
  keyboard.keybd_event(VkShift, scan(VkShift), KeyEventFKeyUp, 0);
  keyboard.keybd_event(VkInsert, 0, KeyEventFKeyUp, 0);
}

void HotkeyPaste::SendCtrlV() {
  IKeyboard& keyboard = desktop_.Keyboard();
  keyboard.keybd_event(VkControl, 0, 0, 0);
  keyboard.keybd_event(VkV, 0, 0, 0);
  keyboard.keybd_event(VkV, 0, KeyEventFKeyUp, 0);
  keyboard.keybd_event(VkControl, 0, KeyEventFKeyUp, 0);
}

Dword HotkeyPaste::Elapsed(Dword since) { return desktop_.Clock().GetTickCount() - since; }

void HotkeyPaste::Wait(Dword milliseconds) {
  IClock& clock = desktop_.Clock();
  Hevent event = clock.CreateEventA(false, false);
  const platform::ScopeExit close([&clock, event] { clock.CloseHandle(event); });
  const Dword deadline = clock.GetTickCount() + milliseconds;
  // A signed difference, so that a wait that overshoots its deadline ends instead of waiting
  // for the tick count to come round again.
  std::int32_t remaining = static_cast<std::int32_t>(milliseconds);
  while (remaining > 0) {
    if (clock.MsgWaitForMultipleObjects(event, static_cast<Dword>(remaining), 0xFF) == WaitTimeout) break;
    processMessages_();
    remaining = static_cast<std::int32_t>(deadline - clock.GetTickCount());
  }
}

}  // namespace actions
