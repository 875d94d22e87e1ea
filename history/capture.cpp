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

ClipboardRead ReadClipboardChange(Desktop& desktop, Hwnd window) {
  ClipboardRead change;
  bool markedPrivate = false;
  const bool read = clipboard::GetClipboardText(desktop, window, change.text, markedPrivate);
  // Whether text is there can be asked without opening the clipboard; a read that failed with
  // text there means another program had the clipboard open.
  IClipboard& board = desktop.Clipboard();
  if (!read && (board.IsClipboardFormatAvailable(CfText) || board.IsClipboardFormatAvailable(CfUnicodeText)))
    change.state = ClipboardRead::State::Busy;
  else if (markedPrivate)
    change.state = ClipboardRead::State::Private;
  // A private text goes no further than this function.
  if (change.state != ClipboardRead::State::Text) change.text.clear();
  return change;
}

bool RecordAtTop(grid::Table& history, std::u16string_view text, std::u16string_view date) {
  const int textColumn = history.ColumnIndex(Clipboadrs_history);
  const int dateColumn = history.ColumnIndex(Date);
  if (history.RowCount() > 0) {
    std::u16string scratch;
    if (history.CellView(textColumn, 0, scratch) == text) return false;
  }
  if (text.empty()) return false;
  std::vector<std::u16string_view> cells(static_cast<std::size_t>(history.ColumnCount()));
  cells[static_cast<std::size_t>(textColumn)] = text;
  cells[static_cast<std::size_t>(dateColumn)] = date;
  // The first entry is appended, as it always was: its "#" counts from 1.
  history.AddRow(cells, history.RowCount() == 0);
  return true;
}

void CopyEntryToClipboard(Desktop& desktop, Hwnd mainWindow, const grid::Table& history, int row) {
  if (row < 0 || row >= history.RowCount()) return;
  clipboard::SetClipboardText(desktop, mainWindow, history.Cell(Clipboadrs_history, row));
}

}  // namespace history
