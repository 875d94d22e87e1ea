// The program's options as data: what settings.stng holds, read and written here alone. The
// main window shows them and hands back what the user changed; no window keeps them.
#pragma once

#include <optional>
#include <string>

#include "history/retention.h"
#include "hotkeys/hotkey_text.h"
#include "platform/desktop.h"

namespace app {

// Win+Insert: Windows gives no meaning to it, and programs leave the Win key to Windows.
constexpr hotkeys::HotKey DefaultQuickPasteHotKey = hotkeys::HotKeyWin | 0x2D;

// One field a line of the file, in the file's order.
struct Settings {
  bool startAutomatically = true;                        // line 1
  bool trayOnly = true;                                  // line 2
  std::optional<int> activePage;                         // line 3: the tab shown; none keeps the first
  hotkeys::HotKey quickPaste = DefaultQuickPasteHotKey;  // line 4: 0 is off
  history::RetentionLimits limits;                       // lines 5 and 6
  bool seal = false;                                     // line 7
};

struct SettingsRead {
  Settings settings;
  // What the user is to be told of the file as it was read: empty, or that it was damaged and
  // where its copy is.
  std::string notice;
};

// Reads Data\settings.stng; a missing file, or a line that does not read, leaves the defaults
// (each line on its own from the fourth on). A damaged file is kept aside first, since the next
// save replaces it.
SettingsRead ReadSettings(platform::Desktop& desktop);
// The file's lines for these settings, as every version of the program writes them.
std::string SettingsBytes(const Settings& settings);
// Replaces settings.stng whole, so that a failed save keeps the previous file, and sets or
// removes the log-on start of `exePath`. Raises platform::Error when the file cannot be written.
void WriteSettings(platform::Desktop& desktop, const Settings& settings, const std::string& exePath);

}  // namespace app
