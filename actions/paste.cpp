// The hotkey paste: the action's text goes on the clipboard, the paste keystroke goes to the
// focused window, and the text the user had copied comes back.
#include <cstdint>

#include "actions/tasks_add.h"
#include "clipboard/clipboard_text.h"
#include "history/history_table.h"

namespace actions {

using namespace platform;

namespace {

constexpr Dword BeforeKeystroke = 200;
constexpr Dword AfterKeystroke = 50;
constexpr std::uint8_t VkV = 0x56;

}  // namespace

void TTasks_form::HotKeyManager1HotKeyPressed(hotkeys::HotKey hotkey, std::uint16_t) {
  // Everything the paste needs is taken now: the waits let the user edit or delete the actions,
  // and a paste must neither fail half-way nor paste what a row holds by then.
  struct Paste {
    std::u16string text;
    std::u16string method;
  };
  std::vector<Paste> pastes;
  std::u16string pressed = Widen(keyNames_.FormatHotKey(hotkey, true));
  ui::TableGrid& table = Actions();
  int hotkeyColumn = table.ColumnIndex("TextColumn3");
  int textColumn = table.ColumnIndex("TextColumn2");
  int methodColumn = table.ColumnIndex("Ins");
  for (int row = 0; row < table.RowCount(); ++row)
    if (table.Cell(hotkeyColumn, row) == pressed)
      pastes.push_back({table.Cell(textColumn, row), table.Cell(methodColumn, row)});
  for (const Paste& paste : pastes) PasteOne(paste.text, paste.method);
}

void TTasks_form::PasteOne(const std::u16string& text, const std::u16string& pasteMethod) {
  // Whatever happens in between, the user's own text goes back on the clipboard.
  struct Restore {
    TTasks_form& form;
    std::u16string saved;
    bool savedPrivate;
    ~Restore() {
      try {
        clipboard::SetClipboardText(form.Desktop(), form.Handle(), saved, savedPrivate);
      } catch (const std::exception&) {
      }
    }
  } restore{*this, history::LastClipboardText, history::LastClipboardTextPrivate};

  clipboard::SetClipboardText(Desktop(), Handle(), text);
  PasteWait(BeforeKeystroke);
  if (pasteMethod == u"I") SendShiftInsert();
  if (pasteMethod == u"V") SendCtrlV();
  PasteWait(AfterKeystroke);
}

// The right Shift goes down and up around Insert's press, then the generic Shift is pressed
// once more, and only then is Insert released.
void TTasks_form::SendShiftInsert() {
  IKeyboard& keyboard = Desktop().Keyboard();
  auto scan = [&keyboard](std::uint8_t vk) {
    return static_cast<std::uint8_t>(keyboard.MapVirtualKeyA(vk, 0));
  };
  keyboard.keybd_event(VkRShift, scan(VkRShift), 0, 0);
  keyboard.keybd_event(VkInsert, 0, 0, 0);
  keyboard.keybd_event(VkRShift, scan(VkRShift), KeyEventFExtendedKey | KeyEventFKeyUp, 0);
  keyboard.keybd_event(VkShift, scan(VkShift), 0, 0);
  keyboard.keybd_event(VkShift, scan(VkShift), KeyEventFKeyUp, 0);
  keyboard.keybd_event(VkInsert, 0, KeyEventFKeyUp, 0);
}

void TTasks_form::SendCtrlV() {
  IKeyboard& keyboard = Desktop().Keyboard();
  keyboard.keybd_event(VkControl, 0, 0, 0);
  keyboard.keybd_event(VkV, 0, 0, 0);
  keyboard.keybd_event(VkV, 0, KeyEventFKeyUp, 0);
  keyboard.keybd_event(VkControl, 0, KeyEventFKeyUp, 0);
}

void TTasks_form::PasteWait(Dword milliseconds) {
  IClock& clock = Desktop().Clock();
  Hevent event = clock.CreateEventA(false, false);
  struct Close {
    IClock& clock;
    Hevent event;
    ~Close() { clock.CloseHandle(event); }
  } close{clock, event};
  Dword deadline = clock.GetTickCount() + milliseconds;
  // A signed difference, so that a wait that overshoots its deadline ends instead of waiting
  // for the tick count to come round again.
  std::int32_t remaining = static_cast<std::int32_t>(milliseconds);
  while (remaining > 0) {
    if (clock.MsgWaitForMultipleObjects(event, static_cast<Dword>(remaining), 0xFF) == WaitTimeout) break;
    App().ProcessMessages();
    remaining = static_cast<std::int32_t>(deadline - clock.GetTickCount());
  }
}

}  // namespace actions
