#include "history/capture.h"

#include <iterator>

#include "clipboard/clipboard_text.h"
#include "history/history_table.h"

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

ClipboardRead ReadClipboardChange(Desktop& desktop, Hwnd window, bool pasteOwn) {
  ClipboardRead change;
  bool markedPrivate = false;
  const bool read = clipboard::GetClipboardContent(desktop, window, change.content, markedPrivate, pasteOwn);
  change.text = std::move(change.content.text);
  change.content.text.clear();
  // Whether something an entry keeps is there can be asked without opening the clipboard; a
  // read that failed with it there means another program had the clipboard open.
  IClipboard& board = desktop.Clipboard();
  auto offered = [&board] {
    for (Uint format : {CfText, CfUnicodeText, CfHdrop, CfDib, CfDibV5, CfBitmap})
      if (board.IsClipboardFormatAvailable(format)) return true;
    return false;
  };
  if (markedPrivate)
    change.state = ClipboardRead::State::Private;
  else if (!read && offered())
    change.state = ClipboardRead::State::Busy;
  // Private content goes no further than this function.
  if (change.state != ClipboardRead::State::Text) change = ClipboardRead{change.state, {}, {}};
  return change;
}

bool RecordAtTop(grid::Table& history, std::u16string text, std::u16string_view date,
                 std::u16string_view reference) {
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

}  // namespace history
