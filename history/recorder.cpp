#include "history/recorder.h"

#include "clipboard/image_formats.h"
#include "history/journal.h"
#include "platform/bytes.h"

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
// Writes a long capture's record a piece at a time. A timer's message waits behind the user's
// input, so the window answers between the pieces; the journal's flush follows the last one.
constexpr std::uintptr_t PieceTimer = 5;
constexpr Uint PieceInterval = 1;
// Joins the clipboard viewer chain once the start-up is over.
constexpr std::uintptr_t JoinTimer = 6;

}  // namespace

Recorder::Recorder(Desktop& desktop, HistoryStore& store, const ExcludedPrograms& excluded)
    : desktop_(desktop), store_(store), excluded_(excluded) {
  WindowDesc desc;
  desc.kind = WindowKind::MessageOnly;
  desc.title = "HistoryRecorder";
  window_ = desktop_.Windows().CreateWindowA(desc, this);
  desktop_.Windows().SetTimer(window_, JoinTimer, JoinDelay);
  // Placeholders of another run, left in the journal by a crash, are seldom the same as this
  // run's (and are older: an attach record resolves the newest row that holds its placeholder).
  placeholders_ = std::uint64_t{desktop_.Clock().GetTickCount()} << 20;
}

Recorder::~Recorder() {
  LeaveChain();
  IWindows& windows = desktop_.Windows();
  windows.KillTimer(window_, JoinTimer);
  windows.KillTimer(window_, RetryTimer);
  windows.KillTimer(window_, FlushTimer);
  windows.KillTimer(window_, AgeTimer);
  windows.KillTimer(window_, SaveRetryTimer);
  windows.KillTimer(window_, PieceTimer);
  windows.DestroyWindow(window_);
}

void Recorder::JoinChain() {
  desktop_.Windows().KillTimer(window_, JoinTimer);
  chain_.JoinChain(window_);
}

void Recorder::LeaveChain() {
  desktop_.Windows().KillTimer(window_, JoinTimer);
  chain_.LeaveChain(window_);
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
  // The bottom rows of a list still being loaded are not the oldest: the limits wait for the
  // end of the load, which applies them.
  if (store_.Loading()) return;
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

void Recorder::ReadClipboard(bool retrying) {
  // A copy from a program kept out is treated as one its owner marked private, without even
  // reading it.
  if ((IsPrivateChange && IsPrivateChange()) || excluded_.ExcludesClipboardSource()) {
    retry_.Stop();
    if (OnClipboardText) OnClipboardText(std::u16string());
    return;
  }
  if (CapturedEntry own; OwnRecopy && OwnRecopy(own)) {
    retry_.Stop();
    if (OnClipboardText) OnClipboardText(own.Shown());
    Capture(std::move(own));
    return;
  }
  CapturedEntry change = ReadClipboardChange(desktop_, window_, IsOwnPasteChange && IsOwnPasteChange());
  if (OnClipboardText) OnClipboardText(change.Shown());
  if (change.read != CapturedEntry::Read::Busy) {
    retry_.Stop();
    if (change.read == CapturedEntry::Read::Text) Capture(std::move(change));
    return;
  }
  // Another program reads the clipboard at the same change; it lets go within moments.
  IClipboard& clipboard = desktop_.Clipboard();
  if (const Uint delay = retrying ? retry_.Next() : retry_.Begin(clipboard.GetClipboardSequenceNumber()))
    desktop_.Windows().SetTimer(window_, RetryTimer, delay);
}

namespace {

// A bitmap and nothing else, as Print Screen and most screenshot tools copy: its PNG is coded
// after its row is shown.
bool BitmapOnly(const CapturedEntry& entry) {
  const clipboard::ClipboardContent& content = entry.content;
  return entry.recopied ||
         (content.fileList.empty() && content.text.empty() && content.png.empty() && !content.dib.empty());
}

}  // namespace

void Recorder::Capture(CapturedEntry change) {
  if (change.text.empty()) return;
  try {
    change.date = DateText(desktop_, desktop_.Clock().GetLocalTime());
  } catch (const std::exception&) {
    // A failed capture costs one entry, never the notification that the chain still owes.
    return;
  }
  // Formatted text and file lists cost a hash of what they keep, made here; a copied PNG is
  // judged in the background first (a decode), and the copies after it wait for it.
  if (!change.prepared && change.content.png.empty() && !BitmapOnly(change))
    PrepareItems(desktop_.Images(), desktop_.Crypto(), change);
  if ((change.prepared || BitmapOnly(change)) && waiting_.empty()) {
    RecordNow(change);
    return;
  }
  auto entry = std::make_shared<CapturedEntry>(std::move(change));
  waiting_.push_back(entry);
  if (entry->prepared || BitmapOnly(*entry)) return;
  // The job owns what it works on. The recorder may be gone when it ends (a run that ended
  // without waiting for it): then its result goes nowhere.
  IImages& images = desktop_.Images();
  ICrypto& crypto = desktop_.Crypto();
  desktop_.Background().Post([entry, &images, &crypto] { PrepareItems(images, crypto, *entry); },
                             [this, alive = std::weak_ptr<bool>(alive_)] {
                               if (alive.expired()) return;
                               RecordReady();
                             });
}

void Recorder::RecordReady() {
  while (!waiting_.empty() && (waiting_.front()->prepared || BitmapOnly(*waiting_.front()))) {
    const std::shared_ptr<CapturedEntry> entry = std::move(waiting_.front());
    waiting_.pop_front();
    RecordNow(*entry);
  }
}

void Recorder::RecordNow(CapturedEntry& entry) {
  if (entry.prepared || !BitmapOnly(entry)) {
    Record(entry);
    return;
  }
  // The row is shown and journaled now, with a placeholder for its items; the copies after it
  // are recorded at once too. The PNG is coded and hashed in the background, and its row gets
  // it when it is made (ItemsMade).
  std::shared_ptr<const ItemStore::Held> held = std::move(entry.recopied);
  bool read = held != nullptr;
  if (!held) {
    auto picture = std::make_shared<ItemStore::Held>();
    read = clipboard::DibToPicture(platform::AsBytes(entry.content.dib), picture->picture);
    held = std::move(picture);
  }
  entry.content = {};
  if (!read) {
    // Nothing to code: the entry keeps its text, as one whose coding failed.
    entry.prepared = true;
    Record(entry);
    return;
  }
  // A screenshot tool that puts the same bitmap on the clipboard twice gives one entry.
  std::u16string scratch;
  grid::Table& list = store_.List();
  if (list.RowCount() > 0) {
    const std::u16string_view top = list.CellView(list.ColumnIndex(ItemsColumn), 0, scratch);
    if (IsPendingReference(top))
      if (const auto topHeld = store_.Items().HeldFor(top);
          topHeld && (topHeld == held || topHeld->picture == held->picture))
        return;
  }
  const std::u16string placeholder = PendingReference(++placeholders_);
  store_.Items().Hold(placeholder, held);
  if (!Record(entry, placeholder)) {
    store_.Items().Release(placeholder);
    return;
  }
  ++coding_;
  IImages& images = desktop_.Images();
  ICrypto& crypto = desktop_.Crypto();
  auto item = std::make_shared<Item>();
  // On a thread of its own: a PNG copied meanwhile is judged, and the texts after it recorded,
  // without waiting for these seconds.
  desktop_.ImageCoding().Post(
      [held, item, &images, &crypto] {
        Bytes png;
        if (!images.EncodePng(held->picture, png) ||
            !MakeItem(crypto, std::string(png.begin(), png.end()), PngItem, *item) ||
            item->bytes.size() > MostItemBytes)
          *item = {};
      },
      [this, item, placeholder, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired()) return;
        --coding_;
        ItemsMade(placeholder, *item);
      });
}

void Recorder::ItemsMade(const std::u16string& placeholder, const Item& item) {
  // Written before the journal says the row refers to it, as for any capture.
  std::vector<std::string> names;
  if (!item.name.empty() && store_.Items().Put(item, store_.Sealing()) == 0) names.push_back(item.name);
  const std::u16string reference = ItemReference(names);
  // When the history file was written while the image was coded, it is written again with it.
  if (store_.Attached(placeholder, reference)) writeDue_ = true;
  ScheduleFlush();
  CheckSaving();
  store_.Items().Release(placeholder);
  if (OnItemsMade) OnItemsMade(placeholder, reference);
}

void Recorder::ScheduleFlush() {
  if (flushDue_) return;
  flushDue_ = true;
  desktop_.Windows().SetTimer(window_, FlushTimer, FlushDelay);
}

void Recorder::FinishPending() {
  if (!waiting_.empty() || coding_ > 0) {
    desktop_.Background().Finish();
    desktop_.ImageCoding().Finish();
  }
}

bool Recorder::Record(CapturedEntry& entry, std::u16string_view placeholder) {
  if (entry.text.empty()) return false;
  std::vector<std::string> names;
  // Items reach the disk before the row's journal record does: a record never refers to an
  // item that a crash kept from being written. One that cannot be written costs the entry its
  // formats, not its text.
  for (const Item& item : entry.items) {
    if (store_.Items().Put(item, store_.Sealing()) != 0) {
      names.clear();
      break;
    }
    names.push_back(item.name);
  }
  if (names.empty()) entry.items.clear();
  const std::u16string reference = placeholder.empty() ? ItemReference(names) : std::u16string(placeholder);
  std::u16string_view recorded;
  std::u16string scratch;
  try {
    if (!RecordAtTop(store_.List(), std::move(entry.text), entry.date, reference,
                     NextEntryId ? NextEntryId() : std::u16string()))
      return false;
    // The row holds the one copy of the text; the journal writes from it.
    recorded = store_.List().CellView(store_.List().ColumnIndex(Clipboadrs_history), 0, scratch);
  } catch (const std::exception&) {
    return false;
  }
  store_.Recorded(entry.date, recorded, reference);
  if (OnRecorded) OnRecorded(entry, recorded);
  entry.items.clear();
  if (store_.WritesPending()) desktop_.Windows().SetTimer(window_, PieceTimer, PieceInterval);
  CheckSaving();
  if (limits_.maxEntries > 0 && !store_.Loading() && store_.List().RowCount() > limits_.maxEntries &&
      TrimToCount(store_.List(), limits_.maxEntries, store_.Pins().Count(store_.List())) > 0)
    writeDue_ = true;
  ScheduleFlush();
  return true;
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

void Recorder::FlushNow() {
  desktop_.Windows().KillTimer(window_, FlushTimer);
  flushDue_ = false;
  if (writeDue_) WriteAfterRemoval();
  store_.Flush();  // the records, when the write failed or there was none
}

LResult Recorder::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  IWindows& windows = desktop_.Windows();
  switch (msg) {
    case WmDrawClipboard:
      windows.DefWindowProcA(hwnd, msg, wParam, lParam);
      try {
        DrawClipboard();
      } catch (const std::exception& error) {
        if (OnReadError) OnReadError(error);
      }
      return 0;
    case WmChangeCbChain:
      windows.DefWindowProcA(hwnd, msg, wParam, lParam);
      return chain_.ChangeCbChain(wParam, lParam);
    case WmTimer:
      break;
    default:
      return windows.DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  try {
    if (wParam == JoinTimer) {
      // The clipboard's content is compared with the newest entry, which a slow load may not
      // have brought in yet: the timer comes again.
      if (store_.NewestLoaded()) JoinChain();
    } else if (wParam == RetryTimer) {
      RetryTimerFired();
    } else if (wParam == FlushTimer) {
      // A long record still going out a piece at a time is flushed after its last piece:
      // writing the rest here at once would hold the window for all of it.
      if (!store_.WritesPending()) FlushNow();
    } else if (wParam == AgeTimer) {
      ApplyLimits();
    } else if (wParam == PieceTimer) {
      store_.WritePending(HistoryStore::PieceBytes);
      if (!store_.WritesPending()) {
        windows.KillTimer(window_, PieceTimer);
        if (flushDue_) FlushNow();
      }
      CheckSaving();
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
