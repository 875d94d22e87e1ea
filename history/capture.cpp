#include "history/capture.h"

#include <iterator>

#include "clipboard/clipboard_text.h"
#include "history/history_table.h"
#include "platform/utf.h"

namespace history {

using namespace platform;

namespace {
constexpr const char* LabelPrefix = "Clipboard contains: ";
}

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

CaptureResult CaptureClipboard(Desktop& desktop, Hwnd mainWindow, grid::Table& history, ui::Label& label,
                               std::u16string& lastClipboardText) {
  std::u16string text;
  bool markedPrivate = false;
  const bool read = clipboard::GetClipboardText(desktop, mainWindow, text, markedPrivate);
  // Whether text is there can be asked without opening the clipboard; a read that failed with
  // text there means another program had the clipboard open.
  IClipboard& board = desktop.Clipboard();
  const bool busy =
      !read && (board.IsClipboardFormatAvailable(CfText) || board.IsClipboardFormatAvailable(CfUnicodeText));
  // Kept also when private: the hotkey paste puts the user's own clipboard back afterwards,
  // and that must not lose a password the user just copied. It never reaches a file.
  lastClipboardText = text;
  LastClipboardTextPrivate = markedPrivate;
  label.SetCaption(markedPrivate ? std::string(LabelPrefix) : LabelPrefix + Utf16ToUtf8(text));
  if (busy) return CaptureResult::Busy;
  if (markedPrivate) return CaptureResult::Skipped;

  try {
    const int textColumn = history.ColumnIndex(Clipboadrs_history);
    if (history.RowCount() > 0) {
      std::u16string scratch;
      if (history.CellView(textColumn, 0, scratch) == text) return CaptureResult::Skipped;
    }
    if (text.empty()) return CaptureResult::Skipped;
    if (history.RowCount() == 0) {
      history.AppendRow();
    } else {
      history.InsertRowAtTop();
    }
    history.SetCell(textColumn, 0, text);
    history.SetCell(Date, 0, DateText(desktop, desktop.Clock().GetLocalTime()));
    return CaptureResult::Recorded;
  } catch (const std::exception&) {
    // A failed capture costs one entry, never the notification that the chain still owes.
    return CaptureResult::Skipped;
  }
}

void CopyEntryToClipboard(Desktop& desktop, Hwnd mainWindow, const grid::Table& history, int row) {
  if (row < 0 || row >= history.RowCount()) return;
  clipboard::SetClipboardText(desktop, mainWindow, history.Cell(Clipboadrs_history, row));
}

}  // namespace history
