#include "history/capture.h"

#include <iterator>

#include "clipboard/clipboard_text.h"
#include "clipboard/image_formats.h"
#include "history/entry_id.h"
#include "history/history_table.h"
#include "platform/bytes.h"

namespace history {

using namespace platform;

std::u16string DateText(Desktop& desktop, const SystemTime& time) {
  IClock& clock = desktop.Clock();
  std::string text = clock.FormatShortDate(time);
  // Only a time of exactly zero is left out: a capture at 00:00:00.250 still shows its time.
  if (time.hour != 0 || time.minute != 0 || time.second != 0 || time.milliseconds != 0) {
    text += ' ';
    text += clock.FormatLongTime(time);
  }
  return desktop.CodePage().AnsiToWide(text);
}

namespace {

// Doubling from 10 ms, about one second in all.
constexpr Uint RetryDelays[] = {10, 20, 40, 80, 160, 320, 370};

}  // namespace

Uint BusyClipboardRetry::Begin(Dword sequence) {
  sequence_ = sequence;
  step_ = 0;
  pending_ = true;
  return RetryDelays[0];
}

Uint BusyClipboardRetry::Next() {
  if (!pending_ || ++step_ >= std::size(RetryDelays)) {
    pending_ = false;
    return 0;
  }
  return RetryDelays[step_];
}

CapturedEntry ReadClipboardChange(Desktop& desktop, Hwnd window, bool pasteOwn) {
  CapturedEntry entry;
  bool markedPrivate = false;
  const bool read = clipboard::GetClipboardContent(desktop, window, entry.content, markedPrivate, pasteOwn);
  // Whether something an entry keeps is there can be asked without opening the clipboard; a
  // read that failed with it there means another program had the clipboard open.
  IClipboard& board = desktop.Clipboard();
  auto offered = [&board] {
    for (Uint format : {CfText, CfUnicodeText, CfHdrop, CfDib, CfDibV5, CfBitmap})
      if (board.IsClipboardFormatAvailable(format)) return true;
    return false;
  };
  if (markedPrivate)
    entry.read = CapturedEntry::Read::Private;
  else if (!read && offered())
    entry.read = CapturedEntry::Read::Busy;
  // Private content goes no further than this function.
  if (entry.read != CapturedEntry::Read::Text) {
    CapturedEntry nothing;
    nothing.read = entry.read;
    return nothing;
  }
  entry.keptOffCloud = entry.content.keptOffCloud;
  if (entry.content.Rich()) {
    entry.text = EntryText(desktop, entry.content);
  } else {
    // A text alone: moved on, never copied, however long.
    entry.text = std::move(entry.content.text);
    entry.content.text.clear();
    entry.prepared = true;
  }
  return entry;
}

void PrepareItems(IImages& images, ICrypto& crypto, CapturedEntry& entry) {
  clipboard::ClipboardContent content = std::move(entry.content);
  entry.content = {};
  entry.items.clear();
  std::size_t total = 0;
  auto keep = [&](std::string bytes, std::string_view kind) {
    if (bytes.empty()) return true;
    Item item;
    total += bytes.size();
    if (!MakeItem(crypto, std::move(bytes), kind, item)) return false;
    entry.items.push_back(std::move(item));
    return true;
  };
  bool ok = true;
  if (!content.fileList.empty()) {
    ok = keep(std::move(content.fileList), FileListItem);
  } else if (!content.text.empty()) {
    ok = keep(std::move(content.html), HtmlItem) && keep(std::move(content.rtf), RtfItem);
  } else if (!content.png.empty()) {
    // The source's own PNG, byte for byte, once it has shown that it is one.
    if (!PngFitsToKeep(images, content.png)) entry.text.clear();
    ok = !entry.text.empty() && keep(std::move(content.png), PngItem);
  } else if (!content.dib.empty()) {
    Picture picture;
    Bytes png;
    ok = clipboard::DibToPicture(platform::AsBytes(content.dib), picture);
    content.dib = {};
    ok = ok && images.EncodePng(picture, png);
    picture = {};
    ok = ok && keep(std::string(png.begin(), png.end()), PngItem);
  }
  entry.tooLarge = ok && total > MostItemBytes;
  if (!ok || entry.tooLarge) entry.items.clear();
  entry.prepared = true;
}

bool RecordAtTop(grid::Table& history, std::u16string text, std::u16string_view date,
                 std::u16string_view reference, std::u16string_view id) {
  const int textColumn = history.ColumnIndex(Clipboadrs_history);
  const int dateColumn = history.ColumnIndex(Date);
  const int itemsColumn = history.ColumnIndex(ItemsColumn);
  if (history.RowCount() > 0) {
    std::u16string scratch;
    if (history.CellView(textColumn, 0, scratch) == text &&
        history.CellView(itemsColumn, 0, scratch) == reference)
      return false;
  }
  if (text.empty()) return false;
  std::vector<std::u16string> cells(static_cast<std::size_t>(history.ColumnCount()));
  cells[static_cast<std::size_t>(textColumn)] = std::move(text);
  cells[static_cast<std::size_t>(dateColumn)] = date;
  cells[static_cast<std::size_t>(itemsColumn)] = std::u16string(reference);
  if (!id.empty()) cells[static_cast<std::size_t>(history.ColumnIndex(EntryIdColumn))] = id;
  // The first entry is appended, as it always was: its "#" counts from 1.
  history.AddRow(cells, history.RowCount() == 0);
  return true;
}

bool EntryOfRow(Desktop& desktop, const grid::Table& history, int row, ItemStore* items,
                clipboard::ClipboardContent& content) {
  content = {};
  content.text = history.Cell(Clipboadrs_history, row);
  const std::u16string reference = history.Cell(ItemsColumn, row);
  if (reference.empty()) return true;
  if (!items) return false;
  std::u16string text = std::move(content.text);
  return EntryContent(desktop, *items, text, reference, content);
}

bool CopyEntryToClipboard(Desktop& desktop, Hwnd mainWindow, const grid::Table& history, int row,
                          ItemStore* items) {
  if (row < 0 || row >= history.RowCount()) return true;
  clipboard::ClipboardContent content;
  const bool whole = EntryOfRow(desktop, history, row, items, content);
  clipboard::SetClipboardContent(desktop, mainWindow, content);
  return whole;
}

void EntryOfRowLater(
    Desktop& desktop, const grid::Table& history, int row, ItemStore& items, std::weak_ptr<const void> owner,
    std::function<void(std::shared_ptr<clipboard::ClipboardContent> content, bool whole)> ready) {
  if (row < 0 || row >= history.RowCount()) return;
  const std::u16string reference = history.Cell(ItemsColumn, row);
  // An image whose PNG is still being coded goes back as the picture read, made a DIB away from
  // the window as a stored image is decoded.
  const std::shared_ptr<const ItemStore::Held> held = items.HeldFor(reference);
  bool image = false;
  for (const std::string& name : ItemNames(reference)) image = image || ItemKind(name) == PngItem;
  if (!image && !held) {
    // Nothing to decode: at once.
    auto content = std::make_shared<clipboard::ClipboardContent>();
    const bool whole = EntryOfRow(desktop, history, row, &items, *content);
    ready(std::move(content), whole);
    return;
  }
  // The files are read here; their checks and the image's decoding, which cost far more, run
  // in the background.
  struct Job {
    std::u16string text;
    std::vector<Item> read;
    std::shared_ptr<const ItemStore::Held> held;
    std::shared_ptr<clipboard::ClipboardContent> content = std::make_shared<clipboard::ClipboardContent>();
    bool whole = true;
  };
  auto job = std::make_shared<Job>();
  job->text = history.Cell(Clipboadrs_history, row);
  job->held = held;
  if (!held) {
    for (const std::string& name : ItemNames(reference)) {
      Item item{name, {}};
      if (items.Read(name, item.bytes))
        job->read.push_back(std::move(item));
      else
        job->whole = false;
    }
  }
  IImages& images = desktop.Images();
  ICrypto& crypto = desktop.Crypto();
  desktop.Background().Post(
      [job, &images, &crypto] {
        if (job->held) {
          HeldContent(*job->held, job->text, *job->content);
          return;
        }
        for (Item& item : job->read) {
          if (!ItemHolds(crypto, item.name, item.bytes)) {
            job->whole = false;
            continue;
          }
          AddItemContent(images, item.name, std::move(item.bytes), *job->content);
        }
        job->read.clear();
        FinishEntryContent(job->text, *job->content);
      },
      [job, owner = std::move(owner), ready = std::move(ready)] {
        if (owner.expired()) return;  // the window that asked is gone
        ready(job->content, job->whole);
      });
}

}  // namespace history
