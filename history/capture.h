// Reading a clipboard change for the history, and putting an entry back on the clipboard.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "clipboard/clipboard_content.h"
#include "grid/table.h"
#include "history/history_table.h"
#include "history/item_store.h"
#include "platform/desktop.h"

namespace history {

// One clipboard change on its way to the history, from the read to its row: what the
// clipboard held, the entry that makes, and the items it keeps besides its text.
struct CapturedEntry {
  enum class Read {
    Text,     // `content` holds what the clipboard held: nothing when it held no text or format kept
    Private,  // its owner marked the content as not for histories: nothing was read
    Busy,     // the clipboard holds something, but another program had it open
  };
  Read read = Read::Text;
  // As read, its text the clipboard's; moved to `text` when it is a text alone. PrepareItems
  // makes the items of the rest and empties it.
  clipboard::ClipboardContent content;
  // The row's text: the clipboard's text, the paths of a file list or the size of an image.
  // Empty when the change makes no entry.
  std::u16string text;
  std::u16string date;        // when it was captured
  std::vector<Item> items;    // made by PrepareItems
  bool tooLarge = false;      // the items passed MostItemBytes and were dropped
  bool prepared = false;      // `items` are what the entry keeps (at once for a text alone)
  bool keptOffCloud = false;  // its owner asked that it stay on this computer
  // The program's own re-copy of an image whose PNG is still being coded: its picture, which the
  // capture takes instead of reading the bitmap back (that waits for a program to ask for it).
  std::shared_ptr<const ItemStore::Held> recopied;

  // What the window shows of the change: the clipboard's text, or the entry's when it has none.
  const std::u16string& Shown() const {
    return content.Rich() && !content.text.empty() ? content.text : text;
  }
};

// Reads the clipboard's text, and the formats an entry keeps beside it, on behalf of `window`.
// Private content goes no further than this: nothing of it is in the entry. An error reading
// the clipboard goes to the caller. `pasteOwn`: the content is the program's own paste write,
// whose marks are not looked at.
CapturedEntry ReadClipboardChange(platform::Desktop& desktop, platform::Hwnd window, bool pasteOwn = false);

// Makes the entry's items: codes an image that came as a DIB as PNG (keeping its alpha) and
// names each item by its hash. Touches nothing but `entry` and the two calls, which may run on
// any thread: it is the work that runs away from the message loop. An image that cannot be
// coded leaves the entry without items; a PNG that is not one to keep (PngFitsToKeep) leaves it
// without its text as well, so that it makes no entry.
void PrepareItems(platform::IImages& images, platform::ICrypto& crypto, CapturedEntry& entry);

// Puts `text` at the top of `history` with `date` and the reference to its items, unless the
// text is empty or the entry repeats the top row (the same text and the same items). Returns
// whether a row was inserted; raises platform::Error for a table without the history's columns.
// A long text is moved into the row, not copied: read it back from there.
bool RecordAtTop(grid::Table& history, std::u16string text, std::u16string_view date,
                 std::u16string_view reference = {}, std::u16string_view id = {});

// Puts a row's entry on the clipboard at once, on behalf of `window`: its text, and every format
// it keeps, read from `items`. A row outside the table does nothing. Returns false when an item
// of the entry was missing or damaged (what could be read is on the clipboard: at least the
// text). Errors of the clipboard write go to the caller. The user's re-copy is history::Recopy.
bool CopyEntryToClipboard(platform::Desktop& desktop, platform::Hwnd window, const grid::Table& history,
                          int row, ItemStore* items = nullptr);

// The content of a history row, for a re-copy or a paste: a row with an image has its files read
// now and its checks and decoding run in the background (an image whose PNG is still being coded
// has the picture read made a DIB there); `ready` is given the content and whether it was whole when they end
// (unless `owner` has gone by then), at once for a row without an image. A row outside the table gives
// nothing.
void EntryOfRowLater(
    platform::Desktop& desktop, const grid::Table& history, int row, ItemStore& items,
    std::weak_ptr<const void> owner,
    std::function<void(std::shared_ptr<clipboard::ClipboardContent> content, bool whole)> ready);

// The clipboard content of a history row: its text, and its items read from `items`; false
// when one was missing or damaged.
bool EntryOfRow(platform::Desktop& desktop, const grid::Table& history, int row, ItemStore* items,
                clipboard::ClipboardContent& content);

// The capture's date text for a local time: the short date, a space and the long time, or the
// short date alone at exactly midnight.
std::u16string DateText(platform::Desktop& desktop, const platform::SystemTime& time);

// When to read a busy clipboard again: after a change it could not read, the capture is tried
// after each delay in turn, about a second in all, and given up once the clipboard has changed
// again (that change brings its own notification).
class BusyClipboardRetry {
 public:
  // The clipboard was busy at the change numbered `sequence`; returns the first delay.
  platform::Uint Begin(platform::Dword sequence);
  // A retry is due: whether to read now, given the clipboard's sequence number.
  bool StillWanted(platform::Dword sequence) const { return pending_ && sequence == sequence_; }
  // The read was busy again: the next delay, or 0 when the retries are spent.
  platform::Uint Next();
  void Stop() { pending_ = false; }

 private:
  platform::Dword sequence_ = 0;
  std::size_t step_ = 0;
  bool pending_ = false;
};

}  // namespace history
