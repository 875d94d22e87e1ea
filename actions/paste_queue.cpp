#include "actions/paste_queue.h"

namespace actions {

using namespace platform;

namespace {

constexpr std::uintptr_t CopyTimer = 1;
// How often the clipboard is looked at for a copy of the user's while a queue runs.
constexpr Uint CopyCheckInterval = 100;
constexpr hotkeys::HotKey CtrlV = hotkeys::HotKeyCtrl | VkV;
constexpr hotkeys::HotKey ShiftInsert = hotkeys::HotKeyShift | VkInsert;

}  // namespace

PasteQueue::PasteQueue(Desktop& desktop, HotkeyPaste& paste)
    : desktop_(desktop), paste_(paste), keys_(desktop.Windows(), desktop.HotKeys()) {
  WindowDesc desc;
  desc.kind = WindowKind::MessageOnly;
  desc.title = "PasteQueue";
  window_ = desktop_.Windows().CreateWindowA(desc, this);
  keys_.OnHotKeyPressed = [this](hotkeys::HotKey hotkey, std::uint16_t) { Pressed(hotkey); };
  // The paste's own keystroke must reach the target, not come back here.
  paste_.SuspendWhilePasting(keys_);
}

PasteQueue::~PasteQueue() {
  // The program ends while a queue runs: the user's content must not end with it. Whoever
  // listened may be gone already.
  OnChanged = nullptr;
  try {
    Stop();
  } catch (const std::exception&) {
  }
  paste_.StopSuspending(keys_);
  keys_.ClearBindings();
  desktop_.Windows().KillTimer(window_, CopyTimer);
  desktop_.Windows().DestroyWindow(window_);
}

PasteQueue::StartResult PasteQueue::Start(
    std::vector<std::shared_ptr<const clipboard::ClipboardContent>> entries) {
  if (entries.empty()) return StartResult::Empty;
  // A queue that runs gives the clipboard back first: the new one starts from the user's content.
  if (running_) Stop();
  keys_.ClearBindings();
  const bool ctrlV = keys_.AddBinding(CtrlV) != 0;
  const bool shiftInsert = keys_.AddBinding(ShiftInsert) != 0;
  if (!ctrlV && !shiftInsert) return StartResult::KeysTaken;
  before_ = paste_.TakeSnapshot(beforePrivate_);
  if (!before_) {
    keys_.ClearBindings();
    return StartResult::ClipboardBusy;
  }
  entries_ = std::move(entries);
  next_ = 0;
  running_ = true;
  sequence_ = desktop_.Clipboard().GetClipboardSequenceNumber();
  desktop_.Windows().SetTimer(window_, CopyTimer, CopyCheckInterval);
  Changed();
  return StartResult::Started;
}

void PasteQueue::Pressed(hotkeys::HotKey hotkey) {
  if (!running_ || next_ >= entries_.size()) return;
  // A press whose key the user still holds from the press before it is that press repeated
  // (where the system repeats hotkeys): the entry it brought has not even been pasted yet.
  if (paste_.WaitingForKeys()) return;
  PasteRequest request;
  request.mode = PasteMode::Queued;
  request.method = hotkey == ShiftInsert ? PasteMethod::ShiftInsert : PasteMethod::CtrlV;
  request.hotkey = hotkey;
  request.content = entries_[next_++];
  const bool last = next_ >= entries_.size();
  if (last) {
    // The last entry's paste gives the clipboard back once the target has taken it.
    request.restoreAfter = std::move(before_);
    request.restorePrivate = beforePrivate_;
    End();
  } else {
    Changed();
  }
  paste_.Press({std::move(request)});
  // What the paste put there is its own, not the user's copy.
  if (running_) sequence_ = desktop_.Clipboard().GetClipboardSequenceNumber();
}

void PasteQueue::Stop() {
  if (!running_) return;
  PasteRequest request;
  request.mode = PasteMode::GiveBack;
  request.restoreAfter = std::move(before_);
  request.restorePrivate = beforePrivate_;
  End();
  paste_.Press({std::move(request)});
}

void PasteQueue::CheckForCopy() {
  if (!running_) return;
  IClipboard& clipboard = desktop_.Clipboard();
  const Dword sequence = clipboard.GetClipboardSequenceNumber();
  if (sequence == sequence_) return;
  // The paste's own writes (an entry, its delayed data) leave it the owner.
  if (paste_.Running() || clipboard.GetClipboardOwner() == paste_.Window()) {
    sequence_ = sequence;
    return;
  }
  // The user's copy stays on the clipboard: the content from before the queue is not wanted.
  before_.reset();
  End();
}

void PasteQueue::End() {
  running_ = false;
  keys_.ClearBindings();
  desktop_.Windows().KillTimer(window_, CopyTimer);
  Changed();
}

void PasteQueue::Changed() {
  if (OnChanged) OnChanged();
}

std::string PasteQueue::Tip() const {
  if (!running_) return {};
  return "Pasting " + std::to_string(Next()) + " of " + std::to_string(Count());
}

LResult PasteQueue::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  if (msg == WmTimer && wParam == CopyTimer) {
    CheckForCopy();
    return 0;
  }
  return desktop_.Windows().DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace actions
