#include "history/capture.h"

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

void CaptureClipboard(Desktop& desktop, Hwnd mainWindow, grid::Table& history, ui::Label& label,
                      std::u16string& lastClipboardText) {
  std::u16string text;
  bool markedPrivate = false;
  clipboard::GetClipboardText(desktop, mainWindow, text, markedPrivate);
  // Kept also when private: the hotkey paste puts the user's own clipboard back afterwards,
  // and that must not lose a password the user just copied. It never reaches a file.
  lastClipboardText = text;
  LastClipboardTextPrivate = markedPrivate;
  label.SetCaption(markedPrivate ? std::string(LabelPrefix) : LabelPrefix + Utf16ToUtf8(text));
  if (markedPrivate) return;

  try {
    const int textColumn = history.ColumnIndex(Clipboadrs_history);
    if (history.RowCount() > 0) {
      std::u16string scratch;
      if (history.CellView(textColumn, 0, scratch) == text) return;
    }
    if (text.empty()) return;
    if (history.RowCount() == 0) {
      history.AppendRow();
    } else {
      history.InsertRowAtTop();
    }
    history.SetCell(textColumn, 0, text);
    history.SetCell(Date, 0, DateText(desktop, desktop.Clock().GetLocalTime()));
  } catch (const std::exception&) {
    // A failed capture costs one entry, never the notification that the chain still owes.
  }
}

void CopyEntryToClipboard(Desktop& desktop, Hwnd mainWindow, const grid::Table& history, int row) {
  if (row < 0 || row >= history.RowCount()) return;
  clipboard::SetClipboardText(desktop, mainWindow, history.Cell(Clipboadrs_history, row));
}

}  // namespace history
