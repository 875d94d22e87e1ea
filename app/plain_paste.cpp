#include "app/plain_paste.h"

#include "app/hotkey_choice.h"
#include "app/key_picker.h"
#include "platform/utf.h"

namespace app {

using namespace platform;

PlainPaste::PlainPaste(Needs needs)
    : needs_(std::move(needs)), hotkeys_(needs_.app.Desktop().Windows(), needs_.app.Desktop().HotKeys()) {
  hotkeys_.OnHotKeyPressed = [this](hotkeys::HotKey hotkey, std::uint16_t) {
    // The text is read when the paste begins, after any paste before it.
    needs_.paste.Press({{u"", actions::PasteMethod::CtrlV, hotkey, actions::PasteMode::Plain}});
  };
  // The paste's own keystroke must not come back here.
  needs_.paste.SuspendWhilePasting(hotkeys_);
  PlainPasteOptions& options = needs_.options;
  FillKeyList(options.PlainPasteKey, needs_.keyNames);
  const hotkeys::HotKey value = needs_.settings.plainPaste;
  options.SetValue(value);
  options.PlainPasteApply.OnClick = [this] { ApplyClick(); };
  if (value != 0 && hotkeys_.AddBinding(value) == 0)
    needs_.notices.Tell({"The plain-text paste hotkey " + HotKeyText(value) +
                         " is taken by another program; choose another one on the Options tab."});
}

PlainPaste::~PlainPaste() {
  needs_.options.PlainPasteApply.OnClick = nullptr;
  needs_.paste.StopSuspending(hotkeys_);
}

std::string PlainPaste::HotKeyText(hotkeys::HotKey value) {
  return HotKeyName(needs_.app.Desktop(), needs_.keyNames, value);
}

void PlainPaste::ApplyClick() {
  PlainPasteOptions& options = needs_.options;
  const hotkeys::HotKey old = needs_.settings.plainPaste;
  const hotkeys::HotKey chosen = options.Chosen();
  // The same combination again registers it once more if another program held it at start-up.
  if (chosen == old && (chosen == 0 || !hotkeys_.Bindings().empty())) return;
  std::string why;
  if (!ChangeHotKey(needs_.app.Desktop(), needs_.app.Handle(), needs_.keyNames, hotkeys_, old, chosen, why)) {
    const std::string stays =
        old == 0 ? "The plain-text paste stays off." : "The hotkey stays " + HotKeyText(old) + ".";
    needs_.app.Desktop().Dialogs().MessageBoxW(needs_.boxOwner(), why + " " + stays, "Plain text",
                                               MbOk | MbIconWarning);
    options.SetValue(old);
    return;
  }
  options.SetValue(chosen);
  needs_.settings.plainPaste = chosen;
  needs_.saveSettings();
}

}  // namespace app
