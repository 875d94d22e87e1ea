// The plain-text paste: a hotkey that pastes the clipboard's text alone into the focused
// window, without its other formats (HTML, RTF), and then gives the whole clipboard back.
#pragma once

#include <functional>
#include <string>

#include "actions/hotkey_paste.h"
#include "app/notices.h"
#include "app/plain_paste_options.h"
#include "app/settings.h"
#include "hotkeys/hotkey_manager.h"
#include "ui/application.h"

namespace app {

class PlainPaste {
 public:
  // What the program gives it; all of it must outlive it.
  struct Needs {
    ui::Application& app;
    actions::HotkeyPaste& paste;
    hotkeys::KeyNames& keyNames;
    app::Notices& notices;
    // The hotkey in force is the settings' one; a change is saved with `saveSettings`.
    app::Settings& settings;
    PlainPasteOptions& options;
    std::function<void()> saveSettings;
    // The window that owns the box telling why a hotkey was refused.
    std::function<platform::Hwnd()> boxOwner;
  };
  // Takes the hotkey of the settings; a combination that is taken is told in a balloon and left
  // unregistered.
  explicit PlainPaste(Needs needs);
  ~PlainPaste();
  PlainPaste(const PlainPaste&) = delete;
  PlainPaste& operator=(const PlainPaste&) = delete;

  // The options tab's "Apply": takes the combination the controls show, or refuses it.
  void ApplyClick();
  const hotkeys::THotKeyManager& HotKeys() const { return hotkeys_; }

 private:
  std::string HotKeyText(hotkeys::HotKey value);

  Needs needs_;
  hotkeys::THotKeyManager hotkeys_;
};

}  // namespace app
