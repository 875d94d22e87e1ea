// The recorder: hears of every clipboard change through the viewer chain and records each new
// text at the top of the history, with its journal record on the disk within a second.
//
// The window that joins the chain (the main window) hands its chain messages here; the
// recorder reads the clipboard on its behalf, tells the window what the clipboard holds, and
// reads a clipboard that another program had open again a few times.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "clipboard/viewer_chain.h"
#include "history/capture.h"
#include "history/excluded_programs.h"
#include "history/history_store.h"
#include "history/retention.h"
#include "platform/desktop.h"

namespace history {

class Recorder final : private platform::IWindowProc {
 public:
  // Records into the store's list what no program of `excluded` copied; both must outlive the
  // recorder.
  Recorder(platform::Desktop& desktop, HistoryStore& store, const ExcludedPrograms& excluded);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // The next window in the clipboard viewer chain; 0 for none.
  platform::Hwnd NextViewer = 0;

  // `viewer` joins the chain; the clipboard is read on its behalf from now on.
  void JoinChain(platform::Hwnd viewer);
  // At the viewer's destruction: it leaves the chain, and nothing is read any more.
  void LeaveChain();
  // WM_DRAWCLIPBOARD, after the viewer's default handling: records the change, and passes the
  // notification on once on every path. An error reading the clipboard goes to the caller.
  void DrawClipboard();
  // WM_CHANGECBCHAIN, after the viewer's default handling.
  platform::LResult ChangeCbChain(platform::WParam removed, platform::LParam next);

  // While paused, changes are passed on in the chain and nothing else: the clipboard is not
  // read, and nothing reaches the list or the journal. A pause lasts until resumed or the end of
  // the run.
  void SetPaused(bool paused);
  bool Paused() const { return paused_; }

  // The limits are applied at once, then the count at every capture and the age every hour. What
  // they remove leaves the disk at once: the history file is written anew and the journal
  // emptied (within a second after a capture, so that a burst of copies costs one write).
  void SetLimits(const RetentionLimits& limits);
  const RetentionLimits& Limits() const { return limits_; }
  // Applies both limits now; for the start-up, once the list holds the file's entries.
  void ApplyLimits();

  // Records the entries whose items are still being prepared, waiting for them; for the end of
  // a run, before the history is written.
  void FinishPending();
  // How many captured entries wait for that.
  int Pending() const { return static_cast<int>(waiting_.size()); }

  // Asked at every change: whether it must stay out of the history although no program kept
  // out made it (the program's own restore of such content).
  std::function<bool()> IsPrivateChange;
  // Asked at every change: whether it is the program's own paste write that the history records
  // (an action's text, a restore), whose marks keep only other histories out.
  std::function<bool()> IsOwnPasteChange;

  // Told when captures stop reaching the disk, once for each new cause (a Windows error), and
  // when they reach it again. Meanwhile the copies stay in the list and the journal is tried
  // again every second.
  std::function<void(platform::Dword error)> OnSaveFailed;
  std::function<void()> OnSaveResumed;

  // Told at every read of a change: the clipboard's text; empty when it holds none, when its
  // owner marked it private and when another program had it open.
  std::function<void(const std::u16string& text)> OnClipboardText;

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  // A change that keeps more than text (an image, formatted text, files) has its items coded and
  // hashed in the background; the entries captured after it wait behind it, so that the history
  // and the journal keep the order of the copies.
  struct Waiting {
    CapturedEntry entry;
    std::u16string date;
    bool ready = false;
  };
  void ReadClipboard(bool retrying);
  void Capture(ClipboardRead& change);
  // Records the entries at the front whose items are ready.
  void RecordReady();
  // A long text is moved into its row, which holds the one copy of it.
  void Record(std::u16string text, const std::u16string& date, const std::u16string& reference);
  void RetryTimerFired();
  // Writes the history when a removal is due, and puts the journal's records on the disk.
  void FlushNow();
  // A read that waits for a busy clipboard is not wanted any more.
  void StopRetry();
  // Writes the list, after rows went; a failed write is tried again at the next flush.
  void WriteAfterRemoval();
  // After a capture or a retry: tells the window whether captures reach the disk.
  void CheckSaving();

  platform::Desktop& desktop_;
  HistoryStore& store_;
  const ExcludedPrograms& excluded_;
  clipboard::ViewerChain chain_{desktop_, NextViewer};
  platform::Hwnd viewer_ = 0;
  platform::Hwnd window_ = 0;  // for the timers
  BusyClipboardRetry retry_;
  bool flushDue_ = false;
  bool writeDue_ = false;              // rows went that the history file may still hold
  platform::Dword toldSaveError_ = 0;  // the cause last told, 0 while captures are saved
  RetentionLimits limits_;
  bool paused_ = false;
  std::deque<std::shared_ptr<Waiting>> waiting_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // gone with the recorder
};

}  // namespace history
