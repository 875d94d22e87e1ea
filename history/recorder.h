// The recorder: a window of its own in the clipboard viewer chain, which hears of every
// clipboard change, reads it, and records each new entry at the top of the history, with its
// journal record on the disk within a second. It tells the main window what to show; a
// clipboard that another program had open is read again a few times.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "clipboard/viewer_chain.h"
#include "history/capture.h"
#include "history/entry_id.h"
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

  // The window that is in the clipboard viewer chain and opens the clipboard to read it.
  platform::Hwnd Window() const { return window_; }
  // The next window in the clipboard viewer chain; 0 for none.
  platform::Hwnd NextViewer = 0;

  // The window joins the chain by itself this long after the recorder was made: by then the
  // program has loaded the history and its message loop runs, so that the first change is
  // compared with the entries of the file.
  static constexpr platform::Uint JoinDelay = 1000;
  // Joins the chain now. Once only: later calls, and calls after leaving, do nothing.
  void JoinChain();
  // Leaves the chain (also at the recorder's end); nothing is read any more, and the window
  // cannot join again.
  void LeaveChain();
  // In the chain now: the clipboard as the start-up found it has been read.
  bool InChain() const { return chain_.Joined(); }

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

  // Records the entries whose items are still being prepared, and gives the images shown
  // meanwhile their PNG, waiting for them; for the end of a run, before the history is written.
  void FinishPending();
  // Told when the PNG of an image recorded with `placeholder` is made (the row refers to
  // `reference` now, empty when it could not be made).
  std::function<void(const std::u16string& placeholder, const std::u16string& reference)> OnItemsMade;

  // Asked at every change: whether it must stay out of the history although no program kept
  // out made it (the program's own restore of such content).
  std::function<bool()> IsPrivateChange;
  // Asked at every change: whether it is the program's own paste write that the history records
  // (an action's text, a restore), whose marks keep only other histories out.
  std::function<bool()> IsOwnPasteChange;

  // Asked at every change: whether it is the program's own re-copy of an entry with items, and
  // then what it records for it (Recopy::EntryOnClipboard), instead of reading it: the re-copy's
  // bitmap is put on the clipboard only when a program asks for it, and its PNG, which reading
  // would copy from the system and judging decode, is an item stored already.
  std::function<bool(CapturedEntry& entry)> OwnRecopy;

  // Gives each new entry its id (entry_id.h); without it entries carry none.
  std::function<std::u16string()> NextEntryId;
  // Told of each entry just recorded at the top of the list, with its items (already in the item
  // store; the callee may take them); `entry.text` is in the row by then, and `text` reads it.
  std::function<void(CapturedEntry& entry, std::u16string_view text)> OnRecorded;

  // Told when captures stop reaching the disk, once for each new cause (a Windows error), and
  // when they reach it again. Meanwhile the copies stay in the list and the journal is tried
  // again every second.
  std::function<void(platform::Dword error)> OnSaveFailed;
  std::function<void()> OnSaveResumed;

  // Told at every read of a change: the clipboard's text; empty when it holds none, when its
  // owner marked it private and when another program had it open.
  std::function<void(const std::u16string& text)> OnClipboardText;
  // Told when the clipboard could not be read at a change (a block that does not lock); the
  // rest of the chain has been told of the change all the same.
  std::function<void(const std::exception& error)> OnReadError;

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;
  // WM_DRAWCLIPBOARD: records the change, and passes the notification on once on every path.
  void DrawClipboard();
  void ReadClipboard(bool retrying);
  // A copied PNG is judged in the background; the entries captured after it wait behind it in
  // `waiting_`, so that the history and the journal keep the order of the copies. A bitmap is
  // recorded at once and coded as PNG afterwards; other items are made at once.
  void Capture(CapturedEntry change);
  // Records the entries at the front that can be.
  void RecordReady();
  // Records an entry whose turn has come: a bitmap's row at once with a placeholder for its
  // items, which are made in the background.
  void RecordNow(CapturedEntry& entry);
  // The PNG of the image recorded with `placeholder` (empty when it could not be made).
  void ItemsMade(const std::u16string& placeholder, const Item& item);
  // Puts the entry at the top of the list, its items on the disk and its record in the journal;
  // false when no row was made. Its text is moved into its row, which holds the one copy of it.
  // `placeholder` stands for items still being made.
  bool Record(CapturedEntry& entry, std::u16string_view placeholder = {});
  void ScheduleFlush();
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
  platform::Hwnd window_ = 0;
  BusyClipboardRetry retry_;
  bool flushDue_ = false;
  bool writeDue_ = false;              // rows went that the history file may still hold
  platform::Dword toldSaveError_ = 0;  // the cause last told, 0 while captures are saved
  RetentionLimits limits_;
  bool paused_ = false;
  std::deque<std::shared_ptr<CapturedEntry>> waiting_;
  int coding_ = 0;                                              // images shown whose PNG is being made
  std::uint64_t placeholders_ = 0;                              // the last placeholder's number
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // gone with the recorder
};

}  // namespace history
