// The text of the settings file: its lines and how each line reads.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hotkeys/hotkey_text.h"

namespace app {

// A line break is CR LF, a lone CR or a lone LF; a last line without one counts too.
std::vector<std::string> SplitSettingsLines(const std::string& bytes);
// The file's bytes for these lines: each followed by CR LF.
std::string JoinSettingsLines(const std::vector<std::string>& lines);
// How a boolean is written: "-1" or "0".
std::string SettingsBoolText(bool value);
// A number (zero is false, anything else true) or the words True and False in any letter case;
// raises platform::Error for any other text. The Read form gives nothing instead.
bool SettingsBool(const std::string& line);
std::optional<bool> ReadSettingsBool(const std::string& line);
// A decimal integer with an optional sign that fits 32 bits; raises platform::Error otherwise.
// The Read form gives nothing instead.
int SettingsInt(const std::string& line);
std::optional<int> ReadSettingsInt(const std::string& line);
// The quick-paste hotkey's line: a HotKey value in decimal, 0 for none. False, with `value`
// untouched, for any other text or a value that is no hotkey.
bool SettingsHotKey(const std::string& line, hotkeys::HotKey& value);
// Whether a settings file of these lines holds anything this program cannot read as what it
// writes there: fewer than the three lines every version writes, or a line that does not read
// as its value. Lines past the ones this program knows are a later version's and do not count.
bool SettingsLinesDamaged(const std::vector<std::string>& lines);

}  // namespace app
