#include "history/recorder.h"

namespace history {

using namespace platform;

namespace {

// Reads a clipboard that was busy at a change again, after the delays BusyClipboardRetry gives.
constexpr std::uintptr_t RetryTimer = 1;
// Puts the journal's records on the disk within a second of a capture.
constexpr std::uintptr_t FlushTimer = 2;
constexpr Uint FlushDelay = 1000;
// Forgets entries that have grown too old.
constexpr std::uintptr_t AgeTimer = 3;
constexpr Uint AgeCheckInterval = 60 * 60 * 1000;
// Writes again the captures that could not be saved.
constexpr std::uintptr_t SaveRetryTimer = 4;
constexpr Uint SaveRetryInterval = 1000;

}  // namespace

Recorder::Recorder(Desktop& desktop, HistoryStore& store, const ExcludedPrograms& excluded)
    : desktop_(desktop), store_(store), excluded_(excluded) {
  WindowDesc desc;
  desc.kind = WindowKind::MessageOnly;
  desc.title = "HistoryRecorder";
  window_ = desktop_.Windows().CreateWindowA(desc, this);
}

Recorder::~Recorder() {
  IWindows& windows = desktop_.Windows();
  windows.KillTimer(window_, RetryTimer);
  windows.KillTimer(window_, FlushTimer);
  windows.KillTimer(window_, AgeTimer);
  windows.KillTimer(window_, SaveRetryTimer);
  windows.DestroyWindow(window_);
}

void Recorder::JoinChain(Hwnd viewer) {
  if (viewer_ == 0) viewer_ = viewer;
  chain_.JoinChain(viewer);
}

void Recorder::LeaveChain() {
  chain_.LeaveChain(viewer_);
  StopRetry();
}

void Recorder::DrawClipboard() {
  chain_.DrawClipboard([this] {
    StopRetry();
    if (!paused_) ReadClipboard(false);
  });
}

void Recorder::SetPaused(bool paused) {
  paused_ = paused;
  // A change that came before the pause and waits for a busy clipboard is not read either.
  if (paused_) StopRetry();
}

void Recorder::SetLimits(const RetentionLimits& limits) {
  limits_ = limits;
  if (limits_.days > 0)
    desktop_.Windows().SetTimer(window_, AgeTimer, AgeCheckInterval);
  else
    desktop_.Windows().KillTimer(window_, AgeTimer);
  ApplyLimits();
}

void Recorder::ApplyLimits() {
  // The date form is learnt anew each time, as the user may have changed it since the start.
  if (ApplyRetention(store_.List(), DateReader(desktop_), limits_, desktop_.Clock().GetLocalTime()) > 0)
    writeDue_ = true;
  if (writeDue_) WriteAfterRemoval();
}

void Recorder::WriteAfterRemoval() {
  try {
    store_.WriteAll();
    writeDue_ = false;
  } catch (const std::exception&) {
    // The removed texts stay on the disk until a write succeeds.
  }
}

LResult Recorder::ChangeCbChain(WParam removed, LParam next) { return chain_.ChangeCbChain(removed, next); }

void Recorder::ReadClipboard(bool retrying) {
  // A copy from a program kept out is treated as one its owner marked private, without even
  // reading it.
  if ((IsPrivateChange && IsPrivateChange()) || excluded_.ExcludesClipboardSource()) {
    retry_.Stop();
    if (OnClipboardText) OnClipboardText(std::u16string());
    return;
  }
  const ClipboardRead change = ReadClipboardChange(desktop_, viewer_);
  if (OnClipboardText) OnClipboardText(change.text);
  if (change.state != ClipboardRead::State::Busy) {
    retry_.Stop();
    if (change.state == ClipboardRead::State::Text) Record(change.text);
    return;
  }
  // Another program reads the clipboard at the same change; it lets go within moments.
  IClipboard& clipboard = desktop_.Clipboard();
  if (const Uint delay = retrying ? retry_.Next() : retry_.Begin(clipboard.GetClipboardSequenceNumber()))
    desktop_.Windows().SetTimer(window_, RetryTimer, delay);
}

void Recorder::Record(const std::u16string& text) {
  if (text.empty()) return;
  std::u16string date;
  try {
    date = DateText(desktop_, desktop_.Clock().GetLocalTime());
    if (!RecordAtTop(store_.List(), text, date)) return;
  } catch (const std::exception&) {
    // A failed capture costs one entry, never the notification that the chain still owes.
    return;
  }
  store_.Recorded(date, text);
  CheckSaving();
  if (limits_.maxEntries > 0 && store_.List().RowCount() > limits_.maxEntries) {
    grid::Table& list = store_.List();
    while (list.RowCount() > limits_.maxEntries) list.DeleteRow(grid::LastRow);
    writeDue_ = true;
  }
  if (!flushDue_) {
    flushDue_ = true;
    desktop_.Windows().SetTimer(window_, FlushTimer, FlushDelay);
  }
}

void Recorder::CheckSaving() {
  const Dword error = store_.SaveError();
  if (error != 0) {
    if (error != toldSaveError_ && OnSaveFailed) OnSaveFailed(error);
    if (toldSaveError_ == 0) desktop_.Windows().SetTimer(window_, SaveRetryTimer, SaveRetryInterval);
    toldSaveError_ = error;
  } else if (toldSaveError_ != 0) {
    toldSaveError_ = 0;
    desktop_.Windows().KillTimer(window_, SaveRetryTimer);
    if (OnSaveResumed) OnSaveResumed();
  }
}

void Recorder::StopRetry() {
  desktop_.Windows().KillTimer(window_, RetryTimer);
  retry_.Stop();
}

void Recorder::RetryTimerFired() {
  desktop_.Windows().KillTimer(window_, RetryTimer);
  // A newer change brings its own notification; this one's text is gone from the clipboard.
  if (!retry_.StillWanted(desktop_.Clipboard().GetClipboardSequenceNumber())) {
    retry_.Stop();
    return;
  }
  ReadClipboard(true);
}

LResult Recorder::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  if (msg != WmTimer) return desktop_.Windows().DefWindowProcA(hwnd, msg, wParam, lParam);
  try {
    if (wParam == RetryTimer) {
      RetryTimerFired();
    } else if (wParam == FlushTimer) {
      desktop_.Windows().KillTimer(window_, FlushTimer);
      flushDue_ = false;
      if (writeDue_) WriteAfterRemoval();
      store_.Flush();  // the records, when the write failed or there was none
    } else if (wParam == AgeTimer) {
      ApplyLimits();
    } else if (wParam == SaveRetryTimer) {
      store_.RetrySave();
      CheckSaving();
    }
  } catch (const std::exception&) {
    // A clipboard that cannot be read on a retry costs that entry; the next change is heard.
  }
  return 0;
}

}  // namespace history
